#include "dsp/Filters.h"
#include "dsp/LookupTables.h"
#include "dsp/SimdLanes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace vorpalix {
namespace {

TEST(LookupTables, TanhLookupSaturatesAndInterpolates) {
    EXPECT_EQ(tanhLookup(200.0), 1.0);
    EXPECT_EQ(tanhLookup(140.0), 1.0);
    EXPECT_EQ(tanhLookup(0.0), 0.0);
    EXPECT_EQ(tanhLookup(-1000.0), std::tanh(-40.0));
    for (double x = -6.0; x <= 6.0; x += 0.01237) {
        ASSERT_NEAR(tanhLookup(x), std::tanh(x), 5e-7) << x;
    }
    // Table points are exact.
    EXPECT_DOUBLE_EQ(tanhLookup(0.5), std::tanh(0.5));
}

TEST(LookupTables, TanhLookupReadsTheWholeTablesValuesFromItsFlatEnds) {
    // Interpolation over the table's whole range, as the lookup would read it without the
    // narrower clamp.
    const auto whole = [](double x) {
        x = std::isnan(x) ? -40.0 : std::clamp(x, -40.0, 140.0);
        return detail::interpolateTable(LookupTables::tanhTable, (x + 40.0) * 500.0);
    };
    std::vector<double> xs = {std::nan(""), INFINITY, -INFINITY, 19.061, 19.062, -19.062, 140.0};
    for (double x = -45.0; x <= 145.0; x += 0.0007) {
        xs.push_back(x);
    }
    for (const double x : xs) {
        ASSERT_EQ(tanhLookup(x), whole(x)) << x;
        const auto y = lanes::tanhLookup(lanes::Two::V{x, -x});
        ASSERT_EQ(y[0], whole(x)) << x;
        ASSERT_EQ(y[1], whole(-x)) << x;
    }
}

TEST(LookupTables, ExpLookupClampsToTheTableRange) {
    EXPECT_DOUBLE_EQ(expLookup(-20.0), std::exp(-10.0));
    EXPECT_DOUBLE_EQ(expLookup(-10.0), std::exp(-10.0));
    EXPECT_DOUBLE_EQ(expLookup(0.0), 1.0);
    EXPECT_DOUBLE_EQ(expLookup(50.0), std::exp(2.999));
    for (double x = -9.9; x <= 2.9; x += 0.0173) {
        ASSERT_NEAR(expLookup(x) / std::exp(x), 1.0, 2e-7) << x;
    }
}

TEST(LookupTables, MalformedArgumentsGiveTableValues) {
    EXPECT_TRUE(std::isfinite(tanhLookup(std::nan(""))));
    EXPECT_TRUE(std::isfinite(expLookup(std::nan(""))));
    EXPECT_EQ(tanhLookup(INFINITY), 1.0);
    EXPECT_EQ(expLookup(-INFINITY), std::exp(-10.0));
}

TEST(LookupTables, SoftClipIsIdentityInsideTheKneeAndBendsOutside) {
    const double knee = 0.6, drive = 1.8;
    EXPECT_EQ(softClip(0.3, knee, drive), 0.3);
    EXPECT_EQ(softClip(-0.59, knee, drive), -0.59);
    // Continuous with slope 1 at the knee.
    EXPECT_NEAR(softClip(knee + 1e-6, knee, drive), knee + 1e-6, 1e-9);
    EXPECT_NEAR(softClip(-knee - 1e-6, knee, drive), -knee - 1e-6, 1e-9);
    // Far out it approaches knee + 1/drive.
    EXPECT_NEAR(softClip(50.0, knee, drive), knee + 1.0 / drive, 1e-9);
    EXPECT_NEAR(softClip(-50.0, knee, drive), -knee - 1.0 / drive, 1e-9);
    EXPECT_NEAR(softClip(1.0, knee, drive), knee + std::tanh(0.4 * drive) / drive, 1e-6);
    // A knee of 0 bends everything.
    EXPECT_NEAR(softClip(0.2, 0.0, 6.6), std::tanh(0.2 * 6.6) / 6.6, 1e-6);
}

// Magnitude of a biquad's response at frequency f.
double gainAt(const Biquad& q, double f, double rate) {
    const double w = 2.0 * std::numbers::pi * f / rate;
    const double cr = q.b0 + q.b1 * std::cos(w) + q.b2 * std::cos(2 * w);
    const double ci = -(q.b1 * std::sin(w) + q.b2 * std::sin(2 * w));
    const double dr = 1.0 + q.a1 * std::cos(w) + q.a2 * std::cos(2 * w);
    const double di = -(q.a1 * std::sin(w) + q.a2 * std::sin(2 * w));
    return std::hypot(cr, ci) / std::hypot(dr, di);
}

TEST(LookupTables, CookbookFiltersHaveTheirDocumentedGains) {
    Biquad lp, hp, bp, lpq;
    lp.setLowPass(3638.0, 3.0, 44100.0);
    hp.setHighPass(800.0, 1.2, 44100.0);
    bp.setBandPass(700.0, 4.0, 44100.0);
    lpq.setLowPassQ(3900.0, 1.5, 44100.0);
    EXPECT_NEAR(gainAt(lp, 0.0, 44100.0), 1.0, 1e-12);
    EXPECT_NEAR(gainAt(lp, 22050.0, 44100.0), 0.0, 1e-9);
    EXPECT_NEAR(gainAt(hp, 0.0, 44100.0), 0.0, 1e-12);
    EXPECT_NEAR(gainAt(hp, 22050.0, 44100.0), 1.0, 1e-9);
    EXPECT_NEAR(gainAt(bp, 700.0, 44100.0), 1.0, 1e-9);
    EXPECT_LT(gainAt(bp, 100.0, 44100.0), 0.5);
    // Q 1.5 low-pass peaks at 1.5 at its corner.
    EXPECT_NEAR(gainAt(lpq, 3900.0, 44100.0), 1.5, 1e-9);

    // One-pole low-pass: unity at DC; high-pass: blocks DC.
    OnePoleLowPass one;
    one.setCorner(640.0, 44100.0);
    EXPECT_NEAR(one.p, std::exp(-2.0 * std::numbers::pi * 640.0 / 44100.0), 1e-15);
    OnePoleHighPass block;
    block.setCorner(350.0, 44100.0);
    double y = 0.0, l = 0.0;
    for (int i = 0; i < 20000; ++i) {
        l = one.process(1.0, 0.0);
        y = block.process(1.0, 0.0);
    }
    EXPECT_NEAR(l, 1.0, 1e-9);
    EXPECT_NEAR(y, 0.0, 1e-9);
}

} // namespace
} // namespace vorpalix
