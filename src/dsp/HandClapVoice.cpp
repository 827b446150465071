#include "dsp/HandClapVoice.h"

#include <algorithm>
#include <cmath>

namespace vorpalix {

namespace {

// 2*pi as the single-precision value the resonator frequency is defined with.
constexpr double kTwoPi = 6.2831854820251465;
constexpr double kLoopGain = 1.5;
// The gate that lets new pulses start stays open this long (seconds).
constexpr double kGateSeconds = 0.033;

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
    Resonance resonance(*this);
    Shape shape(*this);
    int n = 0;
    while (n < frames && resonance.playing()) {
        double P2 = 0.0, T1 = 0.0;
        const double r = resonance.step(in.noise[n], P2, T1);
        out[n++] = shape.step(r, P2, T1);
    }
    resonance.finish();
    shape.finish();
    std::fill(out + n, out + frames, 0.0);
    return true;
}

HandClapVoice::Resonance::Resonance(HandClapVoice& voice)
    : voice_(&voice), c_(voice.sampleRate_.c), kRev_(voice.kRev_), D_(voice.D_), k5_(voice.k5_),
      pulseIndex_(voice.pulseIndex_), countdown_(voice.countdown_), gate_(voice.gate_),
      P_(voice.P_), P2_(voice.P2_), T1_(voice.T1_), T2_(voice.T2_), kT1_(voice.kT1_),
      kT2_(voice.kT2_), stage_(voice.stage_), playing_(voice.playing_) {}

void HandClapVoice::Resonance::finish() {
    voice_->playing_ = playing_;
    voice_->pulseIndex_ = pulseIndex_;
    voice_->countdown_ = countdown_;
    voice_->gate_ = gate_;
    voice_->P_ = P_;
    voice_->P2_ = P2_;
    voice_->T1_ = T1_;
    voice_->T2_ = T2_;
    voice_->kT1_ = kT1_;
    voice_->kT2_ = kT2_;
    voice_->stage_ = stage_;
}

} // namespace vorpalix
