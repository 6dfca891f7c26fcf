// Standard library
#include <cmath>
#include <limits>

// Google Test
#include <gtest/gtest.h>

// Qt
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimeZone>

// Ours
#include "JudgementMessage.h"
#include "LineRegisters.h"
#include "TriggerGate.h"

using namespace LineRegisters;

namespace {

CircleJudgement circle(Verdict verdict, double mean, PixelStatistics statistics,
                       double elapsedMs = 0.25) {
    CircleJudgement c;
    c.name = QStringLiteral("1");
    c.circle = {100, 120, 50};
    c.standard = 128;
    c.tolerance = 20;
    c.verdict = verdict;
    c.mean = mean;
    c.statistics = statistics;
    c.elapsedMs = elapsedMs;
    return c;
}

Judgement judgement(quint64 sequence, std::vector<CircleJudgement> circles) {
    Judgement j;
    j.sequence = sequence;
    j.circles = std::move(circles);
    j.judgedAt = QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7, 89), Qt::UTC);
    j.recipe = QStringLiteral("cap");
    j.origin = {ImageOrigin::Kind::LiveFrame, QStringLiteral("/cam.ini"), 42};
    return j;
}

std::uint32_t words(const Result& result, int high) {
    return (std::uint32_t{result.registers[static_cast<std::size_t>(high)]} << 16) |
           result.registers[static_cast<std::size_t>(high + 1)];
}

} // namespace

TEST(LineRegisters, EncodesEveryFieldOrClampsAndFlagsIt) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        const char* what;
        quint64 sequence;
        double mean;
        PixelStatistics statistics;
        double elapsedMs;
        std::uint16_t mean100, stddev100, min, max;
        std::uint32_t count, elapsedUs, sequenceWords;
        std::uint16_t clamps;
    };
    const Case cases[] = {
        {"ordinary",
         7,
         127.456,
         {7845, 127.456, 3.215, 12, 250},
         0.25,
         12746,
         322,
         12,
         250,
         7845,
         250,
         7,
         0},
        {"hundredths round to nearest",
         1,
         0.004,
         {1, 0.004, 0.005, 0, 0},
         0.0,
         0,
         0,
         0,
         0,
         1,
         0,
         1,
         0},
        {"largest that fits",
         0xFFFFFFFFull,
         655.35,
         {4294967295ll, 655.35, 655.35, 0, 65535},
         4294967.295,
         65535,
         65535,
         0,
         65535,
         0xFFFFFFFFu,
         0xFFFFFFFFu,
         0xFFFFFFFFu,
         0},
        {"too big",
         0x100000000ull,
         700.0,
         {4294967296ll, 700.0, 800.0, 0, 70000},
         5e6,
         65535,
         65535,
         0,
         65535,
         0xFFFFFFFFu,
         0xFFFFFFFFu,
         0xFFFFFFFFu,
         ClampedSequence | ClampedMean | ClampedStdDev | ClampedMax | ClampedCount | ClampedTime},
        {"negative and not a number",
         3,
         -1.0,
         {5, -1.0, nan, -4, 3},
         0.0,
         0,
         0,
         0,
         3,
         5,
         0,
         3,
         ClampedMean | ClampedStdDev | ClampedMin},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Result r =
            encode(judgement(c.sequence, {circle(Verdict::OK, c.mean, c.statistics, c.elapsedMs)}));
        EXPECT_EQ(r.registers[Mean], c.mean100);
        EXPECT_EQ(r.registers[StdDev], c.stddev100);
        EXPECT_EQ(r.registers[Min], c.min);
        EXPECT_EQ(r.registers[Max], c.max);
        EXPECT_EQ(words(r, PixelCountHigh), c.count);
        EXPECT_EQ(words(r, MeasurementUsHigh), c.elapsedUs);
        EXPECT_EQ(words(r, SequenceHigh), c.sequenceWords);
        EXPECT_EQ(r.registers[ClampMask], c.clamps);
    }
}

TEST(LineRegisters, PartVerdictAndOneBitPerCircleForTheFirstSixteen) {
    const PixelStatistics s{10, 128, 1, 120, 130};
    struct Case {
        const char* what;
        std::vector<Verdict> verdicts;
        PartCode code;
        Fault error;
    };
    const Case cases[] = {
        {"one OK", {Verdict::OK}, PartCode::Ok, Fault::None},
        {"one NG", {Verdict::NG}, PartCode::Ng, Fault::None},
        {"a rejected circle makes the part NG",
         {Verdict::OK, Verdict::Rejected},
         PartCode::Ng,
         Fault::None},
        {"nothing measured", {Verdict::Rejected}, PartCode::Ng, Fault::NothingMeasured},
        {"no judgement", {}, PartCode::None, Fault::None},
        {"32 circles, the 20th NG",
         [] {
             std::vector<Verdict> v(32, Verdict::OK);
             v[19] = Verdict::NG;
             return v;
         }(),
         PartCode::Ng, Fault::None},
        {"32 circles, the 2nd NG",
         [] {
             std::vector<Verdict> v(32, Verdict::OK);
             v[1] = Verdict::NG;
             return v;
         }(),
         PartCode::Ng, Fault::None},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<CircleJudgement> circles;
        for (Verdict v : c.verdicts) {
            circles.push_back(circle(v, 128, s));
        }
        const Result r = encode(judgement(5, circles));
        EXPECT_EQ(r.registers[VerdictCode], static_cast<std::uint16_t>(c.code));
        EXPECT_EQ(r.registers[ErrorCode], static_cast<std::uint16_t>(c.error));
        EXPECT_EQ(r.registers[CircleCount], c.verdicts.size());
        EXPECT_EQ(r.partOk, c.code == PartCode::Ok);
        EXPECT_EQ(r.partNg, c.code == PartCode::Ng);
        for (std::size_t i = 0; i < r.circleOk.size(); ++i) {
            EXPECT_EQ(r.circleOk[i], i < c.verdicts.size() && c.verdicts[i] == Verdict::OK) << i;
        }
    }
}

