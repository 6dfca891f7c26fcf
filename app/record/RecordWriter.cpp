#include "RecordWriter.h"

// Qt
#include <QTimer>

// Ours
#include "RecordDatabase.h"
#include "RecordLocations.h"

RecordWriter::RecordWriter(RecordConfig config, std::chrono::milliseconds retryInterval)
    : config_(std::move(config)), retryInterval_(retryInterval) {}

RecordWriter::~RecordWriter() = default;

void RecordWriter::start() {
    retryTimer_ = new QTimer(this);
    retryTimer_->setInterval(retryInterval_);
    connect(retryTimer_, &QTimer::timeout, this, &RecordWriter::retryNow);
    reconfigure(config_);
}

void RecordWriter::reconfigure(RecordConfig config) {
    if (database_) {
        finish();
    }
    config_ = std::move(config);
    database_ = std::make_unique<RecordDatabase>(config_.url, QStringLiteral("writer"));
    spool_ = std::make_unique<RecordSpool>(
        RecordLocations::spoolFileFor(config_.spoolFolder, config_.url));
    archive_ = std::make_unique<ImageArchive>(config_.archiveFolder);
    databaseError_.clear();
    spooled_ = 0;
    // Records left by an earlier run against this database go first.
    if (spool_->lock()) {
        spooled_ = spool_->count();
        spool_->unlock();
    }
    retryNow();
}

void RecordWriter::submit(InspectionRecord record) {
    prepare(record);
    pending_.push_back(std::move(record));
    // Records already queued behind this one join the same transaction.
    if (!writeScheduled_) {
        writeScheduled_ = true;
        QMetaObject::invokeMethod(this, &RecordWriter::writePending, Qt::QueuedConnection);
    }
}

void RecordWriter::prepare(InspectionRecord& record) {
    if (record.imageSha256.isEmpty() && !record.pixels.isEmpty()) {
        record.imageSha256 = ImageArchive::pixelHash(record.pixels);
    }
    const bool keep = record.verdict == QLatin1String("NG") || config_.keepOkImages;
    if (keep && !record.pixels.isEmpty() && record.imageFile.isEmpty()) {
        QString error;
        record.imageFile = archive_->store(record.pixels, record.imageWidth, record.imageHeight,
                                           record.imageSha256, &error);
        // The record is kept even when its image cannot be: it says so by an empty name.
        localError_ = error;
    }
    record.pixels.clear();
}

void RecordWriter::writePending() {
    writeScheduled_ = false;
    std::vector<InspectionRecord> batch = std::move(unspooled_);
    unspooled_.clear();
    batch.insert(batch.end(), std::make_move_iterator(pending_.begin()),
                 std::make_move_iterator(pending_.end()));
    pending_.clear();
    if (batch.empty()) {
        report();
        return;
    }
    const qint64 count = static_cast<qint64>(batch.size());
    if (spooled_ == 0) {
        if (database_->write(batch)) {
            databaseError_.clear();
            settled += count;
            report();
            return;
        }
        databaseError_ = database_->lastError();
    }
    // Behind records already waiting, or the database refused: to the spool, in order.
    QString error;
    if (spool_->lock() && spool_->append(batch, &error)) {
        spool_->unlock();
        spooled_ += static_cast<int>(count);
        localError_.clear();
    } else {
        spool_->unlock();
        localError_ =
            error.isEmpty() ? QStringLiteral("The spool is held by another program") : error;
        unspooled_ = std::move(batch);
    }
    settled += count;
    if (!retryTimer_->isActive()) {
        retryTimer_->start();
    }
    report();
}

bool RecordWriter::drainSpool() {
    if (!spool_->lock()) {
        return false;
    }
    QString error;
    std::vector<InspectionRecord> records = spool_->readAll(&error);
    bool drained = false;
    if (records.empty()) {
        drained = error.isEmpty();
    } else if (database_->write(records)) {
        databaseError_.clear();
        // Written but not yet cleared after a crash? The next replay skips them by uuid.
        drained = spool_->clear(&error);
    } else {
        databaseError_ = database_->lastError();
    }
    spooled_ = drained ? 0 : static_cast<int>(records.size());
    spool_->unlock();
    if (!error.isEmpty()) {
        localError_ = error;
    }
    return drained;
}

void RecordWriter::retryNow() {
    if (!unspooled_.empty()) {
        writePending();
    }
    if (drainSpool() && unspooled_.empty()) {
        retryTimer_->stop();
    } else if (!retryTimer_->isActive()) {
        retryTimer_->start();
    }
    report();
}

void RecordWriter::finish() {
    writePending();
    if (spooled_ > 0) {
        drainSpool();
    }
    if (database_) {
        database_->close();
    }
    report();
}

void RecordWriter::report() {
    RecordState state;
    if (!unspooled_.empty()) {
        state = {RecordState::Kind::Error, static_cast<int>(unspooled_.size()), localError_};
    } else if (spooled_ > 0) {
        state = {RecordState::Kind::Spooling, spooled_, databaseError_};
    } else if (!localError_.isEmpty()) {
        state = {RecordState::Kind::Error, 0, localError_};
    }
    if (!reportedOnce_ || !(state == reported_)) {
        reportedOnce_ = true;
        reported_ = state;
        emit stateChanged(state);
    }
}
