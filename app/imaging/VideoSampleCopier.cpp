#include "VideoSampleCopier.h"

// Standard library
#include <cstdint>

// Qt
#include <QtGlobal>

// GStreamer
#include <gst/video/video.h>

// Ours
#include "KeshImage.h"

namespace {

// Maps the sample's frame for reading; fails on wrong caps or a buffer too small.
class MappedFrame {
public:
    explicit MappedFrame(GstSample* sample) {
        GstCaps* caps = sample ? gst_sample_get_caps(sample) : nullptr;
        GstBuffer* buffer = sample ? gst_sample_get_buffer(sample) : nullptr;
        GstVideoInfo info;
        if (!caps || !buffer || !gst_video_info_from_caps(&info, caps) ||
            GST_VIDEO_INFO_FORMAT(&info) != GST_VIDEO_FORMAT_GRAY8 ||
            GST_VIDEO_INFO_WIDTH(&info) != VideoSampleCopier::kWidth ||
            GST_VIDEO_INFO_HEIGHT(&info) != VideoSampleCopier::kHeight) {
            return;
        }
        mapped_ = gst_video_frame_map(&frame_, &info, buffer, GST_MAP_READ);
        if (mapped_ && !holdsWholePlane()) {
            gst_video_frame_unmap(&frame_);
            mapped_ = false;
        }
    }
    ~MappedFrame() {
        if (mapped_) {
            gst_video_frame_unmap(&frame_);
        }
    }
    MappedFrame(const MappedFrame&) = delete;
    MappedFrame& operator=(const MappedFrame&) = delete;

    bool isMapped() const { return mapped_; }
    const std::uint8_t* firstRow() const {
        return static_cast<const std::uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&frame_, 0));
    }
    qsizetype stride() const { return GST_VIDEO_FRAME_PLANE_STRIDE(&frame_, 0); }

private:
    // A video meta may describe a plane that runs past the end of the buffer.
    bool holdsWholePlane() const {
        const qsizetype stride = this->stride();
        if (stride < VideoSampleCopier::kWidth) {
            return false;
        }
        const auto* mapStart = static_cast<const std::uint8_t*>(frame_.map[0].data);
        const qsizetype offset = firstRow() - mapStart;
        const qsizetype needed =
            stride * (VideoSampleCopier::kHeight - 1) + VideoSampleCopier::kWidth;
        return offset >= 0 && static_cast<qsizetype>(frame_.map[0].size) - offset >= needed;
    }

    GstVideoFrame frame_{};
    bool mapped_ = false;
};

} // namespace

bool VideoSampleCopier::isExpectedFrame(GstSample* sample) {
    return MappedFrame(sample).isMapped();
}

bool VideoSampleCopier::copyTo(GstSample* sample, KeshImage& image) {
    const MappedFrame frame(sample);
    if (!frame.isMapped()) {
        return false;
    }
    image.assignGrey8(kWidth, kHeight, frame.firstRow(), frame.stride());
    return true;
}
