// Measuring a folder of 512 x 480 bitmaps with gavrel-measure against reading the same files
// with cat, both from a warm cache. Reports figures; decides nothing.

// Standard library
#include <algorithm>
#include <cstdio>
#include <vector>

// Qt
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

// Ours
#include "KeshFileAccess.h"
#include "KeshImage.h"

namespace {

constexpr int kFiles = 2000;
constexpr int kRounds = 5;

// Wall-clock seconds of one run of the command, its output thrown away.
double timed(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer timer;
    timer.start();
    process.start(program, arguments);
    process.waitForFinished(-1);
    const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() > 2) {
        std::fprintf(stderr, "%s failed: %s\n", qPrintable(program),
                     process.readAllStandardError().constData());
    }
    return seconds;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir folder;
    if (!folder.isValid()) {
        std::fprintf(stderr, "no temporary folder\n");
        return 1;
    }
    QStringList files;
    KeshImage image;
    KeshFileAccess access;
    for (int index = 0; index < kFiles; ++index) {
        std::vector<std::uint8_t> pixels(512 * 480);
        for (std::size_t pixel = 0; pixel < pixels.size(); ++pixel) {
            pixels[pixel] = static_cast<std::uint8_t>(pixel * 7 + static_cast<std::size_t>(index));
        }
        image.assign(512, 480, 8, KeshImage::Grey, std::move(pixels));
        files << folder.filePath(
            QStringLiteral("frame-%1.bmp").arg(index, 5, 10, QLatin1Char('0')));
        access.setFileName(files.back());
        access.write(image);
        if (access.errorCode() != 0) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(files.back()));
            return 1;
        }
    }

    const QString measurer = QStringLiteral(GAVREL_MEASURE_PROGRAM);
    const QStringList measureArguments{QStringLiteral("--format"), QStringLiteral("csv"),
                                       folder.path()};
    timed(QStringLiteral("cat"), files); // warm the cache
    timed(measurer, measureArguments);
    std::vector<double> catTimes;
    std::vector<double> measureTimes;
    for (int round = 0; round < kRounds; ++round) {
        catTimes.push_back(timed(QStringLiteral("cat"), files));
        measureTimes.push_back(timed(measurer, measureArguments));
    }
    const double cat = median(catTimes);
    const double measure = median(measureTimes);
    std::printf("%d files of 512 x 480 x 8 (BMP), warm cache, median of %d rounds\n", kFiles,
                kRounds);
    std::printf("cat > /dev/null:            %8.3f s\n", cat);
    std::printf("gavrel-measure > /dev/null: %8.3f s\n", measure);
    std::printf("ratio:                      %8.2f (target 1.5 or less)\n", measure / cat);
    return 0;
}
