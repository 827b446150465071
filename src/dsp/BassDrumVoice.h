#pragma once

#include "dsp/Filters.h"
#include "dsp/Voice.h"

namespace vorpalix {

// The bass drum: a triangle oscillator with a falling pitch envelope, rounded by a soft clipper
// whose knee follows the signal, under a hold-then-decay amplitude envelope, plus a short click
// of an enveloped pulse and band-limited noise.
// Owned by the audio thread, like the engine that holds it: every operation runs there.
class BassDrumVoice : public Voice {
public:
    BassDrumVoice();

    // Audio thread, at block start. Recomputes coefficients, clears filters. No allocation.
    void setSampleRate(float rate) override;
    // Audio thread. No allocation, no locks.
    void trigger(float velocity) override;

    // Knob setters, x in 0..1 (clamped). Audio thread, at block start. No allocation.
    void setTune(double x);
    void setPitch(double x);
    void setAttack(double x);
    void setDecay(double x);
    void setTuneDepth(double x);

    // Audio thread. No allocation, no locks. Renders a span (see Voice); false while idle.
    bool render(const SpanInputs& in, double* out, int frames);
    // Audio thread. One output sample; 0 while idle.
    double render(const FrameInputs& in) {
        double y = 0.0;
        render(SpanInputs{&in.noise, &in.tomNoise}, &y, 1);
        return y;
    }

    // Derived values, for the editor and tests.
    double kTune() const { return kTune_; }
    double fBase() const { return fBase_; }
    double sweepTop() const { return sweepTop_; }
    double attack() const { return attack_; }
    double kDecay() const { return kDecay_; }
    double depth() const { return depth_; }
    // Hit state, for tests.
    double phase() const { return phase_; }
    double env2() const { return env2_; }
    double gSq() const { return gSq_; }

private:
    void updateSweep();

    // Knob values kept so that a rate change can recompute the rate-scaled coefficients.
    double tuneKnob_ = 0.5;
    double decayKnob_ = 0.25;

    double kTune_ = 0.0;
    double sweepTop_ = 0.0;
    double fBase_ = 0.0;
    double attack_ = 0.0;
    double kDecay_ = 0.0;
    double depth_ = 0.0;
    double sweepHz_ = 0.0; // (510 sweepTop - fBase) depth

    // Rate-dependent constants.
    double c_ = 1.0;
    double twoPiPerRate_ = 0.0; // 2 pi / rate, phase increment per Hz
    double thrDecay_ = 1.0;     // 1 - 0.001 c + 1e-24

    // Hit state.
    double gSq_ = 0.0, g2_ = 0.0;
    double phase_ = 0.0;
    double holdA_ = 0.0, holdB_ = 0.0;
    double target_ = 0.0, clickGate_ = 0.0;
    double env1_ = 0.0, env1s_ = 0.0, k1_ = 0.0;
    double env2_ = 0.0, env2s_ = 0.0, k2_ = 0.0;
    double env3_ = 0.0, k3_ = 0.0;
    double env4_ = 0.0;
    double thr_ = 1.0;
    double outState_ = 0.0, outCoef_ = 0.0;

    Biquad noiseLowPass_;           // 3638 Hz, 3 octaves
    OnePoleHighPass noiseHighPass_; // 350 Hz
    OnePoleHighPass clickHighPass_; // 550 Hz
    Biquad clickLowPass_;           // 5555 Hz, 0.7 octaves
};

} // namespace vorpalix
