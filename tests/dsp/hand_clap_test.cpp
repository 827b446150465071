#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "dsp/HandClapVoice.h"
#include "dsp/VoiceTestSupport.h"

namespace vorpalix {
namespace {

TEST(HandClapVoice, TuneSetsResonatorFrequency) {
    // 276.5 Hz at 0, 1106 Hz at 0.5, 1935.5 Hz at 1.
    const double expected[3][2] = {{0.0, 276.5}, {0.5, 1106.0}, {1.0, 1935.5}};
    for (const double rate : {44100.0, 88200.0}) {
        HandClapVoice hc;
        hc.setSampleRate(static_cast<float>(rate));
        for (const auto& e : expected) {
            hc.setTune(e[0]);
            EXPECT_NEAR(hc.tuneCoefficient(), test::stageCoefficient(e[1], rate), 1e-12);
        }
    }
}

TEST(HandClapVoice, ReverbSetsTailCoefficient) {
    // 0.2 at 0, 0.0004 at 0.5, 0.00015 at 1 (per sample at 44.1 kHz, times c).
    const double expected[3][2] = {{0.0, 0.2}, {0.5, 0.0004}, {1.0, 0.00015}};
    for (const double rate : {44100.0, 88200.0}) {
        HandClapVoice hc;
        hc.setSampleRate(static_cast<float>(rate));
        const double c = 44100.0 / rate;
        for (const auto& e : expected) {
            hc.setReverb(e[0]);
            EXPECT_NEAR(hc.reverbCoefficient(), e[1] * c, 1e-9 * c) << "rate " << rate;
        }
    }
}

TEST(HandClapVoice, PulseSmoothingStaysStableAtEveryRate) {
    struct Point {
        float rate;
        double k5;
    };
    // 1 - 0.9 c from 44.1 kHz up; below it 1 - 0.9^c keeps the 44.1 kHz time constant.
    const Point points[] = {{44100.0f, 0.1},
                            {48000.0f, 0.173125},
                            {96000.0f, 0.5865625},
                            {192000.0f, 0.79328125},
                            {22050.0f, 1.0 - 0.81},
                            {32000.0f, 1.0 - std::pow(0.9, 1.378125)},
                            {8000.0f, 1.0 - std::pow(0.9, 5.5125)}};
    for (const Point& p : points) {
        HandClapVoice hc;
        hc.setSampleRate(p.rate);
        EXPECT_NEAR(hc.pulseSmoothingCoefficient(), p.k5, 1e-12) << "rate " << p.rate;
        EXPECT_GT(hc.pulseSmoothingCoefficient(), 0.0);
        EXPECT_LE(hc.pulseSmoothingCoefficient(), 1.0);
    }
    // At 22.05 kHz the literal formula would give -0.8 and let the clap grow without bound.
    HandClapVoice hc;
    hc.setSampleRate(22050.0f);
    hc.setLevel(1.0);
    hc.trigger(test::kLoudestStepVelocity);
    test::TestNoise noise;
    double peak = 0.0;
    for (int n = 0; n < 22050 && hc.isPlaying(); ++n) {
        peak = std::max(peak, std::fabs(hc.render(noise.next())));
    }
    EXPECT_FALSE(hc.isPlaying());
    EXPECT_LT(peak, 10.0);
}

// Frames of the pulse that decays with factor 1 - d c from 1 to 0.01.
int pulseFrames(double d, double c) {
    return static_cast<int>(std::ceil(std::log(0.01) / std::log(1.0 - d * c)));
}

TEST(HandClapVoice, ThreeShortPulsesThenALongerFourthWithinTheGate) {
    for (const double rate : {44100.0, 88200.0}) {
        SCOPED_TRACE(testing::Message() << "rate " << rate);
        const double c = 44100.0 / rate;
        HandClapVoice hc;
        hc.setSampleRate(static_cast<float>(rate));
        hc.setLevel(1.0);
        hc.trigger(test::kUnitVelocity);
        test::TestNoise noise;
        std::vector<int> pulseStarts;           // frame at which pulses 1, 2, 3 start
        std::vector<double> envelopeAfterStart; // P right after each start
        int gateClosedAt = -1;
        int index = 0;
        for (int n = 1; n <= static_cast<int>(rate * 0.1); ++n) {
            hc.render(noise.next());
            if (hc.pulseIndex() != index) {
                EXPECT_EQ(hc.pulseIndex(), index + 1);
                index = hc.pulseIndex();
                pulseStarts.push_back(n);
                envelopeAfterStart.push_back(hc.pulseEnvelope());
            }
            if (gateClosedAt < 0 && !hc.gateOpen()) {
                gateClosedAt = n;
            }
        }
        const int n0 = pulseFrames(0.01007, c);
        const int n1 = pulseFrames(0.00924, c);
        const int n2 = pulseFrames(0.01116, c);
        ASSERT_EQ(pulseStarts.size(), 3u);
        EXPECT_EQ(pulseStarts[0], n0);
        EXPECT_EQ(pulseStarts[1], n0 + n1);
        EXPECT_EQ(pulseStarts[2], n0 + n1 + n2);
        EXPECT_EQ(envelopeAfterStart[0], 1.0);
        EXPECT_EQ(envelopeAfterStart[1], 1.0);
        EXPECT_EQ(envelopeAfterStart[2], 0.6);
        // About 10 ms per short pulse at any rate.
        EXPECT_NEAR(pulseStarts[0] / rate, 0.0103, 0.0003);
        // The gate closes 33 ms after the hit.
        EXPECT_EQ(gateClosedAt, static_cast<int>(rate * 0.033) + 1);
        // The fourth pulse decays with 1 - 0.0015 c per frame.
        const double before = hc.pulseEnvelope();
        hc.render(noise.next());
        EXPECT_NEAR(hc.pulseEnvelope(), before * (1.0 - 0.0015 * c), 1e-15);
    }
}

TEST(HandClapVoice, TailFallsWithTheReverbCoefficientOnceTheGateCloses) {
    for (const double reverb : {0.0, 1.0}) {
        HandClapVoice hc;
        hc.setLevel(1.0);
        hc.setReverb(reverb);
        hc.trigger(test::kUnitVelocity);
        test::TestNoise noise;
        for (int n = 0; n < 1456; ++n) { // through the frame that closes the gate
            hc.render(noise.next());
        }
        ASSERT_FALSE(hc.gateOpen());
        // During the gate the tail rose toward 1 with 0.004 per frame: 1 - 0.996^1455 ~ 0.997.
        const double expectedKRev = reverb == 0.0 ? 0.2 : 0.00015;
        double t1 = hc.tailEnvelope();
        for (int n = 0; n < 10; ++n) {
            hc.render(noise.next());
            EXPECT_NEAR(hc.tailEnvelope(), t1 * (1.0 - expectedKRev), 1e-12);
            t1 = hc.tailEnvelope();
        }
    }
}

TEST(HandClapVoice, ReverbSetsHowLongTheClapLasts) {
    auto lengthSeconds = [](double reverb) {
        HandClapVoice hc;
        hc.setLevel(1.0);
        hc.setReverb(reverb);
        hc.trigger(test::kUnitVelocity);
        test::TestNoise noise;
        int n = 0;
        while (hc.isPlaying() && n < 10 * 44100) {
            hc.render(noise.next());
            ++n;
        }
        return n / 44100.0;
    };
    // Reverb 0: the tail is gone at once, the end waits for the second tail envelope
    // (0.0008 per frame from about 1 to 0.0025: ~170 ms after the 33 ms gate).
    const double dry = lengthSeconds(0.0);
    EXPECT_GT(dry, 0.15);
    EXPECT_LT(dry, 0.3);
    // Reverb 1: 0.00015 per frame, from about 1 to 0.0025, takes some 0.9 s after the gate.
    const double wet = lengthSeconds(1.0);
    EXPECT_GT(wet, 0.8);
    EXPECT_LT(wet, 3.0);
}

TEST(HandClapVoice, OutputScalesLinearlyWithVelocityAndLevel) {
    HandClapVoice a, b, c;
    a.setLevel(0.5);
    b.setLevel(0.5);
    c.setLevel(1.0);
    a.trigger(0.3f);
    b.trigger(0.6f);
    c.trigger(0.3f);
    test::TestNoise noise;
    double peak = 0.0;
    for (int n = 0; n < 4000; ++n) {
        const FrameInputs in = noise.next();
        const double ya = a.render(in);
        EXPECT_NEAR(b.render(in), 2.0 * ya, 1e-12);
        EXPECT_NEAR(c.render(in), 2.0 * ya, 1e-12);
        peak = std::max(peak, std::fabs(ya));
    }
    EXPECT_GT(peak, 0.01);
}

TEST(HandClapVoice, LevelZeroIgnoresTriggerAndRetriggerRestartsThePulses) {
    HandClapVoice hc;
    hc.setLevel(0.0);
    hc.trigger(1.0f);
    EXPECT_FALSE(hc.isPlaying());

    hc.setLevel(1.0);
    hc.trigger(test::kUnitVelocity);
    test::TestNoise noise;
    for (int n = 0; n < 2000; ++n) {
        hc.render(noise.next());
    }
    ASSERT_EQ(hc.pulseIndex(), 3);
    hc.trigger(test::kUnitVelocity);
    EXPECT_EQ(hc.pulseIndex(), 0);
    EXPECT_EQ(hc.pulseEnvelope(), 1.0);
    EXPECT_TRUE(hc.gateOpen());
}

} // namespace
} // namespace vorpalix
