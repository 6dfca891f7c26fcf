#pragma once

// Qt
#include <QString>

// Time axis labels that stay distinct at every zoom: the finer the spacing of the ticks, the
// more of the time each label shows.
namespace TimeAxisFormat {

// A QDateTime format for ticks `spacingMs` milliseconds apart.
QString forSpacing(double spacingMs);

} // namespace TimeAxisFormat
