// Records numbered judgements into a database as a separate program would:
//   record_writer_child URL SPOOL_FOLDER STATION FIRST COUNT [PAUSE_MS]
// Record n has the uuid ...-n, so a test can tell exactly which ones arrived. Prints one line
// per record handed over, then the final state; COUNT 0 only replays the spool.

// Standard library
#include <chrono>
#include <cstdio>

// Qt
#include <QCoreApplication>
#include <QThread>
#include <QTimeZone>

// Ours
#include "RecordStore.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 6) {
        std::fprintf(stderr, "usage: URL SPOOL_FOLDER STATION FIRST COUNT [PAUSE_MS]\n");
        return 2;
    }
    const auto url = DatabaseUrl::parse(args[1]);
    if (!url) {
        return 2;
    }
    RecordConfig config;
    config.url = *url;
    config.spoolFolder = args[2];
    config.archiveFolder = args[2] + QStringLiteral("/archive");
    config.station = args[3];
    config.operatorName = QStringLiteral("child");
    // A writer running as another user keeps its station key where the test says.
    config.keyFolder = qEnvironmentVariable("RECORD_KEY_FOLDER");
    const int first = args[4].toInt();
    const int count = args[5].toInt();
    const int pause = args.size() > 6 ? args[6].toInt() : 0;

    RecordStore store(config, nullptr, std::chrono::milliseconds(200));
    int reports = 0;
    QObject::connect(&store, &RecordStore::stateChanged, [&reports] { ++reports; });
    for (int n = first; n < first + count; ++n) {
        InspectionRecord r;
        r.uuid = QStringLiteral("00000000-0000-4000-8000-%1").arg(n, 12, 10, QChar(u'0'));
        r.measuredAt = QDateTime::fromMSecsSinceEpoch(1767225600000LL + n, QTimeZone::utc());
        r.source = QStringLiteral("child");
        r.imageSha256 = QString(64, u'b');
        r.cx = n;
        r.mean = 100 + n % 50;
        r.standard = 128;
        r.tolerance = 20;
        r.verdict = QStringLiteral("OK");
        store.record(r);
        std::printf("handed %d\n", n);
        std::fflush(stdout);
        if (pause > 0) {
            QThread::msleep(static_cast<unsigned long>(pause));
            QCoreApplication::processEvents();
        }
    }
    store.waitUntilSettled(std::chrono::seconds(60));
    {
        // Give the spool a few tries at the database.
        for (int i = 0; i < 100 && (reports == 0 || store.state().kind != RecordState::Kind::Ok);
             ++i) {
            QThread::msleep(50);
            QCoreApplication::processEvents();
        }
    }
    const RecordState state = store.state();
    std::printf("state %d spooled %d %s\n", static_cast<int>(state.kind), state.spooled,
                qPrintable(state.text));
    return 0;
}