TEST(JudgementMessage, CarriesTheJudgementAsRecorded) {
    Judgement j = judgement(9, {circle(Verdict::NG, 99.5, {321, 99.5, 2.5, 90, 110}, 0.125),
                                circle(Verdict::Rejected, -1, {}, 0.0)});
    j.circles[0].recordUuid = QStringLiteral("u-1");
    j.circles[1].name = QStringLiteral("2");
    j.circles[1].rejection = QStringLiteral("outside");
    j.inspectionUuid = QStringLiteral("p-1");
    const QJsonObject m =
        QJsonDocument::fromJson(JudgementMessage::encode(j, QStringLiteral("st-1"), 9 * 3600))
            .object();
    EXPECT_EQ(m["station"].toString(), "st-1");
    EXPECT_EQ(m["time"].toString(), "2026-03-04T14:06:07.089+09:00");
    EXPECT_EQ(m["sequence"].toInteger(), 9);
    EXPECT_EQ(m["recipe"].toString(), "cap");
    EXPECT_EQ(m["source"].toString(), "/cam.ini");
    EXPECT_EQ(m["frame"].toInteger(), 42);
    EXPECT_EQ(m["verdict"].toString(), "NG");
    EXPECT_EQ(m["inspection_uuid"].toString(), "p-1");
    EXPECT_EQ(m["measurement_us"].toInteger(), 125);
    const QJsonArray circles = m["circles"].toArray();
    ASSERT_EQ(circles.size(), 2);
    const QJsonObject first = circles[0].toObject();
    EXPECT_EQ(first["circle"].toString(), "1");
    EXPECT_EQ(first["count"].toInteger(), 321);
    EXPECT_DOUBLE_EQ(first["mean"].toDouble(), 99.5);
    EXPECT_DOUBLE_EQ(first["stddev"].toDouble(), 2.5);
    EXPECT_EQ(first["min"].toInt(), 90);
    EXPECT_EQ(first["max"].toInt(), 110);
    EXPECT_DOUBLE_EQ(first["standard"].toDouble(), 128);
    EXPECT_DOUBLE_EQ(first["tolerance"].toDouble(), 20);
    EXPECT_EQ(first["verdict"].toString(), "NG");
    EXPECT_EQ(first["record_uuid"].toString(), "u-1");
    const QJsonObject second = circles[1].toObject();
    EXPECT_TRUE(second["mean"].isNull());
    EXPECT_TRUE(second["record_uuid"].isNull());
    EXPECT_EQ(second["verdict"].toString(), "ERROR");
    EXPECT_EQ(second["rejection"].toString(), "outside");
    EXPECT_FALSE(m.contains("alarms")); // none raised

    // An early alarm goes out with the judgement that raised it.
    const QJsonObject alarmed =
        QJsonDocument::fromJson(
            JudgementMessage::encode(j, QStringLiteral("st-1"), 0, {{QStringLiteral("1"), {1, 4}}}))
            .object();
    const QJsonArray alarms = alarmed["alarms"].toArray();
    ASSERT_EQ(alarms.size(), 1);
    EXPECT_EQ(alarms[0].toObject()["circle"].toString(), "1");
    EXPECT_EQ(alarms[0].toObject()["rules"].toArray(), (QJsonArray{1, 4}));
}

TEST(TriggerGate, TakesOnlyTheNextFrameAfterATriggerAndRefusesWhileBusy) {
    using Clock = TriggerGate::Clock;
    const Clock::time_point t0 = Clock::now();
    const auto at = [t0](int ms) {
        return t0 + std::chrono::milliseconds(ms);
    };

    TriggerGate continuous;
    EXPECT_TRUE(continuous.takes(at(0)));
    EXPECT_FALSE(continuous.trigger(at(1)));

    TriggerGate gate(TriggerGate::Mode::Triggered);
    EXPECT_FALSE(gate.takes(at(0))) << "no trigger, no frame";
    ASSERT_TRUE(gate.trigger(at(10)));
    EXPECT_TRUE(gate.busy());
    EXPECT_FALSE(gate.takes(at(10))) << "a frame that arrived with the trigger is not after it";
    EXPECT_FALSE(gate.trigger(at(12))) << "armed";
    EXPECT_TRUE(gate.takes(at(11)));
    EXPECT_FALSE(gate.takes(at(12))) << "one frame per trigger";
    EXPECT_FALSE(gate.trigger(at(13))) << "judging";
    gate.finished();
    EXPECT_FALSE(gate.busy());
    EXPECT_EQ(gate.refused(), 2u);
    EXPECT_TRUE(gate.trigger(at(20)));
    gate.setMode(TriggerGate::Mode::Continuous);
    EXPECT_FALSE(gate.busy()) << "a change of mode forgets the trigger";
}
