// Generates the hi-hat and cymbal waveforms "ch", "oh", "cr" and "rd": one unsigned byte per
// sample (b / 128 - 1, so 128 is silence), meant to be played at 31200 Hz.
//
// The sounds are built the way analogue drum machines build their metal: detuned square-wave
// oscillators at inharmonic frequencies, summed, split into band-pass and high-pass bands and
// shaped by decay envelopes, with a little white noise for sizzle. Everything runs at four times
// the output rate and is decimated through a windowed-sinc low-pass, so the squares' upper
// harmonics do not fold back. The program is deterministic: fixed frequencies, fixed phases,
// fixed noise seeds, no clock.
//
// Usage: generate_waveforms <output-directory>
// Writes ch.raw, oh.raw, cr.raw and rd.raw there (each through a temporary file and a rename).

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <string>
#include <system_error>
#include <vector>

#include "dsp/Filters.h"

namespace {

using vorpalix::Biquad;

constexpr double kOutputRate = 31200.0;
constexpr int kOversample = 4;
constexpr double kRate = kOutputRate * kOversample;
constexpr double kPeak = 0.97; // normalised peak, a little below full scale
constexpr double kTwoPi = 2.0 * std::numbers::pi;

// xorshift32 white noise in [-1, 1).
struct WhiteNoise {
    std::uint32_t state;
    double next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return static_cast<double>(state) / 2147483648.0 - 1.0;
    }
};

// Square wave whose two edges are smoothed with polynomial band-limited steps.
struct SquareOscillator {
    double phase = 0.0;
    double inc = 0.0;

    static double blep(double t, double dt) {
        if (t < dt) {
            t /= dt;
            return t + t - t * t - 1.0;
        }
        if (t > 1.0 - dt) {
            t = (t - 1.0) / dt;
            return t * t + t + t + 1.0;
        }
        return 0.0;
    }

    double next() {
        double v = phase < 0.5 ? 1.0 : -1.0;
        v += blep(phase, inc);
        v -= blep(std::fmod(phase + 0.5, 1.0), inc);
        phase += inc;
        if (phase >= 1.0) {
            phase -= 1.0;
        }
        return v;
    }
};

// A bank of detuned squares summed with equal weight.
class MetalSource {
public:
    template <std::size_t N>
    MetalSource(const std::array<double, N>& frequencies, std::uint32_t phaseSeed) {
        WhiteNoise phases{phaseSeed};
        for (double f : frequencies) {
            oscillators_.push_back({0.5 * (phases.next() + 1.0), f / kRate});
        }
    }

    double next() {
        double sum = 0.0;
        for (SquareOscillator& o : oscillators_) {
            sum += o.next();
        }
        return sum / static_cast<double>(oscillators_.size());
    }

private:
    std::vector<SquareOscillator> oscillators_;
};

Biquad bandPass(double f0, double octaves) {
    Biquad b;
    b.setBandPass(f0, octaves, kRate);
    return b;
}

Biquad highPass(double f0) {
    Biquad b;
    b.setHighPass(f0, 1.9, kRate); // about Q = 0.7
    return b;
}

// Two cascaded high-passes: keeps the squares' strong fundamentals out of a band.
struct SteepHighPass {
    Biquad a, b;
    explicit SteepHighPass(double f0) : a(highPass(f0)), b(highPass(f0)) {}
    double process(double x) { return b.process(a.process(x)); }
};

// Linear rise over `attack` seconds.
double attackGain(double t, double attack) {
    return t < attack ? t / attack : 1.0;
}

// Oscillator sets: inharmonic, no two in a simple ratio.
constexpr std::array<double, 6> kHatFrequencies = {284.6, 412.9, 447.3, 611.8, 676.2, 931.7};
constexpr std::array<double, 12> kCrashFrequencies = {240.1, 271.4, 353.9, 367.5, 398.2, 461.8,
                                                      517.6, 553.0, 583.3, 697.1, 802.7, 858.9};
