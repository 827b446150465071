#pragma once

namespace vorpalix {

// The sample rate and the values derived from it. Per-sample coefficients of the voices are
// stated for 44.1 kHz and multiplied by the rate scale c = 44100 / rate.
struct SampleRateInfo {
    double rate = 44100.0;
    double period = 1.0 / 44100.0;
    double rateRatio = 1.0;
    double c = 1.0; // rate scale
    double nyquist = 22050.0;

    static SampleRateInfo fromRate(double rate) {
        SampleRateInfo info;
        info.rate = rate;
        info.period = 1.0 / rate;
        info.rateRatio = rate / 44100.0;
        info.c = 44100.0 / rate;
        info.nyquist = rate / 2.0;
        return info;
    }
};

} // namespace vorpalix
