#pragma once

// Qt
#include <QString>

// Ours
#include "InspectionRecord.h"

// The per-station hash chain: each record's SHA-256 covers its own fields and the hash of
// the station's record before it, so an edited, removed or inserted record shows.
namespace RecordChain {

// The `previous_sha256` of a station's first record.
QString genesis();

// The hash of the record's fields and its `previousSha256`.
QString hashOf(const InspectionRecord& record);

// Whether `record` is intact and follows `previousHash` (genesis() for a station's first).
bool linkHolds(const InspectionRecord& record, const QString& previousHash);

} // namespace RecordChain
