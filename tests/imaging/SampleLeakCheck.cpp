// Built only with the sanitizers: shows that LeakSanitizer, with the project's suppressions,
// reports a GStreamer sample that our code forgets to release.

// GoogleTest
#include <gtest/gtest.h>

// Standard library
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <thread>

// Sanitizers
#include <sanitizer/lsan_interface.h>

// GStreamer
#include <gst/gst.h>

// Ours
#include "KeshImage.h"
#include "KeshVideo.h"
#include "ShippedSamples.h"

namespace {

// A pointer kept only in this form is invisible to LeakSanitizer's scan of memory.
constexpr std::uintptr_t kMask = 0x5a5a5a5a5a5a5a5a;

// Made as the camera makes its frames, on a thread that then ends, so that no stale copy of
// the pointer is left on a stack that LeakSanitizer scans.
std::uintptr_t forgottenSample() {
    std::uintptr_t hidden = 0;
    std::thread([&hidden] {
        GstBuffer* buffer = gst_buffer_new_allocate(nullptr, 512 * 480, nullptr);
        GstCaps* caps =
            gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "GRAY8", "width",
                                G_TYPE_INT, 512, "height", G_TYPE_INT, 480, nullptr);
        GstSample* sample = gst_sample_new(buffer, caps, nullptr, nullptr);
        gst_caps_unref(caps);
        gst_buffer_unref(buffer);
        hidden = reinterpret_cast<std::uintptr_t>(sample) ^ kMask;
    }).join();
    return hidden;
}

TEST(SampleLeakCheck, AForgottenSampleIsReportedAndNothingElse) {
    // GLib's slice allocator would hide the sample inside its own pages.
    ASSERT_STREQ(std::getenv("G_SLICE"), "always-malloc");
    const char* options = std::getenv("LSAN_OPTIONS");
    ASSERT_TRUE(options && std::strstr(options, "lsan.supp")) << "the project's suppressions";

    // The camera runs first, so that GStreamer's one-time allocations have been made.
    KeshVideo video;
    video.setConfigFile(shipped::video(QStringLiteral("test-pattern.ini")));
    video.open();
    ASSERT_EQ(video.status(), KeshVideo::Ok) << video.statusText().toStdString();
    KeshImage image;
    video.captureBegin();
    video.captureEnd(image);
    ASSERT_EQ(video.status(), KeshVideo::Ok) << video.statusText().toStdString();
    video.close();
    EXPECT_EQ(__lsan_do_recoverable_leak_check(), 0) << "nothing leaks before the sample";

    const std::uintptr_t hidden = forgottenSample();
    EXPECT_NE(__lsan_do_recoverable_leak_check(), 0) << "the forgotten sample is reported";

    gst_sample_unref(reinterpret_cast<GstSample*>(hidden ^ kMask));
    EXPECT_EQ(__lsan_do_recoverable_leak_check(), 0) << "the sample was all that leaked";
}

} // namespace
