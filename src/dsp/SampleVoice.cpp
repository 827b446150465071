#include "dsp/SampleVoice.h"

#include <algorithm>
#include <cmath>

#include "dsp/LookupTables.h"
#include "dsp/SimdLanes.h"
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

bool SampleVoice::render(const SpanInputs& in, double* out, int frames) {
    if (!playing_ || !active_) {
        return false;
    }
    SampleVoice* self = this;
    renderGroup(&self, &out, 1, in, frames);
    return true;
}

void SampleVoice::renderGroup(SampleVoice* const* voices, double* const* outs, int count,
                              const SpanInputs& /*in*/, int frames) {
    constexpr int kMaxVoices = 4;
    SampleVoice* lane[kMaxVoices];
    double* out[kMaxVoices];
    int active = 0;
    for (int k = 0; k < count && k < kMaxVoices; ++k) {
        SampleVoice& v = *voices[k];
        // A hit cut short by a sample-rate change stays silent until the next trigger.
        if (!v.playing_ || !v.active_) {
            continue;
        }
        if (v.length_ == 0) {
            v.active_ = false;
            v.playing_ = false;
            continue;
        }
        lane[active] = &v;
        out[active] = outs[k];
        ++active;
    }
    const int width = lanes::hasAvx2() ? lanes::Four::kCount : lanes::Two::kCount;
    for (int first = 0; first < active; first += width) {
        renderChunk(lane + first, out + first, std::min(width, active - first), frames);
    }
}

// Voices that play side by side, one per lane, until each hit ends or the span is done.
void SampleVoice::renderChunk(SampleVoice* const* voices, double* const* outs, int count,
                              int frames) {
    SampleVoice* lane[lanes::Four::kCount];
    double* out[lanes::Four::kCount];
    int active = count;
    for (int k = 0; k < count; ++k) {
        lane[k] = voices[k];
        out[k] = outs[k];
    }
    int n = 0;
    while (active > 0 && n < frames) {
        // A hat's attack ends at the start of a frame; in the parts in between every lane's
        // envelope target and coefficient stay as they are.
        int length = frames - n;
        for (int k = 0; k < active; ++k) {
            SampleVoice& v = *lane[k];
            if (!v.isHat()) {
                continue;
            }
            if (v.countdown_ == 0) {
                v.target_ = 0.0;
                v.kEnv_ = v.kDec_;
            } else if (v.countdown_ > 0) {
                length = std::min(length, v.countdown_);
            }
        }
        for (int k = active; k < lanes::Four::kCount; ++k) {
            lane[k] = lane[0];
        }
        double* partOut[lanes::Four::kCount];
        for (int k = 0; k < active; ++k) {
            partOut[k] = out[k] + n;
        }
        n += lanes::hasAvx2() ? renderLanesAvx2(lane, active, partOut, length)
                              : renderLanesBase(lane, active, partOut, length);
        // A voice whose hit ended outputs zeros for the rest of the span.
        active = lanes::dropEndedLanes(lane, out, active, n, frames,
                                       [](const SampleVoice& v) { return !v.playing_; });
    }
}

