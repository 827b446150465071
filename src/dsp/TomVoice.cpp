#include "dsp/TomVoice.h"

#include "dsp/LookupTables.h"
#include "dsp/PhaseConstants.h"

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

double TomVoice::render(const FrameInputs& in) {
    if (!playing_) {
        return 0.0;
    }

    // Hold: 2 ms with the phases fixed and the envelopes rising; then the decay coefficients,
    // set once when the hold ends. Those that follow a knob are read every frame.
    if (holdCounter_ >= 0) {
        --holdCounter_;
        osc_[0].phase = osc_[2].phase = kHeldPhase13;
        osc_[1].phase = kHeldPhase125;
    } else {
        if (holdCounter_ == -1) {
            holdCounter_ = -2;
            const double c = c_;
            kOsc_ = 1.0;
            G_ = 0.0;
            kK_ = 0.0007 * c;
            kA_ = 0.00045 * c;
            kC_ = 0.001 * c;
            kD_ = 0.005 * c;
        }
        kP_ = kDecay_;
        kN_ = kTone_;
        kSA_ = kSweepA_;
        kSB_ = kSweepB_;
    }

    const double peak = gSq_ * G_;
    eP_ = follow(eP_, peak, kP_);
    eK_ = follow(eK_, G_, kK_);
    A_ = follow(A_, peak, kA_);
    B_ = follow(B_, eP_, kB_);
    C_ = follow(C_, peak, kC_);
    eN_ = follow(eN_, peak, kN_);
    eSA_ = follow(eSA_, G_, kSA_);
    eSB_ = follow(eSB_, G_, kSB_);
    eD_ = follow(eD_, 6.0 * G_, kD_);
    const double S = (eSA_ + eSB_) / 2.0;

    // Skewed triangles: rise from -1 at phase 0 to +1 at 2 pi s, fall back to -1 at 2 pi.
    const double tune = tune_;
    const double depth = depth_;
    const double twoPiPerRate = twoPiPerRate_;
    const double eK = eK_;
    const double kOsc = kOsc_;
#pragma GCC unroll 3
    for (Oscillator& osc : osc_) {
        const double fk = osc.f;
        const double sweep = fk * depth - fk;
        const double inc = (fk * tune + S * sweep) * twoPiPerRate;
        const double d = sweep * eK + fk;
        const double s = 1.0 - osc.skewPerHz * d; // (1/d - skewConst/fk) d
        const double piS = kPiF * s;
        double phase = osc.phase + inc;
        if (phase > kTwoPiF) {
            phase -= kTwoPiF;
        }
        osc.phase = phase;
        if (phase >= 2.0 * piS) {
            osc.v = ((piS - phase) + kPiF) * kInvPiF / (1.0 - s);
        } else {
            osc.v = (phase - piS) * kInvPiF / s;
        }
        osc.w = follow(osc.w, osc.v, kOsc);
    }

    // The soft clipper's 1/drive as a constant factor.
    constexpr double kDrive = 6.6;
    constexpr double kInvDrive = 1.0 / kDrive;
    double x = 0.8 * osc_[0].w;
    if (x >= 0.0) {
        x = (1.0 + 5.0 * eD_) * x;
    }
    double o1 = softClip(x, 0.1, kDrive, kInvDrive);
    if (o1 >= 0.0) {
        o1 = (1.0 - 0.2 * eD_) * o1;
    }
    const double o2 = softClip(0.8 * osc_[1].w, 0.1, kDrive, kInvDrive);
    const double o3 = softClip(0.8 * osc_[2].w, 0.1, kDrive, kInvDrive);

    const double a = 1.0 - expLookup(-A_);
    const double b = 1.0 - expLookup(-B_);
    const double cc = 1.0 - expLookup(-C_);
    const double m = o1 * (a + 1.25 * b) + 0.75 * o2 * b + o3 * cc;

    if (A_ < 0.002 && B_ < 0.002 && C_ < 0.002) {
        playing_ = false;
    }

    const double hp = dcBlock_.process(m);
    Lf_ = follow(Lf_, V_, kLf_);
    return (eN_ * in.tomNoise + hp) * Lf_ * level() * 0.6435;
}

} // namespace vorpalix
