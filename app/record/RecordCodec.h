#pragma once

// Standard library
#include <optional>

// Qt
#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QString>

// Ours
#include "InspectionRecord.h"

// How a record is written down outside the database: one line of the spool, and the
// canonical text that its chain hash covers.
namespace RecordCodec {

// One JSON object ending in a line feed. Pixels are part of it only when set: an image the
// archive could not take waits in the spool beside its record.
QByteArray toSpoolLine(const InspectionRecord& record);
// Empty when the line is not a whole record (a torn write, or foreign text).
std::optional<InspectionRecord> fromSpoolLine(QByteArrayView line);

// Every field of chain form 1 in a fixed order, numbers in their shortest exact form.
QByteArray canonicalFields(const InspectionRecord& record);
// Every stored field of chain form 2, the key's id and the previous seal, each as its byte
// length (4 bytes, big-endian) followed by its UTF-8: no two records share an encoding.
QByteArray sealedFields(const InspectionRecord& record);

// UTC with milliseconds, as stored in `measured_at`; sorts as text in time order.
QString timestampText(const QDateTime& utc);
QDateTime parseTimestamp(const QString& text);

QString newUuid();

} // namespace RecordCodec
