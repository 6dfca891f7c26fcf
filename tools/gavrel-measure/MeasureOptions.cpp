#include "MeasureOptions.h"

// Standard library
#include <algorithm>
#include <limits>

// Qt
#include <QCommandLineParser>
#include <QCoreApplication>

// Ours
#include "LenientNumber.h"

namespace {

// The window's working image and its smallest radius bound the circles.
constexpr int kImageWidth = 512;
constexpr int kImageHeight = 480;
constexpr int kMinimumRadius = 3;
constexpr int kMaxJobs = 256;
constexpr int kMaxFrames = 1000000;

const QString kCircle = QStringLiteral("circle");
const QString kStandard = QStringLiteral("standard");
const QString kTolerance = QStringLiteral("tolerance");
const QString kFormat = QStringLiteral("format");
const QString kJobs = QStringLiteral("jobs");
const QString kRecursive = QStringLiteral("recursive");
const QString kCamera = QStringLiteral("camera");
const QString kFrames = QStringLiteral("frames");

std::optional<int> readCount(const QString& text, int smallest, int largest) {
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    if (!ok || value < smallest || value > largest) {
        return std::nullopt;
    }
    return value;
}

std::optional<OutputFormat> readFormat(const QString& text) {
    if (text == QLatin1String("csv")) {
        return OutputFormat::Csv;
    }
    if (text == QLatin1String("jsonl")) {
        return OutputFormat::JsonLines;
    }
    if (text == QLatin1String("table")) {
        return OutputFormat::Table;
    }
    return std::nullopt;
}

MeasureCommandLine::Outcome usageError(const QString& message) {
    MeasureCommandLine::Outcome outcome;
    outcome.exitCode = MeasureCommandLine::kUsageExitCode;
    outcome.message = QStringLiteral("%1: %2\nTry '%1 --help' for more information.\n")
                          .arg(QCoreApplication::applicationName(), message);
    outcome.messageIsError = true;
    return outcome;
}

} // namespace

