#pragma once

// Standard library
#include <optional>
#include <vector>

// Qt
#include <QString>

// Ours
#include "CircleSetting.h"
#include "Judgement.h"
#include "SettleRule.h"

class KeshImage;
struct InspectionRecipe;
class KeshPerformanceCounter;
class PelmintBinding;

// What the operator (or a station) is inspecting: the image and where it came from, the
// circles with their limits, and the last judgement. A judgement is made here once; whoever
// shows, records or publishes it reads it from here.
class Inspection {
public:
    static constexpr int kMaxCircles = 32;

    // `image` is the inspected image, owned by the caller and replaced in place; tell
    // imageReplaced() each time.
    Inspection(PelmintBinding& pelmint, const KeshImage& image);

    // The circles: at least one, at most kMaxCircles; one of them is selected.
    int circleCount() const { return static_cast<int>(circles_.size()); }
    const CircleSetting& circle(int index) const { return circles_.at(index); }
    CircleSetting& circle(int index) { return circles_.at(index); }
    const std::vector<CircleSetting>& circles() const { return circles_; }
    int selectedIndex() const { return selected_; }
    CircleSetting& selected() { return circles_[selected_]; }
    const CircleSetting& selected() const { return circles_[selected_]; }
    void select(int index);
    // Adds a circle and selects it; false when there are already kMaxCircles.
    bool addCircle(CircleSetting circle);
    // Removes a circle, never the last one; the selection stays on a circle.
    bool removeCircle(int index);
    // Replaces every circle (a recipe); `circles` must hold 1 to kMaxCircles.
    void setCircles(std::vector<CircleSetting> circles);
    // The name of a new circle: the lowest free number.
    QString freeCircleName() const;

    // A product's set-up: its circles and limits, under its name.
    void applyRecipe(const InspectionRecipe& recipe);
    const QString& recipeName() const { return recipeName_; }
    void setRecipeName(const QString& name) { recipeName_ = name; }
    // The slot a PLC chose the recipe by; 0 when it has none.
    int recipeSlot() const { return recipeSlot_; }

    // The operator's typed limits, read leniently into the selected circle; they take effect
    // with the next measurement.
    void applyTypedLimits(const QString& standardText, const QString& toleranceText);

    // A new image stands where the last one was. Camera frames without a number are numbered
    // here, from 1 for each camera.
    void imageReplaced(ImageOrigin origin);
    const ImageOrigin& origin() const { return origin_; }

    // Measures and judges every circle on the image; `timer` times each library call.
    // Throws what the binding throws when the library cannot be used.
    const Judgement& measure(KeshPerformanceCounter& timer);
    // The last judgement; none before the first measurement.
    const Judgement* last() const { return last_ ? &*last_ : nullptr; }
    const CircleJudgement* lastOfSelected() const;

    struct Settlement {
        Judgement judgement; // with its statistics; with its pixels when recorded
        bool record = false;
    };
    // The last judgement stands (see SettleRule). None when there is nothing to settle: no
    // measurement yet, the image has been replaced since, or the library refused every circle.
    std::optional<Settlement> settle(SettleRule::Event event, SettleRule::Clock::time_point now);
    // A live run starts: the live record rule starts afresh.
    void startLive() { SettleRule::startLive(settleMemory_); }

private:
    bool completeStatistics(Judgement& judgement);

    PelmintBinding& pelmint_;
    const KeshImage& image_;
    std::vector<CircleSetting> circles_;
    int selected_ = 0;
    QString recipeName_;
    int recipeSlot_ = 0;
    ImageOrigin origin_;
    QString camera_;
    qint64 cameraFrames_ = 0;
    quint64 imageGeneration_ = 1;
    quint64 sequence_ = 0;
    std::optional<Judgement> last_;
    SettleRule::Memory settleMemory_;
};
