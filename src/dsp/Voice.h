#pragma once

#include "dsp/SampleRateInfo.h"

namespace vorpalix {

// What the engine hands every voice for one frame: the shared white noise and the tom noise.
struct FrameInputs {
    double noise = 0.0;
    double tomNoise = 0.0;
};

// The same for a span of frames: one white-noise and one tom-noise value per frame.
struct SpanInputs {
    const double* noise;
    const double* tomNoise;
};

// A knob value brought into 0..1; NaN gives 0.
inline double clampKnob(double x) {
    return x >= 0.0 ? (x <= 1.0 ? x : 1.0) : 0.0;
}

// Base of every instrument voice. A voice whose playing flag is clear contributes exactly 0 and
// does not advance. Each concrete voice has a non-virtual
// `bool render(const SpanInputs&, double* out, int frames)` that the engine calls through the
// concrete type: one loop over the span with the voice's state in locals. It returns false, and
// leaves `out` alone, when the voice is idle for the whole span; otherwise it writes every frame,
// 0 from the frame after the hit has ended. `double render(const FrameInputs&)` renders one frame
// through it.
//
// Owned by the audio thread: the engine that holds the voice calls every operation from there
// (knob values reach it at block start), so the state is plain data without atomics.
class Voice {
public:
    virtual ~Voice() = default;

    // Stores the rate record; concrete voices recompute their coefficients and clear filters.
    virtual void setSampleRate(float rate) { sampleRate_ = SampleRateInfo::fromRate(rate); }

    // Starts a hit. Concrete voices ignore it when Level is exactly 0.
    virtual void trigger(float /*velocity*/) { playing_ = true; }

    // Audio thread. The Level knob, stored unchanged.
    void setLevel(double level) { level_ = level; }
    double level() const { return level_; }
    bool isPlaying() const { return playing_; }
    const SampleRateInfo& sampleRate() const { return sampleRate_; }

    // Velocity gain: a plain sequencer step (48/127) gives about 1.
    static double velocityGain(float velocity) { return static_cast<double>(velocity * 2.645f); }

protected:
    SampleRateInfo sampleRate_;
    double level_ = 0.0;
    bool playing_ = false;
};

} // namespace vorpalix
