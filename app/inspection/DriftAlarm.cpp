#include "DriftAlarm.h"

// Standard library
#include <algorithm>

namespace {

// The longest look back of a rule (eight in a row).
constexpr std::size_t kRecentResults = 8;

} // namespace

DriftAlarm::Track& DriftAlarm::trackOf(const CircleJudgement& circle) {
    // Other limits are another process: it gets a baseline of its own.
    const auto found = std::find_if(tracks_.begin(), tracks_.end(), [&](const Track& track) {
        return track.circle == circle.name && track.standard == circle.standard &&
               track.tolerance == circle.tolerance;
    });
    if (found != tracks_.end()) {
        return *found;
    }
    tracks_.push_back(Track{circle.name, circle.standard, circle.tolerance, {}, {}, {}});
    return tracks_.back();
}

std::vector<DriftAlarm::Alarm> DriftAlarm::feed(const Judgement& judgement) {
    std::vector<Alarm> alarms;
    for (const CircleJudgement& circle : judgement.circles) {
        if (circle.verdict == Verdict::Rejected) {
            continue;
        }
        Track& track = trackOf(circle);
        if (!track.limits) {
            track.baseline.push_back(circle.mean);
            const auto wanted = static_cast<std::size_t>(kBaselineResults);
            if (track.baseline.size() > wanted) {
                // The newest results, until they vary: a still image gives no limits.
                track.baseline.erase(track.baseline.begin());
            }
            if (track.baseline.size() == wanted) {
                track.limits = ControlChartRules::limitsFrom(track.baseline);
            }
            continue;
        }
        track.recent.push_back(circle.mean);
        if (track.recent.size() > kRecentResults) {
            track.recent.pop_front();
        }
        const std::vector<double> recent(track.recent.begin(), track.recent.end());
        std::vector<ControlChartRules::Rule> rules =
            ControlChartRules::breaksOfNewest(recent, *track.limits);
        if (!rules.empty()) {
            alarms.push_back(Alarm{circle.name, std::move(rules)});
        }
    }
    return alarms;
}

bool DriftAlarm::watching() const {
    return !tracks_.empty() && std::all_of(tracks_.begin(), tracks_.end(), [](const Track& track) {
        return track.limits.has_value();
    });
}
