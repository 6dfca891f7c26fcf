#pragma once

// Standard library
#include <vector>

// Ours
#include "CircleSetting.h"

// Which circle of a part a click picks.
namespace CircleSelection {

// The smallest circle whose measured disc holds the pixel (x, y), rim included; of equal
// ones the last, drawn on top. -1 when the pixel is in none.
int circleAt(const std::vector<CircleSetting>& circles, int x, int y);

} // namespace CircleSelection
