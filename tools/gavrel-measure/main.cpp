// Measures circles on image files, folders or camera frames without a window.

// Standard library
#include <cstdio>
#include <memory>
#include <thread>

// POSIX
#include <malloc.h>
#include <unistd.h>

// Qt
#include <QCoreApplication>

// Ours
#include "GavrelVersion.h"
#include "MeasureOptions.h"
#include "MeasureRun.h"
#include "SettingsHome.h"
#include "ReportCommand.h"

int main(int argc, char** argv) {
#ifdef __GLIBC__
    // Every image passes through a few buffers of a quarter megabyte. Kept in the heap rather
    // than mapped and unmapped each time, they are reused without page faults.
    mallopt(M_MMAP_THRESHOLD, 64 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 256 * 1024 * 1024);
#endif
    // A report draws text and needs a GUI application; it opens no window.
    const std::unique_ptr<QCoreApplication> app =
        ReportCommand::wanted(argc, argv) ? ReportCommand::application(argc, argv)
                                          : std::make_unique<QCoreApplication>(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("gavrel-measure"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(gavrel::kVersion));
    // The window's settings (station, images kept), read where the window keeps them.
    SettingsHome::use();

    const auto cores = static_cast<int>(std::thread::hardware_concurrency());
    const MeasureCommandLine::Outcome outcome =
        MeasureCommandLine::parse(QCoreApplication::arguments(), cores > 0 ? cores : 1);
    if (!outcome.options) {
        const QByteArray text = outcome.message.toUtf8();
        std::FILE* stream = outcome.messageIsError ? stderr : stdout;
        std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), stream);
        return outcome.exitCode;
    }
    MeasureRun::Streams streams;
    streams.outputIsTerminal = ::isatty(STDOUT_FILENO) == 1;
    streams.errorsIsTerminal = ::isatty(STDERR_FILENO) == 1;
    return MeasureRun(*outcome.options, streams).exec();
}
