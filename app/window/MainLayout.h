#pragma once

// The resize rule of the main window, in twips and single precision as the window's
// container reckons it: the display takes the window's outer size less its own position
// and fixed margins, and the help line sits just under the display.
namespace MainLayout {

inline constexpr float kDisplayLeft = 2760.0f;
inline constexpr float kDisplayTop = 60.0f;
inline constexpr float kRightMargin = 200.0f;
inline constexpr float kBottomMargin = 800.0f;
inline constexpr float kHelpLineGap = 100.0f;
inline constexpr int kTwipsPerPixel = 15;

struct Result {
    float displayWidth;  // twips
    float displayHeight; // twips
    float helpLineTop;   // twips
};

// `outerWidth` and `outerHeight` are the window's size with frame and title bar;
// `barsHeight` is taken by the menu bar and the status line around the layout. A window
// too small for the margins keeps the display at a size of zero (never negative), and the
// help line then sits just under the display's top edge.
Result fit(float outerWidth, float outerHeight, float barsHeight = 0.0f);

// Twips to the nearest whole pixel.
int toPixels(float twips);

} // namespace MainLayout
