#pragma once

#include <array>

#include "dsp/Filters.h"
#include "dsp/LookupTables.h"
#include "dsp/ResonatorStage.h"
#include "dsp/Voice.h"

namespace vorpalix {

// Hand clap: white noise through one ringing resonator, shaped by a four-pulse envelope (three
// short claps and a longer fourth) and followed by a low "reverb" tail.
// Owned by the audio thread, like the engine that holds it: every operation runs there.
class HandClapVoice final : public Voice {
public:
    HandClapVoice();

    // Audio thread, at block start. Recomputes coefficients, clears filters. No allocation.
    void setSampleRate(float rate) override;
    // Audio thread. No allocation, no locks.
    void trigger(float velocity) override;

    // Knob setters, x in 0..1 (clamped). Audio thread, at block start. No allocation.
    void setTune(double x);
    void setReverb(double x);

    // Audio thread. No allocation, no locks. Renders a span (see Voice); false while idle.
    bool render(const SpanInputs& in, double* out, int frames);
    // Audio thread. One output sample; 0 while idle.
    double render(const FrameInputs& in) {
        double y = 0.0;
        render(SpanInputs{&in.noise, &in.tomNoise}, &y, 1);
        return y;
    }

    // The first pass over a span, frame by frame: the pulse and tail envelopes and the
    // resonator, whose feedback loop sets the pace. step() takes the frame's white noise,
    // returns the resonance, gives the smoothed pulse envelope P2 and the tail T1, and clears
    // playing() after the frame in which the hit ends; finish() stores the state back. The engine
    // steps it beside the rim shot's strike. Audio thread.
    class Resonance {
    public:
        // A pulse ends when its envelope falls to this level; the fourth pulse starts lower.
        static constexpr double kPulseEnd = 0.01;
        static constexpr double kLastPulseStart = 0.6;

        explicit Resonance(HandClapVoice& voice);
        bool playing() const { return playing_; }
        double step(double noise, double& P2, double& T1);
        void finish();

        // step() in three parts, for a caller that steps the resonator itself: beginStep()
        // advances the gate and the pulses, resonator() is the stage to step with the noise (bias
        // 0), and endStep() advances the envelopes. The frame's value is the stage's y1 - y4.
        void beginStep();
        ResonatorStage& resonator() { return stage_; }
        void endStep(double& P2, double& T1);

    private:
        HandClapVoice* voice_;
        double c_;
        double kRev_;
        std::array<double, 4> D_;
        double k5_;
        int pulseIndex_;
        int countdown_;
        double gate_;
        double P_, P2_;
        double T1_, T2_;
        double kT1_, kT2_;
        ResonatorStage stage_;
        bool playing_;
    };
    // The second stage, frame by frame: brightening high-pass, tail low-pass, envelopes and gain
    // of the resonance r. finish() stores the filters back. The engine runs it in the
    // resonance's loop, where its filters fill the time the feedback leaves free. Audio thread.
    class Shape {
    public:
        explicit Shape(HandClapVoice& voice)
            : voice_(&voice), g_(voice.g_), level_(voice.level_), p800_(voice.p800_),
              lp_(voice.lp_), highPass_(voice.highPass_) {}
        double step(double r, double P2, double T1) {
            const double hp = highPass_.process(r, 0.0);
            lp_ = p800_ * lp_ + (1.0 - p800_) * r;
            return (6.0 * hp * P2 - 0.2 * T1 * lp_) * g_ * level_ * kOutputScale;
        }
        void finish() {
            voice_->lp_ = lp_;
            voice_->highPass_ = highPass_;
        }

    private:
        HandClapVoice* voice_;
        double g_;
        double level_;
        double p800_;
        double lp_;
        OnePoleHighPass highPass_;
    };

    // Read-only views of the derived coefficients and envelope state.
    double tuneCoefficient() const { return wHC_; }
    double reverbCoefficient() const { return kRev_; }
    double pulseSmoothingCoefficient() const { return k5_; }
    int pulseIndex() const { return pulseIndex_; }
    double pulseEnvelope() const { return P_; }
    bool gateOpen() const { return gate_ != 0.0; }
    double tailEnvelope() const { return T1_; }

private:
    static constexpr double kOutputScale = 1.5625;
    double tuneKnob_ = 0.5;
    double reverbKnob_ = 0.5;
    double wHC_ = 0.0;  // resonator coefficient
    double kRev_ = 0.0; // tail fall once the gate closes
    double g_ = 0.0;    // velocity gain
    int pulseIndex_ = 0;
    int countdown_ = -1;
    double gate_ = 0.0;
    double P_ = 0.0;            // pulse envelope
    std::array<double, 4> D_{}; // per-pulse decay factors
    double P2_ = 0.0;           // smoothed pulse envelope
    double k5_ = 0.1;
    double T1_ = 0.0, T2_ = 0.0; // tail envelopes
    double kT1_ = 0.0, kT2_ = 0.0;
    ResonatorStage stage_;
    double p800_ = 0.0; // low-pass pole of the tail
    double lp_ = 0.0;
    OnePoleHighPass highPass_; // 2300 Hz, brightens the claps
};

// Defined here so that the engine's loop that steps the resonance beside the rim shot inlines
// them.
inline void HandClapVoice::Resonance::beginStep() {
    // The gate closes after 33 ms: no new pulses, and the tail starts to fall.
    if (countdown_ == 0) {
        gate_ = 0.0;
        kT1_ = kRev_;
        kT2_ = 0.0008 * c_;
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
}

inline void HandClapVoice::Resonance::endStep(double& P2, double& T1) {
    T1_ = follow(T1_, gate_, kT1_);
    T2_ = follow(T2_, T1_, kT2_);
    P2_ = follow(P2_, P_, k5_);
    P2 = P2_;
    T1 = T1_;

    if (6.0 * P2_ < 0.002 && 0.8 * T2_ < 0.002) {
        playing_ = false;
    }
}

inline double HandClapVoice::Resonance::step(double noise, double& P2, double& T1) {
    beginStep();
    stage_.step(noise, 0.0);
    endStep(P2, T1);
    return stage_.y1 - stage_.y4;
}

} // namespace vorpalix
