#pragma once

// Standard library
#include <optional>
#include <vector>

// Qt
#include <QRectF>

// Ours
#include "ControlChartRules.h"
#include "ProcessCapability.h"

class QPainter;

// The capability charts drawn with a painter on any device (the PDF report), without widgets.
namespace CapabilityPainting {

// The individuals chart with its centre line, 3σ limits and rule breaks (a shape per rule),
// above the moving-range chart. Dense data is drawn as the range of each column of pixels, so
// every value stays visible.
void drawControlChart(QPainter& painter, const QRectF& area, const std::vector<double>& values,
                      const std::optional<ControlChartRules::Limits>& limits,
                      const std::vector<ControlChartRules::Break>& breaks);

// The histogram with LSL, USL, the mean and the normal curve of the overall figures.
void drawHistogram(QPainter& painter, const QRectF& area, const ProcessCapability::Group& group,
                   const ProcessCapability::Figures& figures);

} // namespace CapabilityPainting
