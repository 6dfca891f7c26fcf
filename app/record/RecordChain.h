#pragma once

// Standard library
#include <map>

// Qt
#include <QByteArray>
#include <QString>

// Ours
#include "InspectionRecord.h"

// The per-station chain: each record's seal covers its own fields and the seal of the
// station's record before it, so an edited, removed or inserted record shows. Form 1 (records
// written before sealing) is a plain SHA-256 of the fields; form 2 is an HMAC-SHA256 under
// the station's secret key of the fields, each prefixed by its length.
namespace RecordChain {

constexpr int kSealedForm = 2;

// The `previous_sha256` of a station's first record.
QString genesis();

// Form 1: the hash of the record's fields and its `previousSha256`.
QString hashOf(const InspectionRecord& record);
// Form 2: the seal of the record's fields and its `previousSha256` under `key`.
QString sealOf(const InspectionRecord& record, const QByteArray& key);

// Whether the record's own seal holds in its form; a form-2 record whose key is not among
// `keys` (by id) cannot be checked and does not hold.
bool sealHolds(const InspectionRecord& record, const std::map<QString, QByteArray>& keys);

} // namespace RecordChain
