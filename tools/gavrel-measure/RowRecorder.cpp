#include "RowRecorder.h"

// Standard library
#include <chrono>

// Qt
#include <QCoreApplication>

// Ours
#include "InspectionRecord.h"
#include "JudgementRecords.h"
#include "MeasurePipeline.h"
#include "RecordDatabase.h"
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

bool RowRecorder::canEverWrite(const RecordConfig& config, QString* error) {
    RecordDatabase probe(config.url, QStringLiteral("probe"));
    probe.setKeyFolder(config.keyFolder);
    if (probe.open() || !probe.lastErrorLasts()) {
        return true;
    }
    if (error) {
        *error = QStringLiteral("%1: %2").arg(config.url.toDisplayString(), probe.lastError());
    }
    return false;
}

bool RowRecorder::isKept(qint64 ticket) const {
    return store_->isKept(ticket);
}

bool RowRecorder::hasFailed(qint64 ticket) const {
    return store_->hasFailed(ticket);
}

bool RowRecorder::waitUntilKept(qint64 ticket, std::chrono::milliseconds timeout) const {
    return store_->waitUntilKept(ticket, timeout);
}

QString RowRecorder::failure() const {
    return store_->failure();
}

qint64 RowRecorder::record(const MeasuredInput& measured) {
    qint64 ticket = 0;
    if (!measured.image) {
        return ticket;
    }
    // The circles of one image are one part, recorded as the window records its judgements.
    Judgement part = judgementOf(measured);
    for (InspectionRecord& r : JudgementRecords::toRecords(part)) {
        r.imageSha256 = measured.image->sha256;
        // Shared, not copied; the writer archives what it is asked to keep.
        if (r.verdict != QLatin1String("NG") && !config_.keepOkImages) {
            r.pixels.clear();
        }
        ticket = store_->submit(std::move(r));
    }
    return ticket;
}

Judgement RowRecorder::judgementOf(const MeasuredInput& measured) const {
    const JudgedImage& image = *measured.image;
    Judgement judgement;
    judgement.origin = {image.frame ? ImageOrigin::Kind::CameraFrame : ImageOrigin::Kind::File,
                        image.source, image.frame};
    judgement.judgedAt = QDateTime::currentDateTimeUtc();
    judgement.recipe = recipe_;
    judgement.pixels = image.pixels;
    judgement.imageWidth = image.width;
    judgement.imageHeight = image.height;
    for (const MeasurementRow& row : measured.rows) {
        CircleJudgement circle;
        circle.name = row.circleName;
        circle.circle = {row.circle.centreX, row.circle.centreY, row.circle.radius};
        circle.standard = row.standard;
        circle.tolerance = row.tolerance;
        circle.statistics = row.statistics;
        circle.mean = row.statistics ? row.statistics->mean : 0.0;
        circle.elapsedMs = static_cast<double>(row.elapsedUs) / 1000.0;
        switch (row.verdict) {
        case RowVerdict::OK:
            circle.verdict = Verdict::OK;
            break;
        case RowVerdict::NG:
            circle.verdict = Verdict::NG;
            break;
        case RowVerdict::Error:
            circle.verdict = Verdict::Rejected;
            break;
        }
        judgement.circles.push_back(std::move(circle));
    }
    return judgement;
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
