// Standard library
#include <algorithm>
#include <cmath>
#include <numeric>
#include <vector>

// Ours
#include "CapabilityHistogram.h"
#include "ChartEnvelope.h"
#include "ProcessCapability.h"

#include <gtest/gtest.h>

namespace {

using ProcessCapability::Group;

Group groupOf(std::vector<double> values, double standard, double tolerance, qint64 ng = 0) {
    Group g;
    g.standard = standard;
    g.tolerance = tolerance;
    g.ng = ng;
    g.ok = static_cast<qint64>(values.size()) - ng;
    g.values = std::move(values);
    return g;
}

// Montgomery, "Introduction to Statistical Quality Control" (6th ed., section 8.3, the
// off-centre process): USL 62, LSL 38, mean 53 and sigma 2 give Cp 2.0, Cpu 1.5, Cpl 2.5 and
// so Cpk 1.5. The values alternate 53 ± 1.128 so that their moving ranges average 2 × 1.128
// and the within sigma is exactly the book's 2.
TEST(ProcessCapabilityTest, MontgomerysOffCentreProcess) {
    std::vector<double> values;
    for (int i = 0; i < 20; ++i) {
        values.push_back(i % 2 ? 53 + 1.128 : 53 - 1.128);
    }
    const auto f = ProcessCapability::compute(groupOf(values, 50, 12));
    EXPECT_DOUBLE_EQ(f.lsl, 38);
    EXPECT_DOUBLE_EQ(f.usl, 62);
    EXPECT_NEAR(*f.mean.value, 53, 1e-12);
    EXPECT_NEAR(*f.withinSd.value, 2, 1e-12);
    EXPECT_NEAR(*f.cp.value, 2.0, 1e-12);
    EXPECT_NEAR(*f.cpk.value, 1.5, 1e-12);
}

// Every figure against a plain computation on fixed data.
TEST(ProcessCapabilityTest, FiguresAgreeWithAPlainComputation) {
    const std::vector<double> x{120.4, 125.1, 131.7, 118.2, 127.9, 129.3, 122.6, 135.0,
                                126.4, 121.8, 128.8, 133.1, 119.5, 124.7, 130.2};
    const auto f = ProcessCapability::compute(groupOf(x, 128, 20, 2));
    const double n = 15;
    const double mean = std::accumulate(x.begin(), x.end(), 0.0) / n;
    double ss = 0;
    double mr = 0;
    for (std::size_t i = 0; i < x.size(); ++i) {
        ss += (x[i] - mean) * (x[i] - mean);
        if (i > 0) {
            mr += std::fabs(x[i] - x[i - 1]);
        }
    }
    const double s = std::sqrt(ss / 14);
    const double within = mr / 14 / 1.128;
    const double cpk = std::min(148 - mean, mean - 108) / (3 * within);
    const double half = 1.96 * std::sqrt(1 / (9 * n) + cpk * cpk / (2 * 14));
    EXPECT_EQ(f.n, 15);
    EXPECT_EQ(f.ng, 2);
    EXPECT_NEAR(*f.yieldPercent.value, 100.0 * 13 / 15, 1e-9);
    EXPECT_NEAR(*f.mean.value, mean, 1e-9);
    EXPECT_NEAR(*f.overallSd.value, s, 1e-9);
    EXPECT_NEAR(*f.withinSd.value, within, 1e-9);
    EXPECT_NEAR(*f.cp.value, 40 / (6 * within), 1e-9);
    EXPECT_NEAR(*f.cpk.value, cpk, 1e-9);
    EXPECT_NEAR(*f.pp.value, 40 / (6 * s), 1e-9);
    EXPECT_NEAR(*f.ppk.value, std::min(148 - mean, mean - 108) / (3 * s), 1e-9);
    EXPECT_NEAR(*f.cpkLower95.value, cpk - half, 1e-4);
    EXPECT_NEAR(*f.cpkUpper95.value, cpk + half, 1e-4);
}

TEST(ProcessCapabilityTest, FiguresWithoutEnoughDataAreADashWithTheReason) {
    struct Case {
        const char* name;
        Group group;
        bool meanKnown;
        bool sdKnown;
        bool cpkKnown;
        bool intervalKnown;
    };
    const Case cases[] = {
        {"no records", groupOf({}, 128, 20), false, false, false, false},
        {"one record", groupOf({130}, 128, 20), true, false, false, false},
        {"no spread", groupOf({130, 130, 130, 130}, 128, 20), true, true, false, false},
        {"no tolerance", groupOf({129, 131, 130}, 128, 0), true, true, false, false},
        {"too few for an interval", groupOf({129, 131, 130, 128}, 128, 20), true, true, true,
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto f = ProcessCapability::compute(c.group);
        EXPECT_EQ(f.mean.known(), c.meanKnown);
        EXPECT_EQ(f.overallSd.known(), c.sdKnown);
        EXPECT_EQ(f.cpk.known(), c.cpkKnown);
        EXPECT_EQ(f.cp.known(), c.cpkKnown);
        EXPECT_EQ(f.ppk.known(), c.cpkKnown);
        EXPECT_EQ(f.cpkLower95.known(), c.intervalKnown);
        for (const auto* figure : {&f.cpk, &f.cpkLower95}) {
            if (!figure->known()) {
                EXPECT_EQ(figure->text(2), QStringLiteral("—"));
                EXPECT_FALSE(figure->reason.isEmpty());
                EXPECT_TRUE(figure->textWithReason(2).contains(figure->reason));
            }
        }
    }
}

TEST(ProcessCapabilityTest, RecordsAreGroupedByTheirLimitsAndNeverMixed) {
    std::vector<Group> groups;
    ProcessCapability::addTo(groups, 130, 128, 20, false);
    ProcessCapability::addTo(groups, 190, 192, 10, false);
    ProcessCapability::addTo(groups, 100, 128, 20, true);
    ProcessCapability::addTo(groups, 131, 128, 15, false);
    ASSERT_EQ(groups.size(), 3u);
    EXPECT_EQ(groups[0].values, (std::vector<double>{130, 100}));
    EXPECT_EQ(groups[0].ng, 1);
    EXPECT_EQ(groups[1].values, (std::vector<double>{190}));
    EXPECT_EQ(groups[2].tolerance, 15);
    EXPECT_EQ(ProcessCapability::limitsText(groups[0]), QStringLiteral("128 ± 20 (108 – 148)"));
}

TEST(CapabilityHistogramTest, BinsCoverDataAndLimitsAndTheCurveMatchesTheCount) {
    std::vector<double> x;
    for (int i = 0; i < 500; ++i) {
        x.push_back(128 + 6 * std::sin(i * 0.37) + (i % 7) - 3);
    }
    x.push_back(20); // far below the band
    const auto h = CapabilityHistogram::build(x, 108, 148, 128.0, 5.0);
    ASSERT_TRUE(h);
    EXPECT_LE(h->low, 20);
    EXPECT_GE(h->high(), 148 - 1e-9);
    EXPECT_EQ(std::accumulate(h->counts.begin(), h->counts.end(), qint64{0}), 501);
    EXPECT_EQ(h->counts.front(), 1);
    // The curve's area, in counts, is the number of values (all of the normal lies inside).
    double area = 0;
    for (std::size_t i = 1; i < h->normalCurve.size(); ++i) {
        area += (h->normalCurve[i].x() - h->normalCurve[i - 1].x()) *
                (h->normalCurve[i].y() + h->normalCurve[i - 1].y()) / 2;
    }
    EXPECT_NEAR(area / h->width, 501, 501 * 0.01);
    EXPECT_FALSE(CapabilityHistogram::build({}, 108, 148, {}, {}));
    EXPECT_TRUE(CapabilityHistogram::build(x, 108, 148, 128.0, std::nullopt)->normalCurve.empty());
}

// A long series keeps every value's extent in few points, in the order of the values.
TEST(ChartEnvelopeTest, FewPointsKeepEveryExtent) {
    std::vector<double> x(100000);
    for (std::size_t i = 0; i < x.size(); ++i) {
        x[i] = std::sin(static_cast<double>(i) * 0.01);
    }
    x[77777] = 9; // a single far point
    x[12345] = -9;
    const auto points = ChartEnvelope::build(x, 1, 400);
    ASSERT_LE(points.size(), 400u);
    double low = 0;
    double high = 0;
    for (std::size_t i = 0; i < points.size(); ++i) {
        low = std::min(low, points[i].y());
        high = std::max(high, points[i].y());
        if (i > 0) {
            EXPECT_LE(points[i - 1].x(), points[i].x());
        }
    }
    EXPECT_EQ(low, -9);
    EXPECT_EQ(high, 9);
    EXPECT_TRUE(std::any_of(points.begin(), points.end(),
                            [](const QPointF& p) { return p.x() == 77778 && p.y() == 9; }));
    const std::vector<double> few{3, 1, 2};
    const auto same = ChartEnvelope::build(few, 1, 400);
    ASSERT_EQ(same.size(), 3u);
    EXPECT_EQ(same[1], QPointF(2, 1));
}

} // namespace
