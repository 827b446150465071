#pragma once

#include <array>

#include "dsp/Filters.h"
#include "dsp/ResonatorStage.h"
#include "dsp/Voice.h"

namespace vorpalix {

// Rim shot: three ringing resonators struck by a fast-decaying step, summed, saturated and
// band-passed. A separate envelope decides only when the hit ends.
// Owned by the audio thread, like the engine that holds it: every operation runs there.
class RimShotVoice final : public Voice {
public:
    RimShotVoice();

    // Audio thread, at block start. Recomputes coefficients, clears filters. No allocation.
    void setSampleRate(float rate) override;
    // Audio thread. No allocation, no locks.
    void trigger(float velocity) override;

    // Knob setters, x in 0..1 (clamped). Audio thread, at block start. No allocation.
    void setTune(double x);
    void setDecay(double x);

    // Audio thread. No allocation, no locks. Renders a span (see Voice); false while idle.
    bool render(const SpanInputs& in, double* out, int frames);
    // Audio thread. One output sample; 0 while idle.
    double render(const FrameInputs& in) {
        double y = 0.0;
        render(SpanInputs{&in.noise, &in.tomNoise}, &y, 1);
        return y;
    }

    // The first pass over a span, frame by frame: the end-of-hit envelope, the excitation and the
    // three resonators, whose feedback loops set the pace. step() returns the frame's resonator
    // sum and clears playing() after the frame in which the hit ends; finish() stores the state
    // back. The engine steps it beside the hand clap's resonance. Audio thread.
    class Strike {
    public:
        explicit Strike(RimShotVoice& voice);
        bool playing() const { return playing_; }
        double step();
        void finish();

    private:
        RimShotVoice& voice_;
        const double c_;
        const double excitationDecay_;
        std::array<ResonatorStage, 3> stages_;
        double E_;
        int countdown_;
        double env_;
        double target_;
        double kEnv_;
        bool playing_;
    };
    // The second pass: saturation, band-pass and gain of the strike's sums (out may be sum).
    void renderTone(const double* sum, double* out, int frames);

    // Read-only views of the derived coefficients and the end-of-hit envelope.
    double stageCoefficient(int stage) const { return stages_[stage].w; }
    double stageLoopGain(int stage) const { return stages_[stage].G; }
    double envelope() const { return env_; }

private:
    void updateStages();

    double a_ = 1.0; // tune value, knob + 0.5
    double d_ = 1.0; // decay value, 2 * knob
    double g_ = 0.0; // velocity gain
    double E_ = 0.0; // excitation
    int countdown_ = -1;
    double env_ = 0.0;
    double target_ = 0.0;
    double kEnv_ = 0.0;
    double excitationDecay_ = 0.95; // 1 - 0.05 c
    std::array<ResonatorStage, 3> stages_{};
    Biquad bandPass_;
};

} // namespace vorpalix
