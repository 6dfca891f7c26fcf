#pragma once

// Standard library
#include <memory>
#include <optional>

// Qt
#include <QByteArray>
#include <QString>

class KeshImage;

// One thing to measure, in the order it is met.
struct MeasureInput {
    QString source;                         // how the output names it
    QString path;                           // the file to read, as shown, and
    QByteArray file;                        // its name as the system has it, or
    std::shared_ptr<const KeshImage> frame; // a camera frame already taken, or
    int errorCode = 0;                      // a failure met while finding it
    QString errorText;
    std::optional<qint64> frameNumber; // for a camera frame, counted from 1
};

// A stream of inputs: the next one, or nothing when the stream has ended.
class InputSource {
public:
    virtual ~InputSource() = default;
    virtual std::optional<MeasureInput> next() = 0;
};
