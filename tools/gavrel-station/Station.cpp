#include "Station.h"

// Standard library
#include <chrono>

// Qt
#include <QDir>
#include <QFileInfo>

// Ours
#include "DatabaseUrl.h"
#include "InspectionRecorder.h"
#include "LiveFeed.h"
#include "RecipeFile.h"
#include "RecipeFolder.h"
#include "RecordConfig.h"
#include "RecordLocations.h"
#include "RecordStore.h"
#include "RuntimeError.h"

namespace {

constexpr std::chrono::seconds kCameraRetry{2};
constexpr std::chrono::milliseconds kCameraOpeningBeat{20};

} // namespace

Station::Station(PelmintBinding& pelmint, QObject* parent)
    : QObject(parent), pelmint_(pelmint), inspection_(pelmint, image_) {
    cameraRetry_.setSingleShot(true);
    cameraRetry_.setInterval(kCameraRetry);
    connect(&cameraRetry_, &QTimer::timeout, this, &Station::openCamera);
    cameraOpening_.setInterval(kCameraOpeningBeat);
    connect(&cameraOpening_, &QTimer::timeout, this, &Station::cameraOpened);
}

Station::~Station() {
    stop();
}

bool Station::loadRecipe(const QString& path, QString* error) {
    const RecipeFile::ReadResult read = RecipeFile::read(path);
    if (!read.recipe) {
        *error = QStringLiteral("recipe %1: %2").arg(path, read.error);
        return false;
    }
    recipe_ = *read.recipe;
    inspection_.applyRecipe(recipe_);
    return true;
}

bool Station::start(const StationConfig& config, QString* error) {
    stop();
    config_ = config;
    QString recipePath = config.recipe;
    if (recipePath.isEmpty()) {
        // The folder's recipe with the configured slot, else its first by name.
        const std::optional<RecipeFolder::Found> found =
            config.slot == 0 ? RecipeFolder::first(config.recipeFolder)
                             : RecipeFolder::findSlot(config.recipeFolder, config.slot);
        if (found) {
            recipePath = found->path;
        } else {
            *error =
                QStringLiteral("station/recipes: no recipe%1 in %2")
                    .arg(config.slot ? QStringLiteral(" with slot %1").arg(config.slot) : QString(),
                         config.recipeFolder);
            return false;
        }
    }
    if (!loadRecipe(recipePath, error)) {
        return false;
    }
    cameraFile_ = !config.camera.isEmpty() ? config.camera : recipe_.cameraConfigFile;
    if (cameraFile_.isEmpty()) {
        *error = QStringLiteral("station/camera: missing, and the recipe names no camera");
        return false;
    }

    // Every setting is checked before any thread starts.
    std::optional<DatabaseUrl> recordUrl;
    if (!config.recordUrl.isEmpty()) {
        QString urlError;
        recordUrl = DatabaseUrl::parse(config.recordUrl, &urlError);
        if (!recordUrl) {
            *error = QStringLiteral("station/record: %1").arg(urlError);
            return false;
        }
    }

    line_ = std::make_unique<LineLink>(config.line);
    connect(line_.get(), &LineLink::logLine, this, &Station::say);
    connect(line_.get(), &LineLink::recipeSlotRequested, this, &Station::selectSlot);
    if (!line_->start(error)) {
        line_.reset();
        return false;
    }
    if (recordUrl) {
        RecordConfig record;
        record.url = *recordUrl;
        record.station = config.line.station;
        record.operatorName = QStringLiteral("station");
        if (!config.stateFolder.isEmpty()) {
            record.spoolFolder = QDir(config.stateFolder).filePath(QStringLiteral("spool"));
            record.archiveFolder = QDir(config.stateFolder).filePath(QStringLiteral("images"));
        } else {
            record.spoolFolder = RecordLocations::spoolFolder();
            record.archiveFolder = RecordLocations::archiveFolderFor(record.url);
        }
        store_ = std::make_unique<RecordStore>(record);
        connect(store_.get(), &RecordStore::stateChanged, this, &Station::showRecordState);
    }
    recorder_ = std::make_unique<InspectionRecorder>(store_.get());

    line_->setRecipeSlot(recipe_.slot);
    line_->setRecordOk(store_ && store_->state().kind == RecordState::Kind::Ok);
    say(QStringLiteral("recipe %1%2 (%3)")
            .arg(recipe_.name,
                 recipe_.slot ? QStringLiteral(", slot %1").arg(recipe_.slot) : QString(),
                 recipePath));
    say(QStringLiteral("mode %1").arg(config.line.mode == TriggerGate::Mode::Triggered
                                          ? QStringLiteral("triggered")
                                          : QStringLiteral("continuous")));
    openCamera();
    return true;
}

void Station::stop() {
    cameraRetry_.stop();
    cameraOpening_.stop();
    if (feed_) {
        feed_->stop();
        delete feed_;
        feed_ = nullptr;
    }
    if (video_.isOpen() || video_.isOpening()) {
        video_.close();
    }
    if (line_) {
        line_->stop();
        line_.reset();
    }
    recorder_.reset();
    // Writes or spools everything handed over before it goes.
    store_.reset();
    cameraOk_ = false;
}

