#include "Inspection.h"

// Standard library
#include <algorithm>
#include <utility>

// Qt
#include <QUuid>

// Ours
#include "InspectionRecipe.h"
#include "JudgementRules.h"
#include "KeshImage.h"
#include "KeshPerformanceCounter.h"
#include "LenientNumber.h"
#include "PelmintBinding.h"
#include "RuntimeError.h"

Inspection::Inspection(PelmintBinding& pelmint, const KeshImage& image)
    : pelmint_(pelmint), image_(image) {
    CircleSetting first;
    first.name = QStringLiteral("1");
    circles_.push_back(std::move(first));
}

void Inspection::select(int index) {
    if (index >= 0 && index < circleCount()) {
        selected_ = index;
    }
}

bool Inspection::addCircle(CircleSetting circle) {
    if (circleCount() >= kMaxCircles) {
        return false;
    }
    if (circle.name.isEmpty()) {
        circle.name = freeCircleName();
    }
    circles_.push_back(std::move(circle));
    selected_ = circleCount() - 1;
    return true;
}

bool Inspection::removeCircle(int index) {
    if (circleCount() <= 1 || index < 0 || index >= circleCount()) {
        return false;
    }
    circles_.erase(circles_.begin() + index);
    if (selected_ > index || selected_ >= circleCount()) {
        --selected_;
    }
    return true;
}

void Inspection::setCircles(std::vector<CircleSetting> circles) {
    if (circles.empty() || static_cast<int>(circles.size()) > kMaxCircles) {
        return;
    }
    circles_ = std::move(circles);
    selected_ = 0;
}

void Inspection::applyRecipe(const InspectionRecipe& recipe) {
    std::vector<CircleSetting> circles;
    for (const RecipeCircle& place : recipe.circles) {
        CircleSetting circle;
        circle.name = place.name;
        circle.figure.setCenterX(place.centreX);
        circle.figure.setCenterY(place.centreY);
        circle.figure.setRadius(place.radius);
        circle.standard = place.standard;
        circle.tolerance = place.tolerance;
        circles.push_back(std::move(circle));
    }
    setCircles(std::move(circles));
    recipeName_ = recipe.name;
    recipeSlot_ = recipe.slot;
}

QString Inspection::freeCircleName() const {
    for (int number = 1;; ++number) {
        const QString name = QString::number(number);
        if (std::none_of(circles_.begin(), circles_.end(),
                         [&](const CircleSetting& circle) { return circle.name == name; })) {
            return name;
        }
    }
}

void Inspection::applyTypedLimits(const QString& standardText, const QString& toleranceText) {
    selected().standard = LenientNumber::read(standardText);
    selected().tolerance = LenientNumber::read(toleranceText);
}

void Inspection::imageReplaced(ImageOrigin origin) {
    // Frames of one camera are numbered from 1, afresh when another camera is used.
    if (origin.kind == ImageOrigin::Kind::CameraFrame ||
        origin.kind == ImageOrigin::Kind::LiveFrame) {
        if (origin.source != camera_) {
            camera_ = origin.source;
            cameraFrames_ = 0;
        }
        if (!origin.frame) {
            origin.frame = ++cameraFrames_;
        }
    }
    origin_ = std::move(origin);
    ++imageGeneration_;
}

const Judgement& Inspection::measure(KeshPerformanceCounter& timer) {
    Judgement judgement;
    judgement.sequence = ++sequence_;
    judgement.imageGeneration = imageGeneration_;
    judgement.origin = origin_;
    judgement.recipe = recipeName_;
    judgement.circles.reserve(circles_.size());
    for (const CircleSetting& setting : circles_) {
        const MeasuredCircle circle = JudgementRules::measuredCircle(setting.figure);
        timer.start();
        const double mean = pelmint_.CircleAreaAverage(
            image_.bufferAddress(), image_.width(), image_.height(), image_.bitsPerPixel(),
            circle.centreX, circle.centreY, circle.radius);
        const double elapsed = timer.elapsedMilliseconds();
        judgement.circles.push_back(JudgementRules::judgeAverage(setting, circle, mean, elapsed));
    }
    judgement.judgedAt = QDateTime::currentDateTimeUtc();
    last_ = std::move(judgement);
    return *last_;
}

const CircleJudgement* Inspection::lastOfSelected() const {
    if (!last_ || selected_ >= static_cast<int>(last_->circles.size())) {
        return nullptr;
    }
    return &last_->circles[selected_];
}

bool Inspection::completeStatistics(Judgement& judgement) {
    for (CircleJudgement& circle : judgement.circles) {
        if (circle.verdict == Verdict::Rejected || circle.statistics) {
            continue;
        }
        PelmintStatistics statistics{};
        std::int32_t status = PELMINT_INVALID_ARGUMENT;
        try {
            status = pelmint_.CircleAreaStatistics(
                image_.bufferAddress(), image_.width(), image_.height(), image_.bytesPerLine(),
                circle.circle.centreX, circle.circle.centreY, circle.circle.radius, &statistics);
        } catch (const RuntimeError&) {
            return false; // the measurement has already told the operator about the library
        }
        if (status != PELMINT_OK) {
            return false;
        }
        // The same pixels as the judged average: only the spread and extremes are new.
        circle.statistics =
            PixelStatistics{statistics.count, circle.mean, statistics.stddev,
                            static_cast<int>(statistics.min), static_cast<int>(statistics.max)};
    }
    return true;
}

std::optional<Inspection::Settlement> Inspection::settle(SettleRule::Event event,
                                                         SettleRule::Clock::time_point now) {
    if (!last_ || last_->imageGeneration != imageGeneration_ || last_->measuredNothing() ||
        image_.bitsPerPixel() != 8) {
        return std::nullopt;
    }
    if (!completeStatistics(*last_)) {
        return std::nullopt;
    }
    Settlement settlement;
    settlement.record = SettleRule::shouldRecord(event, *last_, now, settleMemory_);
    settlement.judgement = *last_;
    if (settlement.record) {
        Judgement& judgement = settlement.judgement;
        judgement.pixels = QByteArray(reinterpret_cast<const char*>(image_.bufferAddress()),
                                      image_.bytesPerLine() * image_.height());
        judgement.imageWidth = image_.width();
        judgement.imageHeight = image_.height();
    }
    return settlement;
}
