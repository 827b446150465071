// The factory presets of the embedded settings document: their shape, and what they sound like,
// measured by rendering one hit of every preset through the engine.
//
// Set VORPALIX_PRINT_PRESETS=1 to print the measured figures of every preset.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdlib>
#include <iomanip>
#include <iostream>
#include <numbers>
#include <set>
#include <vector>

#include "dsp/DrumEngine.h"
#include "presets/PresetBank.h"
#include "presets/PresetTestSupport.h"
#include "state/StateTestSupport.h"

namespace vorpalix::test {
namespace {

constexpr double kRate = 44100.0;
constexpr int kMaxFrames = 4 * 44100; // longest hit rendered
constexpr int kWindow = 882;          // 20 ms envelope windows
constexpr int kSpectrumFrames = 8192; // first 186 ms for the spectrum
constexpr double kFloorDb = -60.0;    // figures below this are taken as silence

// What one rendered hit looks like, as numbers.
struct HitFigures {
    bool finite = true;
    double peak = 0.0;
    double length = 0.0;            // seconds until the 20 ms level stays 40 dB below its peak
    std::vector<double> envelopeDb; // 20 ms RMS windows, dB relative to the loudest window
    std::vector<double> spectrumDb; // third-octave band energies, dB relative to the loudest
    double centroid = 0.0;          // spectral centroid in Hz
};

// Renders one plain hit of the instrument with the preset's knob values through a fresh engine.
std::vector<double> renderHit(int instrument, const InstrumentPreset& preset) {
    DrumEngine engine;
    engine.setSampleRate(static_cast<float>(kRate));
    for (int k = 0; k < preset.count(); ++k) {
        engine.setEngineParameter(preset.firstParameter() + k, preset.value(k));
    }
    engine.triggerStep(instrument, false, false);
    std::vector<double> out;
    out.reserve(kMaxFrames);
    OutputFrame frame{};
    for (int n = 0; n < kMaxFrames; ++n) {
        engine.renderFrame(frame);
        out.push_back(engine.voiceOutput(instrument));
        if (!engine.isPlaying(instrument) && n > kSpectrumFrames) {
            break;
        }
    }
    return out;
}

std::vector<double> thirdOctaveCentres() {
    std::vector<double> centres;
    for (double f = 31.5; f < 18000.0; f *= std::pow(2.0, 1.0 / 3.0)) {
        centres.push_back(f);
    }
    return centres;
}

// In-place radix-2 FFT; the size is a power of two.
void fft(std::vector<std::complex<double>>& a) {
    const std::size_t n = a.size();
    for (std::size_t i = 1, j = 0; i < n; ++i) {
        std::size_t bit = n >> 1;
        for (; j & bit; bit >>= 1) {
            j ^= bit;
        }
        j ^= bit;
        if (i < j) {
            std::swap(a[i], a[j]);
        }
    }
    for (std::size_t length = 2; length <= n; length <<= 1) {
        const double angle = -2.0 * std::numbers::pi / static_cast<double>(length);
        const std::complex<double> wLength(std::cos(angle), std::sin(angle));
        for (std::size_t i = 0; i < n; i += length) {
            std::complex<double> w(1.0, 0.0);
            for (std::size_t k = 0; k < length / 2; ++k) {
                const std::complex<double> u = a[i + k];
                const std::complex<double> v = a[i + k + length / 2] * w;
                a[i + k] = u + v;
                a[i + k + length / 2] = u - v;
                w *= wLength;
            }
        }
    }
}

HitFigures measure(const std::vector<double>& x) {
    HitFigures h;
    for (double v : x) {
        h.finite = h.finite && std::isfinite(v);
        h.peak = std::max(h.peak, std::abs(v));
    }
    if (!h.finite) {
        return h;
    }
    // Envelope.
    std::vector<double> rms;
    for (std::size_t start = 0; start + kWindow <= x.size(); start += kWindow) {
        double sum = 0.0;
        for (int n = 0; n < kWindow; ++n) {
            sum += x[start + n] * x[start + n];
        }
        rms.push_back(std::sqrt(sum / kWindow));
    }
    const double loudest = rms.empty() ? 0.0 : *std::max_element(rms.begin(), rms.end());
    std::size_t last = 0;
    for (std::size_t w = 0; w < rms.size(); ++w) {
        const double db =
            loudest > 0.0 && rms[w] > 0.0 ? 20.0 * std::log10(rms[w] / loudest) : kFloorDb;
        h.envelopeDb.push_back(std::max(db, kFloorDb));
        if (db > -40.0) {
            last = w + 1;
        }
    }
    h.length = static_cast<double>(last * kWindow) / kRate;

    // Spectrum of the first frames (Hann window), summed into third-octave bands.
    const std::vector<double> centres = thirdOctaveCentres();
    std::vector<double> bands(centres.size(), 0.0);
    const int n = kSpectrumFrames;
    std::vector<std::complex<double>> bins(n);
    for (int t = 0; t < n; ++t) {
        const double w = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * t / (n - 1));
        bins[t] = t < static_cast<int>(x.size()) ? x[t] * w : 0.0;
    }
    fft(bins);
    double weighted = 0.0;
    double total = 0.0;
    for (int k = 1; k < n / 2; ++k) {
        const double f = k * kRate / n;
        const double power = std::norm(bins[k]);
        weighted += power * f;
        total += power;
        for (std::size_t b = 0; b < centres.size(); ++b) {
            const double lo = centres[b] / std::pow(2.0, 1.0 / 6.0);
            const double hi = centres[b] * std::pow(2.0, 1.0 / 6.0);
            if (f >= lo && f < hi) {
                bands[b] += power;
            }
        }
    }
    h.centroid = total > 0.0 ? weighted / total : 0.0;
    const double strongest = *std::max_element(bands.begin(), bands.end());
    for (double p : bands) {
        const double db = strongest > 0.0 && p > 0.0 ? 10.0 * std::log10(p / strongest) : kFloorDb;
        h.spectrumDb.push_back(std::max(db, kFloorDb));
    }
    return h;
}

// Mean absolute difference in dB over the entries where either figure is above the floor.
double meanDifference(const std::vector<double>& a, const std::vector<double>& b) {
    const std::size_t size = std::max(a.size(), b.size());
    double sum = 0.0;
    int count = 0;
    for (std::size_t i = 0; i < size; ++i) {
        const double va = i < a.size() ? a[i] : kFloorDb;
        const double vb = i < b.size() ? b[i] : kFloorDb;
        if (va > kFloorDb || vb > kFloorDb) {
            sum += std::abs(va - vb);
            ++count;
        }
    }
    return count > 0 ? sum / count : 0.0;
}

bool nameSaysSilent(const std::string& name) {
    std::string lower;
    for (char c : name) {
        lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return lower.find("silent") != std::string::npos || lower.find("mute") != std::string::npos;
}

class FactoryPresetsTest : public ::testing::Test {
protected:
    std::unique_ptr<DrumPlugin> plugin = makePlugin();
    PresetBank& bank = plugin->controller().presets();
};

TEST_F(FactoryPresetsTest, EmbeddedBankHoldsThirtyTwoPresetsPerInstrumentInOrder) {
    const XmlDocument settings = state_test::parseEmbeddedSettings();
    const xmlNode* element = state_test::childNamed(settings.root(), "InstrumentPresetBank");
    ASSERT_NE(element, nullptr);
    std::vector<int> counts(11, 0);
    int position = 0;
    for (const xmlNode* child : elementChildren(element)) {
        const int i = instrumentOfPresetElement(elementName(child));
        ASSERT_GE(i, 0) << elementName(child);
        EXPECT_EQ(i, position / 32) << "presets are listed instrument by instrument";
        ++counts[i];
        ++position;
        // Every knob is given, by its name, with a value in range written as "%f".
        int params = 0;
        for (const xmlNode* param : elementChildren(child)) {
            EXPECT_EQ(attribute(param, "name"), kInstrumentLayouts[i].knobNames[params]);
            const auto value = attribute(param, "value");
            ASSERT_TRUE(value);
            EXPECT_EQ(value->size(), 8u) << *value;
            ++params;
        }
        EXPECT_EQ(params, kInstrumentLayouts[i].count);
    }
    EXPECT_EQ(counts, std::vector<int>(11, 32));
}

TEST_F(FactoryPresetsTest, NamesAreShortUniqueAndPresetZeroIsTheTablesDefault) {
    for (int i = 0; i < 11; ++i) {
        std::set<std::string> names;
        for (int s = 0; s < 32; ++s) {
            const std::string& name = bank.preset(i, s).name();
            EXPECT_FALSE(name.empty());
            EXPECT_LE(name.size(), 23u);
            EXPECT_NE(name, "Default") << "every factory slot is named";
            EXPECT_TRUE(names.insert(name).second) << "duplicate name " << name;
        }
        const InstrumentPreset& first = bank.preset(i, 0);
        for (int k = 0; k < first.count(); ++k) {
            EXPECT_FLOAT_EQ(
                first.value(k),
                plugin->controller().parameters().info(first.firstParameter() + k).defaultValue)
                << kInstrumentLayouts[i].knobNames[k];
        }
        EXPECT_EQ(bank.selection(i), 0);
    }
}

// The yardstick itself: a level change alone must not count as a new sound, while a decay or
// tuning change must.
TEST_F(FactoryPresetsTest, DistanceIgnoresLevelAndSeesDecayAndTuning) {
    InstrumentPreset base(0);
    InstrumentPreset louder(0);
    InstrumentPreset longer(0);
    InstrumentPreset higher(0);
    for (int k = 0; k < 6; ++k) {
        const float d = plugin->controller().parameters().info(k).defaultValue;
        base.setValue(k, d);
        louder.setValue(k, d);
        longer.setValue(k, d);
        higher.setValue(k, d);
    }
    louder.setValue(0, 0.9f);  // BD Level
    longer.setValue(4, 0.75f); // BD Decay
    higher.setValue(2, 1.0f);  // BD Pitch
    const HitFigures a = measure(renderHit(0, base));
    const HitFigures b = measure(renderHit(0, louder));
    const HitFigures c = measure(renderHit(0, longer));
    const HitFigures d = measure(renderHit(0, higher));
    EXPECT_NEAR(b.peak / a.peak, 0.9 / 0.5, 1e-6);
    EXPECT_LT(meanDifference(a.envelopeDb, b.envelopeDb), 0.1);
    EXPECT_LT(meanDifference(a.spectrumDb, b.spectrumDb), 0.1);
    EXPECT_GT(meanDifference(a.envelopeDb, c.envelopeDb), 2.0);
    EXPECT_GT(c.length, 2.0 * a.length);
    EXPECT_GT(meanDifference(a.spectrumDb, d.spectrumDb), 2.0);
    EXPECT_GT(d.centroid, a.centroid);
}

TEST_F(FactoryPresetsTest, EveryPresetSoundsFiniteAudibleAndUnlikeItsNeighbours) {
    const bool print = std::getenv("VORPALIX_PRINT_PRESETS") != nullptr;
    for (int i = 0; i < 11; ++i) {
        std::vector<HitFigures> figures;
        for (int s = 0; s < 32; ++s) {
            const InstrumentPreset& p = bank.preset(i, s);
            figures.push_back(measure(renderHit(i, p)));
            const HitFigures& h = figures.back();
            EXPECT_TRUE(h.finite) << p.name();
            if (!nameSaysSilent(p.name())) {
                // -30 dBFS: a plain sequencer hit that a listener clearly hears.
                EXPECT_GT(h.peak, 0.0316)
                    << kInstrumentLayouts[i].code << " " << s << " " << p.name() << " is too quiet";
            }
            double envelopeStep = 0.0;
            double spectrumStep = 0.0;
            if (s > 0) {
                envelopeStep = meanDifference(h.envelopeDb, figures[s - 1].envelopeDb);
                spectrumStep = meanDifference(h.spectrumDb, figures[s - 1].spectrumDb);
                // Level alone does not make a new sound: the shape of the envelope or of the
                // spectrum must differ by 2 dB on average.
                EXPECT_TRUE(envelopeStep >= 2.0 || spectrumStep >= 2.0)
                    << kInstrumentLayouts[i].code << " " << s << " " << p.name() << " sounds like "
                    << bank.preset(i, s - 1).name() << " (envelope " << envelopeStep
                    << " dB, spectrum " << spectrumStep << " dB)";
            }
            if (print) {
                std::cout << std::fixed << std::setprecision(3) << kInstrumentLayouts[i].code << " "
                          << std::setw(2) << s << " " << std::left << std::setw(24) << p.name()
                          << std::right << " peak " << h.peak << " length " << h.length
                          << " s centroid " << std::setprecision(0) << std::setw(6) << h.centroid
                          << " Hz  d-env " << std::setprecision(1) << envelopeStep << " d-spectrum "
                          << spectrumStep << "\n";
            }
        }
    }
}

} // namespace
} // namespace vorpalix::test