constexpr std::array<double, 6> kRideFrequencies = {331.7, 472.4, 507.9, 640.3, 733.6, 1065.2};

// Hats: two resonant bands around 7 and 11 kHz, then a steep high-pass at 5.5 kHz. The closed
// and open hat share the source and differ in their envelopes.
std::vector<double> renderHat(std::size_t n, bool open) {
    MetalSource metal(kHatFrequencies, 0x1234567u);
    WhiteNoise noise{0x9e3779b9u};
    Biquad band1 = bandPass(7000.0, 1.5);
    Biquad band2 = bandPass(10800.0, 1.0);
    SteepHighPass floor(5500.0);
    std::vector<double> out(n);
    for (std::size_t j = 0; j < n; ++j) {
        const double t = static_cast<double>(j) / kRate;
        const double x = 0.85 * metal.next() + 0.15 * noise.next();
        const double y = floor.process(0.6 * band1.process(x) + 0.4 * band2.process(x));
        const double env = open ? 0.25 * std::exp(-t / 0.03) + 0.75 * std::exp(-t / 0.45)
                                : 0.3 * std::exp(-t / 0.006) + 0.7 * std::exp(-t / 0.045);
        out[j] = y * env * attackGain(t, open ? 0.0005 : 0.0003);
    }
    return out;
}

// Crash: twelve squares; a mid band that bursts and dies within a few hundred milliseconds, and
// a bright high band with noise that rings for about a second.
std::vector<double> renderCrash(std::size_t n) {
    MetalSource metal(kCrashFrequencies, 0x2468aceu);
    WhiteNoise noise{0x85ebca6bu};
    Biquad mid = bandPass(4200.0, 2.0);
    SteepHighPass midFloor(2000.0);
    SteepHighPass high(7500.0);
    std::vector<double> out(n);
    for (std::size_t j = 0; j < n; ++j) {
        const double t = static_cast<double>(j) / kRate;
        const double m = metal.next();
        const double x = 0.7 * m + 0.3 * noise.next();
        const double midBand = midFloor.process(mid.process(m)) * std::exp(-t / 0.35) *
                               (1.0 + 1.2 * std::exp(-t / 0.05));
        const double highBand = high.process(x) * std::exp(-t / 1.0);
        out[j] = (0.55 * midBand + 0.8 * highBand) * attackGain(t, 0.0015);
    }
    return out;
}

// Ride: a stick ping around 5 kHz, a bell around 2.7 kHz and a long, quieter high wash.
std::vector<double> renderRide(std::size_t n) {
    MetalSource metal(kRideFrequencies, 0x13579bdu);
    WhiteNoise noise{0xc2b2ae35u};
    Biquad bell = bandPass(2700.0, 0.8);
    Biquad ping = bandPass(5200.0, 1.2);
    SteepHighPass bellFloor(1600.0);
    SteepHighPass pingFloor(2200.0);
    SteepHighPass wash(6500.0);
    std::vector<double> out(n);
    for (std::size_t j = 0; j < n; ++j) {
        const double t = static_cast<double>(j) / kRate;
        const double m = metal.next();
        const double x = 0.9 * m + 0.1 * noise.next();
        const double y = 0.45 * bellFloor.process(bell.process(m)) * std::exp(-t / 0.5) +
                         0.6 * pingFloor.process(ping.process(m)) * std::exp(-t / 0.035) +
                         0.5 * wash.process(x) * std::exp(-t / 1.5);
        out[j] = y * attackGain(t, 0.0007);
    }
    return out;
}

