#pragma once

#include "dsp/Filters.h"
#include "dsp/Voice.h"

namespace vorpalix {

// One tom (low, mid or high, by its three base frequencies): three skewed-triangle oscillators
// with a shared upward pitch sweep, soft-clipped, weighted by three envelopes through an
// exponential curve, DC-blocked, plus the engine's shared tom noise under its own envelope.
// Owned by the audio thread, like the engine that holds it: every operation runs there.
class TomVoice : public Voice {
public:
    // Base frequencies of the three oscillators of one tom, in Hz.
    struct Tuning {
        double f1, f2, f3;
    };
    static constexpr Tuning kLowTom{88.97, 57.67, 165.6};
    static constexpr Tuning kMidTom{110.0, 71.24, 181.65};
    static constexpr Tuning kHighTom{132.2, 89.89, 249.7};

    explicit TomVoice(const Tuning& tuning);

    // Audio thread, at block start. Recomputes coefficients, clears filters. No allocation.
    void setSampleRate(float rate) override;
    // Audio thread. No allocation, no locks.
    void trigger(float velocity) override;

    // Knob setters, x in 0..1 (clamped). Audio thread, at block start. No allocation.
    void setTune(double x);
    void setTone(double x);
    void setTuneDepth(double x);
    void setDecay(double x);
    void setTuneDecay(double x);

    // Audio thread. No allocation, no locks. Renders a span (see Voice); false while idle. The
    // tom noise is mixed in under eN.
    bool render(const SpanInputs& in, double* out, int frames);
    // Audio thread. No allocation, no locks. Renders the span of up to four toms at once, side by
    // side in vector lanes, into outs[k] for toms[k]; toms that are idle are skipped and their
    // outs left alone (check isPlaying() before). Same samples as rendering them one by one.
    static void renderGroup(TomVoice* const* toms, double* const* outs, int count,
                            const SpanInputs& in, int frames);
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
    double kDecay() const { return kDecay_; }
    double tdMul() const { return tdMul_; }
    double baseFrequency(int k) const { return osc_[k].f; }
    // Hit state, for tests.
    double phase(int k) const { return osc_[k].phase; }
    double sweep() const { return 0.5 * (eSA_ + eSB_); }
    double envelopeA() const { return A_; }
    double noiseEnvelope() const { return eN_; }
    bool holding() const { return holdCounter_ >= 0; }

private:
    static void renderChunk(TomVoice* const* toms, double* const* outs, int count,
                            const SpanInputs& in, int frames);
    // A part's values for the shaping pass, packed without unused lanes, with room for the
    // widest vector past the last one.
    static constexpr int kPart = 32;
    static constexpr int kPacked = kPart * 4 + 8;
    struct Shaping {
        double w[3][kPacked], d[kPacked], a[kPacked], b[kPacked], c[kPacked], m[kPacked];
    };
    template <class V> static void shape(Shaping& p, int packed);
    static void shapeAvx512(Shaping& p, int packed);
    // A part's oscillator values, every lane of each frame side by side (frame i's lane k at
    // i * 4 + k), with room for one frame more: the phases and the pitch envelope from the
    // envelope pass, the triangles from the triangle pass. Each oscillator's constants per lane.
    static constexpr int kLaneValues = (kPart + 1) * 4;
    struct Triangles {
        double phase[3][kLaneValues], v[3][kLaneValues], eK[kLaneValues];
        double f[3][4], sweep[3][4], skewPerHz[3][4];
    };
    template <class W, int kLanes> static void triangles(Triangles& p, int frames);
    static void trianglesAvx512(Triangles& p, int frames);
    template <class Lanes, bool Holding>
    static int renderLanes(TomVoice* const* t, int count, const double* tomNoise,
                           double* const* out, int frames);
    static int renderLanesAvx2(TomVoice* const* t, int count, const double* tomNoise,
                               double* const* out, int frames);
    static int renderLanesBase(TomVoice* const* t, int count, const double* tomNoise,
                               double* const* out, int frames);

    struct Oscillator {
        double f = 0.0;         // base frequency fk
        double skewConst = 0.0; // 0.565 or 0.575
        double skewPerHz = 0.0; // skewConst / f
        double phase = 0.0;
        double v = 0.0; // raw skewed triangle
        double w = 0.0; // smoothed copy
    };

    double toneKnob_ = 0.5;
    double decayKnob_ = 0.5;
    double tuneDecayKnob_ = 0.5;

    double tune_ = 1.0;
    double kTone_ = 0.0;
    double depth_ = 1.4;
    double kDecay_ = 0.0;
    double tdMul_ = 0.0;
    // Coefficients of the sweep envelopes after the hold: tdMul c 0.0002 and tdMul c 0.0015.
    double kSweepA_ = 0.0;
    double kSweepB_ = 0.0;

    double c_ = 1.0;
    double twoPiPerRate_ = 0.0; // 2 pi / rate, phase increment per Hz

    Oscillator osc_[3];
    double gSq_ = 0.0;
    double V_ = 1.0, Lf_ = 0.0, kLf_ = 0.0;
    double G_ = 0.0;
    int holdCounter_ = 0; // frames of hold left; -1 marks the first frame after it, then -2
    double eP_ = 0.0, kP_ = 0.0;
    double A_ = 0.0, kA_ = 0.0;
    double B_ = 0.0, kB_ = 0.0;
    double C_ = 0.0, kC_ = 0.0;
    double eN_ = 0.0, kN_ = 0.0;
    double eSA_ = 0.0, kSA_ = 0.0;
    double eSB_ = 0.0, kSB_ = 0.0;
    double eK_ = 0.0, kK_ = 0.0;
    double eD_ = 0.0, kD_ = 0.0;
    double kOsc_ = 0.0;

    Biquad dcBlock_; // high-pass, 10 Hz, 6.5 octaves
};

} // namespace vorpalix
