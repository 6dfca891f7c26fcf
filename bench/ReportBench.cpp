// The PDF report over a million records, as gavrel-measure --report and the record window
// write it: reading the filter's values, the figures, both charts and the file.

// Standard library
#include <cmath>
#include <memory>
#include <random>

// Qt
#include <QFileInfo>
#include <QGuiApplication>
#include <QSqlQuery>
#include <QTimeZone>

// Ours
#include "CapabilityReport.h"
#include "RecordCodec.h"
#include "RecordDatabase.h"
#include "RecordPageModel.h"
#include "testutils.h"

#include <benchmark/benchmark.h>

namespace {

constexpr qint64 kRecords = 1000000;

// A million records in two groups of limits, written straight into the table: the report
// reads, it does not care how they came.
RecordDatabase& millionRows() {
    static testutils::Sandbox folder;
    static std::unique_ptr<RecordDatabase> database;
    if (database) {
        return *database;
    }
    database = std::make_unique<RecordDatabase>(
        DatabaseUrl::sqliteFile(folder.filePath(QStringLiteral("million.sqlite"))),
        QStringLiteral("million"));
    database->open();
    QSqlDatabase& connection = database->connection();
    connection.transaction();
    QSqlQuery insert(connection);
    insert.prepare(QStringLiteral(
        "INSERT INTO measurements (record_uuid, measured_at, utc_offset_s, station, operator, "
        "source, image_sha256, image_file, mean, stddev, min, max, standard, tolerance, verdict, "
        "previous_sha256, record_sha256) VALUES (?, ?, 0, 'bench', 'bench', 'x.bmp', '', '', ?, "
        "1, 0, 255, ?, 20, ?, '', '')"));
    std::mt19937 random(26);
    std::normal_distribution<double> noise(0.0, 5.0);
    for (qint64 n = 0; n < kRecords; ++n) {
        const double standard = n % 10 == 0 ? 192 : 128;
        const double mean = standard + 2 + noise(random);
        insert.bindValue(0, QStringLiteral("bench-%1").arg(n));
        insert.bindValue(1, RecordCodec::timestampText(QDateTime::fromMSecsSinceEpoch(
                                1767225600000LL + n * 500, QTimeZone::utc())));
        insert.bindValue(2, mean);
        insert.bindValue(3, standard);
        insert.bindValue(4, std::abs(mean - standard) < 20 ? QStringLiteral("OK")
                                                           : QStringLiteral("NG"));
        insert.exec();
    }
    connection.commit();
    return *database;
}

void BM_ReportOfAMillionRecords(benchmark::State& state) {
    RecordDatabase& database = millionRows();
    testutils::Sandbox out;
    const QString path = out.filePath(QStringLiteral("report.pdf"));
    for (auto _ : state) {
        const CapabilityReport::Content content =
            CapabilityReport::gather(database.connection(), {}, out.filePath(QStringLiteral("a")));
        QString error;
        if (content.data.count() != kRecords ||
            !CapabilityReport::writeFile(content, path, &error)) {
            state.SkipWithError("the report was not written");
        }
    }
    state.counters["pdf_bytes"] = static_cast<double>(QFileInfo(path).size());
    state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_ReportOfAMillionRecords)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// What the window reads and computes for its summary and its pane on a new filter.
void BM_CapabilityOfAMillionRecords(benchmark::State& state) {
    RecordDatabase& database = millionRows();
    for (auto _ : state) {
        const auto data = RecordQueries::capabilityData(database.connection(), {});
        for (const auto& group : data.groups) {
            benchmark::DoNotOptimize(ProcessCapability::compute(group).cpk.value);
        }
    }
}
BENCHMARK(BM_CapabilityOfAMillionRecords)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();

// The record window's table sorted by a column without an index: its first page, and the
// page after the tenth.
void BM_SortedPagesOfAMillionRecords(benchmark::State& state) {
    RecordDatabase& database = millionRows();
    for (auto _ : state) {
        RecordPageModel model(database);
        model.sort(RecordPageModel::Mean, Qt::AscendingOrder);
        for (int page = 0; page < 10; ++page) {
            model.fetchMore();
        }
        if (model.rowCount() != 11 * RecordPageModel::kPageSize) {
            state.SkipWithError("pages missing");
        }
    }
}
BENCHMARK(BM_SortedPagesOfAMillionRecords)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv); // the report draws text
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
