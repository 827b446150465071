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

bool TomVoice::render(const SpanInputs& in, double* out, int frames) {
    if (!playing_) {
        return false;
    }
    const double c = c_;
    const double kDecay = kDecay_;
    const double kTone = kTone_;
    const double kSweepA = kSweepA_;
    const double kSweepB = kSweepB_;
    const double tune = tune_;
    const double depth = depth_;
    const double twoPiPerRate = twoPiPerRate_;
    const double gSq = gSq_;
    const double V = V_;
    const double kLf = kLf_;
    const double level = level_;
    Oscillator osc[3] = {osc_[0], osc_[1], osc_[2]};
    double Lf = Lf_;
    double G = G_;
    int holdCounter = holdCounter_;
    double eP = eP_, kP = kP_;
    double A = A_, kA = kA_;
    double B = B_, kB = kB_;
    double C = C_, kC = kC_;
    double eN = eN_, kN = kN_;
    double eSA = eSA_, kSA = kSA_;
    double eSB = eSB_, kSB = kSB_;
    double eK = eK_, kK = kK_;
    double eD = eD_, kD = kD_;
    double kOsc = kOsc_;
    Biquad dcBlock = dcBlock_;

    bool playing = true;
    int n = 0;
    while (n < frames) {
        // Hold: 2 ms with the phases fixed and the envelopes rising; then the decay
        // coefficients, set once when the hold ends.
        if (holdCounter >= 0) {
            --holdCounter;
            osc[0].phase = osc[2].phase = kHeldPhase13;
            osc[1].phase = kHeldPhase125;
        } else {
            if (holdCounter == -1) {
                holdCounter = -2;
                kOsc = 1.0;
                G = 0.0;
                kK = 0.0007 * c;
                kA = 0.00045 * c;
                kC = 0.001 * c;
                kD = 0.005 * c;
            }
            kP = kDecay;
            kN = kTone;
            kSA = kSweepA;
            kSB = kSweepB;
        }

        const double peak = gSq * G;
        eP = follow(eP, peak, kP);
        eK = follow(eK, G, kK);
        A = follow(A, peak, kA);
        B = follow(B, eP, kB);
        C = follow(C, peak, kC);
        eN = follow(eN, peak, kN);
        eSA = follow(eSA, G, kSA);
        eSB = follow(eSB, G, kSB);
        eD = follow(eD, 6.0 * G, kD);
        const double S = (eSA + eSB) / 2.0;

        // Skewed triangles: rise from -1 at phase 0 to +1 at 2 pi s, fall back to -1 at 2 pi.
#pragma GCC unroll 3
        for (Oscillator& o : osc) {
            const double fk = o.f;
            const double sweep = fk * depth - fk;
            const double inc = (fk * tune + S * sweep) * twoPiPerRate;
            const double d = sweep * eK + fk;
            const double s = 1.0 - o.skewPerHz * d; // (1/d - skewConst/fk) d
            const double piS = kPiF * s;
            double phase = o.phase + inc;
            if (phase > kTwoPiF) {
                phase -= kTwoPiF;
            }
            o.phase = phase;
            if (phase >= 2.0 * piS) {
                o.v = ((piS - phase) + kPiF) * kInvPiF / (1.0 - s);
            } else {
                o.v = (phase - piS) * kInvPiF / s;
            }
            o.w = follow(o.w, o.v, kOsc);
        }

        // The soft clipper's 1/drive as a constant factor.
        constexpr double kDrive = 6.6;
        constexpr double kInvDrive = 1.0 / kDrive;
        double x = 0.8 * osc[0].w;
        if (x >= 0.0) {
            x = (1.0 + 5.0 * eD) * x;
        }
        double o1 = softClip(x, 0.1, kDrive, kInvDrive);
        if (o1 >= 0.0) {
            o1 = (1.0 - 0.2 * eD) * o1;
        }
        const double o2 = softClip(0.8 * osc[1].w, 0.1, kDrive, kInvDrive);
        const double o3 = softClip(0.8 * osc[2].w, 0.1, kDrive, kInvDrive);

        const double a = 1.0 - expLookup(-A);
        const double b = 1.0 - expLookup(-B);
        const double cc = 1.0 - expLookup(-C);
        const double m = o1 * (a + 1.25 * b) + 0.75 * o2 * b + o3 * cc;

        const double hp = dcBlock.process(m);
        Lf = follow(Lf, V, kLf);
        out[n] = (eN * in.tomNoise[n] + hp) * Lf * level * 0.6435;
        ++n;

        if (A < 0.002 && B < 0.002 && C < 0.002) {
            playing = false;
            break;
        }
    }
    for (; n < frames; ++n) {
        out[n] = 0.0;
    }

    playing_ = playing;
    for (int k = 0; k < 3; ++k) {
        osc_[k] = osc[k];
    }
    Lf_ = Lf;
    G_ = G;
    holdCounter_ = holdCounter;
    eP_ = eP;
    kP_ = kP;
    A_ = A;
    kA_ = kA;
    B_ = B;
    kB_ = kB;
    C_ = C;
    kC_ = kC;
    eN_ = eN;
    kN_ = kN;
    eSA_ = eSA;
    kSA_ = kSA;
    eSB_ = eSB;
    kSB_ = kSB;
    eK_ = eK;
    kK_ = kK;
    eD_ = eD;
    kD_ = kD;
    kOsc_ = kOsc;
    dcBlock_ = dcBlock;
    return true;
}

} // namespace vorpalix
