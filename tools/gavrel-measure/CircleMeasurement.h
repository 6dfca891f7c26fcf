#pragma once

// Standard library
#include <vector>

// Qt
#include <QString>

// Ours
#include "MeasurementRow.h"

class KeshImage;
struct MeasureOptions;

// One image measured with every circle of the run: one row per circle.
namespace CircleMeasurement {

// `image` is in the working format.
std::vector<MeasurementRow> measure(const QString& source, const KeshImage& image, bool converted,
                                    const MeasureOptions& options);

// Rows for an image that could not be read: ERROR for every circle.
std::vector<MeasurementRow> failed(const QString& source, const MeasureOptions& options);

} // namespace CircleMeasurement