namespace MeasureCommandLine {

void describe(QCommandLineParser& parser) {
    parser.setApplicationDescription(QStringLiteral(
        "Measures the grey level inside circles of 512 x 480 8-bit grey images, as Gavrel's "
        "window does, and judges it OK or NG.\n"
        "Inputs: BMP, PNG and TIFF files, folders of them, or a camera's video configuration "
        "file. Other images are converted as the window converts them.\n"
        "Exit status: 0 every row OK, 1 some row NG, 2 some image could not be read, "
        "64 wrong usage."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOptions({
        {kCircle,
         QStringLiteral("Circle to measure: centre X (0-511), centre Y (0-479) and radius "
                        "(3 or more); repeat for more circles. Default 100,100,50."),
         QStringLiteral("X,Y,R")},
        {kStandard, QStringLiteral("Standard density, read as the window reads it (default 128)."),
         QStringLiteral("S"), QStringLiteral("128")},
        {kTolerance, QStringLiteral("Tolerance, read as the window reads it (default 20)."),
         QStringLiteral("T"), QStringLiteral("20")},
        {kFormat,
         QStringLiteral("Output format: csv, jsonl or table (default: table on a terminal, "
                        "csv otherwise)."),
         QStringLiteral("csv|jsonl|table")},
        {kJobs, QStringLiteral("Images read and measured at once (default: the number of cores)."),
         QStringLiteral("N")},
        {kRecursive, QStringLiteral("Measure the images of subfolders too.")},
        {kCamera, QStringLiteral("Measure frames of the camera this video configuration names."),
         QStringLiteral("FILE.ini")},
        {kFrames, QStringLiteral("Frames to take from the camera (default 1)."),
         QStringLiteral("N"), QStringLiteral("1")},
    });
    parser.addPositionalArgument(QStringLiteral("PATH"),
                                 QStringLiteral("Image files or folders, measured in order."),
                                 QStringLiteral("PATH..."));
}

Outcome parse(const QStringList& arguments, int defaultJobs) {
    QCommandLineParser parser;
    describe(parser);
    if (!parser.parse(arguments)) {
        return usageError(parser.errorText());
    }
    if (parser.isSet(QStringLiteral("help"))) {
        return Outcome{std::nullopt, 0, parser.helpText(), false};
    }
    if (parser.isSet(QStringLiteral("version"))) {
        return Outcome{std::nullopt, 0,
                       QStringLiteral("%1 %2\n").arg(QCoreApplication::applicationName(),
                                                     QCoreApplication::applicationVersion()),
                       false};
    }

    MeasureOptions options;
    for (const QString& text : parser.values(kCircle)) {
        const std::optional<InspectionCircle> circle = readCircle(text);
        if (!circle) {
            return usageError(QStringLiteral("--circle %1: expected X,Y,R with X 0-%2, "
                                             "Y 0-%3 and R %4 or more")
                                  .arg(text)
                                  .arg(kImageWidth - 1)
                                  .arg(kImageHeight - 1)
                                  .arg(kMinimumRadius));
        }
        options.circles.push_back(*circle);
    }
    if (options.circles.empty()) {
        options.circles.push_back(InspectionCircle{100, 100, 50});
    }
    options.standard = LenientNumber::read(parser.value(kStandard));
    options.tolerance = LenientNumber::read(parser.value(kTolerance));

    if (parser.isSet(kFormat)) {
        options.format = readFormat(parser.value(kFormat));
        if (!options.format) {
            return usageError(QStringLiteral("--format %1: expected csv, jsonl or table")
                                  .arg(parser.value(kFormat)));
        }
    }
    options.jobs = std::clamp(defaultJobs, 1, kMaxJobs);
    if (parser.isSet(kJobs)) {
        const std::optional<int> jobs = readCount(parser.value(kJobs), 1, kMaxJobs);
        if (!jobs) {
            return usageError(QStringLiteral("--jobs %1: expected a whole number from 1 to %2")
                                  .arg(parser.value(kJobs))
                                  .arg(kMaxJobs));
        }
        options.jobs = *jobs;
    }
    options.recursive = parser.isSet(kRecursive);
    options.paths = parser.positionalArguments();
    options.cameraConfig = parser.value(kCamera);

    if (parser.isSet(kFrames)) {
        if (!parser.isSet(kCamera)) {
            return usageError(QStringLiteral("--frames needs --camera"));
        }
        const std::optional<int> frames = readCount(parser.value(kFrames), 1, kMaxFrames);
        if (!frames) {
            return usageError(QStringLiteral("--frames %1: expected a whole number from 1 to %2")
                                  .arg(parser.value(kFrames))
                                  .arg(kMaxFrames));
        }
        options.frames = *frames;
    }
    if (parser.isSet(kCamera) && options.cameraConfig.isEmpty()) {
        return usageError(QStringLiteral("--camera needs a video configuration file"));
    }
    if (parser.isSet(kCamera) && !options.paths.isEmpty()) {
        return usageError(QStringLiteral("give either --camera or paths, not both"));
    }
    if (!parser.isSet(kCamera) && options.paths.isEmpty()) {
        return usageError(QStringLiteral("no image, folder or --camera given"));
    }
    return Outcome{std::move(options), 0, {}, false};
}

std::optional<InspectionCircle> readCircle(const QString& text) {
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 3) {
        return std::nullopt;
    }
    const std::optional<int> x = readCount(parts[0], 0, kImageWidth - 1);
    const std::optional<int> y = readCount(parts[1], 0, kImageHeight - 1);
    const std::optional<int> r =
        readCount(parts[2], kMinimumRadius, std::numeric_limits<int>::max());
    if (!x || !y || !r) {
        return std::nullopt;
    }
    return InspectionCircle{*x, *y, *r};
}

} // namespace MeasureCommandLine
