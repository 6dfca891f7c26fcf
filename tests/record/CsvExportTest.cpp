// Standard library
#include <vector>

// Qt
#include <QBuffer>
#include <QStringList>

// Ours
#include "CsvExport.h"
#include "CsvReader.h"
#include "RecordTestKit.h"

#include <gtest/gtest.h>

namespace {

using testutils::readCsv;

TEST(CsvFieldTest, QuotesOnlyWhatNeedsIt) {
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"plain", "plain"},
        {"a,b", "\"a,b\""},
        {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"two\nlines", "\"two\nlines\""},
        {"", ""},
        {"検査", "検査"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CsvExport::field(QString::fromUtf8(c.in)), QString::fromUtf8(c.out)) << c.in;
    }
}

TEST(CsvFieldTest, TextThatASpreadsheetWouldRunIsLedByAnApostrophe) {
    const struct {
        const char* text;
        const char* cell;
    } cases[] = {
        {"=HYPERLINK(\"http:evil\",\"click\")", "\"'=HYPERLINK(\"\"http:evil\"\",\"\"click\"\")\""},
        {"+1+2", "'+1+2"},
        {"-1+2", "'-1+2"},
        {"@SUM(1,1)", "\"'@SUM(1,1)\""},
        {"\tx", "'\tx"},
        {"\rx", "\"'\rx\""},
        {"line-1", "line-1"},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CsvExport::textField(QString::fromUtf8(c.text)), QString::fromUtf8(c.cell))
            << c.text;
    }
}

TEST(CsvExportTest, RoundTripsJapaneseCommasAndQuotesWithFilters) {
    testutils::Sandbox sandbox;
    RecordDatabase database(DatabaseUrl::sqliteFile(sandbox.filePath(QStringLiteral("m.sqlite"))),
                            QStringLiteral("csv"));
    std::vector<InspectionRecord> batch;
    for (int n = 0; n < 6; ++n) {
        batch.push_back(recordkit::sample(n, n % 2 ? QStringLiteral("NG") : QStringLiteral("OK")));
        batch.back().source = QStringLiteral("C:\\画像\\試料 \"%1\", 第%1.bmp").arg(n);
        batch.back().station = n < 4 ? QStringLiteral("検査台,1") : QStringLiteral("検査台2");
    }
    ASSERT_EQ(database.write(batch), 6);

    RecordFilter filter;
    filter.verdict = QStringLiteral("NG");
    filter.station = QStringLiteral("検査台,1");
    filter.since = batch[1].measuredAt;
    filter.until = batch[5].measuredAt;
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    QString error;
    ASSERT_EQ(CsvExport::write(database.connection(), filter, out, &error), 2)
        << error.toStdString();
    const QByteArray bytes = out.data();
    ASSERT_TRUE(bytes.startsWith("\xEF\xBB\xBF"));
    const auto rows = readCsv(QString::fromUtf8(bytes.mid(3)));
    ASSERT_EQ(rows.size(), 3u);
    const QStringList& header = rows[0];
    const qsizetype source = header.indexOf(QStringLiteral("source"));
    const qsizetype station = header.indexOf(QStringLiteral("station"));
    const qsizetype mean = header.indexOf(QStringLiteral("mean"));
    const qsizetype op = header.indexOf(QStringLiteral("operator"));
    ASSERT_GE(source, 0);
    for (int i = 0; i < 2; ++i) {
        const InspectionRecord& expected = batch[static_cast<std::size_t>(1 + 2 * i)];
        ASSERT_EQ(rows[i + 1].size(), header.size());
        EXPECT_EQ(rows[i + 1][source], expected.source);
        EXPECT_EQ(rows[i + 1][station], expected.station);
        EXPECT_EQ(rows[i + 1][op], QStringLiteral("山田"));
        EXPECT_EQ(rows[i + 1][mean].toDouble(), expected.mean);
    }

    RecordFilter bySource;
    bySource.source = QStringLiteral("第5");
    QBuffer one;
    one.open(QIODevice::WriteOnly);
    EXPECT_EQ(CsvExport::write(database.connection(), bySource, one, &error), 1);
    RecordFilter wildcard;
    wildcard.source = QStringLiteral("%");
    QBuffer none;
    none.open(QIODevice::WriteOnly);
    EXPECT_EQ(CsvExport::write(database.connection(), wildcard, none, &error), 0);
}

} // namespace
