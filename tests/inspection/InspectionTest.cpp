// Standard library
#include <algorithm>
#include <cstdint>
#include <ctime>

// Qt
#include <QDateTime>

// Ours
#include "Inspection.h"
#include "JudgementRecords.h"
#include "JudgementRules.h"
#include "KeshImage.h"
#include "KeshPerformanceCounter.h"
#include "PelmintBinding.h"
#include "ProgramFolder.h"

#include <gtest/gtest.h>

namespace {

using SettleRule::Event;

CircleSetting circleAt(int x, int y, int r, double standard = 128, double tolerance = 20) {
    CircleSetting setting;
    setting.figure.setCenterX(x);
    setting.figure.setCenterY(y);
    setting.figure.setRadius(r);
    setting.standard = standard;
    setting.tolerance = tolerance;
    return setting;
}

class InspectionTest : public testing::Test {
protected:
    InspectionTest() : pelmint(ProgramFolder::path()), inspection(pelmint, image) {
        fill(120);
        inspection.circle(0) = circleAt(100, 100, 50);
        inspection.circle(0).name = QStringLiteral("1");
    }

    void fill(std::uint8_t value) {
        std::fill_n(image.bufferAddress(), image.bytesPerLine() * image.height(), value);
    }

    std::optional<Inspection::Settlement> settle(Event event) {
        return inspection.settle(event, SettleRule::Clock::now());
    }

    KeshImage image;
    PelmintBinding pelmint;
    KeshPerformanceCounter timer;
    Inspection inspection;
};

TEST_F(InspectionTest, TypedLimitsTakeEffectOnlyWithAMeasurement) {
    inspection.applyTypedLimits(QStringLiteral("128"), QStringLiteral("20"));
    inspection.measure(timer);
    ASSERT_EQ(inspection.last()->circles[0].verdict, Verdict::OK);

    // A standard typed but not applied is not in the judgement that settles.
    std::optional<Inspection::Settlement> settled = settle(Event::Recalculated);
    ASSERT_TRUE(settled && settled->record);
    EXPECT_EQ(settled->judgement.circles[0].standard, 128.0);
    EXPECT_EQ(settled->judgement.circles[0].verdict, Verdict::OK);
    // Settling again (a right click without a move) records nothing new.
    settled = settle(Event::DragReleased);
    ASSERT_TRUE(settled);
    EXPECT_FALSE(settled->record);

    inspection.applyTypedLimits(QStringLiteral(" 100abc"), QStringLiteral("&H14"));
    inspection.measure(timer);
    settled = settle(Event::Recalculated);
    ASSERT_TRUE(settled && settled->record);
    EXPECT_EQ(settled->judgement.circles[0].standard, 100.0);
    EXPECT_EQ(settled->judgement.circles[0].tolerance, 20.0);
    EXPECT_EQ(settled->judgement.circles[0].verdict, Verdict::NG);
}

TEST_F(InspectionTest, TheSettledJudgementCarriesTheStatisticsOfTheSamePixels) {
    // A ramp, so that spread and extremes are not trivial.
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            image.bufferAddress()[y * image.bytesPerLine() + x] = static_cast<std::uint8_t>(x / 2);
        }
    }
    inspection.imageReplaced({ImageOrigin::Kind::File, QStringLiteral("/tmp/ramp.bmp"), {}});
    const Judgement& judged = inspection.measure(timer);
    const double mean = judged.circles[0].mean;
    std::optional<Inspection::Settlement> settled = settle(Event::Loaded);
    ASSERT_TRUE(settled && settled->record);
    const CircleJudgement& circle = settled->judgement.circles[0];
    ASSERT_TRUE(circle.statistics);
    PelmintStatistics expected{};
    ASSERT_EQ(
        pelmint.CircleAreaStatistics(image.bufferAddress(), 512, 480, 512, 100, 100, 50, &expected),
        PELMINT_OK);
    EXPECT_EQ(circle.statistics->count, expected.count);
    EXPECT_EQ(circle.statistics->mean, mean);
    EXPECT_EQ(circle.statistics->mean, expected.mean);
    EXPECT_EQ(circle.statistics->stddev, expected.stddev);
    EXPECT_EQ(circle.statistics->min, expected.min);
    EXPECT_EQ(circle.statistics->max, expected.max);
    EXPECT_EQ(settled->judgement.pixels.size(), 512 * 480);
    EXPECT_EQ(settled->judgement.origin.source, QStringLiteral("/tmp/ramp.bmp"));
}

