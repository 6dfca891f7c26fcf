// Ours
#include "SettleRule.h"

#include <gtest/gtest.h>

namespace {

using SettleRule::Clock;
using SettleRule::Event;
using namespace std::chrono_literals;

Judgement judged(quint64 sequence, quint64 image, Verdict verdict, double standard = 128,
                 int centreX = 100) {
    Judgement judgement;
    judgement.sequence = sequence;
    judgement.imageGeneration = image;
    CircleJudgement circle;
    circle.name = QStringLiteral("1");
    circle.circle = {centreX, 100, 50};
    circle.standard = standard;
    circle.tolerance = 20;
    circle.verdict = verdict;
    judgement.circles.push_back(circle);
    return judgement;
}

TEST(SettleRuleTest, RecordsASettleOnlyWhenItJudgedSomethingNew) {
    const Clock::time_point now{};
    struct Case {
        const char* what;
        Event event;
        Judgement judgement;
        bool recorded;
    };
    // After each case the rule remembers what it recorded; the cases run in order.
    const Case cases[] = {
        {"the first drag release", Event::DragReleased, judged(1, 1, Verdict::OK), true},
        {"a click without a move: the same judgement", Event::DragReleased,
         judged(1, 1, Verdict::OK), false},
        {"a left click on the same pixel: measured again, nothing new", Event::DragReleased,
         judged(2, 1, Verdict::OK), false},
        {"再計算 with nothing changed", Event::Recalculated, judged(3, 1, Verdict::OK), false},
        {"再計算 after a new standard was typed", Event::Recalculated,
         judged(4, 1, Verdict::NG, 100), true},
        {"keys moved the circle", Event::KeysReleased, judged(5, 1, Verdict::NG, 100, 101), true},
        {"keys released with nothing moved", Event::KeysReleased,
         judged(6, 1, Verdict::NG, 100, 101), false},
        {"a grab: a new image", Event::Grabbed, judged(7, 2, Verdict::NG, 100, 101), true},
        {"a load of the same pixels is still a new image", Event::Loaded,
         judged(8, 3, Verdict::NG, 100, 101), true},
        {"a drag back to an earlier circle on this image", Event::DragReleased,
         judged(9, 3, Verdict::NG, 100, 100), true},
        {"a refused measurement keeps nothing", Event::Recalculated,
         judged(10, 3, Verdict::Rejected, 100, -9000), false},
    };
    SettleRule::Memory memory;
    for (const Case& c : cases) {
        EXPECT_EQ(SettleRule::shouldRecord(c.event, c.judgement, now, memory), c.recorded)
            << c.what;
    }
}

TEST(SettleRuleTest, RecordsLiveVerdictChangesAndNgFramesAtMostOnceASecond) {
    struct Case {
        const char* what;
        Clock::duration at;
        Verdict verdict;
        bool recorded;
    };
    const Case cases[] = {
        {"first frame OK", 0ms, Verdict::OK, true},
        {"OK stays OK", 16ms, Verdict::OK, false},
        {"OK turns NG", 33ms, Verdict::NG, true},
        {"NG stays NG within the second", 1032ms, Verdict::NG, false},
        {"NG stays NG a second after the last NG record", 1033ms, Verdict::NG, true},
        {"a refused frame changes nothing", 1050ms, Verdict::Rejected, false},
        {"NG stays NG within the second again", 1066ms, Verdict::NG, false},
        {"NG turns OK", 1100ms, Verdict::OK, true},
        {"OK turns NG at once", 1116ms, Verdict::NG, true},
        {"NG turns OK long after", 60s, Verdict::OK, true},
    };
    SettleRule::Memory memory;
    const Clock::time_point t0 = Clock::time_point{} + 100s;
    quint64 frame = 0;
    for (const Case& c : cases) {
        ++frame;
        EXPECT_EQ(SettleRule::shouldRecord(Event::LiveFrame, judged(frame, frame, c.verdict),
                                           t0 + c.at, memory),
                  c.recorded)
            << c.what;
    }

    // A new live run starts afresh: its first frame is recorded even with the same verdict.
    SettleRule::startLive(memory);
    EXPECT_TRUE(
        SettleRule::shouldRecord(Event::LiveFrame, judged(99, 99, Verdict::OK), t0 + 61s, memory));
}

TEST(SettleRuleTest, AFrameTakenByTheLinesTriggerIsAlwaysKeptAndCountsForTheLiveRule) {
    struct Case {
        const char* what;
        Event event;
        Clock::duration at;
        Verdict verdict;
        bool recorded;
    };
    const Case cases[] = {
        {"first live frame OK", Event::LiveFrame, 0ms, Verdict::OK, true},
        {"a triggered OK after OK", Event::LineTriggered, 16ms, Verdict::OK, true},
        {"live OK after it", Event::LiveFrame, 33ms, Verdict::OK, false},
        {"a triggered NG", Event::LineTriggered, 50ms, Verdict::NG, true},
        {"live NG within the second of the triggered NG", Event::LiveFrame, 66ms, Verdict::NG,
         false},
        {"another triggered NG within the second", Event::LineTriggered, 83ms, Verdict::NG, true},
        {"a triggered frame the library refused", Event::LineTriggered, 100ms, Verdict::Rejected,
         false},
    };
    SettleRule::Memory memory;
    const Clock::time_point t0 = Clock::time_point{} + 100s;
    quint64 frame = 0;
    for (const Case& c : cases) {
        ++frame;
        Judgement judgement = judged(frame, frame, c.verdict);
        EXPECT_EQ(SettleRule::shouldRecord(c.event, judgement, t0 + c.at, memory), c.recorded)
            << c.what;
    }
}

TEST(SettleRuleTest, APartWithSeveralCirclesIsNewWhenAnyCircleOrLimitChanged) {
    Judgement part = judged(1, 1, Verdict::OK);
    CircleJudgement second = part.circles[0];
    second.name = QStringLiteral("2");
    part.circles.push_back(second);
    struct Case {
        const char* what;
        void (*change)(Judgement&);
        bool same;
    };
    const Case cases[] = {
        {"nothing", [](Judgement&) {}, true},
        {"the time of judgement",
         [](Judgement& j) { j.judgedAt = QDateTime::currentDateTimeUtc(); }, true},
        {"the second circle's verdict", [](Judgement& j) { j.circles[1].verdict = Verdict::NG; },
         false},
        {"the second circle's mean: the pixels changed",
         [](Judgement& j) { j.circles[1].mean += 0.5; }, false},
        {"the second circle's radius", [](Judgement& j) { j.circles[1].circle.radius = 51; },
         false},
        {"the second circle's tolerance", [](Judgement& j) { j.circles[1].tolerance = 21; }, false},
        {"the second circle's name", [](Judgement& j) { j.circles[1].name = QStringLiteral("x"); },
         false},
        {"a circle fewer", [](Judgement& j) { j.circles.pop_back(); }, false},
        {"the image", [](Judgement& j) { ++j.imageGeneration; }, false},
        {"the recipe", [](Judgement& j) { j.recipe = QStringLiteral("M8"); }, false},
    };
    for (const Case& c : cases) {
        Judgement other = part;
        ++other.sequence;
        c.change(other);
        EXPECT_EQ(SettleRule::sameSubstance(part, other), c.same) << c.what;
    }
}

} // namespace
