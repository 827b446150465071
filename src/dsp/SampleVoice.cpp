#include "dsp/SampleVoice.h"

#include <algorithm>
#include <cmath>

#include "dsp/LookupTables.h"
#include "resources/EmbeddedResources.h"

namespace vorpalix {

namespace {

// Length of the hat envelope's attack (seconds).
constexpr double kAttackSeconds = 0.000416;
// Cymbal fade lengths are shares of this many source samples.
constexpr double kFadeSpan = 32768.0;
// 1/e: scales the fade curve exp(fade) - 1 to 0.632 at the start of a hit.
constexpr double kInvE = 0.367879441;
// Resonant low-pass that tames the top of the 8-bit waveforms.
constexpr double kLowPassCorner = 16744.0;
constexpr double kLowPassBandwidth = 0.1;
// Below 37.2 kHz the corner would lie above Nyquist and the cookbook formulas would put the
// resonance at its alias (about 5.3 kHz at 22.05 kHz); there it is held at 0.9 x Nyquist.
constexpr double kMaxCornerShareOfNyquist = 0.9;
// The low-pass keeps the usual 1e-24 guard: a choked hat feeds it zeros for thousands of samples,
// and without it the ringing state would decay into denormal numbers.

SampleKind kindForName(std::string_view name) {
    if (name == "ch") {
        return SampleKind::ClosedHat;
    }
    if (name == "oh") {
        return SampleKind::OpenHat;
    }
    if (name == "rd") {
        return SampleKind::Ride;
    }
    return SampleKind::Crash;
}

bool isWaveformName(std::string_view name) {
    return name == "ch" || name == "oh" || name == "cr" || name == "rd";
}

double outputScaleFor(SampleKind kind) {
    switch (kind) {
    case SampleKind::ClosedHat:
        return 0.18;
    case SampleKind::OpenHat:
        return 0.1125;
    case SampleKind::Crash:
        return 0.315;
    case SampleKind::Ride:
        return 0.2025;
    }
    return 0.0;
}

} // namespace

SampleVoice::SampleVoice(std::string_view resourceName)
    : SampleVoice(kindForName(resourceName), isWaveformName(resourceName)
                                                 ? findResource(resourceName)
                                                 : std::span<const std::uint8_t>{}) {}

SampleVoice::SampleVoice(SampleKind kind, std::span<const std::uint8_t> bytes)
    : kind_(kind), outputScale_(outputScaleFor(kind)) {
    LookupTables::build();
    // Bytes are unsigned offset binary: 128 is silence.
    length_ = bytes.size();
    if (length_ > 0) {
        samples_.reserve(length_ + 1 + kTrailingZeros);
        samples_.push_back(0.0);
        for (const std::uint8_t b : bytes) {
            samples_.push_back(b / 128.0 - 1.0);
        }
        samples_.resize(length_ + 1 + kTrailingZeros, 0.0);
    }
    setTune(0.5);
    setDecay(0.5);
    SampleVoice::setSampleRate(44100.0f);
}

void SampleVoice::setSampleRate(float rate) {
    if (!(rate > 0.0f) || !std::isfinite(rate)) {
        return;
    }
    Voice::setSampleRate(rate);
    env_ = 0.0;
    active_ = false;
    choke_ = false;
    kEnv_ = 0.5;
    rateFactor_ = kWaveformRate / sampleRate_.rate;
    increment_ = tuneFactor_ * rateFactor_;
    pos_ = 0.0;
    const double corner = std::min(kLowPassCorner, kMaxCornerShareOfNyquist * sampleRate_.nyquist);
    lowPass_.setLowPass(corner, kLowPassBandwidth, sampleRate_.rate);
    lowPass_.clear();
    updateDecay();
}

void SampleVoice::setTune(double x) {
    x = clampKnob(x);
    if (kind_ == SampleKind::Ride) {
        tuneFactor_ =
            std::exp(-6.124135471939625 / (x + 1.0)) * 17.0398005844999 + 0.7826933488566354;
    } else {
        tuneFactor_ =
            std::exp(-6.30702670218395 / (x + 1.0)) * 19.080986484137647 + 0.7152068355371914;
    }
    increment_ = tuneFactor_ * rateFactor_;
}

void SampleVoice::setDecay(double x) {
    decayKnob_ = clampKnob(x);
    updateDecay();
}

void SampleVoice::updateDecay() {
    const double x = decayKnob_;
    switch (kind_) {
    case SampleKind::ClosedHat:
        kDec_ = (std::pow(0.009513455798562357, x + 1.0) * 0.23644400215160355 +
                 0.0002806004366701215) *
                sampleRate_.c;
        break;
    case SampleKind::OpenHat:
        kDec_ = (std::pow(0.8325532073947626, 10.0 * x) * 0.0002499999999939329 +
                 0.00005000000001008943) *
                sampleRate_.c;
        break;
    case SampleKind::Crash:
    case SampleKind::Ride:
        L_ = 0.9 * x + 0.1;
        invFadeSamples_ = 1.0 / (L_ * kFadeSpan);
        break;
    }
}

void SampleVoice::trigger(float velocity) {
    if (level_ == 0.0) {
        return;
    }
    Voice::trigger(velocity);
    active_ = true;
    pos_ = 0.0;
    const double g = velocityGain(velocity);
    g2_ = g * g;
    target_ = g2_;
    countdown_ = static_cast<int>(sampleRate_.rate * kAttackSeconds);
    env_ = 0.0;
    // Below 22.05 kHz 0.5 c would exceed 1 and overshoot g^2 on every hit; 1 jumps to it.
    kEnv_ = std::min(0.5 * sampleRate_.c, 1.0);
}

bool SampleVoice::render(const SpanInputs& /*in*/, double* out, int frames) {
    // A hit cut short by a sample-rate change stays silent until the next trigger.
    if (!playing_ || !active_) {
        return false;
    }
    if (length_ == 0) {
        active_ = false;
        playing_ = false;
        return false;
    }
    // samples_[i] is waveform sample i - 1; the zeros around the waveform stand for the samples
    // outside it. Past index length + 1 the hit is over; a choked voice reads silence.
    const double* samples = samples_.data();
    const std::size_t end = length_ + 2;
    const double increment = increment_;
    const double level = level_;
    const double outputScale = outputScale_;
    double pos = pos_;
    bool choke = choke_;
    Biquad lowPass = lowPass_;
    bool playing = true;
    int n = 0;

    if (kind_ == SampleKind::ClosedHat || kind_ == SampleKind::OpenHat) {
        const bool openHat = kind_ == SampleKind::OpenHat;
        const double kDec = kDec_;
        int countdown = countdown_;
        double target = target_;
        double kEnv = kEnv_;
        double env = env_;
        while (n < frames) {
            // 0.416 ms attack toward g^2, then the Decay knob's fall.
            if (countdown == 0) {
                target = 0.0;
                kEnv = kDec;
            }
            if (countdown >= 0) {
                --countdown;
            }
            env = follow(env, target, kEnv);
            pos += increment;
            if (openHat && pos >= kOpenHatCutPoint) {
                choke = true;
            }
            // The position is never negative, so truncation is the floor.
            const auto i = static_cast<std::size_t>(pos);
            double s = 0.0;
            if (i >= end) {
                playing = false;
            } else if (!choke) {
                const double* S = samples + i;
                s = bSpline(S[0], S[1], S[2], S[3], pos - static_cast<double>(i));
            }
            out[n++] = lowPass.process(s) * env * level * outputScale;
            if (!playing) {
                break;
            }
        }
        countdown_ = countdown;
        target_ = target;
        kEnv_ = kEnv;
        env_ = env;
    } else {
        // Crash and ride: a linear fade over L x 32768 source samples, bent by exp.
        const double invFadeSamples = invFadeSamples_;
        const double g2 = g2_;
        while (n < frames) {
            pos += increment;
            const auto i = static_cast<std::size_t>(pos);
            const double fade = 1.0 - pos * invFadeSamples;
            const double gain = fade <= 0.0 ? 0.0 : (expLookup(fade) - 1.0) * kInvE;
            double s = 0.0;
            if (i >= end) {
                playing = false;
            } else if (!choke) {
                const double* S = samples + i;
                s = bSpline(S[0], S[1], S[2], S[3], pos - static_cast<double>(i));
            }
            out[n++] = lowPass.process(s) * gain * g2 * level * outputScale;
            if (!playing) {
                break;
            }
        }
    }
    for (; n < frames; ++n) {
        out[n] = 0.0;
    }

    playing_ = playing;
    active_ = playing;
    pos_ = pos;
    choke_ = choke;
    lowPass_ = lowPass;
    return true;
}

} // namespace vorpalix
