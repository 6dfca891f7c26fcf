#include "JudgementRecords.h"

// Standard library
#include <cmath>

// Qt
#include <QUuid>

// Ours
#include "JudgementRules.h"

namespace JudgementRecords {

namespace {

QString newUuid() {
    return QUuid::createUuid().toString(QUuid::WithoutBraces);
}

} // namespace

std::vector<InspectionRecord> toRecords(Judgement& judgement) {
    if (judgement.inspectionUuid.isEmpty()) {
        judgement.inspectionUuid = newUuid();
    }
    const QString partVerdict = JudgementRules::verdictText(judgement.partVerdict());
    std::vector<InspectionRecord> records;
    records.reserve(judgement.circles.size());
    for (CircleJudgement& circle : judgement.circles) {
        if (circle.verdict == Verdict::Rejected || !circle.statistics) {
            continue; // nothing measured to keep; the part's verdict says NG
        }
        if (circle.recordUuid.isEmpty()) {
            circle.recordUuid = newUuid();
        }
        InspectionRecord r;
        r.uuid = circle.recordUuid;
        r.measuredAt = judgement.judgedAt.toUTC();
        r.utcOffsetSeconds = judgement.judgedAt.toLocalTime().offsetFromUtc();
        r.source = judgement.origin.source;
        r.frame = judgement.origin.frame;
        r.cx = circle.circle.centreX;
        r.cy = circle.circle.centreY;
        r.r = circle.circle.radius;
        r.pixelCount = circle.statistics->count;
        r.mean = circle.mean;
        r.stddev = circle.statistics->stddev;
        r.min = circle.statistics->min;
        r.max = circle.statistics->max;
        r.standard = circle.standard;
        r.tolerance = circle.tolerance;
        r.verdict = JudgementRules::verdictText(circle.verdict);
        r.elapsedUs = std::llround(circle.elapsedMs * 1000.0);
        r.recipe = judgement.recipe;
        r.inspectionUuid = judgement.inspectionUuid;
        r.circleName = circle.name;
        r.partVerdict = partVerdict;
        r.pixels = judgement.pixels;
        r.imageWidth = judgement.imageWidth;
        r.imageHeight = judgement.imageHeight;
        records.push_back(std::move(r));
    }
    return records;
}

} // namespace JudgementRecords
