#include "MeasureOptions.h"

// Standard library
#include <algorithm>
#include <limits>

// Qt
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>

// Ours
#include "CircleDrag.h"
#include "DatabaseUrl.h"
#include "InspectionFormat.h"
#include "LenientNumber.h"
#include "RecipeFile.h"

namespace {

// The window's working image and its smallest radius bound the circles.
constexpr int kImageWidth = InspectionFormat::kWidth;
constexpr int kImageHeight = InspectionFormat::kHeight;
constexpr int kMinimumRadius = static_cast<int>(CircleDrag::kMinimumRadius);
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
const QString kRecord = QStringLiteral("record");
const QString kRecipe = QStringLiteral("recipe");
const QString kExport = QStringLiteral("export");
const QString kVerify = QStringLiteral("verify");
const QString kSince = QStringLiteral("since");
const QString kUntil = QStringLiteral("until");
const QString kOutput = QStringLiteral("output");
const QString kReport = QStringLiteral("report");
const QString kStation = QStringLiteral("station");

// "2026-03-01" (the start of that day) or "2026-03-01T08:30[:00][Z|+09:00]", local time
// unless an offset is given.
std::optional<QDateTime> readTime(const QString& text) {
    const QString trimmed = text.trimmed();
    if (const QDate day = QDate::fromString(trimmed, Qt::ISODate); day.isValid()) {
        return day.startOfDay();
    }
    if (const QDateTime time = QDateTime::fromString(trimmed, Qt::ISODateWithMs); time.isValid()) {
        return time;
    }
    return std::nullopt;
}

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
        {kRecipe,
         QStringLiteral("Measure the circles of this recipe, each against its own standard and "
                        "tolerance; adds the columns circle and part_verdict, and the exit "
                        "status follows the parts. Without images, its camera is used. With "
                        "--report: only this recipe's records (its name, or a recipe file)."),
         QStringLiteral("FILE.gavrel-recipe")},
        {kFrames, QStringLiteral("Frames to take from the camera (default 1)."),
         QStringLiteral("N"), QStringLiteral("1")},
        {kRecord,
         QStringLiteral("Also keep every row in the inspection record at this database "
                        "(sqlite:///path/file.sqlite or postgresql://user@host:port/db). Rows "
                        "it cannot take wait in the spool for the next run."),
         QStringLiteral("URL")},
        {kExport,
         QStringLiteral("Instead of measuring, write the records of this database as CSV "
                        "(UTF-8 with a byte-order mark)."),
         QStringLiteral("URL")},
        {kSince, QStringLiteral("--export: records measured at or after this time (ISO 8601)."),
         QStringLiteral("TIME")},
        {kUntil, QStringLiteral("--export: records measured before this time (ISO 8601)."),
         QStringLiteral("TIME")},
        {kOutput, QStringLiteral("--export: the CSV file (default: standard output)."),
         QStringLiteral("FILE")},
        {kVerify,
         QStringLiteral("Instead of measuring, check every station's hash chain of this "
                        "database: exit 0 when all are intact, 1 when a link is broken."),
         QStringLiteral("URL")},
        {kReport,
         QStringLiteral("Instead of measuring, write a PDF report (process capability, control "
                        "chart, histogram, NG images) of this database's records to --output, "
                        "and print its figures."),
         QStringLiteral("URL")},
        {kStation, QStringLiteral("--report: only this station's records."),
         QStringLiteral("NAME")},
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
    const int databaseOptions = int(parser.isSet(kRecord)) + int(parser.isSet(kExport)) +
                                int(parser.isSet(kVerify)) + int(parser.isSet(kReport));
    if (databaseOptions > 1) {
        return usageError(
            QStringLiteral("give only one of --record, --export, --verify and --report"));
    }
    for (const QString& name : {kRecord, kExport, kVerify, kReport}) {
        if (parser.isSet(name)) {
            QString error;
            if (!DatabaseUrl::parse(parser.value(name), &error)) {
                return usageError(
                    QStringLiteral("--%1 %2: %3").arg(name, parser.value(name), error));
            }
            options.database = parser.value(name);
        }
    }
    for (const QString& name : {kSince, kUntil, kOutput}) {
        if (parser.isSet(name) && !parser.isSet(kExport) && !parser.isSet(kReport)) {
            return usageError(QStringLiteral("--%1 needs --export or --report").arg(name));
        }
    }
    if (parser.isSet(kStation) && !parser.isSet(kReport)) {
        return usageError(QStringLiteral("--station needs --report"));
    }
    if (parser.isSet(kRecipe) && (parser.isSet(kExport) || parser.isSet(kVerify))) {
        return usageError(QStringLiteral("--recipe goes with measuring or --report"));
    }
    if (parser.isSet(kReport) && parser.value(kOutput).isEmpty()) {
        return usageError(QStringLiteral("--report needs --output FILE.pdf"));
    }
    if (parser.isSet(kExport) || parser.isSet(kVerify) || parser.isSet(kReport)) {
        options.command = parser.isSet(kExport)   ? MeasureOptions::Command::Export
                          : parser.isSet(kVerify) ? MeasureOptions::Command::Verify
                                                  : MeasureOptions::Command::Report;
        if (!parser.positionalArguments().isEmpty() || parser.isSet(kCamera)) {
            return usageError(
                QStringLiteral("--export, --verify and --report take no images or camera"));
        }
        options.station = parser.value(kStation);
        options.recipe = parser.value(kRecipe);
        // A recipe file stands for its name.
        if (QFileInfo(options.recipe).isFile()) {
            if (const RecipeFile::ReadResult read = RecipeFile::read(options.recipe); read.recipe) {
                options.recipe = read.recipe->name;
            }
        }
        for (const auto& [name, time] :
             {std::pair{kSince, &options.since}, std::pair{kUntil, &options.until}}) {
            if (parser.isSet(name)) {
                const std::optional<QDateTime> read = readTime(parser.value(name));
                if (!read) {
                    return usageError(QStringLiteral("--%1 %2: expected a date or time such as "
                                                     "2026-03-01 or 2026-03-01T08:30:00+09:00")
                                          .arg(name, parser.value(name)));
                }
                *time = *read;
            }
        }
        options.outputFile = parser.value(kOutput);
        return Outcome{std::move(options), 0, {}, false};
    }
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
    options.standard = LenientNumber::read(parser.value(kStandard));
    options.tolerance = LenientNumber::read(parser.value(kTolerance));
    if (parser.isSet(kRecipe)) {
        if (parser.isSet(kCircle) || parser.isSet(kStandard) || parser.isSet(kTolerance)) {
            return usageError(
                QStringLiteral("--recipe sets the circles and limits: give no --circle, "
                               "--standard or --tolerance with it"));
        }
        options.recipeFile = parser.value(kRecipe);
        const RecipeFile::ReadResult recipe = RecipeFile::read(options.recipeFile);
        if (!recipe.recipe) {
            return usageError(
                QStringLiteral("--recipe %1: %2").arg(options.recipeFile, recipe.error));
        }
        options.recipeName = recipe.recipe->name;
        for (const RecipeCircle& circle : recipe.recipe->circles) {
            options.circles.push_back(InspectionCircle{circle.centreX, circle.centreY,
                                                       circle.radius, circle.name, circle.standard,
                                                       circle.tolerance});
        }
        if (!parser.isSet(kCamera) && parser.positionalArguments().isEmpty() &&
            !recipe.recipe->cameraConfigFile.isEmpty()) {
            options.cameraConfig = recipe.recipe->cameraConfigFile;
        }
    }
    if (options.circles.empty()) {
        options.circles.push_back(InspectionCircle{100, 100, 50, {}, {}, {}});
    }

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
    if (parser.isSet(kCamera) || options.cameraConfig.isEmpty()) {
        options.cameraConfig = parser.value(kCamera);
    }
    const bool camera = parser.isSet(kCamera) || !options.cameraConfig.isEmpty();

    if (parser.isSet(kFrames)) {
        if (!camera) {
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
    if (!camera && options.paths.isEmpty()) {
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
    return InspectionCircle{*x, *y, *r, {}, {}, {}};
}

} // namespace MeasureCommandLine
