#include "dsp/SampleVoice.h"

#include <algorithm>
#include <cmath>
#include <type_traits>

#include "dsp/LookupTables.h"
#include "dsp/PartLanes.h"
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

// The waveform pass: for frames 0..frames-1 of a part, each lane's waveform read at its position
// (cubic B-spline through four neighbours; silence once the hit is past its waveform or choked)
// and its gain (the hats' envelope, the cymbals' fade bent by exp). W holds kLanes / kCountOf<W>
// whole frames side by side: one frame in the vector of the lane kernel, two in an AVX-512 vector
// of four lanes. The part's arrays hold one more frame, so the last vector reads defined values.
template <class W, int kLanes>
[[gnu::always_inline]] inline void SampleVoice::readWaveforms(const Waveforms& wf, Part& p,
                                                              int frames) {
    using namespace lanes;
    using M = decltype(W{} < W{});
    constexpr int kWidth = kCountOf<W>;
    const W end = repeatLanes<W, kLanes>(wf.end);
    const W invFadeSamples = repeatLanes<W, kLanes>(wf.invFadeSamples);
    const M hat = repeatLanes<W, kLanes>(wf.hat) != 0.0;
    const W zero{};
    for (int at = 0; at < frames * kLanes; at += kWidth) {
        const W pos = load<W>(p.pos + at);
        M choke;
        __builtin_memcpy(&choke, p.choke + at, sizeof choke);
        // Past the waveform (its last sample and the zero after it) the hit is over; a choked
        // voice reads silence. The position is never negative, so truncation is the floor.
        const M ended = pos >= end;
        const W readable = select(ended, zero, pos);
        W index, t0, t1, t2, t3;
        if constexpr (kWidth == 2) {
            const auto i0 = static_cast<std::int64_t>(readable[0]);
            const auto i1 = static_cast<std::int64_t>(readable[1]);
            const double* S0 = wf.samples[0] + i0;
            const double* S1 = wf.samples[1 % kLanes] + i1;
            index = W{static_cast<double>(i0), static_cast<double>(i1)};
            t0 = W{S0[0], S1[0]};
            t1 = W{S0[1], S1[1]};
            t2 = W{S0[2], S1[2]};
            t3 = W{S0[3], S1[3]};
        } else {
            // The four taps of each lane are neighbours: one load per lane and a transpose of
            // each four lanes. The positions are never negative: unsigned offsets need no sign
            // extension.
            using Index = std::conditional_t<kWidth == 8, Index8, Index4>;
            const Index i = __builtin_convertvector(readable, Index);
            index = toDoubles(i);
            using Row = Four::V;
            const auto row = [&](int j) __attribute__((always_inline)) {
                return load<Row>(wf.samples[j % kLanes] + static_cast<std::uint32_t>(i[j]));
            };
            const auto transpose = [](const Row& r0, const Row& r1, const Row& r2, const Row& r3,
                                      Row* t) __attribute__((always_inline)) {
                const Row low01 = __builtin_shufflevector(r0, r1, 0, 4, 2, 6);
                const Row high01 = __builtin_shufflevector(r0, r1, 1, 5, 3, 7);
                const Row low23 = __builtin_shufflevector(r2, r3, 0, 4, 2, 6);
                const Row high23 = __builtin_shufflevector(r2, r3, 1, 5, 3, 7);
                t[0] = __builtin_shufflevector(low01, low23, 0, 1, 4, 5);
                t[1] = __builtin_shufflevector(high01, high23, 0, 1, 4, 5);
                t[2] = __builtin_shufflevector(low01, low23, 2, 3, 6, 7);
                t[3] = __builtin_shufflevector(high01, high23, 2, 3, 6, 7);
            };
            Row a[4];
            transpose(row(0), row(1), row(2), row(3), a);
            if constexpr (kWidth == 4) {
                t0 = a[0];
                t1 = a[1];
                t2 = a[2];
                t3 = a[3];
            } else {
                Row b[4];
                transpose(row(4), row(5), row(6), row(7), b);
                t0 = __builtin_shufflevector(a[0], b[0], 0, 1, 2, 3, 4, 5, 6, 7);
                t1 = __builtin_shufflevector(a[1], b[1], 0, 1, 2, 3, 4, 5, 6, 7);
                t2 = __builtin_shufflevector(a[2], b[2], 0, 1, 2, 3, 4, 5, 6, 7);
                t3 = __builtin_shufflevector(a[3], b[3], 0, 1, 2, 3, 4, 5, 6, 7);
            }
        }
        const W f = pos - index;
        const W d = t0 + t2;
        const W spline =
            (2.0 / 3.0 * t1 + d / 6.0) +
            f * ((t2 - t0) / 2.0 + f * ((d / 2.0 - t1) + f * ((t3 - t0) / 6.0 + (t1 - t2) / 2.0)));
        store(p.sample + at, select(ended | choke, zero, spline));

        // Cymbals: a linear fade over L x 32768 source samples, bent by exp.
        const W fade = 1.0 - pos * invFadeSamples;
        const W bent = select(fade <= 0.0, zero, (expLookup(fade) - 1.0) * kInvE);
        store(p.gain + at, select(hat, load<W>(p.env + at), bent));
    }
}

