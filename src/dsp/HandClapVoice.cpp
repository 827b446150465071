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

double HandClapVoice::render(const FrameInputs& in) {
    if (!playing_) {
        return 0.0;
    }
    // The gate closes after 33 ms: no new pulses, and the tail starts to fall.
    if (countdown_ == 0) {
        gate_ = 0.0;
        kT1_ = kRev_;
        kT2_ = 0.0008 * sampleRate_.c;
    }
    if (countdown_ >= 0) {
        --countdown_;
    }

    // Pulse envelope: each pulse decays until it is spent, then the next one starts.
    P_ = D_[pulseIndex_] * P_ + kAntiDenormal;
    if (P_ <= kPulseEnd && pulseIndex_ != 3 && gate_ == 1.0) {
        ++pulseIndex_;
        P_ = pulseIndex_ == 3 ? kLastPulseStart : 1.0;
    }

    stage_.step(in.noise, 0.0);
    const double r = stage_.y1 - stage_.y4;
    const double hp = highPass_.process(r, 0.0);

    T1_ = follow(T1_, gate_, kT1_);
    T2_ = follow(T2_, T1_, kT2_);
    lp_ = p800_ * lp_ + (1.0 - p800_) * r;
    P2_ = follow(P2_, P_, k5_);

    const double output = (6.0 * hp * P2_ - 0.2 * T1_ * lp_) * g_ * level_ * kOutputScale;

    if (6.0 * P2_ < 0.002 && 0.8 * T2_ < 0.002) {
        playing_ = false;
    }
    return output;
}

} // namespace vorpalix
