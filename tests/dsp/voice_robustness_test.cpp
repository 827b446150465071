#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "dsp/HandClapVoice.h"
#include "dsp/RimShotVoice.h"
#include "dsp/SampleVoice.h"
#include "dsp/VoiceTestSupport.h"

namespace vorpalix {
namespace {

constexpr float kRates[] = {22050.0f, 44100.0f, 48000.0f, 88200.0f, 96000.0f, 192000.0f};
constexpr double kKnobValues[] = {0.0, 0.5, 1.0};

// For every rate and every knob at 0, 0.5 and 1 (the others at 0.5): strike the loudest
// sequenced hit, strike again while it sounds, and check that every output is finite and never
// denormal and that the voice returns to idle within ten seconds.
template <class V, class Make, class SetKnob>
void checkEveryKnobAndRate(const char* name, Make make, SetKnob setKnob, int knobCount) {
    for (const float rate : kRates) {
        for (int knob = 0; knob < knobCount; ++knob) {
            for (const double x : kKnobValues) {
                SCOPED_TRACE(testing::Message()
                             << name << " rate " << rate << " knob " << knob << " value " << x);
                V v = make();
                v.setSampleRate(rate);
                v.setLevel(1.0);
                setKnob(v, knob, x);
                v.trigger(test::kLoudestStepVelocity);
                test::TestNoise noise;
                const int limit = static_cast<int>(10 * rate);
                int n = 0;
                int bad = 0;
                double peak = 0.0;
                while (v.isPlaying() && n < limit) {
                    if (n == 1000) {
                        v.trigger(test::kLoudestStepVelocity);
                    }
                    const double y = v.render(noise.next());
                    if (!std::isfinite(y) || test::isSubnormal(y)) {
                        ++bad;
                    }
                    peak = std::max(peak, std::fabs(y));
                    ++n;
                }
                EXPECT_EQ(bad, 0);
                EXPECT_LT(n, limit) << "never returned to idle";
                EXPECT_LT(peak, 20.0);
                EXPECT_EQ(v.render(noise.next()), 0.0);
            }
        }
    }
}

TEST(VoiceRobustness, RimShot) {
    checkEveryKnobAndRate<RimShotVoice>(
        "RS", [] { return RimShotVoice(); },
        [](RimShotVoice& v, int knob, double x) {
            if (knob == 0) {
                v.setLevel(x);
            } else if (knob == 1) {
                v.setTune(x);
            } else {
                v.setDecay(x);
            }
        },
        3);
}

TEST(VoiceRobustness, HandClap) {
    checkEveryKnobAndRate<HandClapVoice>(
        "HC", [] { return HandClapVoice(); },
        [](HandClapVoice& v, int knob, double x) {
            if (knob == 0) {
                v.setLevel(x);
            } else if (knob == 1) {
                v.setTune(x);
            } else {
                v.setReverb(x);
            }
        },
        3);
}

TEST(VoiceRobustness, HatsAndCymbals) {
    for (const char* name : {"ch", "oh", "cr", "rd"}) {
        checkEveryKnobAndRate<SampleVoice>(
            name, [name] { return SampleVoice(name); },
            [](SampleVoice& v, int knob, double x) {
                if (knob == 0) {
                    v.setLevel(x);
                } else if (knob == 1) {
                    v.setTune(x);
                } else {
                    v.setDecay(x);
                }
            },
            3);
    }
}

// A hat choked right at its start feeds thousands of zeros into its low-pass; the state must
// settle on the denormal guard instead of decaying into denormal numbers.
TEST(VoiceRobustness, ChokedHatNeverGoesDenormal) {
    SampleVoice ch("ch");
    ch.setLevel(1.0);
    ch.trigger(test::kLoudestStepVelocity);
    ch.render({});
    ch.setChoked(true);
    int bad = 0;
    while (ch.isPlaying()) {
        if (test::isSubnormal(ch.render({}))) {
            ++bad;
        }
    }
    EXPECT_EQ(bad, 0);
}

TEST(VoiceRobustness, InvalidSampleRatesAreIgnored) {
    RimShotVoice rs;
    HandClapVoice hc;
    SampleVoice cr("cr");
    for (const float bad : {0.0f, -44100.0f, std::nanf(""), INFINITY}) {
        rs.setSampleRate(bad);
        hc.setSampleRate(bad);
        cr.setSampleRate(bad);
    }
    EXPECT_EQ(rs.sampleRate().rate, 44100.0);
    EXPECT_EQ(hc.sampleRate().rate, 44100.0);
    EXPECT_EQ(cr.sampleRate().rate, 44100.0);
}

} // namespace
} // namespace vorpalix
