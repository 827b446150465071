#pragma once

#include "dsp/Filters.h"
#include "dsp/Voice.h"

namespace vorpalix {

// The snare drum: two triangle oscillators with short upward sweeps, whose cycle lengths alternate
// cycle by cycle and which are bent by asymmetric saturators, plus the "snappy" noise through a
// high-pass, a twice-stepped resonant low-pass and a further high-pass.
// Owned by the audio thread, like the engine that holds it: every operation runs there.
class SnareDrumVoice : public Voice {
public:
    SnareDrumVoice();

    // Audio thread, at block start. Recomputes coefficients, clears filters. No allocation.
    void setSampleRate(float rate) override;
    // Audio thread. No allocation, no locks.
    void trigger(float velocity) override;

    // Knob setters, x in 0..1 (clamped). Audio thread, at block start. No allocation.
    void setTune(double x);
    void setTone(double x);
    void setTuneDepth(double x);
    void setDecay(double x);
    void setSnappy(double x);

    // Audio thread. No allocation, no locks. Renders a span (see Voice); false while idle.
    bool render(const SpanInputs& in, double* out, int frames);
    // Audio thread. One output sample; 0 while idle.
    double render(const FrameInputs& in) {
        double y = 0.0;
        render(SpanInputs{&in.noise, &in.tomNoise}, &y, 1);
        return y;
    }

    // Derived values, for the editor and tests.
    double tune() const { return tune_; }
    double kTone() const { return kTone_; }
    double depth() const { return depth_; }
    double decayMul() const { return decayMul_; }
    double snappy() const { return snappy_; }
    // Hit state, for tests.
    double phaseA() const { return oscA_.phase; }
    double phaseB() const { return oscB_.phase; }
    double gateB() const { return gateB_; }

    static constexpr double kFreqA = 178.0;
    static constexpr double kFreqB = 258.0;

private:
    struct Oscillator {
        double phase = 0.0;
        double sign = 0.0;
        double prevSign = 0.0;
        int cycleCounter = 1;
        double cycleScale = 1.0;
        double invCycleScale = 1.0; // 1 / cycleScale
    };

    // Advances one oscillator and returns its triangle value t (about +-1.035); updates the sign.
    static double advance(Oscillator& osc, double inc);

    double toneKnob_ = 0.25;
    double decayKnob_ = 0.5;

    double tune_ = 0.98;
    double kTone_ = 0.0;
    double depth_ = 1.0;
    double decayMul_ = 1.0;
    double snappy_ = 0.375;

    double c_ = 1.0;
    double twoPiPerRate_ = 0.0; // 2 pi / rate, phase increment per Hz

    Oscillator oscA_, oscB_;
    double g_ = 0.0, gSq_ = 0.0;
    int holdCounter_ = 0; // frames of hold left; -1 marks the first frame after it, then -2
    int noiseGateCounter_ = 0;
    double gateA_ = 0.0, gateB_ = 0.0;
    double eS_ = 0.0, kS_ = 0.0;
    double eB_ = 0.0, kB_ = 0.0;
    double eT_ = 0.0, kT_ = 0.0;
    double e4_ = 0.0, k4_ = 0.0;
    double e5_ = 0.0, k5_ = 0.0;
    double outState_ = 0.0, outCoef_ = 0.5;

    OnePoleHighPass noiseHighPass_; // 3822 Hz, fed with the inverted noise
    Biquad noiseLowPass_;           // 3900 Hz, Q 1.5, stepped twice per frame
    Biquad noiseHighPass2_;         // 4000 Hz, 1.5 octaves
};

} // namespace vorpalix
