#pragma once

#include <array>

#include "dsp/Filters.h"
#include "dsp/LookupTables.h"
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

        // step() in three parts, for a caller that steps the resonators itself (side by side
        // with other stages): excite() advances the envelope and returns the excitation,
        // resonators() are the stages to step with it (bias kAntiDenormal), and endStep() takes
        // their outputs and returns what step() returns.
        double excite();
        std::array<ResonatorStage, 3>& resonators() { return stages_; }
        double endStep(double out1, double out2, double out3);

    private:
        RimShotVoice* voice_;
        double c_;
        double excitationDecay_;
        std::array<ResonatorStage, 3> stages_;
        double E_;
        int countdown_;
        double env_;
        double target_;
        double kEnv_;
        bool playing_;
    };
    // The second stage, frame by frame: saturation, band-pass and gain of the strike's sum.
    // finish() stores the filter back. The engine runs it in the strike's loop, where its filter
    // fills the time the resonators' feedback leaves free. Audio thread.
    class Tone {
    public:
        explicit Tone(RimShotVoice& voice)
            : voice_(&voice), g_(voice.g_), level_(voice.level_), bandPass_(voice.bandPass_) {}
        double step(double sum) {
            const double sat = softClip(sum, 0.05, 1.4);
            const double b = bandPass_.process(0.5 * sat);
            return b * g_ * level_ * kOutputScale;
        }
        void finish() { voice_->bandPass_ = bandPass_; }

    private:
        RimShotVoice* voice_;
        double g_;
        double level_;
        Biquad bandPass_;
    };

    // Read-only views of the derived coefficients and the end-of-hit envelope.
    double stageCoefficient(int stage) const { return stages_[stage].w; }
    double stageLoopGain(int stage) const { return stages_[stage].G; }
    double envelope() const { return env_; }

private:
    static constexpr double kOutputScale = 1.50609375;
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

// Defined here so that the engine's loop that steps the strike beside the clap inlines them.
inline double RimShotVoice::Strike::excite() {
    // End-of-hit envelope: a short rise toward 1, then a slow fall.
    if (countdown_ == 0) {
        target_ = 0.0;
        kEnv_ = 0.001 * c_;
    }
    if (countdown_ >= 0) {
        --countdown_;
    }
    env_ = follow(env_, target_, kEnv_);
    // Strike: a decaying step into all three resonators.
    E_ *= excitationDecay_;
    return E_;
}

inline double RimShotVoice::Strike::endStep(double out1, double out2, double out3) {
    out1 = ResonatorStage::clampUnit(out1);
    out3 = ResonatorStage::clampUnit(out3);
    if (env_ < 0.002) {
        playing_ = false;
    }
    return (out3 + out2 + out1) * 8.0;
}

inline double RimShotVoice::Strike::step() {
    const double E = excite();
    const double out1 = stages_[0].step(E, kAntiDenormal);
    const double out2 = stages_[1].step(E, kAntiDenormal);
    const double out3 = stages_[2].step(E, kAntiDenormal);
    return endStep(out1, out2, out3);
}

} // namespace vorpalix
