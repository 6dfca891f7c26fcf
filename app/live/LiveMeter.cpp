#include "LiveMeter.h"

// Standard library
#include <algorithm>
#include <iterator>

namespace {
constexpr auto kRateWindow = std::chrono::seconds(1);
}

void LiveMeter::reset() {
    judgedTimes_.clear();
    latenciesMs_.clear();
    framesJudged_ = 0;
}

void LiveMeter::frameJudged(Clock::time_point arrived, Clock::time_point judged) {
    ++framesJudged_;
    judgedTimes_.push_back(judged);
    while (judged - judgedTimes_.front() >= kRateWindow) {
        judgedTimes_.pop_front();
    }
    latenciesMs_.push_back(std::chrono::duration<double, std::milli>(judged - arrived).count());
    if (latenciesMs_.size() > kLatencyWindow) {
        latenciesMs_.pop_front();
    }
}

int LiveMeter::framesInLastSecond(Clock::time_point now) const {
    const auto recent = std::find_if(judgedTimes_.begin(), judgedTimes_.end(),
                                     [&](Clock::time_point t) { return now - t < kRateWindow; });
    return static_cast<int>(std::distance(recent, judgedTimes_.end()));
}

double LiveMeter::medianLatencyMs() const {
    if (latenciesMs_.empty()) {
        return 0.0;
    }
    std::vector<double> sorted(latenciesMs_.begin(), latenciesMs_.end());
    const auto middle = sorted.begin() + static_cast<std::ptrdiff_t>(sorted.size() / 2);
    std::nth_element(sorted.begin(), middle, sorted.end());
    return *middle;
}
