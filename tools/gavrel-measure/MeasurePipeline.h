#pragma once

// Standard library
#include <cstdint>
#include <functional>
#include <vector>

// Standard library
#include <optional>

// Qt
#include <QByteArray>
#include <QString>

// Ours
#include "MeasureOptions.h"
#include "MeasurementRow.h"

class InputSource;
struct MeasureInput;

// The image an input's rows judged, kept for the inspection record when the run records.
struct JudgedImage {
    QString source; // the absolute file path, or the camera's configuration file
    std::optional<qint64> frame;
    QByteArray pixels; // rows of `width` bytes
    int width = 0;
    int height = 0;
    QString sha256;
};

// The rows of one input, and what went wrong with it (empty when nothing did).
struct MeasuredInput {
    std::vector<MeasurementRow> rows;
    QString failure;
    std::optional<JudgedImage> image; // only when recording and the image was read
};

// Reads and measures inputs on several threads and hands the results on in input order.
// Only a bounded number of inputs are in flight at once, so a stream of any length runs in
// the same memory.
class MeasurePipeline {
public:
    using Sink = std::function<void(MeasuredInput&&)>;

    explicit MeasurePipeline(const MeasureOptions& options);

    // Pulls `inputs` to the end; `sink` runs on the calling thread.
    void run(InputSource& inputs, const Sink& sink) const;

    // Reads and measures one input; never throws.
    static MeasuredInput measure(const MeasureInput& input, const MeasureOptions& options);

private:
    const MeasureOptions& options_;
};
