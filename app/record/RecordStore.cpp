#include "RecordStore.h"

// Standard library
#include <future>
#include <memory>
#include <pthread.h>

// Qt
#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>

// Ours
#include "RecordCodec.h"
#include "RecordWriter.h"

RecordStore::RecordStore(RecordConfig config, QObject* parent,
                         std::chrono::milliseconds retryInterval)
    : QObject(parent), config_(std::move(config)),
      writer_(new RecordWriter(config_, retryInterval)) {
    qRegisterMetaType<RecordState>();
    // Shared with the thread, which may still be inside set_value() when this returns.
    auto adopted = std::make_shared<std::promise<QThread*>>();
    std::future<QThread*> adoptedThread = adopted->get_future();
    thread_ = std::thread([adopted] {
        pthread_setname_np(pthread_self(), "record writer");
        QThread::currentThread()->setObjectName(QStringLiteral("record writer"));
        // Runs until the QThread is told to quit, even when that comes before exec().
        QEventLoop loop;
        adopted->set_value(QThread::currentThread());
        loop.exec();
    });
    writerThread_ = adoptedThread.get();
    writer_->moveToThread(writerThread_);
    connect(writer_, &RecordWriter::stateChanged, this, [this](const RecordState& state) {
        state_ = state;
        emit stateChanged(state);
    });
    QMetaObject::invokeMethod(writer_, &RecordWriter::start, Qt::QueuedConnection);
}

RecordStore::~RecordStore() {
    QMetaObject::invokeMethod(writer_, &RecordWriter::finish, Qt::BlockingQueuedConnection);
    writerThread_->quit();
    // Once joined the thread has ended and let go of its Qt thread data; the writer, the last
    // object of that thread, goes after it.
    thread_.join();
    writerThread_ = nullptr;
    delete writer_;
}

bool RecordStore::record(InspectionRecord record) {
    // Bounded by the database's own time limits and one flush of the spool.
    return waitUntilKept(submit(std::move(record)), std::chrono::minutes(2));
}

qint64 RecordStore::submit(InspectionRecord record) {
    if (record.uuid.isEmpty()) {
        record.uuid = RecordCodec::newUuid();
    }
    if (!record.measuredAt.isValid()) {
        const QDateTime now = QDateTime::currentDateTime();
        record.measuredAt = now.toUTC();
        record.utcOffsetSeconds = now.offsetFromUtc();
    }
    if (record.station.isEmpty()) {
        record.station = config_.station;
    }
    if (record.operatorName.isEmpty()) {
        record.operatorName = config_.operatorName;
    }
    ++writer_->submitted;
    RecordWriter* writer = writer_;
    QMetaObject::invokeMethod(
        writer_,
        [writer, record = std::move(record)]() mutable { writer->submit(std::move(record)); },
        Qt::QueuedConnection);
    return ++lastTicket_;
}

bool RecordStore::isKept(qint64 ticket) const {
    return writer_->progress.kept() >= ticket;
}

bool RecordStore::hasFailed(qint64 ticket) const {
    return writer_->progress.kept() < ticket && writer_->progress.failed() >= ticket;
}

bool RecordStore::waitUntilKept(qint64 ticket, std::chrono::milliseconds timeout) const {
    return writer_->progress.waitFor(ticket, timeout);
}

void RecordStore::setConfig(RecordConfig config) {
    config_ = config;
    RecordWriter* writer = writer_;
    QMetaObject::invokeMethod(
        writer_,
        [writer, config = std::move(config)]() mutable { writer->reconfigure(std::move(config)); },
        Qt::QueuedConnection);
}

bool RecordStore::waitUntilSettled(std::chrono::milliseconds timeout) {
    QElapsedTimer clock;
    clock.start();
    while (writer_->settled.load() < writer_->submitted.load()) {
        if (clock.elapsed() > timeout.count()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    // Let the last state change arrive.
    QMetaObject::invokeMethod(
        writer_, [] {}, Qt::BlockingQueuedConnection);
    QCoreApplication::processEvents();
    return true;
}

void RecordStore::retryNow() {
    QMetaObject::invokeMethod(writer_, &RecordWriter::retryNow, Qt::QueuedConnection);
}

QString RecordStore::failure() const {
    return writer_->progress.failure();
}
