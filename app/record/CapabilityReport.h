#pragma once

// Standard library
#include <optional>
#include <vector>

// Qt
#include <QDateTime>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

// Ours
#include "ControlChartRules.h"
#include "RecordFilter.h"
#include "RecordQueries.h"

class QIODevice;

// The PDF report of a filter, A4, in the window's language: the filter, for each group of
// equal limits the capability figures, the I-MR chart with its rule breaks and the histogram,
// then thumbnails of the archived NG images with their times. The window and the command line
// write the same report.
namespace CapabilityReport {

inline constexpr int kThumbnails = 24;

// Control limits the user froze on a baseline period; they apply to the group of these limits.
struct FrozenBaseline {
    double standard = 0;
    double tolerance = 0;
    ControlChartRules::Limits limits;
};

struct Content {
    QStringList filterLines;
    QString database; // shown without its password
    RecordQueries::CapabilityData data;
    std::optional<FrozenBaseline> baseline;
    std::vector<RecordQueries::ArchivedNg> ngImages;
    QString archiveFolder;
    QDateTime generatedAt;
};

// The filter in words, one condition a line ("すべての記録" without any).
QStringList describe(const RecordFilter& filter);

Content gather(QSqlDatabase& database, const RecordFilter& filter, const QString& archiveFolder);

// The control limits a group's chart uses: the frozen baseline for its group, else its own.
std::optional<ControlChartRules::Limits> controlLimits(const Content& content,
                                                       const ProcessCapability::Group& group);

bool write(const Content& content, QIODevice& output, QString* error);
// Written whole or not at all: an earlier file of that name stays until the new one is done.
bool writeFile(const Content& content, const QString& path, QString* error);

} // namespace CapabilityReport
