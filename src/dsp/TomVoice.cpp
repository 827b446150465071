#include "dsp/TomVoice.h"

#include "dsp/LookupTables.h"
#include "dsp/PartLanes.h"
#include "dsp/PhaseConstants.h"
#include "dsp/SimdLanes.h"

#include <algorithm>
#include <cmath>

namespace vorpalix {

namespace {

double kToneFor(double x, double c) {
    return (std::exp(-10.385913701770846 * x) * 0.09955307262569207 + 0.00044692737430453665) * c;
}

double kDecayFor(double x, double c) {
    return (std::exp(-4.095385686728296 * x) * 0.7118518518535202 + 0.18814814814779823) * 0.001 *
           c;
}

double tdMulFor(double x, double c) {
    return ((1.0 - x) * (1.0 - x) * 2.0 + 0.25) * c;
}

constexpr double kInvPiF = 1.0 / kPiF;

constexpr double kHeldPhase13 = 4.084070563316345;   // 1.3 pi
constexpr double kHeldPhase125 = 3.9269909262657166; // 1.25 pi

} // namespace

// Shaping: the soft clippers and the envelopes' exponential curves, over the first `packed`
// values of a part, in vectors of V. Past the last value the vectors read zeros, so every lane
// computes something finite.
template <class V> [[gnu::always_inline]] inline void TomVoice::shape(Shaping& p, int packed) {
    using namespace lanes;
    const V zero{};
    for (double* values : {p.w[0], p.w[1], p.w[2], p.d, p.a, p.b, p.c}) {
        store(values + packed, zero);
    }
    for (int i = 0; i < packed; i += kCountOf<V>) {
        // The soft clipper's 1/drive as a constant factor.
        constexpr double kDrive = 6.6;
        constexpr double kInvDrive = 1.0 / kDrive;
        const V eDi = load<V>(p.d + i);
        V x = 0.8 * load<V>(p.w[0] + i);
        x = select(x >= 0.0, (1.0 + 5.0 * eDi) * x, x);
        V o1 = softClip(x, 0.1, kDrive, kInvDrive);
        o1 = select(o1 >= 0.0, (1.0 - 0.2 * eDi) * o1, o1);
        const V o2 = softClip(0.8 * load<V>(p.w[1] + i), 0.1, kDrive, kInvDrive);
        const V o3 = softClip(0.8 * load<V>(p.w[2] + i), 0.1, kDrive, kInvDrive);

        const V a = 1.0 - expLookup(-load<V>(p.a + i));
        const V b = 1.0 - expLookup(-load<V>(p.b + i));
        const V cc = 1.0 - expLookup(-load<V>(p.c + i));
        store(p.m + i, o1 * (a + 1.25 * b) + 0.75 * o2 * b + o3 * cc);
    }
}

[[VORPALIX_AVX512]] void TomVoice::shapeAvx512(Shaping& p, int packed) {
    shape<lanes::Eight::V>(p, packed);
}

// Skewed triangles: rise from -1 at phase 0 to +1 at 2 pi s, fall back to -1 at 2 pi. For frames
// 0..frames-1 of a part, in vectors of W that hold kLanes / kCountOf<W> whole frames (two frames
// of four lanes in an AVX-512 vector). Nothing is carried from frame to frame.
template <class W, int kLanes>
[[gnu::always_inline]] inline void TomVoice::triangles(Triangles& p, int frames) {
    using namespace lanes;
    constexpr int kWidth = kCountOf<W>;
#pragma GCC unroll 3
    for (int j = 0; j < 3; ++j) {
        const W fk = repeatLanes<W, kLanes>(p.f[j]);
        const W sweep = repeatLanes<W, kLanes>(p.sweep[j]);
        const W skewPerHz = repeatLanes<W, kLanes>(p.skewPerHz[j]);
        for (int at = 0; at < frames * kLanes; at += kWidth) {
            const W d = sweep * load<W>(p.eK + at) + fk;
            const W s = 1.0 - skewPerHz * d; // (1/d - skewConst/fk) d
            const W piS = kPiF * s;
            const W phase = load<W>(p.phase[j] + at);
            const auto falling = phase >= 2.0 * piS;
            const W rise = select(falling, (piS - phase) + kPiF, phase - piS);
            store(p.v[j] + at, rise * kInvPiF / select(falling, 1.0 - s, s));
        }
    }
}

[[VORPALIX_AVX512]] void TomVoice::trianglesAvx512(Triangles& p, int frames) {
    triangles<lanes::Eight::V, lanes::Four::kCount>(p, frames);
}

TomVoice::TomVoice(const Tuning& tuning) {
    LookupTables::build();
    osc_[0].f = tuning.f1;
    osc_[1].f = tuning.f2;
    osc_[2].f = tuning.f3;
    osc_[0].skewConst = 0.565;
    osc_[1].skewConst = 0.565;
    osc_[2].skewConst = 0.575;
    for (Oscillator& osc : osc_) {
        osc.skewPerHz = osc.skewConst / osc.f;
    }
    setTune(0.5);
    setTone(0.5);
    setTuneDepth(0.5);
    setDecay(0.5);
    setTuneDecay(0.5);
    TomVoice::setSampleRate(44100.0f);
}

void TomVoice::setSampleRate(float rate) {
    Voice::setSampleRate(rate);
    const double c = sampleRate_.c;
    c_ = c;
    kB_ = 0.0008 * c;
    kD_ = 0.1 * c;
    kTone_ = kToneFor(toneKnob_, c);
    kDecay_ = kDecayFor(decayKnob_, c);
    setTuneDecay(tuneDecayKnob_);
    twoPiPerRate_ = kTwoPiF / sampleRate_.rate;
    for (Oscillator& osc : osc_) {
        osc.phase = 0.0;
        osc.v = osc.w = 0.0;
    }
    eK_ = eD_ = 0.0;
    eP_ = A_ = B_ = C_ = eSA_ = eSB_ = 0.0;
    Lf_ = 0.0;
    kLf_ = 0.01 * c;
    kOsc_ = 0.01 * c;
    dcBlock_.setHighPass(10.0, 6.5, sampleRate_.rate);
    dcBlock_.clear();
}

void TomVoice::setTune(double x) {
    tune_ = (clampKnob(x) - 0.5) * 0.64 + 1.0;
}

void TomVoice::setTone(double x) {
    x = clampKnob(x);
    toneKnob_ = x;
    kTone_ = kToneFor(x, sampleRate_.c);
}

void TomVoice::setTuneDepth(double x) {
    depth_ = 0.8 * clampKnob(x) + 1.0;
}

void TomVoice::setDecay(double x) {
    x = clampKnob(x);
    decayKnob_ = x;
    kDecay_ = kDecayFor(x, sampleRate_.c);
}

void TomVoice::setTuneDecay(double x) {
    x = clampKnob(x);
    tuneDecayKnob_ = x;
    const double c = sampleRate_.c;
    const double tdMul = tdMulFor(x, c);
    tdMul_ = tdMul;
    // The sweep coefficients carry the rate scale twice: once in tdMul and once here.
    kSweepA_ = tdMul * c * 0.0002;
    kSweepB_ = tdMul * c * 0.0015;
}

void TomVoice::trigger(float velocity) {
    if (level() == 0.0) {
        return;
    }
    const double c = c_;
    playing_ = true;
    const double g = velocityGain(velocity);
    V_ = (g * g - 1.0) * 0.2 + 1.0;
    gSq_ = g * g;
    holdCounter_ = static_cast<int>(sampleRate_.rate * 0.002);
    G_ = 1.0;
    eK_ = 0.5;
    kK_ = followerCoefficient(0.8, c);
    eD_ = 0.0;
    kD_ = 0.05 * c;
    eN_ = eSB_ = eSA_ = eP_ = 0.0;
    kSB_ = kSA_ = kN_ = kC_ = kP_ = kB_ = kA_ = 0.1 * c;
    kOsc_ = 0.2 * c;
    for (Oscillator& osc : osc_) {
        osc.w = osc.v;
    }
}

bool TomVoice::render(const SpanInputs& in, double* out, int frames) {
    if (!playing_) {
        return false;
    }
    TomVoice* self = this;
    renderGroup(&self, &out, 1, in, frames);
    return true;
}

void TomVoice::renderGroup(TomVoice* const* toms, double* const* outs, int count,
                           const SpanInputs& in, int frames) {
    constexpr int kMaxToms = 4;
    TomVoice* lane[kMaxToms];
    double* out[kMaxToms];
    int active = 0;
    for (int k = 0; k < count && k < kMaxToms; ++k) {
        if (toms[k]->playing_) {
            lane[active] = toms[k];
            out[active] = outs[k];
            ++active;
        }
    }
    const int width = lanes::hasAvx2() ? lanes::Four::kCount : lanes::Two::kCount;
    for (int first = 0; first < active; first += width) {
        renderChunk(lane + first, out + first, std::min(width, active - first), in, frames);
    }
}

// Toms that play side by side, one per lane, until each hit ends or the span is done.
void TomVoice::renderChunk(TomVoice* const* toms, double* const* outs, int count,
                           const SpanInputs& in, int frames) {
    TomVoice* lane[lanes::Four::kCount];
    double* out[lanes::Four::kCount];
    int active = count;
    for (int k = 0; k < count; ++k) {
        lane[k] = toms[k];
        out[k] = outs[k];
    }
    int n = 0;
    while (active > 0 && n < frames) {
        // The hold ends at the start of a frame; the parts in between have every lane either
        // holding or past its hold throughout.
        int length = frames - n;
        for (int k = 0; k < active; ++k) {
            TomVoice& t = *lane[k];
            if (t.holdCounter_ == -1) {
                t.holdCounter_ = -2;
                const double c = t.c_;
                t.kOsc_ = 1.0;
                t.G_ = 0.0;
                t.kK_ = 0.0007 * c;
                t.kA_ = 0.00045 * c;
                t.kC_ = 0.001 * c;
                t.kD_ = 0.005 * c;
            }
            if (t.holdCounter_ < 0) {
                // Past the hold the coefficients that follow a knob are read every frame.
                t.kP_ = t.kDecay_;
                t.kN_ = t.kTone_;
                t.kSA_ = t.kSweepA_;
                t.kSB_ = t.kSweepB_;
            } else {
                length = std::min(length, t.holdCounter_ + 1);
            }
        }
        for (int k = active; k < lanes::Four::kCount; ++k) {
            lane[k] = lane[0];
        }
        double* partOut[lanes::Four::kCount];
        for (int k = 0; k < active; ++k) {
            partOut[k] = out[k] + n;
        }
        const int done = lanes::hasAvx2()
                             ? renderLanesAvx2(lane, active, in.tomNoise + n, partOut, length)
                             : renderLanesBase(lane, active, in.tomNoise + n, partOut, length);
        n += done;
        // A tom whose hit ended outputs zeros for the rest of the span.
        active = lanes::dropEndedLanes(lane, out, active, n, frames,
                                       [](const TomVoice& v) { return !v.playing_; });
    }
}

// Renders the toms of lanes 0..count-1 side by side (the other lanes repeat lane 0 and are not
// stored) for up to `frames` frames, and stops after the first frame in which a hit ends.
// Returns the frames rendered. Every lane is holding, or past its hold, for the whole part;
// `Holding` says whether any lane holds. Past the hold G is 0, so the envelopes fall toward 0
// and the phases run free: that build leaves out the terms that would add or select nothing.
template <class L, bool Holding>
[[gnu::always_inline]] inline int TomVoice::renderLanes(TomVoice* const* t, int count,
                                                        const double* tomNoise, double* const* out,
                                                        int frames) {
    using namespace lanes;
    using V = typename L::V;
    using Mask = typename L::Mask;
    constexpr int kLanes = L::kCount;
    const auto get = [t](double TomVoice::*m) __attribute__((always_inline)) {
        return fromLanes<V>([&](int k) { return t[k]->*m; });
    };
    const auto put = [ t, count ](double TomVoice::*m, const V& v) __attribute__((always_inline)) {
        for (int k = 0; k < count; ++k) {
            t[k]->*m = v[k];
        }
    };
    const auto getOsc = [t](int j, double Oscillator::*m) __attribute__((always_inline)) {
        return fromLanes<V>([&](int k) { return t[k]->osc_[j].*m; });
    };
    const auto putOsc =
        [ t, count ](int j, double Oscillator::*m, const V& v) __attribute__((always_inline)) {
        for (int k = 0; k < count; ++k) {
            t[k]->osc_[j].*m = v[k];
        }
    };
    const auto getDc = [t](double Biquad::*m) __attribute__((always_inline)) {
        return fromLanes<V>([&](int k) { return t[k]->dcBlock_.*m; });
    };
    const auto putDc = [ t, count ](double Biquad::*m, const V& v) __attribute__((always_inline)) {
        for (int k = 0; k < count; ++k) {
            t[k]->dcBlock_.*m = v[k];
        }
    };

    const Mask live = fromLanes<Mask>([&](int k) { return k < count ? -1L : 0L; });
    const LaneOutputs<V> outputs(out, count);
    // The envelopes' step toward a target that is 0 past the hold (G is 0 there).
    const auto approach =
        [](const V& e, const V& target, const V& k) __attribute__((always_inline)) {
        if constexpr (Holding) {
            return follow(e, target, k);
        } else {
            return fall(e, k);
        }
    };
    const Mask hold = fromLanes<Mask>([&](int k) { return t[k]->holdCounter_ >= 0 ? -1L : 0L; });
    const V kP = get(&TomVoice::kP_), kA = get(&TomVoice::kA_), kB = get(&TomVoice::kB_);
    const V kC = get(&TomVoice::kC_), kN = get(&TomVoice::kN_), kSA = get(&TomVoice::kSA_);
    const V kSB = get(&TomVoice::kSB_), kK = get(&TomVoice::kK_), kD = get(&TomVoice::kD_);
    const V kOsc = get(&TomVoice::kOsc_), kLf = get(&TomVoice::kLf_);
    const V tune = get(&TomVoice::tune_), depth = get(&TomVoice::depth_);
    const V twoPiPerRate = get(&TomVoice::twoPiPerRate_);
    const V gSq = get(&TomVoice::gSq_), Vt = get(&TomVoice::V_), G = get(&TomVoice::G_);
    const V level = get(&TomVoice::level_);
    const V b0 = getDc(&Biquad::b0), b1 = getDc(&Biquad::b1), b2 = getDc(&Biquad::b2);
    const V a1 = getDc(&Biquad::a1), a2 = getDc(&Biquad::a2);
    V x1 = getDc(&Biquad::x1), x2 = getDc(&Biquad::x2);
    V y1 = getDc(&Biquad::y1), y2 = getDc(&Biquad::y2);
    V eP = get(&TomVoice::eP_), A = get(&TomVoice::A_), B = get(&TomVoice::B_);
    V C = get(&TomVoice::C_), eN = get(&TomVoice::eN_), eSA = get(&TomVoice::eSA_);
    V eSB = get(&TomVoice::eSB_), eK = get(&TomVoice::eK_), eD = get(&TomVoice::eD_);
    V Lf = get(&TomVoice::Lf_);
    V f[3], skewPerHz[3], phase[3], v[3], w[3];
    for (int j = 0; j < 3; ++j) {
        f[j] = getOsc(j, &Oscillator::f);
        skewPerHz[j] = getOsc(j, &Oscillator::skewPerHz);
        phase[j] = getOsc(j, &Oscillator::phase);
        v[j] = getOsc(j, &Oscillator::v);
        w[j] = getOsc(j, &Oscillator::w);
    }
    const V heldPhase[3] = {splat<V>(kHeldPhase13), splat<V>(kHeldPhase125),
                            splat<V>(kHeldPhase13)};
    V fTune[3], sweep[3];
    Triangles tri;
    for (int j = 0; j < 3; ++j) {
        fTune[j] = f[j] * tune;
        sweep[j] = f[j] * depth - f[j];
        store(tri.f[j], f[j]);
        store(tri.sweep[j], sweep[j]);
        store(tri.skewPerHz[j], skewPerHz[j]);
    }

    // Five passes over parts of the span: the envelopes and phases; the triangles; the
    // oscillators' smoothing; the shaping; the DC blocker and the output. The sequential passes
    // carry only what must go from frame to frame, so the processor overlaps consecutive frames;
    // the triangles and the shaping carry nothing, and run over whole vectors of values (the
    // shaping's inputs packed without the unused lanes: frame i's tom k at i * count + k).
    Shaping shaping;
    auto& [wPart, dPart, aPart, bPart, cPart, mPart] = shaping;
    V nPart[kPart];
    int n = 0;
    Mask ended{};
    while (n < frames && !any(ended)) {
        const int part = std::min(kPart, frames - n);
        int done = 0;
        while (done < part) {
            if constexpr (Holding) {
                // Hold: the phases stay fixed.
#pragma GCC unroll 3
                for (int j = 0; j < 3; ++j) {
                    phase[j] = select(hold, heldPhase[j], phase[j]);
                }
            }
            const V peak = gSq * G;
            eP = approach(eP, peak, kP);
            eK = approach(eK, G, kK);
            A = approach(A, peak, kA);
            B = follow(B, eP, kB);
            C = approach(C, peak, kC);
            eN = approach(eN, peak, kN);
            eSA = approach(eSA, G, kSA);
            eSB = approach(eSB, G, kSB);
            eD = approach(eD, 6.0 * G, kD);
            const V S = (eSA + eSB) / 2.0;

            const int at = done * count;
            const int u = done * kLanes;
#pragma GCC unroll 3
            for (int j = 0; j < 3; ++j) {
                const V inc = (fTune[j] + S * sweep[j]) * twoPiPerRate;
                V p = phase[j] + inc;
                p = select(p > kTwoPiF, p - kTwoPiF, p);
                phase[j] = p;
                store(tri.phase[j] + u, p);
            }
            store(tri.eK + u, eK);
            store(dPart + at, eD);
            store(aPart + at, A);
            store(bPart + at, B);
            store(cPart + at, C);
            nPart[done] = eN;
            ++done;

            ended = (A < 0.002) & (B < 0.002) & (C < 0.002) & live;
            if (any(ended)) {
                break;
            }
        }

        // The extra frame: phases and pitch envelope of 0 give finite triangles.
        for (double* values : {tri.phase[0], tri.phase[1], tri.phase[2], tri.eK}) {
            std::fill(values + done * kLanes, values + (done + 1) * kLanes, 0.0);
        }
        if constexpr (kLanes == 4) {
            if (hasAvx512()) {
                trianglesAvx512(tri, done);
            } else {
                triangles<V, kLanes>(tri, done);
            }
        } else {
            triangles<V, kLanes>(tri, done);
        }

        // The oscillators' smoothing, into the shaping's packed inputs.
        for (int i = 0; i < done; ++i) {
#pragma GCC unroll 3
            for (int j = 0; j < 3; ++j) {
                w[j] = follow(w[j], load<V>(tri.v[j] + i * kLanes), kOsc);
                store(wPart[j] + i * count, w[j]);
            }
        }
        for (int j = 0; j < 3; ++j) {
            v[j] = load<V>(tri.v[j] + (done - 1) * kLanes);
        }

        if constexpr (kLanes == 4) {
            if (hasAvx512()) {
                shapeAvx512(shaping, done * count);
            } else {
                shape<V>(shaping, done * count);
            }
        } else {
            shape<V>(shaping, done * count);
        }
        // DC blocker (the biquad's process, lane by lane), level and the tom noise.
        for (int i = 0; i < done; ++i) {
            const V m = load<V>(mPart + i * count);
            const V hp = b0 * m + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2 + kAntiDenormal;
            x2 = x1;
            x1 = m;
            y2 = y1;
            y1 = hp;
            Lf = follow(Lf, Vt, kLf);
            const V y = (nPart[i] * tomNoise[n + i] + hp) * Lf * level * 0.6435;
            outputs.put(n + i, y);
        }
        n += done;
    }

    for (int k = 0; k < count; ++k) {
        TomVoice& tom = *t[k];
        if (hold[k] != 0) {
            tom.holdCounter_ -= n;
        }
        if (ended[k] != 0) {
            tom.playing_ = false;
        }
    }
    for (int j = 0; j < 3; ++j) {
        putOsc(j, &Oscillator::phase, phase[j]);
        putOsc(j, &Oscillator::v, v[j]);
        putOsc(j, &Oscillator::w, w[j]);
    }
    put(&TomVoice::eP_, eP);
    put(&TomVoice::A_, A);
    put(&TomVoice::B_, B);
    put(&TomVoice::C_, C);
    put(&TomVoice::eN_, eN);
    put(&TomVoice::eSA_, eSA);
    put(&TomVoice::eSB_, eSB);
    put(&TomVoice::eK_, eK);
    put(&TomVoice::eD_, eD);
    put(&TomVoice::Lf_, Lf);
    putDc(&Biquad::x1, x1);
    putDc(&Biquad::x2, x2);
    putDc(&Biquad::y1, y1);
    putDc(&Biquad::y2, y2);
    return n;
}

namespace {

bool anyHolding(TomVoice* const* t, int count) {
    for (int k = 0; k < count; ++k) {
        if (t[k]->holding()) {
            return true;
        }
    }
    return false;
}

} // namespace

[[gnu::target("avx2")]] int TomVoice::renderLanesAvx2(TomVoice* const* t, int count,
                                                      const double* tomNoise, double* const* out,
                                                      int frames) {
    return anyHolding(t, count) ? renderLanes<lanes::Four, true>(t, count, tomNoise, out, frames)
                                : renderLanes<lanes::Four, false>(t, count, tomNoise, out, frames);
}

int TomVoice::renderLanesBase(TomVoice* const* t, int count, const double* tomNoise,
                              double* const* out, int frames) {
    return anyHolding(t, count) ? renderLanes<lanes::Two, true>(t, count, tomNoise, out, frames)
                                : renderLanes<lanes::Two, false>(t, count, tomNoise, out, frames);
}

} // namespace vorpalix
