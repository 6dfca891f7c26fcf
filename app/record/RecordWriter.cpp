#include "RecordWriter.h"

// Standard library
#include <algorithm>

// Qt
#include <QTimer>

// Ours
#include "RecordDatabase.h"
#include "RecordLocations.h"

namespace {

// An NG image that could not be archived travels with its record in the spool.
bool carriesImage(const InspectionRecord& record) {
    return !record.pixels.isEmpty();
}

} // namespace

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
    database_->setKeyFolder(config_.keyFolder);
    spool_ = std::make_unique<RecordSpool>(
        RecordLocations::spoolFileFor(config_.spoolFolder, config_.url));
    archive_ = std::make_unique<ImageArchive>(config_.archiveFolder);
    databaseError_.clear();
    // Records left by an earlier run against this database go first.
    spooled_ = spool_->count();
    retryNow();
}

void RecordWriter::submit(InspectionRecord record) {
    ++received_;
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
    if (!keep || record.pixels.isEmpty()) {
        record.pixels.clear();
        return;
    }
    if (!record.imageFile.isEmpty()) {
        record.pixels.clear();
        return;
    }
    QString error;
    record.imageFile = archive_->store(record.pixels, record.imageWidth, record.imageHeight,
                                       record.imageSha256, &error);
    if (!record.imageFile.isEmpty()) {
        record.pixels.clear();
        return;
    }
    // Kept with its record in the spool until the archive takes it.
    record.imageFile = ImageArchive::fileNameFor(record.imageSha256);
    archiveError_ = error;
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
    const qint64 through = received_;
    const bool imagesWait = std::any_of(batch.begin(), batch.end(), carriesImage);
    if (spooled_ == 0 && !imagesWait) {
        if (database_->write(batch)) {
            databaseError_.clear();
            // A spool held a while by another program is no fault once nothing waits.
            localError_.clear();
            progress.markKept(through);
            settled += count;
            report();
            return;
        }
        databaseError_ = database_->lastError();
    }
    // Behind records already waiting, the database refused, or an image could not be
    // archived: to the spool, in order.
    QString error;
    if (spool_->lock() && spool_->append(batch, &error)) {
        spool_->unlock();
        spooled_ += static_cast<int>(count);
        localError_.clear();
        progress.markKept(through);
    } else {
        localError_ = error.isEmpty() ? spool_->lastError() : error;
        spool_->unlock();
        unspooled_ = std::move(batch);
        progress.markFailed(through, localError_);
    }
    settled += count;
    if (!retryTimer_->isActive()) {
        retryTimer_->start();
    }
    report();
}

bool RecordWriter::drainSpool() {
    if (!spool_->lock()) {
        localError_ = spool_->lastError();
        return false;
    }
    QString error;
    QByteArray lines;
    std::vector<InspectionRecord> records = spool_->readAll(&error, &lines);
    // The spool stays open to other programs while the database is written; a record
    // replayed twice is written once, by its uuid.
    spool_->unlock();
    if (records.empty()) {
        spooled_ = 0;
        if (!error.isEmpty()) {
            localError_ = error;
        }
        return error.isEmpty();
    }
    for (InspectionRecord& record : records) {
        if (!carriesImage(record)) {
            continue;
        }
        QString archiveError;
        if (archive_
                ->store(record.pixels, record.imageWidth, record.imageHeight, record.imageSha256,
                        &archiveError)
                .isEmpty()) {
            archiveError_ = archiveError;
            spooled_ = static_cast<int>(records.size());
            return false;
        }
        record.pixels.clear();
    }
    archiveError_.clear();
    if (!database_->write(records)) {
        databaseError_ = database_->lastError();
        spooled_ = static_cast<int>(records.size());
        return false;
    }
    databaseError_.clear();
    bool drained = spool_->lock() && spool_->removeFirst(lines, &error);
    if (!drained && error.isEmpty()) {
        error = spool_->lastError();
    }
    spool_->unlock();
    if (!error.isEmpty()) {
        localError_ = error;
    }
    spooled_ = spool_->count();
    return drained && spooled_ == 0;
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
        // Say what really keeps the records waiting.
        const QString reason = !archiveError_.isEmpty() ? archiveError_ : databaseError_;
        state = {RecordState::Kind::Spooling, spooled_, reason};
    } else if (!localError_.isEmpty()) {
        state = {RecordState::Kind::Error, 0, localError_};
    }
    if (!reportedOnce_ || !(state == reported_)) {
        reportedOnce_ = true;
        reported_ = state;
        emit stateChanged(state);
    }
}
