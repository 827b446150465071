#pragma once

namespace vorpalix {

// Ringing resonator shared by the rim shot and the hand clap: four cascaded one-pole low-pass
// stages closed by a smoothed, clamped feedback loop. The loop's phase shift makes it ring near
// the frequency set by w; the loop gain G sets how long it rings.
struct ResonatorStage {
    double w = 0.0; // one-pole coefficient, 2*pi*f/rate
    double G = 0.0; // loop gain
    double q = 1.0; // output gain

    double s0 = 0.0; // smoothed feedback
    double s1 = 0.0; // clamped copy of the previous s0
    double s2 = 0.0; // mixed feedback
    double y1 = 0.0, y2 = 0.0, y3 = 0.0, y4 = 0.0;
    double out = 0.0;

    static double clampUnit(double x) { return x < -1.0 ? -1.0 : (x > 1.0 ? 1.0 : x); }

    void clear() { s0 = s1 = s2 = y1 = y2 = y3 = y4 = out = 0.0; }

    // One sample with input u. `bias` is the denormal guard added to the four poles (the rim shot
    // uses 1e-24; the clap's stage is fed with noise all the time and adds nothing).
    double step(double u, double bias) {
        s1 = clampUnit(s0);
        s0 = 0.418 * s0 + 0.582 * G * y4;
        s2 = 0.36 * s0 + 0.64 * s1;
        const double v = 1.0 - w;
        y1 = clampUnit((u - s2) * w + v * y1 + bias);
        y2 = v * y2 + w * y1 + bias;
        y3 = v * y3 + w * y2 + bias;
        y4 = v * y4 + w * y3 + bias;
        out = (y1 - y4) * q;
        return out;
    }
};

} // namespace vorpalix
