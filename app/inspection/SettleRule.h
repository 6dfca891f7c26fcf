#pragma once

// Standard library
#include <chrono>
#include <optional>

// Ours
#include "Judgement.h"

// Which moments turn the judgement on screen into a record. Intermediate steps of a drag or
// of held keys only show; their end settles. A settle that judged nothing new since the last
// one (a click without a move, 再計算 with nothing changed) records nothing new.
namespace SettleRule {

using Clock = std::chrono::steady_clock;
// Live frames: a change of verdict, and NG frames at most once in this interval.
constexpr std::chrono::seconds kLiveNgInterval{1};

enum class Event {
    DragReleased,  // the end of a drag on the display
    KeysReleased,  // the end of arrow-key or +/- nudges
    Recalculated,  // 再計算
    Grabbed,       // a frame taken by Grab
    Loaded,        // an image file read
    LiveFrame,     // a frame judged in live mode
    LineTriggered, // a live frame taken by the line's trigger: always kept, as a grab is
};

// What the rule remembers between settles of one inspection.
struct Memory {
    std::optional<quint64> lastRecordedSequence;
    // The substance of the last recorded judgement: its image, circles and limits.
    std::optional<Judgement> lastRecorded;
    std::optional<Verdict> previousLiveVerdict;
    std::optional<Clock::time_point> lastLiveNgRecorded;
};

// True when the judgement should be recorded; updates `memory` as if it was.
bool shouldRecord(Event event, const Judgement& judgement, Clock::time_point now, Memory& memory);

// The same image, circles, applied limits and results: nothing new was judged.
bool sameSubstance(const Judgement& a, const Judgement& b);

// Forgets the live history, at the start of a live run.
void startLive(Memory& memory);

} // namespace SettleRule
