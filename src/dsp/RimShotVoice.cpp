#include "dsp/RimShotVoice.h"

#include <cmath>

#include "dsp/LookupTables.h"

namespace vorpalix {

namespace {

// 2*pi as the single-precision value the stage frequencies are defined with.
constexpr double kTwoPi = 6.2831854820251465;

// Stage frequencies at the default knob settings (Hz).
constexpr double kStageFrequencies[3] = {520.0, 236.47, 1080.7};
// Output gains of the three stages.
constexpr double kStageOutputGains[3] = {2.5, 1.25, 2.5};
// Length of the envelope's attack before it starts to fall (seconds).
constexpr double kAttackSeconds = 0.000416;
constexpr double kOutputScale = 1.50609375;

} // namespace

RimShotVoice::RimShotVoice() {
    LookupTables::build();
    for (int i = 0; i < 3; ++i) {
        stages_[i].q = kStageOutputGains[i];
    }
    RimShotVoice::setSampleRate(44100.0f);
}

void RimShotVoice::setSampleRate(float rate) {
    if (!(rate > 0.0f) || !std::isfinite(rate)) {
        return;
    }
    Voice::setSampleRate(rate);
    updateStages();
    for (ResonatorStage& s : stages_) {
        s.s0 = s.y1 = s.y2 = s.y3 = s.y4 = 0.0;
    }
    target_ = 0.0;
    excitationDecay_ = 1.0 - 0.05 * sampleRate_.c;
    bandPass_.setBandPass(700.0, 4.0, sampleRate_.rate);
    bandPass_.clear();
}

void RimShotVoice::setTune(double x) {
    a_ = clampKnob(x) + 0.5;
    updateStages();
}

void RimShotVoice::setDecay(double x) {
    d_ = 2.0 * clampKnob(x);
    updateStages();
}

// Decay lowers the pitch slightly as it lengthens the ring; both knobs move the loop gains.
void RimShotVoice::updateStages() {
    const double k = 1.0 - (d_ - 1.0) * 0.032327;
    for (int i = 0; i < 3; ++i) {
        stages_[i].w = kTwoPi * kStageFrequencies[i] * a_ * k / sampleRate_.rate;
    }
    const double h = (d_ - 1.0) * (1.0 - (a_ - 0.5) * 0.5) + (a_ - 1.0) * 0.75;
    stages_[0].G = h + 2.7;
    stages_[1].G = h + 2.7;
    stages_[2].G = h + 2.6;
}

void RimShotVoice::trigger(float velocity) {
    if (level_ == 0.0) {
        return;
    }
    Voice::trigger(velocity);
    g_ = velocityGain(velocity);
    target_ = 1.0;
    E_ = 1.0;
    countdown_ = static_cast<int>(sampleRate_.rate * kAttackSeconds);
    env_ = 0.0;
    kEnv_ = followerCoefficient(0.9, sampleRate_.c);
}

bool RimShotVoice::render(const SpanInputs& /*in*/, double* out, int frames) {
    if (!playing_) {
        return false;
    }
    const double c = sampleRate_.c;
    const double excitationDecay = excitationDecay_;
    const double g = g_;
    const double level = level_;
    std::array<ResonatorStage, 3> stages = stages_;
    Biquad bandPass = bandPass_;
    double E = E_;
    int countdown = countdown_;
    double env = env_;
    double target = target_;
    double kEnv = kEnv_;

    bool playing = true;
    int n = 0;
    while (n < frames) {
        // End-of-hit envelope: a short rise toward 1, then a slow fall.
        if (countdown == 0) {
            target = 0.0;
            kEnv = 0.001 * c;
        }
        if (countdown >= 0) {
            --countdown;
        }
        env = follow(env, target, kEnv);

        // Strike: a decaying step into all three resonators.
        E *= excitationDecay;
        const double out1 = ResonatorStage::clampUnit(stages[0].step(E, kAntiDenormal));
        const double out2 = stages[1].step(E, kAntiDenormal);
        const double out3 = ResonatorStage::clampUnit(stages[2].step(E, kAntiDenormal));

        const double sum = (out3 + out2 + out1) * 8.0;
        const double sat = softClip(sum, 0.05, 1.4);
        const double b = bandPass.process(0.5 * sat);
        out[n++] = b * g * level * kOutputScale;

        if (env < 0.002) {
            playing = false;
            break;
        }
    }
    for (; n < frames; ++n) {
        out[n] = 0.0;
    }

    playing_ = playing;
    stages_ = stages;
    bandPass_ = bandPass;
    E_ = E;
    countdown_ = countdown;
    env_ = env;
    target_ = target;
    kEnv_ = kEnv;
    return true;
}

} // namespace vorpalix
