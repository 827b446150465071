#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numbers>
#include <string>
#include <vector>

#include "resources/EmbeddedResources.h"

namespace vorpalix {
namespace {

constexpr double kWaveRate = 31200.0;

std::vector<double> samplesOf(const char* name) {
    std::vector<double> s;
    for (const std::uint8_t b : findResource(name)) {
        s.push_back(b / 128.0 - 1.0);
    }
    return s;
}

double rms(const std::vector<double>& s, std::size_t begin, std::size_t count) {
    double sum = 0.0;
    for (std::size_t j = begin; j < begin + count; ++j) {
        sum += s[j] * s[j];
    }
    return std::sqrt(sum / static_cast<double>(count));
}

double decibels(double ratio) {
    return 20.0 * std::log10(ratio);
}

// Power spectrum of a Hann-windowed block of 2^k samples (radix-2 FFT), bins 0..n/2-1.
std::vector<double> powerSpectrum(const std::vector<double>& s, std::size_t begin, std::size_t n) {
    std::vector<std::complex<double>> x(n);
    for (std::size_t j = 0; j < n; ++j) {
        const double w = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * j / n);
        x[j] = s[begin + j] * w;
    }
    for (std::size_t i = 1, j = 0; i < n; ++i) {
        std::size_t bit = n >> 1;
        for (; j & bit; bit >>= 1) {
            j ^= bit;
        }
        j ^= bit;
        if (i < j) {
            std::swap(x[i], x[j]);
        }
    }
    for (std::size_t len = 2; len <= n; len <<= 1) {
        const std::complex<double> wl = std::polar(1.0, -2.0 * std::numbers::pi / len);
        for (std::size_t i = 0; i < n; i += len) {
            std::complex<double> w = 1.0;
            for (std::size_t k = 0; k < len / 2; ++k) {
                const std::complex<double> u = x[i + k], v = x[i + k + len / 2] * w;
                x[i + k] = u + v;
                x[i + k + len / 2] = u - v;
                w *= wl;
            }
        }
    }
    std::vector<double> p(n / 2);
    for (std::size_t k = 0; k < n / 2; ++k) {
        p[k] = std::norm(x[k]);
    }
    return p;
}

struct SpectrumSummary {
    double shareAbove; // share of the power above the given frequency
    double centroid;   // Hz
};

SpectrumSummary summarise(const std::vector<double>& s, std::size_t begin, double above) {
    constexpr std::size_t kN = 4096;
    const std::vector<double> p = powerSpectrum(s, begin, kN);
    double total = 0.0, high = 0.0, moment = 0.0;
    for (std::size_t k = 0; k < p.size(); ++k) {
        const double f = k * kWaveRate / kN;
        total += p[k];
        moment += p[k] * f;
        if (f > above) {
            high += p[k];
        }
    }
    return {high / total, moment / total};
}

TEST(Waveforms, HaveTheirLengthsAndALoudBodyWithoutClipping) {
    const std::pair<const char*, std::size_t> expected[] = {
        {"ch", 8128}, {"oh", 24722}, {"cr", 32768}, {"rd", 32768}};
    for (const auto& [name, length] : expected) {
        const std::vector<double> s = samplesOf(name);
        ASSERT_EQ(s.size(), length) << name;
        double peak = 0.0;
        double energy = 0.0;
        const std::size_t body = 1248; // the first 40 ms at 31200 Hz
        for (std::size_t j = 0; j < s.size(); ++j) {
            peak = std::max(peak, std::fabs(s[j]));
            energy += j < body ? s[j] * s[j] : 0.0;
        }
        // As loud as the drums: the body sits near 0.3 RMS (a little less where peaks were
        // rounded off).
        EXPECT_GT(std::sqrt(energy / body), 0.25) << name;
        EXPECT_LT(std::sqrt(energy / body), 0.31) << name;
        EXPECT_LT(peak, 0.98) << name; // never at the rails
        EXPECT_GT(peak, 0.5) << name;
        EXPECT_LT(std::fabs(s.front()), 0.05) << name; // starts from silence
    }
}

TEST(Waveforms, HatsAreMetallicAndHigh) {
    for (const char* name : {"ch", "oh"}) {
        const std::vector<double> s = samplesOf(name);
        ASSERT_GE(s.size(), 4096u);
        const SpectrumSummary start = summarise(s, 0, 3000.0);
        EXPECT_GT(start.shareAbove, 0.95) << name;
        EXPECT_GT(start.centroid, 6000.0) << name;
    }
}

TEST(Waveforms, CymbalsAreBright) {
    for (const char* name : {"cr", "rd"}) {
        const std::vector<double> s = samplesOf(name);
        ASSERT_EQ(s.size(), 32768u);
        for (const std::size_t at : {0u, 12000u, 28000u}) {
            const SpectrumSummary sum = summarise(s, at, 2000.0);
            EXPECT_GT(sum.shareAbove, 0.85) << name << " at " << at;
            EXPECT_GT(sum.centroid, 3500.0) << name << " at " << at;
        }
    }
}

TEST(Waveforms, DecayShapesSuitEachInstrument) {
    const std::size_t w = 1560; // 50 ms
    // Closed hat: gone (40 dB down) within its 260 ms.
    const std::vector<double> ch = samplesOf("ch");
    ASSERT_EQ(ch.size(), 8128u);
    EXPECT_LT(decibels(rms(ch, ch.size() - w, w) / rms(ch, 0, w)), -30.0);
    EXPECT_LT(rms(ch, 3000, w), rms(ch, 0, w));

    // Open hat: still plainly audible where it is cut off (16128), falling all along.
    const std::vector<double> oh = samplesOf("oh");
    ASSERT_EQ(oh.size(), 24722u);
    const double ohCut = decibels(rms(oh, 16128 - w, w) / rms(oh, 0, w));
    EXPECT_GT(ohCut, -20.0);
    EXPECT_LT(ohCut, -3.0);

    // Crash and ride: long, still within 20 dB of the start after 0.9 s; never rising by much.
    for (const char* name : {"cr", "rd"}) {
        const std::vector<double> s = samplesOf(name);
        ASSERT_EQ(s.size(), 32768u);
        EXPECT_GT(decibels(rms(s, 28000, w) / rms(s, 0, w)), -20.0) << name;
        EXPECT_LT(decibels(rms(s, 28000, w) / rms(s, 0, w)), -3.0) << name;
        for (std::size_t at = 2 * w; at + w <= s.size(); at += w) {
            EXPECT_LT(rms(s, at, w), 1.1 * rms(s, at - w, w)) << name << " at " << at;
        }
    }
}

#ifdef VORPALIX_WAVEFORM_GENERATOR

std::vector<std::uint8_t> readFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::filesystem::path makeTempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vx-waves-XXXXXX").string();
    const char* made = mkdtemp(pattern.data());
    return made ? std::filesystem::path(made) : std::filesystem::path();
}

