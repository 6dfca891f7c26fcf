#include "RecordCodec.h"

// Standard library
#include <cmath>

// Qt
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QUuid>

namespace RecordCodec {

namespace {

QJsonValue number(double value) {
    return std::isfinite(value) ? QJsonValue(value) : QJsonValue();
}

double numberFrom(const QJsonValue& value) {
    return value.isDouble() ? value.toDouble() : std::nan("");
}

QByteArray exact(double value) {
    if (std::isnan(value)) {
        return QByteArrayLiteral("nan");
    }
    return QByteArray::number(value, 'g', QLocale::FloatingPointShortest);
}

} // namespace

QString timestampText(const QDateTime& utc) {
    return utc.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzzZ"));
}

QDateTime parseTimestamp(const QString& text) {
    QDateTime time = QDateTime::fromString(text, Qt::ISODateWithMs);
    return time.toUTC();
}

QString newUuid() {
    return QUuid::createUuid().toString(QUuid::WithoutBraces);
}

QByteArray toSpoolLine(const InspectionRecord& record) {
    QJsonObject object{
        {QStringLiteral("uuid"), record.uuid},
        {QStringLiteral("measured_at"), timestampText(record.measuredAt)},
        {QStringLiteral("utc_offset_s"), record.utcOffsetSeconds},
        {QStringLiteral("station"), record.station},
        {QStringLiteral("operator"), record.operatorName},
        {QStringLiteral("source"), record.source},
        {QStringLiteral("image_sha256"), record.imageSha256},
        {QStringLiteral("image_file"), record.imageFile},
        {QStringLiteral("cx"), number(record.cx)},
        {QStringLiteral("cy"), number(record.cy)},
        {QStringLiteral("r"), number(record.r)},
        {QStringLiteral("pixel_count"), record.pixelCount},
        {QStringLiteral("mean"), number(record.mean)},
        {QStringLiteral("stddev"), number(record.stddev)},
        {QStringLiteral("min"), number(record.min)},
        {QStringLiteral("max"), number(record.max)},
        {QStringLiteral("standard"), number(record.standard)},
        {QStringLiteral("tolerance"), number(record.tolerance)},
        {QStringLiteral("verdict"), record.verdict},
        {QStringLiteral("elapsed_us"), record.elapsedUs},
        {QStringLiteral("recipe"), record.recipe},
        {QStringLiteral("inspection_uuid"), record.inspectionUuid},
        {QStringLiteral("circle_name"), record.circleName},
        {QStringLiteral("part_verdict"), record.partVerdict},
    };
    if (record.frame) {
        object.insert(QStringLiteral("frame"), *record.frame);
    }
    if (!record.pixels.isEmpty()) {
        object.insert(QStringLiteral("pixels"), QString::fromLatin1(record.pixels.toBase64()));
        object.insert(QStringLiteral("image_width"), record.imageWidth);
        object.insert(QStringLiteral("image_height"), record.imageHeight);
    }
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

std::optional<InspectionRecord> fromSpoolLine(QByteArrayView line) {
    if (!line.endsWith('\n')) {
        return std::nullopt;
    }
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(line.toByteArray(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        return std::nullopt;
    }
    const QJsonObject o = document.object();
    InspectionRecord r;
    r.uuid = o.value(QStringLiteral("uuid")).toString();
    r.measuredAt = parseTimestamp(o.value(QStringLiteral("measured_at")).toString());
    if (r.uuid.isEmpty() || !r.measuredAt.isValid()) {
        return std::nullopt;
    }
    r.utcOffsetSeconds = o.value(QStringLiteral("utc_offset_s")).toInt();
    r.station = o.value(QStringLiteral("station")).toString();
    r.operatorName = o.value(QStringLiteral("operator")).toString();
    r.source = o.value(QStringLiteral("source")).toString();
    if (o.contains(QStringLiteral("frame"))) {
        r.frame = o.value(QStringLiteral("frame")).toInteger();
    }
    r.imageSha256 = o.value(QStringLiteral("image_sha256")).toString();
    r.imageFile = o.value(QStringLiteral("image_file")).toString();
    r.cx = numberFrom(o.value(QStringLiteral("cx")));
    r.cy = numberFrom(o.value(QStringLiteral("cy")));
    r.r = numberFrom(o.value(QStringLiteral("r")));
    r.pixelCount = o.value(QStringLiteral("pixel_count")).toInteger();
    r.mean = numberFrom(o.value(QStringLiteral("mean")));
    r.stddev = numberFrom(o.value(QStringLiteral("stddev")));
    r.min = numberFrom(o.value(QStringLiteral("min")));
    r.max = numberFrom(o.value(QStringLiteral("max")));
    r.standard = numberFrom(o.value(QStringLiteral("standard")));
    r.tolerance = numberFrom(o.value(QStringLiteral("tolerance")));
    r.verdict = o.value(QStringLiteral("verdict")).toString();
    r.elapsedUs = o.value(QStringLiteral("elapsed_us")).toInteger();
    r.recipe = o.value(QStringLiteral("recipe")).toString();
    r.inspectionUuid = o.value(QStringLiteral("inspection_uuid")).toString();
    r.circleName = o.value(QStringLiteral("circle_name")).toString();
    r.partVerdict = o.value(QStringLiteral("part_verdict")).toString();
    if (o.contains(QStringLiteral("pixels"))) {
        r.pixels = QByteArray::fromBase64(o.value(QStringLiteral("pixels")).toString().toLatin1());
        r.imageWidth = o.value(QStringLiteral("image_width")).toInt();
        r.imageHeight = o.value(QStringLiteral("image_height")).toInt();
        if (r.pixels.size() != qsizetype(r.imageWidth) * r.imageHeight) {
            return std::nullopt;
        }
    }
    return r;
}

QByteArray sealedFields(const InspectionRecord& r) {
    const QList<QByteArray> fields{
        QByteArrayLiteral("gavrel-record-2"),
        r.uuid.toUtf8(),
        timestampText(r.measuredAt).toUtf8(),
        QByteArray::number(r.utcOffsetSeconds),
        r.station.toUtf8(),
        r.operatorName.toUtf8(),
        r.source.toUtf8(),
        r.frame ? QByteArray::number(*r.frame) : QByteArrayLiteral("-"),
        r.imageSha256.toUtf8(),
        r.imageFile.toUtf8(),
        exact(r.cx),
        exact(r.cy),
        exact(r.r),
        QByteArray::number(r.pixelCount),
        exact(r.mean),
        exact(r.stddev),
        exact(r.min),
        exact(r.max),
        exact(r.standard),
        exact(r.tolerance),
        r.verdict.toUtf8(),
        QByteArray::number(r.elapsedUs),
        r.recipe.toUtf8(),
        r.inspectionUuid.toUtf8(),
        r.circleName.toUtf8(),
        r.partVerdict.toUtf8(),
        r.chainKey.toUtf8(),
        r.previousSha256.toUtf8(),
    };
    QByteArray out;
    for (const QByteArray& field : fields) {
        const auto n = static_cast<quint32>(field.size());
        const char length[4] = {char(n >> 24), char(n >> 16), char(n >> 8), char(n)};
        out.append(length, 4);
        out += field;
    }
    return out;
}

QByteArray canonicalFields(const InspectionRecord& r) {
    const QByteArray separator("\x1f");
    const QList<QByteArray> fields{
        r.uuid.toUtf8(),
        timestampText(r.measuredAt).toUtf8(),
        QByteArray::number(r.utcOffsetSeconds),
        r.station.toUtf8(),
        r.operatorName.toUtf8(),
        r.source.toUtf8(),
        r.frame ? QByteArray::number(*r.frame) : QByteArray(),
        r.imageSha256.toUtf8(),
        r.imageFile.toUtf8(),
        exact(r.cx),
        exact(r.cy),
        exact(r.r),
        QByteArray::number(r.pixelCount),
        exact(r.mean),
        exact(r.stddev),
        exact(r.min),
        exact(r.max),
        exact(r.standard),
        exact(r.tolerance),
        r.verdict.toUtf8(),
        QByteArray::number(r.elapsedUs),
    };
    return fields.join(separator);
}

} // namespace RecordCodec
