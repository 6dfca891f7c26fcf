#include "MainLayout.h"

// Standard library
#include <algorithm>
#include <cmath>

MainLayout::Result MainLayout::fit(float outerWidth, float outerHeight, float barsHeight) {
    const float width = std::max(outerWidth - kDisplayLeft - kRightMargin, 0.0f);
    const float height = std::max(outerHeight - barsHeight - kDisplayTop - kBottomMargin, 0.0f);
    return {width, height, height + kDisplayTop + kHelpLineGap};
}

int MainLayout::toPixels(float twips) {
    return static_cast<int>(std::lround(twips / static_cast<float>(kTwipsPerPixel)));
}