int runGenerator(const std::string& args) {
    const std::string command =
        std::string("'") + VORPALIX_WAVEFORM_GENERATOR + "' " + args + " 2>/dev/null";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(WaveformGenerator, IsDeterministicAndMatchesTheEmbeddedWaveforms) {
    const std::filesystem::path a = makeTempDir(), b = makeTempDir();
    ASSERT_FALSE(a.empty());
    ASSERT_FALSE(b.empty());
    ASSERT_EQ(runGenerator("'" + a.string() + "'"), 0);
    ASSERT_EQ(runGenerator("'" + b.string() + "'"), 0);
    for (const char* name : {"ch", "oh", "cr", "rd"}) {
        const std::vector<std::uint8_t> first = readFile(a / (std::string(name) + ".raw"));
        const std::vector<std::uint8_t> second = readFile(b / (std::string(name) + ".raw"));
        EXPECT_FALSE(first.empty()) << name;
        EXPECT_EQ(first, second) << name;
        const auto embedded = findResource(name);
        EXPECT_TRUE(std::equal(first.begin(), first.end(), embedded.begin(), embedded.end()))
            << name;
    }
    // Nothing but the four files (no temporary files left behind).
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(a),
                            std::filesystem::directory_iterator()),
              4);
    std::filesystem::remove_all(a);
    std::filesystem::remove_all(b);
}

TEST(WaveformGenerator, FailsCleanlyOnBadArguments) {
    EXPECT_NE(runGenerator(""), 0);
    EXPECT_NE(runGenerator("a b"), 0);
    const std::filesystem::path dir = makeTempDir();
    ASSERT_FALSE(dir.empty());
    { std::ofstream(dir / "file") << "x"; }
    // A regular file where the output directory should be.
    EXPECT_EQ(runGenerator("'" + (dir / "file" / "out").string() + "'"), 1);
    std::filesystem::remove_all(dir);
}

#endif

} // namespace
} // namespace vorpalix
