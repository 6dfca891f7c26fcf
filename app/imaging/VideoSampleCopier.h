#pragma once

// GStreamer
#include <gst/gst.h>

// Ours
#include "InspectionFormat.h"

class KeshImage;

// Checks that an appsink sample is one 8-bit grey frame of exactly the expected size,
// with a buffer large enough for it, and copies it row by row honouring its stride.
class VideoSampleCopier {
public:
    static constexpr int kWidth = InspectionFormat::kWidth;
    static constexpr int kHeight = InspectionFormat::kHeight;

    static bool isExpectedFrame(GstSample* sample);

    // Leaves the image untouched and returns false when the sample is not such a frame.
    static bool copyTo(GstSample* sample, KeshImage& image);
};
