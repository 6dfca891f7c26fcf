#pragma once

// Standard library
#include <cstddef>
#include <cstdint>

// Qt
#include <QString>

// Ours
#include "pelmint.h"

// The program's late binding of CircleAreaAverage (and of CircleAreaStatistics, resolved
// apart at its first call so that measuring never waits for it): the library is looked up by
// its base name at the first call and the resolved function is kept for every later call (it
// is never unloaded). `programFolder` is searched first, then the system's library search. A
// failed lookup is not kept, so a later call tries again.
class PelmintBinding {
public:
    explicit PelmintBinding(QString programFolder, QString baseName = QStringLiteral("Pelmint"),
                            QString exportName = QStringLiteral("CircleAreaAverage"));
    PelmintBinding(const PelmintBinding&) = delete;
    PelmintBinding& operator=(const PelmintBinding&) = delete;

    // Throws RuntimeError(DllLoadError) when the library cannot be loaded and
    // RuntimeError(DllEntryPointNotFound) when it lacks the export.
    double CircleAreaAverage(const std::uint8_t* pixels, std::int32_t width, std::int32_t height,
                             std::int32_t bitsPerPixel, std::int32_t centreX, std::int32_t centreY,
                             std::int32_t radius);

    // Count, mean, standard deviation, min and max of the pixels CircleAreaAverage averages;
    // throws as CircleAreaAverage does.
    std::int32_t CircleAreaStatistics(const std::uint8_t* pixels, std::int32_t width,
                                      std::int32_t height, std::ptrdiff_t stride,
                                      std::int32_t centreX, std::int32_t centreY,
                                      std::int32_t radius, PelmintStatistics* out);

    // Pelmint's MAJOR * 10000 + MINOR * 100 + PATCH, loading the library if need be; 0 when it
    // cannot be loaded or is older than its version export. Never throws.
    int version();

    bool isBound() const { return function_ != nullptr; }
    // Where the library was loaded from, once bound.
    const QString& loadedFrom() const { return loadedFrom_; }

    // The runtime file name of a library with this base name ("libPelmint.so.1").
    static QString fileNameFor(const QString& baseName);

private:
    // Opens the library, throwing as CircleAreaAverage does; never closed once open.
    void* load();
    void* resolve(const QString& exportName);

    QString programFolder_;
    QString baseName_;
    QString exportName_;
    CircleAreaAverageFn function_ = nullptr;
    CircleAreaStatisticsFn statistics_ = nullptr;
    void* library_ = nullptr;
    QString loadedFrom_;
};