[[VORPALIX_AVX512]] void SampleVoice::readWaveformsAvx512(const Waveforms& wf, Part& p,
                                                          int frames) {
    readWaveforms<lanes::Eight::V, lanes::Four::kCount>(wf, p, frames);
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
    constexpr int kLanes = L::kCount;
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
    const Mask openHat =
        lanesWhere([](const SampleVoice& v) { return v.kind_ == SampleKind::OpenHat; });
    Mask choke = lanesWhere([](const SampleVoice& v) { return v.choke_; });
    Waveforms wf;
    for (int k = 0; k < kLanes; ++k) {
        // Waveform sample i - 1 is samples_[i]: one zero before the waveform, four after it.
        wf.samples[k] = t[k]->samples_.data();
        wf.end[k] = static_cast<double>(t[k]->length_ + 2);
        wf.invFadeSamples[k] = t[k]->invFadeSamples_;
        wf.hat[k] = t[k]->isHat() ? 1.0 : 0.0;
    }
    const V end = load<V>(wf.end);
    const V increment = get(&SampleVoice::increment_);
    const V level = get(&SampleVoice::level_);
    const V outputScale = get(&SampleVoice::outputScale_);
    const V target = get(&SampleVoice::target_), kEnv = get(&SampleVoice::kEnv_);
    // Hats: the envelope, then 1 (multiplying by 1 is exact); cymbals: the fade, then g^2.
    const V second = select(load<V>(wf.hat) != 0.0, splat<V>(1.0), get(&SampleVoice::g2_));
    const V b0 = getLp(&Biquad::b0), b1 = getLp(&Biquad::b1), b2 = getLp(&Biquad::b2);
    const V a1 = getLp(&Biquad::a1), a2 = getLp(&Biquad::a2);
    V x1 = getLp(&Biquad::x1), x2 = getLp(&Biquad::x2);
    V y1 = getLp(&Biquad::y1), y2 = getLp(&Biquad::y2);
    V pos = get(&SampleVoice::pos_);
    V env = get(&SampleVoice::env_);
    const LaneOutputs<V> outputs(out, count);

    // Three passes over parts of the span: the envelope, position and choke; the waveform and
    // the gain, which carry nothing from frame to frame (two frames per vector with AVX-512);
    // the low-pass and the output.
    Part part;
    int n = 0;
    Mask ended{};
    while (n < frames && !any(ended)) {
        const int length = std::min(kPartFrames, frames - n);
        int done = 0;
        while (done < length) {
            // Hats: 0.416 ms attack toward g^2, then the Decay knob's fall.
            env = follow(env, target, kEnv);
            pos += increment;
            choke |= openHat & (pos >= kOpenHatCutPoint);
            store(part.pos + done * kLanes, pos);
            store(part.env + done * kLanes, env);
            __builtin_memcpy(part.choke + done * kLanes, &choke, sizeof choke);
            ++done;
            ended = (pos >= end) & live;
            if (any(ended)) {
                break;
            }
        }
        // The extra frame: a position of 0 reads the first taps; nothing is choked.
        for (double* values : {part.pos, part.env}) {
            std::fill(values + done * kLanes, values + (done + 1) * kLanes, 0.0);
        }
        std::fill(part.choke + done * kLanes, part.choke + (done + 1) * kLanes, 0);

        if constexpr (kLanes == 4) {
            if (hasAvx512()) {
                readWaveformsAvx512(wf, part, done);
            } else {
                readWaveforms<V, kLanes>(wf, part, done);
            }
        } else {
            readWaveforms<V, kLanes>(wf, part, done);
        }

        for (int i = 0; i < done; ++i) {
            const V sample = load<V>(part.sample + i * kLanes);
            const V lp = b0 * sample + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2 + kAntiDenormal;
            x2 = x1;
            x1 = sample;
            y2 = y1;
            y1 = lp;
            const V y = lp * load<V>(part.gain + i * kLanes) * second * level * outputScale;
            outputs.put(n + i, y);
        }
        n += done;
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
