#pragma once

// Records, stores and databases for the record's tests.

// Standard library
#include <chrono>
#include <memory>

// Qt
#include <QDir>
#include <QSqlQuery>
#include <QString>
#include <QTimeZone>
#include <QVariant>

// Ours
#include "InspectionRecord.h"
#include "RecordCodec.h"
#include "RecordConfig.h"
#include "RecordDatabase.h"
#include "testutils.h"

namespace recordkit {

inline InspectionRecord sample(int n, const QString& verdict = QStringLiteral("OK")) {
    InspectionRecord r;
    r.measuredAt = QDateTime::fromMSecsSinceEpoch(1767225600000LL + n * 1000LL, QTimeZone::utc());
    r.utcOffsetSeconds = 9 * 3600;
    r.station = QStringLiteral("line-1");
    r.operatorName = QStringLiteral("山田");
    r.source = QStringLiteral("/data/images/検査 %1.bmp").arg(n);
    r.imageSha256 = QString(64, u'a');
    r.cx = 100 + n;
    r.cy = 100;
    r.r = 50;
    r.pixelCount = 7845;
    r.mean = 120.25 + n * 0.1;
    r.stddev = 3.5;
    r.min = 90;
    r.max = 160;
    r.standard = 128;
    r.tolerance = 20;
    r.verdict = verdict;
    r.elapsedUs = 420;
    r.uuid = QStringLiteral("00000000-0000-4000-8000-%1").arg(n, 12, 10, QChar(u'0'));
    return r;
}

inline RecordConfig config(const QString& folder, const DatabaseUrl& url) {
    RecordConfig c;
    c.url = url;
    c.spoolFolder = QDir(folder).filePath(QStringLiteral("spool"));
    c.archiveFolder = QDir(folder).filePath(QStringLiteral("archive"));
    c.station = QStringLiteral("line-1");
    c.operatorName = QStringLiteral("tester");
    return c;
}

inline qint64 scalar(RecordDatabase& database, const QString& sql) {
    QSqlQuery query(database.connection());
    return query.exec(sql) && query.next() ? query.value(0).toLongLong() : -1;
}

inline qint64 rowCount(RecordDatabase& database) {
    return scalar(database, QStringLiteral("SELECT COUNT(*) FROM measurements"));
}

constexpr std::chrono::seconds kSettle{30};

} // namespace recordkit
