#pragma once

// Standard library
#include <utility>
#include <vector>

// Qt
#include <QString>

// Ours
#include "ControlChartRules.h"
#include "ProcessCapability.h"

// The capability figures as the window, the report and the command line write them, in the
// window's language, so that all three show the same digits.
namespace CapabilityText {

// (name, value) in the order shown; a missing figure is "— (reason)".
std::vector<std::pair<QString, QString>> rows(const ProcessCapability::Figures& figures);

// One line per group for the window's summary: limits, count, OK, NG, yield, mean, sd.
QString summaryLine(const ProcessCapability::Figures& figures);
QString summaryHeading(int groups);

// "規則2 ×3, 規則4 ×1", or the text for no breaks.
QString breaksText(const std::vector<ControlChartRules::Break>& breaks);

} // namespace CapabilityText
