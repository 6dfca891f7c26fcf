#include "RowRecorder.h"

// Standard library
#include <chrono>

// Qt
#include <QCoreApplication>
#include <QUuid>

// Ours
#include "InspectionRecord.h"
#include "MeasurePipeline.h"
#include "RecordStore.h"

namespace {

void report(std::FILE* stream, const QString& message) {
    const QByteArray text =
        (QCoreApplication::applicationName() + QStringLiteral(": ") + message + QLatin1Char('\n'))
            .toUtf8();
    std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), stream);
}

} // namespace

RowRecorder::RowRecorder(const RecordConfig& config, QString recipe)
    : config_(config), recipe_(std::move(recipe)), store_(std::make_unique<RecordStore>(config)) {}

RowRecorder::~RowRecorder() = default;

void RowRecorder::record(const MeasuredInput& measured) {
    if (!measured.image) {
        return;
    }
    const JudgedImage& image = *measured.image;
    // The circles of one image are one part.
    const QString part = QUuid::createUuid().toString(QUuid::WithoutBraces);
    for (const MeasurementRow& row : measured.rows) {
        if (!row.statistics || row.verdict == RowVerdict::Error) {
            continue;
        }
        InspectionRecord r;
        r.source = image.source;
        r.frame = image.frame;
        r.imageSha256 = image.sha256;
        r.cx = row.circle.centreX;
        r.cy = row.circle.centreY;
        r.r = row.circle.radius;
        r.pixelCount = row.statistics->count;
        r.mean = row.statistics->mean;
        r.stddev = row.statistics->stddev;
        r.min = row.statistics->min;
        r.max = row.statistics->max;
        r.standard = row.standard;
        r.tolerance = row.tolerance;
        r.verdict = row.verdict == RowVerdict::OK ? QStringLiteral("OK") : QStringLiteral("NG");
        r.elapsedUs = row.elapsedUs;
        r.recipe = recipe_;
        r.inspectionUuid = part;
        r.circleName = row.circleName;
        r.partVerdict =
            row.partVerdict == RowVerdict::OK ? QStringLiteral("OK") : QStringLiteral("NG");
        // Shared, not copied; the writer archives what it is asked to keep.
        if (row.verdict == RowVerdict::NG || config_.keepOkImages) {
            r.pixels = image.pixels;
            r.imageWidth = image.width;
            r.imageHeight = image.height;
        }
        store_->record(std::move(r));
    }
}

bool RowRecorder::finish(std::FILE* errors) {
    // Every row is then written or waits in the spool.
    store_->waitUntilSettled(std::chrono::minutes(10));
    const RecordState state = store_->state();
    store_.reset();
    switch (state.kind) {
    case RecordState::Kind::Ok:
        return true;
    case RecordState::Kind::Spooling:
        report(errors, QStringLiteral("%1 records wait in the spool for %2: %3")
                           .arg(state.spooled)
                           .arg(config_.url.toDisplayString(), state.text));
        return true;
    case RecordState::Kind::Error:
        break;
    }
    report(errors, QStringLiteral("the record could not be kept: %1").arg(state.text));
    return false;
}
