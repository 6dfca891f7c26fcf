// The record window over a million records: opened with its table, summary, chart and the
// pane 工程能力, and taking in one new record while open.

// Standard library
#include <cmath>
#include <memory>
#include <optional>
#include <random>

// Qt
#include <QApplication>
#include <QSqlQuery>
#include <QTimeZone>

// Ours
#include "RecordCodec.h"
#include "RecordDatabase.h"
#include "frmMeasurementRecord.h"
#include "testutils.h"

#include <benchmark/benchmark.h>

namespace {

constexpr qint64 kRecords = 1000000;

testutils::Sandbox& folder() {
    static testutils::Sandbox sandbox;
    return sandbox;
}

RecordConfig millionRows() {
    static std::optional<RecordConfig> config;
    if (config) {
        return *config;
    }
    config.emplace();
    config->url = DatabaseUrl::sqliteFile(folder().filePath(QStringLiteral("million.sqlite")));
    config->archiveFolder = folder().filePath(QStringLiteral("archive"));
    RecordDatabase database(config->url, QStringLiteral("million"));
    database.open();
    QSqlDatabase& connection = database.connection();
    connection.transaction();
    QSqlQuery insert(connection);
    insert.prepare(QStringLiteral(
        "INSERT INTO measurements (record_uuid, measured_at, utc_offset_s, station, operator, "
        "source, image_sha256, image_file, mean, stddev, min, max, standard, tolerance, verdict, "
        "previous_sha256, record_sha256) VALUES (?, ?, 0, 'bench', 'bench', 'x.bmp', '', '', ?, "
        "1, 0, 255, 128, 20, ?, '', '')"));
    std::mt19937 random(26);
    std::normal_distribution<double> noise(0.0, 5.0);
    for (qint64 n = 0; n < kRecords; ++n) {
        const double mean = 130 + noise(random);
        insert.bindValue(0, QStringLiteral("bench-%1").arg(n));
        insert.bindValue(1, RecordCodec::timestampText(QDateTime::fromMSecsSinceEpoch(
                                1767225600000LL + n * 500, QTimeZone::utc())));
        insert.bindValue(2, mean);
        insert.bindValue(3,
                         std::abs(mean - 128) < 20 ? QStringLiteral("OK") : QStringLiteral("NG"));
        insert.exec();
    }
    connection.commit();
    return *config;
}

void BM_WindowOpensOnAMillionRecords(benchmark::State& state) {
    const RecordConfig config = millionRows();
    for (auto _ : state) {
        frmMeasurementRecord window(config);
        window.resize(1200, 900);
        window.show();
        QApplication::processEvents();
        benchmark::DoNotOptimize(window.summaryText());
    }
}
BENCHMARK(BM_WindowOpensOnAMillionRecords)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();

void BM_WindowTakesInANewRecord(benchmark::State& state) {
    const RecordConfig config = millionRows();
    frmMeasurementRecord window(config);
    window.resize(1200, 900);
    window.show();
    QApplication::processEvents();
    RecordDatabase writer(config.url, QStringLiteral("writer"));
    writer.open();
    qint64 n = 0;
    for (auto _ : state) {
        state.PauseTiming();
        QSqlQuery(writer.connection())
            .exec(QStringLiteral("INSERT INTO measurements (record_uuid, measured_at, "
                                 "utc_offset_s, station, operator, source, image_sha256, "
                                 "image_file, mean, stddev, min, max, standard, tolerance, "
                                 "verdict, previous_sha256, record_sha256) VALUES ('new-%1', "
                                 "'2027-01-01T00:00:00.000Z', 0, 'bench', 'bench', 'x.bmp', '', "
                                 "'', 131, 1, 0, 255, 128, 20, 'OK', '', '')")
                      .arg(n++));
        state.ResumeTiming();
        window.followNewRecords();
        QApplication::processEvents();
    }
}
BENCHMARK(BM_WindowTakesInANewRecord)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
