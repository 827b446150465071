#include "dsp/HandClapVoice.h"

#include <cmath>

namespace vorpalix {

namespace {

// 2*pi as the single-precision value the resonator frequency is defined with.
constexpr double kTwoPi = 6.2831854820251465;
constexpr double kLoopGain = 1.5;
// The gate that lets new pulses start stays open this long (seconds).
constexpr double kGateSeconds = 0.033;
// A pulse ends when its envelope falls to this level; the fourth pulse starts lower.
constexpr double kPulseEnd = 0.01;
constexpr double kLastPulseStart = 0.6;
constexpr double kOutputScale = 1.5625;

} // namespace

HandClapVoice::HandClapVoice() {
    stage_.q = 1.0;
    HandClapVoice::setSampleRate(44100.0f);
}

void HandClapVoice::setSampleRate(float rate) {
    if (!(rate > 0.0f) || !std::isfinite(rate)) {
        return;
    }
    Voice::setSampleRate(rate);
    const double c = sampleRate_.c;
    setReverb(reverbKnob_);
    setTune(tuneKnob_);
    stage_.G = kLoopGain;
    stage_.s0 = stage_.s1 = 0.0;
    stage_.y1 = stage_.y2 = stage_.y3 = stage_.y4 = 0.0;

    // Smoothing of the pulse envelope: 0.1 per sample at 44.1 kHz (about 0.23 ms), and
    // 1 - 0.9 c above it. Below 44.1 kHz that formula reaches 0 at 23.2 kHz and turns the
    // smoother unstable further down, so there the same 0.23 ms time constant is kept instead:
    // 1 - 0.9^c, which meets the formula at 44.1 kHz and stays in (0, 1) at any low rate.
    k5_ = c <= 1.0 ? 1.0 - 0.9 * c : 1.0 - std::pow(0.9, c);

    D_ = {1.0 - 0.01007 * c, 1.0 - 0.00924 * c, 1.0 - 0.01116 * c, 1.0 - 0.0015 * c};
    p800_ = onePolePole(800.0, sampleRate_.rate);
    lp_ = 0.0;
    T1_ = T2_ = 0.0;
    highPass_.setCorner(2300.0, sampleRate_.rate);
    highPass_.y = 0.0;
    highPass_.xprev = 0.0;
}

void HandClapVoice::setTune(double x) {
    tuneKnob_ = clampKnob(x);
    wHC_ = kTwoPi * (1.5 * tuneKnob_ + 0.25) * 1106.0 / sampleRate_.rate;
    stage_.w = wHC_;
}

void HandClapVoice::setReverb(double x) {
    reverbKnob_ = clampKnob(x);
    kRev_ = (std::exp(-13.365219449990862 * reverbKnob_) * 0.19985031351893462 +
             0.00014968648106443428) *
            sampleRate_.c;
}

void HandClapVoice::trigger(float velocity) {
    if (level_ == 0.0) {
        return;
    }
    Voice::trigger(velocity);
    g_ = velocityGain(velocity);
    pulseIndex_ = 0;
    countdown_ = static_cast<int>(sampleRate_.rate * kGateSeconds);
    gate_ = 1.0;
    P_ = 1.0;
    kT1_ = 0.004 * sampleRate_.c;
    kT2_ = 0.1 * sampleRate_.c;
}

bool HandClapVoice::render(const SpanInputs& in, double* out, int frames) {
    if (!playing_) {
        return false;
    }
    const double c = sampleRate_.c;
    const double kRev = kRev_;
    const double g = g_;
    const double level = level_;
    const std::array<double, 4> D = D_;
    const double p800 = p800_;
    const double k5 = k5_;
    int pulseIndex = pulseIndex_;
    int countdown = countdown_;
    double gate = gate_;
    double P = P_, P2 = P2_;
    double T1 = T1_, T2 = T2_;
    double kT1 = kT1_, kT2 = kT2_;
    ResonatorStage stage = stage_;
    double lp = lp_;
    OnePoleHighPass highPass = highPass_;

    bool playing = true;
    int n = 0;
    while (n < frames) {
        // The gate closes after 33 ms: no new pulses, and the tail starts to fall.
        if (countdown == 0) {
            gate = 0.0;
            kT1 = kRev;
            kT2 = 0.0008 * c;
        }
        if (countdown >= 0) {
            --countdown;
        }

        // Pulse envelope: each pulse decays until it is spent, then the next one starts.
        P = D[pulseIndex] * P + kAntiDenormal;
        if (P <= kPulseEnd && pulseIndex != 3 && gate == 1.0) {
            ++pulseIndex;
            P = pulseIndex == 3 ? kLastPulseStart : 1.0;
        }

        stage.step(in.noise[n], 0.0);
        const double r = stage.y1 - stage.y4;
        const double hp = highPass.process(r, 0.0);

        T1 = follow(T1, gate, kT1);
        T2 = follow(T2, T1, kT2);
        lp = p800 * lp + (1.0 - p800) * r;
        P2 = follow(P2, P, k5);

        out[n++] = (6.0 * hp * P2 - 0.2 * T1 * lp) * g * level * kOutputScale;

        if (6.0 * P2 < 0.002 && 0.8 * T2 < 0.002) {
            playing = false;
            break;
        }
    }
    for (; n < frames; ++n) {
        out[n] = 0.0;
    }

    playing_ = playing;
    pulseIndex_ = pulseIndex;
    countdown_ = countdown;
    gate_ = gate;
    P_ = P;
    P2_ = P2;
    T1_ = T1;
    T2_ = T2;
    kT1_ = kT1;
    kT2_ = kT2;
    stage_ = stage;
    lp_ = lp;
    highPass_ = highPass;
    return true;
}

} // namespace vorpalix
