// The inspection record under load: records per second sustained through the writer thread
// into SQLite and PostgreSQL, each kept (committed) before it counts, both handed over in
// bursts as the measurer does and one at a time as the window does; and a million-row record
// opened and filtered as the record window does it (first page of the table plus the
// summary).

// Standard library
#include <memory>
#include <vector>

// Qt
#include <QCoreApplication>
#include <QSqlQuery>
#include <QTimeZone>

// Ours
#include "PostgresServer.h"
#include "RecordDatabase.h"
#include "RecordPageModel.h"
#include "RecordQueries.h"
#include "RecordStore.h"
#include "testutils.h"

#include <benchmark/benchmark.h>

namespace {

InspectionRecord judged(qint64 n, int stations = 4) {
    InspectionRecord r;
    r.measuredAt = QDateTime::fromMSecsSinceEpoch(1767225600000LL + n * 500, QTimeZone::utc());
    r.station = QStringLiteral("検査台%1").arg(n % stations);
    r.operatorName = QStringLiteral("bench");
    r.source = QStringLiteral("/images/sample%1.bmp").arg(n % 1000);
    r.imageSha256 = QString(64, u'd');
    r.imageFile = QStringLiteral("");
    r.cx = 100;
    r.cy = 100;
    r.r = 50;
    r.mean = 100 + static_cast<double>(n % 57);
    r.stddev = 3;
    r.standard = 128;
    r.tolerance = 20;
    r.verdict = r.mean > 108 && r.mean < 148 ? QStringLiteral("OK") : QStringLiteral("NG");
    return r;
}

void sustained(benchmark::State& state, const DatabaseUrl& url, bool oneAtATime) {
    testutils::Sandbox sandbox;
    RecordConfig config;
    config.url = url;
    config.spoolFolder = sandbox.filePath(QStringLiteral("spool"));
    config.archiveFolder = sandbox.filePath(QStringLiteral("archive"));
    config.station = QStringLiteral("bench");
    config.operatorName = QStringLiteral("bench");
    config.keyFolder = sandbox.filePath(QStringLiteral("keys"));
    RecordStore store(config);
    qint64 n = 0;
    for (auto _ : state) {
        if (oneAtATime) {
            // Each judgement waits for its own commit, as the window's do.
            for (int i = 0; i < 100; ++i) {
                store.record(judged(n++, 1));
            }
            continue;
        }
        // One second's worth of judgements handed over at once; the last one kept means all
        // of them are.
        qint64 last = 0;
        for (int i = 0; i < 1000; ++i) {
            last = store.submit(judged(n++, 1));
        }
        store.waitUntilKept(last, std::chrono::minutes(2));
    }
    if (store.state().kind != RecordState::Kind::Ok) {
        state.SkipWithError("records were spooled instead of written");
    }
    state.SetItemsProcessed(n);
}

void BM_SustainedSqlite(benchmark::State& state) {
    testutils::Sandbox folder;
    sustained(state, DatabaseUrl::sqliteFile(folder.filePath(QStringLiteral("m.sqlite"))),
              state.range(0) == 1);
}
BENCHMARK(BM_SustainedSqlite)
    ->ArgName("oneAtATime")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10)
    ->UseRealTime();

testutils::PostgresServer& benchServer() {
    static testutils::PostgresServer server;
    return server;
}

void BM_SustainedPostgres(benchmark::State& state) {
    if (!benchServer().isRunning()) {
        state.SkipWithError("no PostgreSQL 15 server could be started");
        return;
    }
    sustained(state, *DatabaseUrl::parse(benchServer().url()), state.range(0) == 1);
}
BENCHMARK(BM_SustainedPostgres)
    ->ArgName("oneAtATime")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10)
    ->UseRealTime();

// A million records, made once for all the window benchmarks.
RecordDatabase& millionRows() {
    static testutils::Sandbox folder;
    static std::unique_ptr<RecordDatabase> database;
    if (!database) {
        database = std::make_unique<RecordDatabase>(
            DatabaseUrl::sqliteFile(folder.filePath(QStringLiteral("million.sqlite"))),
            QStringLiteral("million"));
        for (qint64 start = 0; start < 1000000; start += 50000) {
            std::vector<InspectionRecord> batch;
            batch.reserve(50000);
            for (qint64 n = start; n < start + 50000; ++n) {
                batch.push_back(judged(n));
                batch.back().uuid = QStringLiteral("bench-%1").arg(n);
            }
            database->write(batch);
        }
    }
    return *database;
}

void openAndFilter(benchmark::State& state, const RecordFilter& filter) {
    RecordDatabase& database = millionRows();
    for (auto _ : state) {
        RecordPageModel model(database);
        model.setFilter(filter);
        const auto summary = RecordQueries::summarize(database.connection(), filter);
        benchmark::DoNotOptimize(summary.count);
        if (model.rowCount() == 0) {
            state.SkipWithError("no rows");
        }
    }
}

void BM_MillionRowsOpen(benchmark::State& state) {
    openAndFilter(state, {});
}
BENCHMARK(BM_MillionRowsOpen)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

void BM_MillionRowsFilterNgOfOneStation(benchmark::State& state) {
    RecordFilter filter;
    filter.verdict = QStringLiteral("NG");
    filter.station = QStringLiteral("検査台1");
    openAndFilter(state, filter);
}
BENCHMARK(BM_MillionRowsFilterNgOfOneStation)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5)
    ->UseRealTime();

void BM_MillionRowsFilterOneDayBySource(benchmark::State& state) {
    RecordFilter filter;
    filter.since =
        QDateTime::fromMSecsSinceEpoch(1767225600000LL + 200000LL * 500, QTimeZone::utc());
    filter.until = filter.since.addDays(1);
    filter.source = QStringLiteral("sample7");
    openAndFilter(state, filter);
}
BENCHMARK(BM_MillionRowsFilterOneDayBySource)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5)
    ->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