TEST_F(InspectionTest, AJudgementOfAnImageSinceReplacedNeverSettles) {
    inspection.measure(timer);
    inspection.imageReplaced({ImageOrigin::Kind::CameraFrame, QStringLiteral("cam.ini"), {}});
    fill(250); // the new frame, not yet measured
    EXPECT_FALSE(settle(Event::Grabbed));
    inspection.measure(timer);
    std::optional<Inspection::Settlement> settled = settle(Event::Grabbed);
    ASSERT_TRUE(settled);
    EXPECT_EQ(settled->judgement.circles[0].mean, 250.0);
}

TEST_F(InspectionTest, CameraFramesAreNumberedPerCamera) {
    const QString a = QStringLiteral("a.ini");
    const QString b = QStringLiteral("b.ini");
    const struct {
        ImageOrigin::Kind kind;
        QString source;
        std::optional<qint64> frame;
    } cases[] = {
        {ImageOrigin::Kind::CameraFrame, a, 1}, {ImageOrigin::Kind::LiveFrame, a, 2},
        {ImageOrigin::Kind::CameraFrame, a, 3}, {ImageOrigin::Kind::File, QStringLiteral("x"), {}},
        {ImageOrigin::Kind::CameraFrame, a, 4}, {ImageOrigin::Kind::CameraFrame, b, 1},
    };
    for (const auto& c : cases) {
        inspection.imageReplaced({c.kind, c.source, {}});
        EXPECT_EQ(inspection.origin().frame, c.frame) << c.source.toStdString();
        EXPECT_EQ(inspection.measure(timer).origin.frame, c.frame);
    }
}

TEST_F(InspectionTest, ThePartIsOkOnlyWhenEveryCircleIsOk) {
    // Left half 100, right half 200.
    for (int y = 0; y < 480; ++y) {
        std::fill_n(image.bufferAddress() + y * 512, 256, std::uint8_t{100});
        std::fill_n(image.bufferAddress() + y * 512 + 256, 256, std::uint8_t{200});
    }
    struct Case {
        const char* what;
        std::vector<CircleSetting> circles;
        Verdict part;
        std::vector<Verdict> each;
    };
    std::vector<CircleSetting> many;
    for (int i = 0; i < Inspection::kMaxCircles; ++i) {
        many.push_back(circleAt(10 + i * 7, 240, 5, 100, 1));
    }
    std::vector<CircleSetting> manyOneNg = many;
    manyOneNg[31] = circleAt(400, 240, 5, 100, 1);
    const Case cases[] = {
        {"one OK", {circleAt(100, 100, 20, 100, 1)}, Verdict::OK, {Verdict::OK}},
        {"all OK",
         {circleAt(100, 100, 20, 100, 1), circleAt(400, 100, 20, 200, 1)},
         Verdict::OK,
         {Verdict::OK, Verdict::OK}},
        {"one NG",
         {circleAt(100, 100, 20, 100, 1), circleAt(400, 100, 20, 100, 1)},
         Verdict::NG,
         {Verdict::OK, Verdict::NG}},
        {"one refused",
         {circleAt(100, 100, 20, 100, 1), circleAt(100, 100, -1, 100, 1)},
         Verdict::NG,
         {Verdict::OK, Verdict::Rejected}},
        {"32 circles OK", many, Verdict::OK, std::vector<Verdict>(32, Verdict::OK)},
        {"32 circles, the last NG", manyOneNg, Verdict::NG,
         [] {
             std::vector<Verdict> v(32, Verdict::OK);
             v[31] = Verdict::NG;
             return v;
         }()},
    };
    for (const Case& c : cases) {
        inspection.setCircles(c.circles);
        const Judgement& judged = inspection.measure(timer);
        EXPECT_EQ(judged.partVerdict(), c.part) << c.what;
        std::vector<Verdict> each;
        for (const CircleJudgement& circle : judged.circles) {
            each.push_back(circle.verdict);
        }
        EXPECT_EQ(each, c.each) << c.what;
    }
    // The refused circle says why.
    inspection.setCircles({circleAt(100, 100, 20), circleAt(100, 100, -1)});
    EXPECT_FALSE(inspection.measure(timer).circles[1].rejection.isEmpty());
}