// Renders the voices of lanes 0..count-1 side by side (the other lanes repeat lane 0 and are not
// stored) for up to `frames` frames, and stops after the first frame in which a hit ends. Returns
// the frames rendered. The hats' envelope targets and coefficients hold for the whole part.
template <class L>
[[gnu::always_inline]] inline int SampleVoice::renderLanes(SampleVoice* const* t, int count,
                                                           double* const* out, int frames) {
    using namespace lanes;
    using V = typename L::V;
    using Mask = typename L::Mask;
    const auto get = [t](double SampleVoice::*m) __attribute__((always_inline)) {
        return fromLanes<V>([&](int k) { return t[k]->*m; });
    };
    const auto getLp = [t](double Biquad::*m) __attribute__((always_inline)) {
        return fromLanes<V>([&](int k) { return t[k]->lowPass_.*m; });
    };
    const auto lanesWhere = [t](auto predicate) __attribute__((always_inline)) {
        return fromLanes<Mask>([&](int k) { return predicate(*t[k]) ? -1L : 0L; });
    };
    const auto put =
        [ t, count ](double SampleVoice::*m, const V& v) __attribute__((always_inline)) {
        for (int k = 0; k < count; ++k) {
            t[k]->*m = v[k];
        }
    };
    const auto putLp = [ t, count ](double Biquad::*m, const V& v) __attribute__((always_inline)) {
        for (int k = 0; k < count; ++k) {
            t[k]->lowPass_.*m = v[k];
        }
    };

    const Mask live = fromLanes<Mask>([&](int k) { return k < count ? -1L : 0L; });
    const Mask hat = lanesWhere([](const SampleVoice& v) { return v.isHat(); });
    const Mask openHat =
        lanesWhere([](const SampleVoice& v) { return v.kind_ == SampleKind::OpenHat; });
    Mask choke = lanesWhere([](const SampleVoice& v) { return v.choke_; });
    // Waveform sample i - 1 is samples_[i]: one zero before the waveform, four after it.
    const double* samples[kCountOf<V>];
    for (int k = 0; k < kCountOf<V>; ++k) {
        samples[k] = t[k]->samples_.data();
    }
    const V end = fromLanes<V>([&](int k) { return static_cast<double>(t[k]->length_ + 2); });
    const V increment = get(&SampleVoice::increment_);
    const V level = get(&SampleVoice::level_);
    const V outputScale = get(&SampleVoice::outputScale_);
    const V target = get(&SampleVoice::target_), kEnv = get(&SampleVoice::kEnv_);
    const V invFadeSamples = get(&SampleVoice::invFadeSamples_);
    // Hats: the envelope, then 1 (multiplying by 1 is exact); cymbals: the fade, then g^2.
    const V second = select(hat, splat<V>(1.0), get(&SampleVoice::g2_));
    const V b0 = getLp(&Biquad::b0), b1 = getLp(&Biquad::b1), b2 = getLp(&Biquad::b2);
    const V a1 = getLp(&Biquad::a1), a2 = getLp(&Biquad::a2);
    V x1 = getLp(&Biquad::x1), x2 = getLp(&Biquad::x2);
    V y1 = getLp(&Biquad::y1), y2 = getLp(&Biquad::y2);
    V pos = get(&SampleVoice::pos_);
    V env = get(&SampleVoice::env_);
    const V zero = splat<V>(0.0);
    const LaneOutputs<V> outputs(out, count);

    int n = 0;
    Mask ended{};
    while (n < frames) {
        // Hats: 0.416 ms attack toward g^2, then the Decay knob's fall.
        env = follow(env, target, kEnv);
        pos += increment;
        choke |= openHat & (pos >= kOpenHatCutPoint);
        // Past the waveform (its last sample and the zero after it) the hit is over; a choked
        // voice reads silence. The position is never negative, so truncation is the floor.
        ended = pos >= end;
        const V readable = select(ended, zero, pos);
        const double* S[kCountOf<V>];
        V index;
        if constexpr (kCountOf<V> == 4) {
            // The positions are never negative: unsigned offsets need no sign extension.
            const Index4 i = __builtin_convertvector(readable, Index4);
#pragma GCC unroll 4
            for (int k = 0; k < 4; ++k) {
                S[k] = samples[k] + static_cast<std::uint32_t>(i[k]);
            }
            index = toDoubles(i);
        } else {
            const auto i0 = static_cast<std::int64_t>(readable[0]);
            const auto i1 = static_cast<std::int64_t>(readable[1]);
            S[0] = samples[0] + i0;
            S[1] = samples[1] + i1;
            index = V{static_cast<double>(i0), static_cast<double>(i1)};
        }
        V t0, t1, t2, t3;
        if constexpr (kCountOf<V> == 4) {
            // The four taps of each lane are neighbours: one load per lane and a transpose.
            const V r0 = load<V>(S[0]), r1 = load<V>(S[1]), r2 = load<V>(S[2]), r3 = load<V>(S[3]);
            const V low01 = __builtin_shufflevector(r0, r1, 0, 4, 2, 6);
            const V high01 = __builtin_shufflevector(r0, r1, 1, 5, 3, 7);
            const V low23 = __builtin_shufflevector(r2, r3, 0, 4, 2, 6);
            const V high23 = __builtin_shufflevector(r2, r3, 1, 5, 3, 7);
            t0 = __builtin_shufflevector(low01, low23, 0, 1, 4, 5);
            t1 = __builtin_shufflevector(high01, high23, 0, 1, 4, 5);
            t2 = __builtin_shufflevector(low01, low23, 2, 3, 6, 7);
            t3 = __builtin_shufflevector(high01, high23, 2, 3, 6, 7);
        } else {
            t0 = fromLanes<V>([&](int k) { return S[k][0]; });
            t1 = fromLanes<V>([&](int k) { return S[k][1]; });
            t2 = fromLanes<V>([&](int k) { return S[k][2]; });
            t3 = fromLanes<V>([&](int k) { return S[k][3]; });
        }
        const V f = pos - index;
        const V d = t0 + t2;
        const V spline =
            (2.0 / 3.0 * t1 + d / 6.0) +
            f * ((t2 - t0) / 2.0 + f * ((d / 2.0 - t1) + f * ((t3 - t0) / 6.0 + (t1 - t2) / 2.0)));
        const V sample = select(ended | choke, zero, spline);

        // Cymbals: a linear fade over L x 32768 source samples, bent by exp.
        const V fade = 1.0 - pos * invFadeSamples;
        const V bent = select(fade <= 0.0, zero, (expLookup(fade) - 1.0) * kInvE);

        const V lp = b0 * sample + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2 + kAntiDenormal;
        x2 = x1;
        x1 = sample;
        y2 = y1;
        y1 = lp;
        const V y = lp * select(hat, env, bent) * second * level * outputScale;
        outputs.put(n, y);
        ++n;
        ended &= live;
        if (any(ended)) {
            break;
        }
    }

    for (int k = 0; k < count; ++k) {
        SampleVoice& v = *t[k];
        v.choke_ = choke[k] != 0;
        if (v.isHat() && v.countdown_ >= 0) {
            v.countdown_ = std::max(v.countdown_ - n, -1);
        }
        if (ended[k] != 0) {
            v.playing_ = false;
            v.active_ = false;
        }
    }
    put(&SampleVoice::pos_, pos);
    for (int k = 0; k < count; ++k) {
        if (t[k]->isHat()) {
            t[k]->env_ = env[k];
        }
    }
    putLp(&Biquad::x1, x1);
    putLp(&Biquad::x2, x2);
    putLp(&Biquad::y1, y1);
    putLp(&Biquad::y2, y2);
    return n;
}

[[gnu::target("avx2")]] int SampleVoice::renderLanesAvx2(SampleVoice* const* t, int count,
                                                         double* const* out, int frames) {
    return renderLanes<lanes::Four>(t, count, out, frames);
}

int SampleVoice::renderLanesBase(SampleVoice* const* t, int count, double* const* out, int frames) {
    return renderLanes<lanes::Two>(t, count, out, frames);
}

} // namespace vorpalix