void Station::openCamera() {
    video_.setConfigFile(cameraFile_);
    video_.openBegin();
    if (video_.isOpening()) {
        cameraOpening_.start();
    } else {
        cameraOpened();
    }
}

void Station::cameraOpened() {
    if (!video_.openEnd(std::chrono::milliseconds(0))) {
        return;
    }
    cameraOpening_.stop();
    if (video_.status() != KeshVideo::Ok) {
        cameraFailed(video_.status());
        return;
    }
    cameraOk_ = true;
    failedStatus_ = KeshVideo::Ok;
    say(QStringLiteral("camera %1 open").arg(cameraFile_));
    line_->setCameraOk(true);
    line_->setReady(true);
    inspection_.startLive();
    feed_ = new LiveFeed(
        [this](KeshImage& image) {
            video_.captureBegin();
            video_.captureEnd(image);
            return video_.status();
        },
        this);
    connect(feed_, &LiveFeed::frameReady, this, &Station::takeFrames);
    connect(feed_, &LiveFeed::failed, this, &Station::cameraFailed);
    feed_->start();
}

void Station::cameraFailed(int status) {
    if (feed_) {
        LiveFeed* feed = std::exchange(feed_, nullptr);
        feed->stop();
        feed->deleteLater();
    }
    if (video_.isOpen()) {
        video_.close();
    }
    // Said once per change: a camera that stays away is tried again quietly.
    if (cameraOk_ || failedStatus_ != status) {
        say(QStringLiteral("camera %1 failed (status %2)%3; trying again")
                .arg(cameraFile_)
                .arg(status)
                .arg(video_.statusText().isEmpty() ? QString()
                                                   : QStringLiteral(": ") + video_.statusText()));
    }
    failedStatus_ = status;
    cameraOk_ = false;
    if (line_) {
        line_->setCameraOk(false);
        line_->setReady(false);
        if (line_->gate().busy()) {
            line_->finishTrigger();
        }
    }
    cameraRetry_.start();
}

void Station::takeFrames() {
    while (feed_) {
        std::optional<LiveFrame> frame = feed_->takeFrame();
        if (!frame) {
            return;
        }
        // Triggered: only the first frame that arrives after the trigger is judged.
        if (!line_->gate().takes(frame->arrived)) {
            continue;
        }
        image_ = std::move(frame->image);
        judgeFrame();
    }
}

void Station::judgeFrame() {
    const bool triggered = line_->gate().mode() == TriggerGate::Mode::Triggered;
    inspection_.imageReplaced({ImageOrigin::Kind::LiveFrame, cameraFile_, std::nullopt});
    try {
        inspection_.measure(timer_);
    } catch (const RuntimeError& failure) {
        say(QStringLiteral("measurement failed: %1").arg(failure.what()));
        if (triggered) {
            line_->finishTrigger();
        }
        return;
    }
    // A triggered frame is a part of its own: always recorded, as a Grab is.
    std::optional<Inspection::Settlement> settled = inspection_.settle(
        triggered ? SettleRule::Event::LineTriggered : SettleRule::Event::LiveFrame,
        SettleRule::Clock::now());
    if (settled) {
        if (settled->record) {
            recorder_->record(settled->judgement);
        }
        line_->publish(settled->judgement, true);
    } else if (const Judgement* last = inspection_.last()) {
        // Nothing measured: the line still hears the verdict of this frame.
        line_->publish(*last, true);
    }
    if (triggered) {
        line_->finishTrigger();
    }
}

void Station::selectSlot(int slot) {
    if (slot == recipe_.slot) {
        line_->setError(LineRegisters::Fault::None);
        return;
    }
    if (std::optional<RecipeFolder::Found> found =
            RecipeFolder::findSlot(config_.recipeFolder, slot)) {
        recipe_ = std::move(found->recipe);
        inspection_.applyRecipe(recipe_);
        line_->setRecipeSlot(slot);
        line_->setError(LineRegisters::Fault::None);
        say(QStringLiteral("recipe %1, slot %2 (%3)").arg(recipe_.name).arg(slot).arg(found->path));
        return;
    }
    line_->setError(LineRegisters::Fault::UnknownRecipeSlot);
    say(QStringLiteral("recipe slot %1 unknown; keeping %2").arg(slot).arg(recipe_.name));
}

void Station::showRecordState(const RecordState& state) {
    if (state.kind == recordKind_) {
        return;
    }
    recordKind_ = state.kind;
    say(QStringLiteral("record: %1")
            .arg(state.kind == RecordState::Kind::Ok ? QStringLiteral("written")
                 : state.kind == RecordState::Kind::Spooling
                     ? QStringLiteral("spooling (%1 waiting)").arg(state.spooled)
                     : QStringLiteral("fault: %1").arg(state.text)));
    if (line_) {
        line_->setRecordOk(state.kind == RecordState::Kind::Ok);
        line_->setError(state.kind == RecordState::Kind::Error ? LineRegisters::Fault::RecordFailed
                                                               : LineRegisters::Fault::None);
    }
}
