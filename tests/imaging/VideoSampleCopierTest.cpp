// GoogleTest
#include <gtest/gtest.h>

// Standard library
#include <algorithm>
#include <cstring>
#include <vector>

// GStreamer
#include <gst/gst.h>
#include <gst/video/video.h>

// Ours
#include "KeshImage.h"
#include "VideoSampleCopier.h"

namespace {

constexpr int kWidth = VideoSampleCopier::kWidth;
constexpr int kHeight = VideoSampleCopier::kHeight;

// A real GStreamer sample: `bytes` of buffer whose rows are `stride` apart (announced by a
// video meta when the stride is not the natural one), row y filled with y and padding with 0xEE.
GstSample* makeSample(const char* format, int width, int height, int stride, gsize bytes) {
    static const bool initialised = gst_init_check(nullptr, nullptr, nullptr);
    EXPECT_TRUE(initialised);
    GstBuffer* buffer = gst_buffer_new_allocate(nullptr, bytes, nullptr);
    GstMapInfo map;
    gst_buffer_map(buffer, &map, GST_MAP_WRITE);
    std::memset(map.data, 0xEE, bytes);
    for (int y = 0; y < height && gsize(y) * stride + width <= bytes; ++y) {
        std::memset(map.data + gsize(y) * stride, y & 0xFF, width);
    }
    gst_buffer_unmap(buffer, &map);
    if (stride != width) {
        gsize offsets[GST_VIDEO_MAX_PLANES] = {0};
        gint strides[GST_VIDEO_MAX_PLANES] = {stride};
        gst_buffer_add_video_meta_full(buffer, GST_VIDEO_FRAME_FLAG_NONE,
                                       gst_video_format_from_string(format), width, height, 1,
                                       offsets, strides);
    }
    GstCaps* caps = gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, format, "width",
                                        G_TYPE_INT, width, "height", G_TYPE_INT, height, nullptr);
    GstSample* sample = gst_sample_new(buffer, caps, nullptr, nullptr);
    gst_caps_unref(caps);
    gst_buffer_unref(buffer);
    return sample;
}

std::vector<std::uint8_t> pixelsOf(const KeshImage& image) {
    const auto* first = image.bufferAddress();
    return {first, first + image.bytesPerLine() * image.height()};
}

TEST(VideoSampleCopierTest, CopiesRowsHonouringThePaddedStride) {
    GstSample* sample = makeSample("GRAY8", kWidth, kHeight, 600, gsize(600) * kHeight);
    KeshImage image;
    image.setWidth(20);
    ASSERT_TRUE(VideoSampleCopier::copyTo(sample, image));
    gst_sample_unref(sample);
    ASSERT_EQ(image.width(), kWidth);
    ASSERT_EQ(image.height(), kHeight);
    for (int y = 0; y < kHeight; ++y) {
        const std::uint8_t* row = image.bufferAddress() + qsizetype(y) * kWidth;
        ASSERT_EQ(std::count(row, row + kWidth, std::uint8_t(y & 0xFF)), kWidth) << "row " << y;
    }
}

TEST(VideoSampleCopierTest, RejectsWrongFramesAndKeepsTheImage) {
    struct Case {
        const char* what;
        const char* format;
        int width;
        int height;
        int stride;
        gsize bytes;
    };
    const Case cases[] = {
        {"16-bit grey", "GRAY16_LE", kWidth, kHeight, kWidth * 2, gsize(kWidth) * 2 * kHeight},
        {"colour", "RGB", kWidth, kHeight, kWidth * 3, gsize(kWidth) * 3 * kHeight},
        {"too wide", "GRAY8", 640, kHeight, 640, gsize(640) * kHeight},
        {"too short", "GRAY8", kWidth, 240, kWidth, gsize(kWidth) * 240},
        {"buffer one byte short", "GRAY8", kWidth, kHeight, kWidth, gsize(kWidth) * kHeight - 1},
        {"meta stride past the end", "GRAY8", kWidth, kHeight, 600, gsize(kWidth) * kHeight},
    };
    KeshImage image;
    image.bufferAddress()[7] = 99;
    const auto before = pixelsOf(image);
    for (const Case& c : cases) {
        GstSample* sample = makeSample(c.format, c.width, c.height, c.stride, c.bytes);
        EXPECT_FALSE(VideoSampleCopier::isExpectedFrame(sample)) << c.what;
        EXPECT_FALSE(VideoSampleCopier::copyTo(sample, image)) << c.what;
        gst_sample_unref(sample);
        EXPECT_EQ(pixelsOf(image), before) << c.what;
    }
    EXPECT_FALSE(VideoSampleCopier::copyTo(nullptr, image));
}

} // namespace
