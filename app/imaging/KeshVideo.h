#pragma once

// Standard library
#include <memory>

// Qt
#include <QString>

class KeshImage;

// The camera: a GStreamer source named by a video configuration file, completed to
// 512 x 480 GRAY8 frames. Every wait has a timeout; failures are reported by status().
class KeshVideo {
public:
    // Status of the last open or capture. 0 is success.
    enum Status : int {
        Ok = 0,
        // (distinct non-zero codes: file unreadable, no pipeline, does not parse,
        //  fails to start, timeout, end of stream, stream error, wrong frame format)
    };

    KeshVideo();
    ~KeshVideo();
    KeshVideo(const KeshVideo&) = delete;
    KeshVideo& operator=(const KeshVideo&) = delete;

    void setConfigFile(const QString& path); // dispid 1 (put)
    void open();                             // dispid 101
    int status() const;                      // dispid 110
    void captureBegin(KeshImage& image);     // dispid 103
    void captureEnd(KeshImage& image);       // dispid 200
    void close();                            // dispid 102
};
