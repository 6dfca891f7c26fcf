#include "CsvExport.h"

// Standard library
#include <cmath>

// Qt
#include <QIODevice>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>

// Ours
#include "RecordCodec.h"
#include "RecordDatabase.h"
#include "RecordSchema.h"

namespace CsvExport {

namespace {

QString number(double value) {
    return std::isnan(value) ? QString()
                             : QString::number(value, 'g', QLocale::FloatingPointShortest);
}

// Cells already made safe; text fields through textField().
QStringList cells(const InspectionRecord& r) {
    return {
        QString::number(r.id),
        RecordCodec::timestampText(r.measuredAt),
        QString::number(r.utcOffsetSeconds),
        textField(r.station),
        textField(r.operatorName),
        textField(r.source),
        r.frame ? QString::number(*r.frame) : QString(),
        textField(r.imageSha256),
        textField(r.imageFile),
        number(r.cx),
        number(r.cy),
        number(r.r),
        QString::number(r.pixelCount),
        number(r.mean),
        number(r.stddev),
        number(r.min),
        number(r.max),
        number(r.standard),
        number(r.tolerance),
        textField(r.verdict),
        QString::number(r.elapsedUs),
        textField(r.uuid),
        textField(r.previousSha256),
        textField(r.recordSha256),
        textField(r.recipe),
        textField(r.inspectionUuid),
        textField(r.circleName),
        textField(r.partVerdict),
    };
}

const QStringList kHeader{
    QStringLiteral("id"),
    QStringLiteral("measured_at"),
    QStringLiteral("utc_offset_s"),
    QStringLiteral("station"),
    QStringLiteral("operator"),
    QStringLiteral("source"),
    QStringLiteral("frame"),
    QStringLiteral("image_sha256"),
    QStringLiteral("image_file"),
    QStringLiteral("cx"),
    QStringLiteral("cy"),
    QStringLiteral("r"),
    QStringLiteral("pixel_count"),
    QStringLiteral("mean"),
    QStringLiteral("stddev"),
    QStringLiteral("min"),
    QStringLiteral("max"),
    QStringLiteral("standard"),
    QStringLiteral("tolerance"),
    QStringLiteral("verdict"),
    QStringLiteral("elapsed_us"),
    QStringLiteral("record_uuid"),
    QStringLiteral("previous_sha256"),
    QStringLiteral("record_sha256"),
    QStringLiteral("recipe"),
    QStringLiteral("inspection_uuid"),
    QStringLiteral("circle_name"),
    QStringLiteral("part_verdict"),
};

QByteArray line(const QStringList& values) {
    return values.join(u',').toUtf8() + "\r\n";
}

QStringList header() {
    QStringList quoted;
    for (const QString& name : kHeader) {
        quoted << field(name);
    }
    return quoted;
}

} // namespace

QString field(const QString& text) {
    static const QString special = QStringLiteral(",\"\r\n");
    bool needsQuotes = false;
    for (QChar c : text) {
        if (special.contains(c)) {
            needsQuotes = true;
            break;
        }
    }
    if (!needsQuotes) {
        return text;
    }
    QString doubled = text;
    doubled.replace(u'"', QStringLiteral("\"\""));
    return u'"' + doubled + u'"';
}

QString textField(const QString& text) {
    static const QString formulaStarts = QStringLiteral("=+-@\t\r");
    if (!text.isEmpty() && formulaStarts.contains(text.front())) {
        return field(u'\'' + text);
    }
    return field(text);
}

qint64 write(QSqlDatabase& database, const RecordFilter& filter, QIODevice& out, QString* error) {
    auto failed = [&](const QString& text) -> qint64 {
        if (error) {
            *error = text;
        }
        return -1;
    };
    QSqlQuery query(database);
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT %1 FROM measurements%2 ORDER BY measured_at, id")
                      .arg(RecordSchema::columnList(), filter.whereClause()));
    filter.bindTo(query);
    if (!query.exec()) {
        return failed(query.lastError().text());
    }
    QByteArray chunk("\xEF\xBB\xBF");
    chunk += line(header());
    qint64 rows = 0;
    while (query.next()) {
        chunk += line(cells(RecordDatabase::fromRow(query)));
        ++rows;
        if (chunk.size() > (1 << 16)) {
            if (out.write(chunk) != chunk.size()) {
                return failed(out.errorString());
            }
            chunk.clear();
        }
    }
    if (query.lastError().isValid()) {
        return failed(query.lastError().text());
    }
    if (out.write(chunk) != chunk.size()) {
        return failed(out.errorString());
    }
    return rows;
}

} // namespace CsvExport
