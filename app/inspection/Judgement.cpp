#include "Judgement.h"

// Standard library
#include <algorithm>

// Ours
#include "JudgementRules.h"

Verdict Judgement::partVerdict() const {
    return JudgementRules::partVerdict(circles);
}

bool Judgement::measuredNothing() const {
    return std::all_of(circles.begin(), circles.end(), [](const CircleJudgement& circle) {
        return circle.verdict == Verdict::Rejected;
    });
}
