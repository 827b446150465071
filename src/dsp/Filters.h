#pragma once

#include <algorithm>
#include <cmath>
#include <numbers>

namespace vorpalix {

// Denormal guard added in most recursive updates.
constexpr double kAntiDenormal = 1e-24;

// Audio-EQ-cookbook biquad (direct form I). Coefficients are set on rate changes only.
struct Biquad {
    double b0 = 0, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;

    static double alphaFor(double w0, double bandwidthOctaves) {
        const double s = std::sin(w0);
        return s * std::sinh(std::numbers::ln2 / 2.0 * bandwidthOctaves * w0 / s);
    }

    void setLowPass(double f0, double bandwidthOctaves, double rate) {
        const double w0 = 2.0 * std::numbers::pi * f0 / rate;
        const double alpha = alphaFor(w0, bandwidthOctaves);
        const double cw = std::cos(w0);
        const double a0 = 1.0 + alpha;
        b0 = b2 = (1.0 - cw) / 2.0 / a0;
        b1 = (1.0 - cw) / a0;
        a1 = -2.0 * cw / a0;
        a2 = (1.0 - alpha) / a0;
    }

    // Low-pass with the resonance given as Q (alpha = sin(w0) / (2 Q)) instead of a bandwidth.
    void setLowPassQ(double f0, double q, double rate) {
        const double w0 = 2.0 * std::numbers::pi * f0 / rate;
        const double alpha = std::sin(w0) / (2.0 * q);
        const double cw = std::cos(w0);
        const double a0 = 1.0 + alpha;
        b0 = b2 = (1.0 - cw) / 2.0 / a0;
        b1 = (1.0 - cw) / a0;
        a1 = -2.0 * cw / a0;
        a2 = (1.0 - alpha) / a0;
    }

    void setHighPass(double f0, double bandwidthOctaves, double rate) {
        const double w0 = 2.0 * std::numbers::pi * f0 / rate;
        const double alpha = alphaFor(w0, bandwidthOctaves);
        const double cw = std::cos(w0);
        const double a0 = 1.0 + alpha;
        b0 = b2 = (1.0 + cw) / 2.0 / a0;
        b1 = -(1.0 + cw) / a0;
        a1 = -2.0 * cw / a0;
        a2 = (1.0 - alpha) / a0;
    }

    // Band-pass with 0 dB peak gain.
    void setBandPass(double f0, double bandwidthOctaves, double rate) {
        const double w0 = 2.0 * std::numbers::pi * f0 / rate;
        const double alpha = alphaFor(w0, bandwidthOctaves);
        const double a0 = 1.0 + alpha;
        b0 = alpha / a0;
        b1 = 0.0;
        b2 = -alpha / a0;
        a1 = -2.0 * std::cos(w0) / a0;
        a2 = (1.0 - alpha) / a0;
    }

    void clear() { x1 = x2 = y1 = y2 = 0.0; }

    // One sample; `bias` is the denormal guard most voice filters add to the output.
    double process(double x, double bias = kAntiDenormal) {
        const double y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2 + bias;
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
        return y;
    }

    // One sample without a bias: what process(x, 0.0) gives wherever its sum cannot be -0 (adding
    // +0 only turns -0 into +0), one addition shorter on the feedback path.
    double processUnbiased(double x) {
        const double y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
        return y;
    }
};

// Pole of a one-pole filter with corner f at the given rate: exp(-2*pi*f/rate).
inline double onePolePole(double f, double rate) {
    return std::exp(-2.0 * std::numbers::pi * f / rate);
}

// One-pole low-pass: y = (1 - p) x + p y.
struct OnePoleLowPass {
    double p = 0, y = 0;
    void setCorner(double f, double rate) { p = onePolePole(f, rate); }
    double process(double x, double bias = kAntiDenormal) {
        y = (1.0 - p) * x + p * y + bias;
        return y;
    }
};

// One-pole high-pass: y = p y + (x - xprev)(1 + p)/2.
struct OnePoleHighPass {
    double p = 0, y = 0, xprev = 0;
    void setCorner(double f, double rate) { p = onePolePole(f, rate); }
    double process(double x, double bias = kAntiDenormal) {
        y = p * y + (x - xprev) * (1.0 + p) / 2.0 + bias;
        xprev = x;
        return y;
    }
};

// A follower coefficient stated for 44.1 kHz and multiplied by the rate scale c. Above 1 the
// follower would overshoot its target, and from 2 on it diverges, which happens at low sample
// rates for the fastest followers; the coefficient is therefore limited to 1 (jump to target).
inline double followerCoefficient(double k44, double c) {
    return std::min(k44 * c, 1.0);
}

// Envelope follower toward target t with coefficient k: e = e - ((e - t) k + 1e-24).
inline double follow(double e, double t, double k) {
    return e - ((e - t) * k + kAntiDenormal);
}

} // namespace vorpalix
