#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "dsp/SampleVoice.h"
#include "dsp/VoiceTestSupport.h"

namespace vorpalix {
namespace {

constexpr double kE = 2.718281828459045;

// A waveform of n bytes all equal to b; 192 reads as 0.5.
std::vector<std::uint8_t> constantWave(std::size_t n, std::uint8_t b = 192) {
    return std::vector<std::uint8_t>(n, b);
}

double unitGainSquared() {
    const double g = static_cast<double>(test::kUnitVelocity * 2.645f);
    return g * g;
}

// Renders until the voice is idle; returns the number of frames rendered.
int framesUntilIdle(SampleVoice& v, int limit = 2'000'000) {
    int n = 0;
    while (v.isPlaying() && n < limit) {
        v.render({});
        ++n;
    }
    return n;
}

TEST(SampleVoice, TuneReferencePoints) {
    struct Case {
        SampleKind kind;
        double at0, at05, at1;
    };
    const Case cases[] = {{SampleKind::ClosedHat, 0.75, 1.0, 1.53},
                          {SampleKind::OpenHat, 0.75, 1.0, 1.53},
                          {SampleKind::Crash, 0.75, 1.0, 1.53},
                          {SampleKind::Ride, 0.82, 1.07, 1.58}};
    for (const Case& c : cases) {
        SampleVoice v(c.kind, constantWave(16));
        v.setTune(0.0);
        EXPECT_NEAR(v.tuneFactor(), c.at0, 1e-9);
        v.setTune(0.5);
        EXPECT_NEAR(v.tuneFactor(), c.at05, 1e-9);
        v.setTune(1.0);
        EXPECT_NEAR(v.tuneFactor(), c.at1, 1e-9);
    }
}

TEST(SampleVoice, DecayReferencePoints) {
    for (const double rate : {44100.0, 88200.0}) {
        const double c = 44100.0 / rate;
        SampleVoice ch(SampleKind::ClosedHat, constantWave(16));
        SampleVoice oh(SampleKind::OpenHat, constantWave(16));
        ch.setSampleRate(static_cast<float>(rate));
        oh.setSampleRate(static_cast<float>(rate));
        const double x[3] = {0.0, 0.5, 1.0};
        const double chDec[3] = {0.00253, 0.0005, 0.000302};
        const double ohDec[3] = {0.0003, 0.00015, 0.00009};
        for (int k = 0; k < 3; ++k) {
            ch.setDecay(x[k]);
            oh.setDecay(x[k]);
            EXPECT_NEAR(ch.decayCoefficient(), chDec[k] * c, 1e-12);
            EXPECT_NEAR(oh.decayCoefficient(), ohDec[k] * c, 1e-12);
        }
    }
    for (const SampleKind kind : {SampleKind::Crash, SampleKind::Ride}) {
        SampleVoice v(kind, constantWave(16));
        v.setDecay(0.0);
        EXPECT_DOUBLE_EQ(v.fadeLength(), 0.1);
        v.setDecay(0.5);
        EXPECT_DOUBLE_EQ(v.fadeLength(), 0.55);
        v.setDecay(1.0);
        EXPECT_DOUBLE_EQ(v.fadeLength(), 1.0);
    }
}

// Knob values outside 0..1 (or NaN) are brought into range instead of producing garbage.
TEST(SampleVoice, OutOfRangeKnobsAreClamped) {
    SampleVoice v(SampleKind::ClosedHat, constantWave(16));
    v.setTune(-3.0);
    EXPECT_NEAR(v.tuneFactor(), 0.75, 1e-9);
    v.setTune(std::nan(""));
    EXPECT_NEAR(v.tuneFactor(), 0.75, 1e-9);
    v.setTune(7.0);
    EXPECT_NEAR(v.tuneFactor(), 1.53, 1e-9);
    v.setDecay(std::nan(""));
    EXPECT_NEAR(v.decayCoefficient(), 0.00253, 1e-12);
}

TEST(SampleVoice, PlaysTheWaveformAsIfRecordedAt31200Hz) {
    for (const double rate : {44100.0, 88200.0}) {
        SampleVoice v(SampleKind::Crash, constantWave(32768));
        v.setSampleRate(static_cast<float>(rate));
        v.setLevel(1.0);
        v.trigger(test::kUnitVelocity);
        for (int n = 0; n < 1000; ++n) {
            v.render({});
        }
        // 1000 frames at tune factor 1: 1000 * 31200 / rate source samples (707.48 at 44.1 kHz).
        EXPECT_NEAR(v.position(), 1000.0 * 31200.0 / rate, 1e-6);
        v.setTune(0.0);
        for (int n = 0; n < 1000; ++n) {
            v.render({});
        }
        EXPECT_NEAR(v.position(), 1750.0 * 31200.0 / rate, 1e-6);
    }
}

TEST(SampleVoice, BSplineMatchesTheCubicBasis) {
    // The uniform cubic B-spline basis: B(x) = 2/3 - x^2 + |x|^3/2 for |x| <= 1,
    // (2 - |x|)^3/6 for 1 <= |x| <= 2. A single unit tap at t1 seen at fraction f is B(f).
    auto basis = [](double x) {
        x = std::fabs(x);
        return x <= 1.0 ? 2.0 / 3.0 - x * x + x * x * x / 2.0
                        : (2.0 - x) * (2.0 - x) * (2.0 - x) / 6.0;
    };
    for (const double f : {0.0, 0.25, 0.5, 0.75, 1.0}) {
        EXPECT_NEAR(SampleVoice::bSpline(0, 1, 0, 0, f), basis(f), 1e-15) << f;
        EXPECT_NEAR(SampleVoice::bSpline(1, 0, 0, 0, f), basis(1.0 + f), 1e-15) << f;
        EXPECT_NEAR(SampleVoice::bSpline(0, 0, 1, 0, f), basis(1.0 - f), 1e-15) << f;
        EXPECT_NEAR(SampleVoice::bSpline(0, 0, 0, 1, f), basis(2.0 - f), 1e-15) << f;
        // Constant and linear data are reproduced exactly.
        EXPECT_NEAR(SampleVoice::bSpline(0.3, 0.3, 0.3, 0.3, f), 0.3, 1e-15);
        EXPECT_NEAR(SampleVoice::bSpline(1, 2, 3, 4, f), 2.0 + f, 1e-14);
    }
}

TEST(SampleVoice, HatEnvelopeRisesForTheAttackThenFallsWithDecay) {
    for (const double rate : {44100.0, 88200.0}) {
        SCOPED_TRACE(testing::Message() << "rate " << rate);
        const double c = 44100.0 / rate;
        SampleVoice ch(SampleKind::ClosedHat, constantWave(8128));
        ch.setSampleRate(static_cast<float>(rate));
        ch.setLevel(1.0);
        ch.trigger(test::kUnitVelocity);
        // Attack: trunc(rate * 0.000416) frames toward g^2 with 0.5 c; then 1 - kDec per frame.
        const int attack = static_cast<int>(rate * 0.000416);
        const double peak = unitGainSquared() * (1.0 - std::pow(1.0 - 0.5 * c, attack));
        const double kDec = 0.0005 * c;
        std::vector<double> out(4001);
        for (int n = 1; n <= 4000; ++n) {
            out[n] = ch.render({});
        }
        for (const int n : {300, 1000, 4000}) {
            const double env = peak * std::pow(1.0 - kDec, n - attack);
            EXPECT_NEAR(out[n], 0.5 * env * 0.18, 3e-4 * 0.5 * env * 0.18) << "frame " << n;
        }
    }
}

TEST(SampleVoice, OutputScalesWithVelocitySquaredAndLevel) {
    for (const SampleKind kind : {SampleKind::ClosedHat, SampleKind::Ride}) {
        SampleVoice a(kind, constantWave(4000)), b(kind, constantWave(4000)),
            c(kind, constantWave(4000));
        a.setLevel(0.5);
        b.setLevel(0.5);
        c.setLevel(1.0);
        a.trigger(0.2f);
        b.trigger(0.4f);
        c.trigger(0.2f);
        for (int n = 0; n < 3000; ++n) {
            const double ya = a.render({});
            const double yb = b.render({});
            const double yc = c.render({});
            if (n > 100) {
                EXPECT_NEAR(yb, 4.0 * ya, 1e-9 * std::fabs(ya) + 1e-20);
                EXPECT_NEAR(yc, 2.0 * ya, 1e-9 * std::fabs(ya) + 1e-20);
            }
        }
    }
}

TEST(SampleVoice, LevelZeroIgnoresTrigger) {
    SampleVoice v(SampleKind::OpenHat, constantWave(100));
    v.setLevel(0.0);
    v.trigger(1.0f);
    EXPECT_FALSE(v.isPlaying());
    EXPECT_FALSE(v.isActive());
    EXPECT_EQ(v.render({}), 0.0);
}

TEST(SampleVoice, HitEndsTwoSamplesPastTheEndOfTheWaveform) {
    SampleVoice v(SampleKind::ClosedHat, constantWave(100));
    v.setLevel(1.0);
    v.trigger(test::kUnitVelocity);
    // Idle once floor(pos) >= 102, pos = n * 0.707483: n = ceil(144.17) = 145.
    EXPECT_EQ(framesUntilIdle(v), 145);
    EXPECT_FALSE(v.isActive());
    EXPECT_EQ(v.render({}), 0.0);
}

TEST(SampleVoice, CrashFadeLengthFollowsDecay) {
    struct Case {
        double decay;
        int lastAudibleFrame; // ceil(L * 32768 * 44100 / 31200) - 1
        int idleFrame;        // ceil(32770 * 44100 / 31200)
    };
    // Decay 0: 3276.8 source samples (4631.6 frames); Decay 1: 32768 (46316.3 frames, ~1.05 s).
    const Case cases[] = {{0.0, 4631, 46320}, {1.0, 46316, 46320}};
    for (const Case& k : cases) {
        SampleVoice cr(SampleKind::Crash, constantWave(32768));
        cr.setLevel(1.0);
        cr.setDecay(k.decay);
        cr.trigger(test::kUnitVelocity);
        std::vector<double> out;
        while (cr.isPlaying() && out.size() < 100000) {
            out.push_back(cr.render({}));
        }
        EXPECT_EQ(static_cast<int>(out.size()), k.idleFrame);
        ASSERT_GE(static_cast<int>(out.size()), k.lastAudibleFrame + 1);
        // Frame numbers count from 1.
        EXPECT_GT(std::fabs(out[k.lastAudibleFrame - 1]), 0.0);
        for (std::size_t n = k.lastAudibleFrame; n < out.size(); ++n) {
            ASSERT_EQ(out[n], 0.0) << "frame " << n + 1;
        }
        // The gain follows (exp(fade) - 1) / e, fade = 1 - pos / (L 32768): 0.632 at the start.
        const double L = 0.9 * k.decay + 0.1;
        for (const int n : {200, k.lastAudibleFrame / 2}) {
            const double fade = 1.0 - n * (31200.0 / 44100.0) / (L * 32768.0);
            const double expected = 0.5 * (std::exp(fade) - 1.0) / kE * unitGainSquared() * 0.315;
            EXPECT_NEAR(out[n - 1], expected, 2e-3 * expected) << "frame " << n;
        }
    }
}

TEST(SampleVoice, RideUsesItsOwnOutputGain) {
    SampleVoice rd(SampleKind::Ride, constantWave(32768));
    rd.setLevel(1.0);
    rd.setDecay(1.0);
    rd.trigger(test::kUnitVelocity);
    double y = 0.0;
    for (int n = 0; n < 200; ++n) {
        y = rd.render({});
    }
    const double fade = 1.0 - 200.0 * rd.tuneFactor() * (31200.0 / 44100.0) / 32768.0;
    EXPECT_NEAR(y, 0.5 * (std::exp(fade) - 1.0) / kE * unitGainSquared() * 0.2025, 1e-3 * y);
}

TEST(SampleVoice, OpenHatFallsSilentAtItsCutPoint) {
    SampleVoice oh(SampleKind::OpenHat, constantWave(24722));
    oh.setLevel(1.0);
    oh.setDecay(1.0);
    oh.trigger(test::kUnitVelocity);
    // pos reaches 16128 at frame ceil(16128 * 44100 / 31200) = ceil(22796.3) = 22797.
    std::vector<double> out;
    while (oh.isPlaying() && out.size() < 100000) {
        out.push_back(oh.render({}));
    }
    // Plays on until the cut: env = g^2 (1 - 0.5^18)(1 - 0.00009)^(n - 18).
    const double envBeforeCut = unitGainSquared() * std::pow(1.0 - 0.00009, 22796 - 18);
    EXPECT_NEAR(out[22796 - 1], 0.5 * envBeforeCut * 0.1125, 1e-3 * 0.5 * envBeforeCut * 0.1125);
    EXPECT_TRUE(oh.isChoked());
    // Then silent (the low-pass rings out within a few hundred samples) ...
    for (std::size_t n = 22797 + 300; n < out.size(); ++n) {
        ASSERT_LT(std::fabs(out[n - 1]), 1e-9) << "frame " << n;
    }
    // ... while it steps on through the rest of the waveform: idle at ceil(24724 * 44100 / 31200).
    EXPECT_EQ(out.size(), 34947u);
}

TEST(SampleVoice, OnlyTheOpenHatCutsItselfOff) {
    SampleVoice ch(SampleKind::ClosedHat, constantWave(24722));
    ch.setLevel(1.0);
    ch.setDecay(1.0);
    ch.trigger(test::kUnitVelocity);
    double y = 0.0;
    for (int n = 0; n < 23200; ++n) {
        y = ch.render({});
    }
    EXPECT_FALSE(ch.isChoked());
    EXPECT_GT(std::fabs(y), 1e-6);
}

TEST(SampleVoice, ChokedHatFallsSilentAndStepsOnUntilItsEnd) {
    SampleVoice ch(SampleKind::ClosedHat, constantWave(8128));
    ch.setLevel(1.0);
    ch.setDecay(1.0);
    ch.trigger(test::kUnitVelocity);
    for (int n = 0; n < 500; ++n) {
        ch.render({});
    }
    EXPECT_GT(std::fabs(ch.render({})), 0.01);
    ch.setChoked(true); // what the engine does when the open hat is struck
    int n = 501;
    double tail = 0.0;
    while (ch.isPlaying()) {
        const double y = ch.render({});
        ++n;
        if (n > 501 + 300) {
            tail = std::max(tail, std::fabs(y));
        }
    }
    EXPECT_LT(tail, 1e-9);
    // Still ends where the waveform ends: ceil(8130 * 44100 / 31200) = 11492 frames.
    EXPECT_EQ(n, 11492);
}

TEST(SampleVoice, TriggerLeavesTheChokeFlagAlone) {
    SampleVoice oh(SampleKind::OpenHat, constantWave(24722));
    oh.setLevel(1.0);
    oh.setChoked(true);
    oh.trigger(test::kUnitVelocity);
    EXPECT_TRUE(oh.isChoked());
    double peak = 0.0;
    for (int n = 0; n < 2000; ++n) {
        peak = std::max(peak, std::fabs(oh.render({})));
    }
    EXPECT_LT(peak, 1e-20); // only the low-pass's denormal guard
    oh.setChoked(false);
    oh.trigger(test::kUnitVelocity);
    EXPECT_LT(oh.position(), 1e-12);
    for (int n = 0; n < 2000; ++n) {
        peak = std::max(peak, std::fabs(oh.render({})));
    }
    EXPECT_GT(peak, 0.01);
}

TEST(SampleVoice, SampleRateChangeSilencesTheHitUntilTheNextTrigger) {
    SampleVoice cr(SampleKind::Crash, constantWave(32768));
    cr.setLevel(1.0);
    cr.trigger(test::kUnitVelocity);
    for (int n = 0; n < 1000; ++n) {
        cr.render({});
    }
    cr.setSampleRate(48000.0f);
    EXPECT_FALSE(cr.isActive());
    EXPECT_FALSE(cr.isChoked());
    for (int n = 0; n < 1000; ++n) {
        ASSERT_EQ(cr.render({}), 0.0);
    }
    cr.trigger(test::kUnitVelocity);
    double peak = 0.0;
    for (int n = 0; n < 1000; ++n) {
        peak = std::max(peak, std::fabs(cr.render({})));
    }
    EXPECT_GT(peak, 0.05);
}

TEST(SampleVoice, EmbeddedWaveformsHaveTheirLengthsAndSound) {
    struct Case {
        const char* name;
        SampleKind kind;
        std::size_t length;
    };
    const Case cases[] = {{"ch", SampleKind::ClosedHat, 8128},
                          {"oh", SampleKind::OpenHat, 24722},
                          {"cr", SampleKind::Crash, 32768},
                          {"rd", SampleKind::Ride, 32768}};
    for (const Case& c : cases) {
        SampleVoice v(c.name);
        EXPECT_EQ(v.kind(), c.kind);
        ASSERT_EQ(v.waveformLength(), c.length) << c.name;
        v.setLevel(1.0);
        v.trigger(test::kUnitVelocity);
        double peak = 0.0;
        for (int n = 0; n < 4000; ++n) {
            peak = std::max(peak, std::fabs(v.render({})));
        }
        EXPECT_GT(peak, 0.02) << c.name;
        EXPECT_LT(peak, 1.0) << c.name;
    }
}

// Missing and malformed waveforms: the voice stays silent and never reads out of bounds.
TEST(SampleVoiceMalformedWaveform, UnknownOrMissingResourceGivesASilentVoice) {
    for (const char* name : {"xx", "", "settings", "CH", "ch "}) {
        SampleVoice v(name);
        EXPECT_EQ(v.waveformLength(), 0u) << name;
        v.setLevel(1.0);
        v.trigger(1.0f);
        EXPECT_EQ(v.render({}), 0.0);
        EXPECT_FALSE(v.isPlaying()) << "a voice without a waveform ends on its first frame";
    }
}

TEST(SampleVoiceMalformedWaveform, TinyWaveformsPlayAndEnd) {
    for (const std::size_t n : {1u, 2u, 3u}) {
        for (const SampleKind kind : {SampleKind::OpenHat, SampleKind::Ride}) {
            SampleVoice v(kind, constantWave(n, 255));
            v.setLevel(1.0);
            v.trigger(1.0f);
            int frames = 0;
            while (v.isPlaying() && frames < 100) {
                ASSERT_TRUE(std::isfinite(v.render({})));
                ++frames;
            }
            // Idle once floor(pos) >= n + 2.
            const double increment = v.tuneFactor() * 31200.0 / 44100.0;
            EXPECT_EQ(frames, static_cast<int>(std::ceil((n + 2) / increment)));
        }
    }
}

TEST(SampleVoiceMalformedWaveform, ExtremeBytesStayBounded) {
    for (const std::uint8_t b : {std::uint8_t{0}, std::uint8_t{255}}) {
        SampleVoice v(SampleKind::Crash, constantWave(1000, b));
        v.setLevel(1.0);
        v.trigger(2.0f);
        double peak = 0.0;
        while (v.isPlaying()) {
            const double y = v.render({});
            ASSERT_TRUE(std::isfinite(y));
            peak = std::max(peak, std::fabs(y));
        }
        // |sample| <= 1, resonant low-pass overshoot below 2, fade gain 0.632, g^2 = 27.98.
        EXPECT_LT(peak, 2.0 * 0.632 * 27.98 * 0.315);
    }
}

TEST(SampleVoiceMalformedWaveform, OversizedWaveformIsPlayedToItsEnd) {
    SampleVoice v(SampleKind::OpenHat, constantWave(200000));
    v.setLevel(1.0);
    v.trigger(1.0f);
    // The open hat still cuts at 16128 and steps on to the end of the long waveform.
    EXPECT_EQ(framesUntilIdle(v), static_cast<int>(std::ceil(200002 * 44100.0 / 31200.0)));
}

} // namespace
} // namespace vorpalix
