#pragma once

// Standard library
#include <cstdint>
#include <optional>
#include <vector>

// Qt
#include <QByteArray>
#include <QDateTime>
#include <QMetaType>
#include <QString>

// What one inspection decided, made once and then only read: the window shows it, the record
// keeps it, the command line prints it and the line publishes it.

enum class Verdict { OK, NG, Rejected };

// The circle as Pelmint was called with it: the window's values rounded to whole numbers.
struct MeasuredCircle {
    std::int32_t centreX = 0;
    std::int32_t centreY = 0;
    std::int32_t radius = 0;
    bool operator==(const MeasuredCircle&) const = default;
};

// What Pelmint reports about the pixels inside one circle.
struct PixelStatistics {
    std::int64_t count = 0;
    double mean = 0.0;
    double stddev = 0.0;
    int min = 0;
    int max = 0;
    bool operator==(const PixelStatistics&) const = default;
};

// Where the judged image came from.
struct ImageOrigin {
    enum class Kind { None, File, CameraFrame, LiveFrame };
    Kind kind = Kind::None;
    QString source; // the image file, or the camera's configuration file
    std::optional<qint64> frame;
    bool operator==(const ImageOrigin&) const = default;
};

struct CircleJudgement {
    QString name;
    MeasuredCircle circle;
    // The limits as applied by this measurement, not as typed since.
    double standard = 0.0;
    double tolerance = 0.0;
    Verdict verdict = Verdict::Rejected;
    double mean = 0.0; // unrounded; meaningless when rejected
    // Count, spread and extremes of the same pixels; filled once, when the judgement settles.
    std::optional<PixelStatistics> statistics;
    double elapsedMs = 0.0; // the library's time for this circle
    QString rejection;      // why the library refused the circle
    QString recordUuid;     // once recorded
};

struct Judgement {
    quint64 sequence = 0;        // 1, 2, ... within one inspection
    quint64 imageGeneration = 0; // changes whenever a new image replaces the one judged
    ImageOrigin origin;
    QDateTime judgedAt; // UTC
    QString recipe;
    QString inspectionUuid; // once recorded
    std::vector<CircleJudgement> circles;
    // The judged pixels, kept only once the judgement settles (for the record's hash and
    // archive); rows of `imageWidth` bytes.
    QByteArray pixels;
    int imageWidth = 0;
    int imageHeight = 0;

    // OK only when every circle is OK; a rejected circle makes the part NG.
    Verdict partVerdict() const;
    // True when every circle was rejected: nothing was measured.
    bool measuredNothing() const;
};

Q_DECLARE_METATYPE(Judgement)
