#include "dsp/SnareDrumVoice.h"

#include "dsp/LookupTables.h"
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

double SnareDrumVoice::render(const FrameInputs& in) {
    if (!playing_) {
        return 0.0;
    }
    const double c = c_;

    // Hold: for the first 2 ms the oscillators rest and the envelopes rise; afterwards the
    // decay coefficients apply and the noise-burst gate opens.
    // The constant coefficients are set once, when the hold ends; those that follow a knob are
    // read every frame.
    if (holdCounter_ >= 0) {
        --holdCounter_;
        oscA_.phase = oscB_.phase = kHeldPhase;
    } else {
        if (holdCounter_ == -1) {
            holdCounter_ = -2;
            outCoef_ = 1.0;
            gateA_ = 0.0;
            if (noiseGateCounter_ != 0) {
                gateB_ = 1.0;
            }
            kS_ = 0.0025 * c;
            kT_ = 0.0003 * c;
        }
        kB_ = 0.001 * decayMul_;
        k4_ = kTone_;
    }

    // Noise-burst gate, open for 2 ms after the hold.
    if (gateB_ == 1.0) {
        if (noiseGateCounter_ < 1) {
            gateB_ = 0.0;
            k5_ = 0.09 * c;
        } else {
            --noiseGateCounter_;
        }
    }

    const double peak = gSq_ * gateA_;
    eS_ = follow(eS_, gateA_, kS_);
    eB_ = follow(eB_, peak, kB_);
    eT_ = follow(eT_, peak, kT_);
    e4_ = follow(e4_, peak, k4_);
    e5_ = follow(e5_, gSq_ * gateB_, k5_);

    const double tune = tune_;
    const double depth = depth_;
    const double twoPiPerRate = twoPiPerRate_;

    // Oscillator A: every second cycle runs at 0.926 of the nominal rate.
    const double incA = (kFreqA * tune + eS_ * (kSweepTopA - kFreqA) * depth) * twoPiPerRate;
    const double tRawA = advance(oscA_, incA);
    if (oscA_.sign - oscA_.prevSign > 0.0) {
        if (oscA_.cycleCounter == 0) {
            oscA_.cycleScale = oscA_.invCycleScale = 1.0;
            oscA_.cycleCounter = 1;
        } else {
            --oscA_.cycleCounter;
            oscA_.cycleScale = 0.926;
            oscA_.invCycleScale = 1.0 / 0.926;
        }
    }
    oscA_.prevSign = oscA_.sign;
    const double tA = (tRawA - 1.0) * oscA_.invCycleScale + 0.65;

    // Oscillator B: every third cycle runs at 0.904 of the nominal rate.
    const double incB = (kFreqB * tune + eS_ * (kSweepTopB - kFreqB) * depth) * twoPiPerRate;
    const double tRawB = advance(oscB_, incB);
    if (oscB_.sign - oscB_.prevSign > 0.0) {
        if (oscB_.cycleCounter == 0) {
            oscB_.cycleScale = 0.904;
            oscB_.invCycleScale = 1.0 / 0.904;
            oscB_.cycleCounter = 2;
        } else {
            --oscB_.cycleCounter;
            oscB_.cycleScale = oscB_.invCycleScale = 1.0;
        }
    }
    oscB_.prevSign = oscB_.sign;
    const double tB = (tRawB - 1.0) * oscB_.invCycleScale + 0.75;

    // Asymmetric saturators.
    double x = (tA + 0.6) * 0.8;
    double sA = x;
    if (x > 0.0) {
        sA = tanhLookup(2.2 * x) * (1.0 / 2.2);
    } else if (x <= -0.3) {
        sA = tanhLookup(3.5 * (x + 0.3)) * (1.0 / 3.5) - 0.3;
    }
    x = tB + 0.6;
    double sB = x;
    if (x > 0.0) {
        sB = tanhLookup(3.0 * x) * (1.0 / 3.0);
    } else if (x <= -0.35) {
        sB = tanhLookup(4.6 * (x + 0.35)) * (1.0 / 4.6) - 0.35;
    }
    sB -= 0.18;

    const double mix = (eB_ + 0.03 * eT_) * (sA + 0.4 * sB);

    // Snappy noise: inverted high-pass, resonant low-pass stepped twice, high-pass.
    const double nh = noiseHighPass_.process(-in.noise);
    noiseLowPass_.process(nh);
    const double nl = noiseLowPass_.process(nh);
    const double nh2 = noiseHighPass2_.process(nl);
    const double s4 = std::max(1.0 - expLookup(-2.0 * e4_) - 0.05, 0.0);

    double out = 0.5 * mix + (2.0 * nl * s4 - nh2 * e5_) * g_ * snappy_;
    out = out * level() * 0.748;
    outState_ = follow(outState_, out, outCoef_);

    if (0.03 * eT_ < 0.002 && s4 < 0.002 && gateA_ != 1.0) {
        playing_ = false;
    }
    return outState_;
}

} // namespace vorpalix
