#include "dsp/BassDrumVoice.h"

#include "dsp/LookupTables.h"
#include "dsp/PhaseConstants.h"

#include <algorithm>
#include <cmath>

namespace vorpalix {

namespace {

double kTuneFor(double x, double c) {
    return (std::exp(-4.795790545596896 * (x + 1.0)) * 0.7320499999984234 + 0.0006500000000030731) *
           c;
}

double kDecayFor(double x, double c) {
    if (x < 0.5) {
        return c *
               (std::exp(-x) * 0.0025 - (0.002978581871396472 * x * x + 0.0010433623628649312 * x));
    }
    return c * (0.00006518421542318242 / (x * x) - 0.00001518421542318241 * std::sqrt(x));
}

constexpr double kClickCutPhase = 2.35619455575943; // 3 pi / 4
constexpr double kInvPiF = 1.0 / kPiF;

} // namespace

BassDrumVoice::BassDrumVoice() {
    LookupTables::build();
    setTune(0.5);
    setPitch(0.5);
    setAttack(0.25);
    setDecay(0.25);
    setTuneDepth(0.5);
    BassDrumVoice::setSampleRate(44100.0f);
}

void BassDrumVoice::setSampleRate(float rate) {
    Voice::setSampleRate(rate);
    const double c = sampleRate_.c;
    c_ = c;
    thrDecay_ = 1.0 - 0.001 * c + 1e-24;
    kTune_ = kTuneFor(tuneKnob_, c);
    kDecay_ = kDecayFor(decayKnob_, c);
    k3_ = 0.02 * c;
    phase_ = 0.0;
    env1s_ = 0.0;
    outState_ = 0.0;
    outCoef_ = 0.01 * c;
    thr_ = 1.0;

    const double r = sampleRate_.rate;
    twoPiPerRate_ = kTwoPiF / r;
    noiseLowPass_.setLowPass(3638.0, 3.0, r);
    noiseLowPass_.clear();
    clickLowPass_.setLowPass(5555.0, 0.7, r);
    clickLowPass_.clear();
    clickHighPass_.setCorner(550.0, r);
    clickHighPass_.y = 0.0;
    clickHighPass_.xprev = 0.0;
    // The noise high-pass starts from -1 in both states.
    noiseHighPass_.setCorner(350.0, r);
    noiseHighPass_.y = -1.0;
    noiseHighPass_.xprev = -1.0;
}

void BassDrumVoice::setTune(double x) {
    x = clampKnob(x);
    tuneKnob_ = x;
    kTune_ = kTuneFor(x, sampleRate_.c);
}

void BassDrumVoice::setPitch(double x) {
    x = clampKnob(x);
    sweepTop_ = 0.5 * x + 0.25;
    fBase_ = std::exp(1.4604727641424877 * (x + 1.0)) * 4.9119941345063864 + 8.839150326814135;
    updateSweep();
}

void BassDrumVoice::setAttack(double x) {
    attack_ = 3.0 * clampKnob(x) + 0.25;
}

void BassDrumVoice::setDecay(double x) {
    x = clampKnob(x);
    decayKnob_ = x;
    kDecay_ = kDecayFor(x, sampleRate_.c);
}

void BassDrumVoice::setTuneDepth(double x) {
    depth_ = 5.0 * std::pow(clampKnob(x), 2.321928095);
    updateSweep();
}

void BassDrumVoice::updateSweep() {
    sweepHz_ = (510.0 * sweepTop_ - fBase_) * depth_;
}

void BassDrumVoice::trigger(float velocity) {
    if (level() == 0.0) {
        return;
    }
    playing_ = true;
    const double g = velocityGain(velocity);
    const double c = c_;
    gSq_ = g * g;
    g2_ = 2.0 * g * g;
    phase_ = kHalfPiF;
    holdA_ = sampleRate_.rate * 0.00228;
    target_ = 1.0;
    clickGate_ = 1.0;
    env1_ = env1s_ = 0.0;
    k1_ = 0.07 * c;
    env2_ = env2s_ = 0.0;
    k2_ = 0.07 * c;
    holdB_ = sampleRate_.rate * 0.057;
    env4_ = 1.0;
    env3_ = 0.0;
    k3_ = 0.005 * c;
    outCoef_ = 0.2 * c;
}

double BassDrumVoice::render(const FrameInputs& in) {
    if (!playing_) {
        return 0.0;
    }
    const double c = c_;

    // Hold stage: the oscillator rests at its start point, then the envelopes are released and
    // the amplitude holds a further while before it decays.
    const double a = holdA_;
    holdA_ -= 1.0;
    if (a >= 0.0) {
        phase_ = kHalfPiF;
    } else {
        outCoef_ = 1.0;
        target_ = 0.0;
        k1_ = kTune_;
        const double b = holdB_;
        holdB_ -= 1.0;
        k2_ = b > 0.0 ? 0.0 : kDecay_;
    }

    // Click cut once the oscillator has passed three quarters of pi.
    if (holdA_ <= 0.0 && phase_ > kClickCutPhase) {
        clickGate_ = 0.0;
        k3_ = 1.0;
    }

    // Pitch and amplitude envelopes with their smoothed copies.
    env1_ = follow(env1_, target_, k1_);
    env1s_ = follow(env1s_, env1_, 0.05 * c);
    env2_ = env2_ - (env2_ - gSq_ * target_) * k2_ + 1e-24;
    env2s_ = env2s_ - (env2s_ - env2_) * 0.05 * c + 1e-24;

    // Oscillator and triangle (0 at pi/2, +0.75 at pi, 0 at 3 pi/2, -0.75 at 0).
    phase_ += (env1s_ * sweepHz_ + fBase_) * twoPiPerRate_;
    if (phase_ > kTwoPiF) {
        phase_ -= kTwoPiF;
    }
    const double t = phase_ >= kPiF ? 0.5 * (1.5 * kPiF - phase_) : 0.5 * (phase_ - kHalfPiF);
    const double tri = 3.0 * t * kInvPiF;

    // Soft clipper whose knee shrinks while the signal stays outside it.
    double knee = 0.6 * thr_;
    thr_ *= thrDecay_;
    const double x = (tri - 0.04) * 2.5;
    if (-knee <= x && x <= knee) {
        thr_ = 1.0;
        knee = 0.6;
    }
    const double y = softClip(x, knee, 1.8);
    const double body = (0.02 * x + 0.175 * y) * env2s_;

    // Click: enveloped pulse through a band-pass pair plus band-limited noise.
    const double nl = noiseLowPass_.process(in.noise);
    const double nh = noiseHighPass_.process(nl);
    env3_ = env3_ - (env3_ - g2_ * clickGate_) * k3_ + 1e-24;
    const double ch = clickHighPass_.process(env3_);
    const double cl = clickLowPass_.process(ch);
    env4_ = follow(env4_, g2_ * target_, 0.004 * c);
    const double click = -(0.07 * cl + 0.01 * g2_ * nh);

    const double out = (click * env4_ * attack_ + body) * level() * 1.575;
    outState_ = follow(outState_, out, outCoef_);

    if (env2_ < 0.002 && target_ == 0.0) {
        playing_ = false;
    }
    return outState_;
}

} // namespace vorpalix