// Windowed-sinc (Blackman) decimation by kOversample with its corner at 13.5 kHz.
std::vector<double> decimate(const std::vector<double>& in, std::size_t length) {
    constexpr int kHalf = 96;
    constexpr double kCorner = 13500.0 / kRate;
    std::array<double, 2 * kHalf + 1> h{};
    double sum = 0.0;
    for (int k = -kHalf; k <= kHalf; ++k) {
        const double x = kTwoPi * kCorner * k;
        const double sinc = k == 0 ? 1.0 : std::sin(x) / (std::numbers::pi * k);
        const double w = 0.42 + 0.5 * std::cos(std::numbers::pi * k / kHalf) +
                         0.08 * std::cos(2.0 * std::numbers::pi * k / kHalf);
        h[k + kHalf] = (k == 0 ? 2.0 * kCorner : sinc) * w;
        sum += h[k + kHalf];
    }
    std::vector<double> out(length);
    for (std::size_t m = 0; m < length; ++m) {
        const std::ptrdiff_t centre = static_cast<std::ptrdiff_t>(m) * kOversample;
        double acc = 0.0;
        for (int k = -kHalf; k <= kHalf; ++k) {
            const std::ptrdiff_t j = centre - k;
            if (j >= 0 && j < static_cast<std::ptrdiff_t>(in.size())) {
                acc += h[k + kHalf] * in[static_cast<std::size_t>(j)];
            }
        }
        out[m] = acc / sum;
    }
    return out;
}

// Level and quantise to unsigned bytes, 128 being zero. The first 40 ms (the body of the hit)
// are brought to an RMS of kTargetRms, so the metal sounds as loud as the synthesised drums; the
// few sharp peaks that would then exceed full scale are rounded off above a knee by a soft
// saturation with slope 1 at the knee, which keeps every sample below kPeak.
constexpr double kTargetRms = 0.3;
constexpr double kKnee = 0.5;
constexpr std::size_t kBodySamples = 1248; // 40 ms at 31200 Hz

double saturate(double x) {
    const double magnitude = std::fabs(x);
    if (magnitude <= kKnee) {
        return x;
    }
    const double room = kPeak - kKnee;
    return std::copysign(kKnee + room * std::tanh((magnitude - kKnee) / room), x);
}

std::vector<std::uint8_t> quantise(const std::vector<double>& x) {
    const std::size_t body = std::min(x.size(), kBodySamples);
    double energy = 0.0;
    for (std::size_t j = 0; j < body; ++j) {
        energy += x[j] * x[j];
    }
    const double rms = body > 0 ? std::sqrt(energy / static_cast<double>(body)) : 0.0;
    const double scale = rms > 0.0 ? kTargetRms / rms : 0.0;
    std::vector<std::uint8_t> bytes(x.size());
    for (std::size_t j = 0; j < x.size(); ++j) {
        const double y = saturate(x[j] * scale);
        const long b = std::lround(y * 128.0) + 128;
        bytes[j] = static_cast<std::uint8_t>(std::clamp(b, 0L, 255L));
    }
    return bytes;
}

struct WaveformJob {
    const char* name;
    std::size_t length;
};

constexpr std::array<WaveformJob, 4> kJobs = {{
    {"ch", 8128},
    {"oh", 24722},
    {"cr", 32768},
    {"rd", 32768},
}};

std::vector<std::uint8_t> synthesize(const WaveformJob& job) {
    // The decimator looks half a filter length ahead: render that much more.
    const std::size_t n = job.length * kOversample + 128;
    const std::string name = job.name;
    std::vector<double> fine;
    if (name == "ch") {
        fine = renderHat(n, false);
    } else if (name == "oh") {
        fine = renderHat(n, true);
    } else if (name == "cr") {
        fine = renderCrash(n);
    } else {
        fine = renderRide(n);
    }
    return quantise(decimate(fine, job.length));
}

bool writeFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::filesystem::path temp = path;
    temp += ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out) {
            return false;
        }
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        if (!out) {
            return false;
        }
    }
    std::error_code ec;
    std::filesystem::rename(temp, path, ec);
    if (ec) {
        std::filesystem::remove(temp, ec);
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: generate_waveforms <output-directory>\n", stderr);
        return 2;
    }
    const std::filesystem::path dir = argv[1];
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    for (const WaveformJob& job : kJobs) {
        const std::filesystem::path path = dir / (std::string(job.name) + ".raw");
        if (!writeFile(path, synthesize(job))) {
            std::fprintf(stderr, "generate_waveforms: cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
