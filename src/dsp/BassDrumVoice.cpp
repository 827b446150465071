#include "dsp/BassDrumVoice.h"

#include "dsp/LookupTables.h"
#include "dsp/PartLanes.h"
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

// The frames of a part: what the envelope and oscillator pass leaves for the later passes, and
// the clipper pass's body.
struct Part {
    static constexpr int kRoom = lanes::kPartRoom;
    double x[kRoom], knee[kRoom], env2s[kRoom], env3[kRoom], env4[kRoom], outCoef[kRoom];
    double nh[kRoom], body[kRoom];
};

// The soft clipper and the body mix for frames 0..frames-1 of a part, whose arrays hold defined
// values up to the next whole vector. No state is carried from frame to frame.
struct ClipPass {
    template <class V> [[gnu::always_inline]] static void run(Part& p, int frames) {
        using namespace lanes;
        for (int i = 0; i < frames; i += kCountOf<V>) {
            const V x = load<V>(p.x + i);
            const V y = softClipEach<V>(x, load<V>(p.knee + i), 1.8, 1.0 / 1.8);
            store<V>(p.body + i, (0.02 * x + 0.175 * y) * load<V>(p.env2s + i));
        }
    }
};

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

VORPALIX_KEEP_STATE_SCALAR bool BassDrumVoice::render(const SpanInputs& in, double* out,
                                                      int frames) {
    if (!playing_) {
        return false;
    }
    const double c = c_;
    const double kTune = kTune_;
    const double kDecay = kDecay_;
    const double sweepHz = sweepHz_;
    const double fBase = fBase_;
    const double twoPiPerRate = twoPiPerRate_;
    const double thrDecay = thrDecay_;
    const double gSq = gSq_;
    const double g2 = g2_;
    const double attackLevel = attack_;
    const double level = level_;
    double phase = phase_;
    double holdA = holdA_, holdB = holdB_;
    double target = target_, clickGate = clickGate_;
    double env1 = env1_, env1s = env1s_, k1 = k1_;
    double env2 = env2_, env2s = env2s_, k2 = k2_;
    double env3 = env3_, k3 = k3_;
    double env4 = env4_;
    double thr = thr_;
    double outState = outState_, outCoef = outCoef_;
    Biquad noiseLowPass = noiseLowPass_;
    OnePoleHighPass noiseHighPass = noiseHighPass_;
    OnePoleHighPass clickHighPass = clickHighPass_;
    Biquad clickLowPass = clickLowPass_;

    // Three passes over parts of the span: the hold, envelopes, oscillator and the clipper's
    // knee; the soft clipper, which carries no state, on whole vectors of frames; the click and
    // noise filters and the output.
    Part p;
    bool playing = true;
    int n = 0;
    while (n < frames && playing) {
        const int part = std::min(lanes::kPartFrames, frames - n);
        int done = 0;
        while (done < part) {
            // Hold stage: the oscillator rests at its start point, then the envelopes are
            // released and the amplitude holds a further while before it decays.
            const double a = holdA;
            holdA -= 1.0;
            if (a >= 0.0) {
                phase = kHalfPiF;
            } else {
                outCoef = 1.0;
                target = 0.0;
                k1 = kTune;
                const double b = holdB;
                holdB -= 1.0;
                k2 = b > 0.0 ? 0.0 : kDecay;
            }

            // Click cut once the oscillator has passed three quarters of pi.
            if (holdA <= 0.0 && phase > kClickCutPhase) {
                clickGate = 0.0;
                k3 = 1.0;
            }

            // Pitch and amplitude envelopes with their smoothed copies.
            env1 = follow(env1, target, k1);
            env1s = follow(env1s, env1, 0.05 * c);
            env2 = env2 - (env2 - gSq * target) * k2 + 1e-24;
            env2s = env2s - (env2s - env2) * 0.05 * c + 1e-24;

            // Oscillator and triangle (0 at pi/2, +0.75 at pi, 0 at 3 pi/2, -0.75 at 0).
            phase += (env1s * sweepHz + fBase) * twoPiPerRate;
            if (phase > kTwoPiF) {
                phase -= kTwoPiF;
            }
            const double t = phase >= kPiF ? 0.5 * (1.5 * kPiF - phase) : 0.5 * (phase - kHalfPiF);
            const double tri = 3.0 * t * kInvPiF;

            // The soft clipper's knee shrinks while the signal stays outside it.
            double knee = 0.6 * thr;
            thr *= thrDecay;
            const double x = (tri - 0.04) * 2.5;
            if (-knee <= x && x <= knee) {
                thr = 1.0;
                knee = 0.6;
            }

            // The click's envelopes.
            env3 = env3 - (env3 - g2 * clickGate) * k3 + 1e-24;
            env4 = follow(env4, g2 * target, 0.004 * c);

            p.nh[done] = noiseHighPass.process(noiseLowPass.process(in.noise[n + done]));
            p.x[done] = x;
            p.knee[done] = knee;
            p.env2s[done] = env2s;
            p.env3[done] = env3;
            p.env4[done] = env4;
            p.outCoef[done] = outCoef;
            ++done;
            if (env2 < 0.002 && target == 0.0) {
                playing = false;
                break;
            }
        }

        // Soft clipper and body.
        for (double* a : {p.x, p.knee, p.env2s}) {
            lanes::padFrames(a, done);
        }
        lanes::runPass<ClipPass>(p, done);

        // Click: enveloped pulse through a band-pass pair plus band-limited noise.
        for (int i = 0; i < done; ++i) {
            const double nh = p.nh[i];
            const double ch = clickHighPass.process(p.env3[i]);
            const double cl = clickLowPass.process(ch);
            const double click = -(0.07 * cl + 0.01 * g2 * nh);

            const double o = (click * p.env4[i] * attackLevel + p.body[i]) * level * 1.575;
            outState = follow(outState, o, p.outCoef[i]);
            out[n + i] = outState;
        }
        n += done;
    }
    for (; n < frames; ++n) {
        out[n] = 0.0;
    }

    playing_ = playing;
    phase_ = phase;
    holdA_ = holdA;
    holdB_ = holdB;
    target_ = target;
    clickGate_ = clickGate;
    env1_ = env1;
    env1s_ = env1s;
    k1_ = k1;
    env2_ = env2;
    env2s_ = env2s;
    k2_ = k2;
    env3_ = env3;
    k3_ = k3;
    env4_ = env4;
    thr_ = thr;
    outState_ = outState;
    outCoef_ = outCoef;
    noiseLowPass_ = noiseLowPass;
    noiseHighPass_ = noiseHighPass;
    clickHighPass_ = clickHighPass;
    clickLowPass_ = clickLowPass;
    return true;
}

} // namespace vorpalix
