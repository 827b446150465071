#include "dsp/RimShotVoice.h"

#include <algorithm>
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
    Strike strike(*this);
    Tone tone(*this);
    int n = 0;
    while (n < frames && strike.playing()) {
        out[n++] = tone.step(strike.step());
    }
    strike.finish();
    tone.finish();
    std::fill(out + n, out + frames, 0.0);
    return true;
}

RimShotVoice::Strike::Strike(RimShotVoice& voice)
    : voice_(&voice), c_(voice.sampleRate_.c), excitationDecay_(voice.excitationDecay_),
      stages_(voice.stages_), E_(voice.E_), countdown_(voice.countdown_), env_(voice.env_),
      target_(voice.target_), kEnv_(voice.kEnv_), playing_(voice.playing_) {}

void RimShotVoice::Strike::finish() {
    voice_->playing_ = playing_;
    voice_->stages_ = stages_;
    voice_->E_ = E_;
    voice_->countdown_ = countdown_;
    voice_->env_ = env_;
    voice_->target_ = target_;
    voice_->kEnv_ = kEnv_;
}

} // namespace vorpalix
