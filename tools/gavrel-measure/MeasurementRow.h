#pragma once

// Standard library
#include <cstdint>
#include <optional>

// Qt
#include <QString>

// Ours
#include "Judgement.h"
#include "MeasureOptions.h"

enum class RowVerdict { OK, NG, Error };

// What Pelmint reports about the pixels inside one circle: the inspection's own type.
using CircleStatistics = PixelStatistics;

// One line of output: one circle on one image.
struct MeasurementRow {
    QString source;
    InspectionCircle circle;
    std::optional<CircleStatistics> statistics; // unset when the image could not be measured
    double standard = 0.0;
    double tolerance = 0.0;
    RowVerdict verdict = RowVerdict::Error;
    bool converted = false;
    // With a recipe: the circle's name and the verdict of the part (the image) it belongs to.
    QString circleName;
    RowVerdict partVerdict = RowVerdict::Error;
    std::int64_t elapsedUs = 0; // the library's time for this circle
};