TEST_F(InspectionTest, RecordsAreTheSettledJudgementOneRowPerMeasuredCircle) {
    CircleSetting rim = circleAt(300, 200, 30, 120, 5);
    rim.name = QStringLiteral("rim");
    inspection.addCircle(rim);
    inspection.addCircle(circleAt(-500, -500, 3)); // refused: no row, but the part is NG
    inspection.setRecipeName(QStringLiteral("ワッシャ M8"));
    inspection.imageReplaced({ImageOrigin::Kind::LiveFrame, QStringLiteral("cam.ini"), {}});
    inspection.measure(timer);
    std::optional<Inspection::Settlement> settled = settle(Event::LiveFrame);
    ASSERT_TRUE(settled && settled->record);
    Judgement& judgement = settled->judgement;
    const std::vector<InspectionRecord> records = JudgementRecords::toRecords(judgement);
    ASSERT_EQ(records.size(), 2u);
    for (std::size_t i = 0; i < records.size(); ++i) {
        const InspectionRecord& r = records[i];
        const CircleJudgement& c = judgement.circles[i];
        EXPECT_EQ(r.uuid, c.recordUuid);
        EXPECT_EQ(r.inspectionUuid, judgement.inspectionUuid);
        EXPECT_EQ(r.circleName, c.name);
        EXPECT_EQ(r.cx, c.circle.centreX);
        EXPECT_EQ(r.r, c.circle.radius);
        EXPECT_EQ(r.mean, c.mean);
        EXPECT_EQ(r.standard, c.standard);
        EXPECT_EQ(r.verdict, JudgementRules::verdictText(c.verdict));
        EXPECT_EQ(r.partVerdict, QStringLiteral("NG"));
        EXPECT_EQ(r.recipe, QStringLiteral("ワッシャ M8"));
        EXPECT_EQ(r.frame, 1);
        EXPECT_EQ(r.measuredAt, judgement.judgedAt);
        EXPECT_EQ(r.pixels.constData(), judgement.pixels.constData()); // shared, not copied
    }
    EXPECT_EQ(records[1].circleName, QStringLiteral("rim"));
    EXPECT_EQ(records[1].standard, 120.0);
    EXPECT_NE(records[0].uuid, records[1].uuid);
}

TEST(JudgementRecordsTest, ARecordKeepsTheUtcTimeAndTheStationsOffsetOfItsJudgement) {
    const QByteArray zone = qgetenv("TZ");
    struct Case {
        const char* zone;
        int offset;
    };
    for (const Case& c : {Case{"JST-9", 9 * 3600}, Case{"UTC0", 0}, Case{"EST5", -5 * 3600}}) {
        qputenv("TZ", c.zone);
        tzset();
        Judgement judgement;
        judgement.judgedAt = QDateTime(QDate(2026, 12, 9), QTime(3, 4, 5), Qt::UTC);
        CircleJudgement circle;
        circle.verdict = Verdict::OK;
        circle.statistics = PixelStatistics{10, 5.0, 0.0, 5, 5};
        judgement.circles.push_back(circle);
        const std::vector<InspectionRecord> records = JudgementRecords::toRecords(judgement);
        ASSERT_EQ(records.size(), 1u) << c.zone;
        EXPECT_EQ(records[0].measuredAt, judgement.judgedAt) << c.zone;
        EXPECT_EQ(records[0].measuredAt.timeSpec(), Qt::UTC) << c.zone;
        EXPECT_EQ(records[0].utcOffsetSeconds, c.offset) << c.zone;
    }
    zone.isNull() ? qunsetenv("TZ") : qputenv("TZ", zone);
    tzset();
}

TEST_F(InspectionTest, CirclesAreAddedUpToTheLimitAndTheLastIsNeverRemoved) {
    EXPECT_FALSE(inspection.removeCircle(0));
    for (int i = 1; i < Inspection::kMaxCircles; ++i) {
        ASSERT_TRUE(inspection.addCircle(circleAt(10, 10, 5)));
    }
    EXPECT_FALSE(inspection.addCircle(circleAt(10, 10, 5)));
    EXPECT_EQ(inspection.circle(31).name, QStringLiteral("32"));
    EXPECT_EQ(inspection.selectedIndex(), 31);
    ASSERT_TRUE(inspection.removeCircle(4)); // "5"
    EXPECT_EQ(inspection.selectedIndex(), 30);
    EXPECT_EQ(inspection.freeCircleName(), QStringLiteral("5"));
    inspection.select(2);
    ASSERT_TRUE(inspection.removeCircle(2));
    EXPECT_EQ(inspection.selectedIndex(), 2);
    EXPECT_EQ(inspection.circleCount(), 30);
}

} // namespace
