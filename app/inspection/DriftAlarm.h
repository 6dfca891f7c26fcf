#pragma once

// Standard library
#include <deque>
#include <optional>
#include <vector>

// Qt
#include <QString>

// Ours
#include "ControlChartRules.h"
#include "Judgement.h"

// The early alarm of a live run: each circle's results are watched against a baseline frozen
// from the run's first results, so that a process drifting toward a limit is noticed while
// its parts are still OK.
class DriftAlarm {
public:
    static constexpr int kBaselineResults = 25;

    struct Alarm {
        QString circle;
        std::vector<ControlChartRules::Rule> rules;
    };

    // Forgets every baseline: the next results make new ones.
    void reset() { tracks_.clear(); }
    // The rules the judgement's circles break; empty while the baselines are being taken and
    // when nothing is out of the ordinary.
    std::vector<Alarm> feed(const Judgement& judgement);
    // Whether every circle watched has its baseline.
    bool watching() const;

private:
    struct Track {
        QString circle;
        double standard = 0;
        double tolerance = 0;
        std::vector<double> baseline;
        std::optional<ControlChartRules::Limits> limits;
        std::deque<double> recent;
    };
    Track& trackOf(const CircleJudgement& circle);

    std::vector<Track> tracks_;
};
