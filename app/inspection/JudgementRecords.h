#pragma once

// Standard library
#include <vector>

// Ours
#include "InspectionRecord.h"
#include "Judgement.h"

// A settled judgement as the inspection record keeps it: one record per measured circle,
// grouped by the part's uuid.
namespace JudgementRecords {

// Gives the judgement its uuids where it has none yet and returns its records, the judged
// pixels shared between them (never copied).
std::vector<InspectionRecord> toRecords(Judgement& judgement);

} // namespace JudgementRecords
