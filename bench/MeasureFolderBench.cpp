// Measuring a folder of 512 x 480 bitmaps with gavrel-measure against reading the same files
// with cat, both from a warm cache. Reports figures; decides nothing.

// Standard library
#include <algorithm>
#include <cstdio>
#include <vector>

// POSIX
#include <sys/resource.h>

// Qt
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>

// Ours
#include "KeshFileAccess.h"
#include "KeshImage.h"

namespace {

constexpr int kFiles = 2000;
constexpr int kRounds = 5;

struct Times {
    double wall = 0.0;
    double cpu = 0.0; // user and system, all threads
};

double childCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Wall-clock and processor seconds of one run of the command, its output thrown away. On a
// busy machine the processor time is the steadier figure.
Times timed(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    const double cpuBefore = childCpuSeconds();
    QElapsedTimer timer;
    timer.start();
    process.start(program, arguments);
    process.waitForFinished(-1);
    const Times times{static_cast<double>(timer.nsecsElapsed()) / 1e9,
                      childCpuSeconds() - cpuBefore};
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() > 2) {
        std::fprintf(stderr, "%s failed: %s\n", qPrintable(program),
                     process.readAllStandardError().constData());
    }
    return times;
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
    std::vector<double> catWall, catCpu, measureWall, measureCpu;
    for (int round = 0; round < kRounds; ++round) {
        const Times cat = timed(QStringLiteral("cat"), files);
        const Times measure = timed(measurer, measureArguments);
        catWall.push_back(cat.wall);
        catCpu.push_back(cat.cpu);
        measureWall.push_back(measure.wall);
        measureCpu.push_back(measure.cpu);
    }
    std::printf("%d files of 512 x 480 x 8 (BMP), warm cache, median of %d rounds, %d cores\n",
                kFiles, kRounds, QThread::idealThreadCount());
    std::printf("                            wall time   processor time\n");
    std::printf("cat > /dev/null:            %8.3f s   %8.3f s\n", median(catWall), median(catCpu));
    std::printf("gavrel-measure > /dev/null: %8.3f s   %8.3f s\n", median(measureWall),
                median(measureCpu));
    std::printf("ratio (target 1.5 or less): %8.2f     %8.2f\n",
                median(measureWall) / median(catWall), median(measureCpu) / median(catCpu));
    return 0;
}
