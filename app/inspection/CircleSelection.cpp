#include "CircleSelection.h"

// Standard library
#include <cstdint>

// Ours
#include "JudgementRules.h"

namespace CircleSelection {

int circleAt(const std::vector<CircleSetting>& circles, int x, int y) {
    int found = -1;
    std::int64_t foundRadius = 0;
    for (int i = 0; i < static_cast<int>(circles.size()); ++i) {
        const MeasuredCircle circle = JudgementRules::measuredCircle(circles[i].figure);
        const std::int64_t dx = std::int64_t{x} - circle.centreX;
        const std::int64_t dy = std::int64_t{y} - circle.centreY;
        const std::int64_t r = circle.radius;
        if (r < 0 || dx * dx + dy * dy > r * r) {
            continue;
        }
        if (found < 0 || r <= foundRadius) {
            found = i;
            foundRadius = r;
        }
    }
    return found;
}

} // namespace CircleSelection
