#include "dsp/SnareDrumVoice.h"

#include "dsp/LookupTables.h"
#include "dsp/PartLanes.h"
#include "dsp/PhaseConstants.h"

#include <algorithm>
#include <cmath>

namespace vorpalix {

namespace {

double kToneFor(double x, double c) {
    return c / (8888.888888888883 * x + 1111.111111111111 - 17777.777777777766 * x * x +
                17777.777777777774 * x * x * x);
}

double decayMulFor(double x, double c) {
    return (std::exp(-2.0919371103777964 * x) * 2.852083333337659 - 0.00208333332702613) * c;
}

constexpr double kHeldPhase = 1.178097277879715; // 3 pi / 8
constexpr double kSweepTopA = 375.0;
constexpr double kSweepTopB = 549.0;
constexpr double kTriangleScale = 4.141592741012573;
// The triangle's scale per radian of phase.
constexpr double kTriangleSlope = kTriangleScale / kTwoPiF;

// The snap envelope's curve: s4 = max(1 - exp(-2 e4) - 0.05, 0).
double snapCurve(double e4) {
    return std::max(1.0 - expLookup(-2.0 * e4) - 0.05, 0.0);
}

// The frames of a part: what the envelope and oscillator pass leaves for the later passes, and
// the saturator pass's tone and snap curve s4.
struct Part {
    static constexpr int kRoom = lanes::kPartRoom;
    double tA[kRoom], tB[kRoom], eB[kRoom], eT[kRoom], e4[kRoom], e5[kRoom], outCoef[kRoom];
    double nl[kRoom], nh2[kRoom];
    double tone[kRoom], s4[kRoom];
};

// Asymmetric saturator: identity between -knee and 0; above 0 bent through tanh with driveUp, at
// or below -knee through tanh with driveDown (each lane reads the one tanh its branch needs).
template <class V>
[[gnu::always_inline]] inline V saturate(const V& x, double driveUp, double knee,
                                         double driveDown) {
    using namespace lanes;
    const auto above = x > 0.0;
    const V t = tanhLookup<V>(select(above, driveUp * x, driveDown * (x + knee)));
    return select(above, t * (1.0 / driveUp), select(x <= -knee, t * (1.0 / driveDown) - knee, x));
}

// Saturators, tone mix and snap curve for frames 0..frames-1 of a part, whose arrays hold
// defined values up to the next whole vector. No state is carried from frame to frame.
struct ShapePass {
    template <class V> [[gnu::always_inline]] static void run(Part& p, int frames) {
        using namespace lanes;
        for (int i = 0; i < frames; i += kCountOf<V>) {
            const V sA = saturate<V>((load<V>(p.tA + i) + 0.6) * 0.8, 2.2, 0.3, 3.5);
            const V sB = saturate<V>(load<V>(p.tB + i) + 0.6, 3.0, 0.35, 4.6) - 0.18;
            const V eB = load<V>(p.eB + i);
            const V eT = load<V>(p.eT + i);
            store<V>(p.tone + i, (eB + 0.03 * eT) * (sA + 0.4 * sB));
            const V s4 = (1.0 - expLookup<V>(-2.0 * load<V>(p.e4 + i))) - 0.05;
            store<V>(p.s4 + i, select(s4 < 0.0, splat<V>(0.0), s4));
        }
    }
};

} // namespace

SnareDrumVoice::SnareDrumVoice() {
    LookupTables::build();
    setTune(0.5);
    setTone(0.25);
    setTuneDepth(0.5);
    setDecay(0.5);
    setSnappy(0.5);
    SnareDrumVoice::setSampleRate(44100.0f);
}

void SnareDrumVoice::setSampleRate(float rate) {
    Voice::setSampleRate(rate);
    const double c = sampleRate_.c;
    c_ = c;
    for (Oscillator* osc : {&oscA_, &oscB_}) {
        osc->cycleCounter = 1;
        osc->cycleScale = osc->invCycleScale = 1.0;
        osc->sign = osc->prevSign = 0.0;
        osc->phase = 0.0;
    }
    holdCounter_ = 0;
    noiseGateCounter_ = 0;
    decayMul_ = decayMulFor(decayKnob_, c);
    kTone_ = kToneFor(toneKnob_, c);
    gateA_ = gateB_ = 0.0;
    outState_ = 0.0;
    outCoef_ = 0.5;

    const double r = sampleRate_.rate;
    twoPiPerRate_ = kTwoPiF / r;
    noiseHighPass_.setCorner(3822.0, r);
    noiseHighPass_.y = noiseHighPass_.xprev = 0.0;
    noiseLowPass_.setLowPassQ(3900.0, 1.5, r);
    noiseLowPass_.clear();
    noiseHighPass2_.setHighPass(4000.0, 1.5, r);
    noiseHighPass2_.clear();
}

void SnareDrumVoice::setTune(double x) {
    tune_ = (clampKnob(x) - 0.5) * 0.64 + 1.0 - 0.02;
}

void SnareDrumVoice::setTone(double x) {
    x = clampKnob(x);
    toneKnob_ = x;
    kTone_ = kToneFor(x, sampleRate_.c);
}

void SnareDrumVoice::setTuneDepth(double x) {
    depth_ = 2.0 * clampKnob(x);
}

void SnareDrumVoice::setDecay(double x) {
    x = clampKnob(x);
    decayKnob_ = x;
    decayMul_ = decayMulFor(x, sampleRate_.c);
}

void SnareDrumVoice::setSnappy(double x) {
    snappy_ = 0.75 * clampKnob(x);
}

void SnareDrumVoice::trigger(float velocity) {
    if (level() == 0.0) {
        return;
    }
    const double c = c_;
    playing_ = true;
    oscA_.cycleCounter = oscB_.cycleCounter = 0;
    g_ = velocityGain(velocity);
    gSq_ = g_ * g_;
    oscA_.phase = oscB_.phase = kHalfPiF;
    oscA_.sign = oscA_.prevSign = oscB_.sign = oscB_.prevSign = 0.0;
    oscA_.cycleScale = oscB_.cycleScale = 1.0;
    oscA_.invCycleScale = oscB_.invCycleScale = 1.0;
    gateB_ = 0.0;
    holdCounter_ = noiseGateCounter_ = static_cast<int>(sampleRate_.rate * 0.002);
    gateA_ = 1.0;
    eS_ = 0.0;
    kS_ = 0.07 * c;
    eB_ = eT_ = 0.0;
    kB_ = kT_ = 0.2 * c;
    e4_ = 0.0;
    k4_ = 0.005 * c;
    e5_ = 0.0;
    k5_ = followerCoefficient(0.9, c);
    outCoef_ = 0.2 * c;
}

double SnareDrumVoice::advance(Oscillator& osc, double inc) {
    osc.phase += osc.cycleScale * inc;
    if (osc.phase > kTwoPiF) {
        osc.phase -= kTwoPiF;
    }
    if (osc.phase >= kPiF) {
        osc.sign = 1.0;
        return (1.5 * kPiF - osc.phase) * kTriangleSlope;
    }
    osc.sign = -1.0;
    return (osc.phase - kHalfPiF) * kTriangleSlope;
}

bool SnareDrumVoice::render(const SpanInputs& in, double* out, int frames) {
    if (!playing_) {
        return false;
    }
    const double c = c_;
    const double tune = tune_;
    const double depth = depth_;
    const double twoPiPerRate = twoPiPerRate_;
    const double kBDecay = 0.001 * decayMul_;
    const double kTone = kTone_;
    const double snappy = snappy_;
    const double level = level_;
    const double g = g_, gSq = gSq_;
    Oscillator oscA = oscA_, oscB = oscB_;
    int holdCounter = holdCounter_;
    int noiseGateCounter = noiseGateCounter_;
    double gateA = gateA_, gateB = gateB_;
    double eS = eS_, kS = kS_;
    double eB = eB_, kB = kB_;
    double eT = eT_, kT = kT_;
    double e4 = e4_, k4 = k4_;
    double e5 = e5_, k5 = k5_;
    double outState = outState_, outCoef = outCoef_;
    OnePoleHighPass noiseHighPass = noiseHighPass_;
    Biquad noiseLowPass = noiseLowPass_;
    Biquad noiseHighPass2 = noiseHighPass2_;

    // Three passes over parts of the span: envelopes and oscillators; saturators; noise and
    // output. Each loop is short enough for the processor to overlap consecutive frames, and the
    // saturators, which carry no state, run on whole vectors of frames.
    Part p;
    bool playing = true;
    int n = 0;
    while (n < frames && playing) {
        const int part = std::min(lanes::kPartFrames, frames - n);
        int done = 0;
        while (done < part) {
            // Hold: for the first 2 ms the oscillators rest and the envelopes rise; afterwards
            // the decay coefficients apply and the noise-burst gate opens. The constant
            // coefficients are set once, when the hold ends.
            if (holdCounter >= 0) {
                --holdCounter;
                oscA.phase = oscB.phase = kHeldPhase;
            } else {
                if (holdCounter == -1) {
                    holdCounter = -2;
                    outCoef = 1.0;
                    gateA = 0.0;
                    if (noiseGateCounter != 0) {
                        gateB = 1.0;
                    }
                    kS = 0.0025 * c;
                    kT = 0.0003 * c;
                }
                kB = kBDecay;
                k4 = kTone;
            }

            // Noise-burst gate, open for 2 ms after the hold.
            if (gateB == 1.0) {
                if (noiseGateCounter < 1) {
                    gateB = 0.0;
                    k5 = 0.09 * c;
                } else {
                    --noiseGateCounter;
                }
            }

            const double peak = gSq * gateA;
            eS = follow(eS, gateA, kS);
            eB = follow(eB, peak, kB);
            eT = follow(eT, peak, kT);
            e4 = follow(e4, peak, k4);
            e5 = follow(e5, gSq * gateB, k5);

            // Oscillator A: every second cycle runs at 0.926 of the nominal rate.
            const double incA = (kFreqA * tune + eS * (kSweepTopA - kFreqA) * depth) * twoPiPerRate;
            const double tRawA = advance(oscA, incA);
            if (oscA.sign - oscA.prevSign > 0.0) {
                if (oscA.cycleCounter == 0) {
                    oscA.cycleScale = oscA.invCycleScale = 1.0;
                    oscA.cycleCounter = 1;
                } else {
                    --oscA.cycleCounter;
                    oscA.cycleScale = 0.926;
                    oscA.invCycleScale = 1.0 / 0.926;
                }
            }
            oscA.prevSign = oscA.sign;
            p.tA[done] = (tRawA - 1.0) * oscA.invCycleScale + 0.65;

            // Oscillator B: every third cycle runs at 0.904 of the nominal rate.
            const double incB = (kFreqB * tune + eS * (kSweepTopB - kFreqB) * depth) * twoPiPerRate;
            const double tRawB = advance(oscB, incB);
            if (oscB.sign - oscB.prevSign > 0.0) {
                if (oscB.cycleCounter == 0) {
                    oscB.cycleScale = 0.904;
                    oscB.invCycleScale = 1.0 / 0.904;
                    oscB.cycleCounter = 2;
                } else {
                    --oscB.cycleCounter;
                    oscB.cycleScale = oscB.invCycleScale = 1.0;
                }
            }
            oscB.prevSign = oscB.sign;
            p.tB[done] = (tRawB - 1.0) * oscB.invCycleScale + 0.75;

            p.eB[done] = eB;
            p.eT[done] = eT;
            p.e4[done] = e4;
            p.e5[done] = e5;
            p.outCoef[done] = outCoef;

            // Snappy noise: inverted high-pass, resonant low-pass stepped twice, high-pass. Its
            // filters' feedback runs beside the oscillators' work here rather than after it.
            const double nh = noiseHighPass.process(-in.noise[n + done]);
            noiseLowPass.process(nh);
            const double nl = noiseLowPass.process(nh);
            p.nl[done] = nl;
            p.nh2[done] = noiseHighPass2.process(nl);
            ++done;
            // The snap curve is a pure function of e4: it is read only once the cheaper
            // conditions hold.
            if (0.03 * eT < 0.002 && gateA != 1.0 && snapCurve(e4) < 0.002) {
                playing = false;
                break;
            }
        }

        // Asymmetric saturators, the tone mix and the snap curve.
        for (double* a : {p.tA, p.tB, p.eB, p.eT, p.e4}) {
            lanes::padFrames(a, done);
        }
        lanes::runPass<ShapePass>(p, done);

        // The output.
        for (int i = 0; i < done; ++i) {
            double o =
                0.5 * p.tone[i] + (2.0 * p.nl[i] * p.s4[i] - p.nh2[i] * p.e5[i]) * g * snappy;
            o = o * level * 0.748;
            outState = follow(outState, o, p.outCoef[i]);
            out[n + i] = outState;
        }
        n += done;
    }
    for (; n < frames; ++n) {
        out[n] = 0.0;
    }

    playing_ = playing;
    oscA_ = oscA;
    oscB_ = oscB;
    holdCounter_ = holdCounter;
    noiseGateCounter_ = noiseGateCounter;
    gateA_ = gateA;
    gateB_ = gateB;
    eS_ = eS;
    kS_ = kS;
    eB_ = eB;
    kB_ = kB;
    eT_ = eT;
    kT_ = kT;
    e4_ = e4;
    k4_ = k4;
    e5_ = e5;
    k5_ = k5;
    outState_ = outState;
    outCoef_ = outCoef;
    noiseHighPass_ = noiseHighPass;
    noiseLowPass_ = noiseLowPass;
    noiseHighPass2_ = noiseHighPass2;
    return true;
}

} // namespace vorpalix
