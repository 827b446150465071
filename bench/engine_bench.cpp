// Rendering speed of the drum engine and of the bass drum, snare and tom voices at 44.1 kHz.
// The counter audio_s_per_cpu_s is the seconds of audio rendered per CPU second.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>

#include "dsp/BassDrumVoice.h"
#include "dsp/DrumEngine.h"
#include "dsp/SnareDrumVoice.h"
#include "dsp/TomVoice.h"

namespace {

using namespace vorpalix;

constexpr int kBlock = 512;
constexpr int kRetriggerFrames = 5512; // every 125 ms, so the voices never fall idle
constexpr double kRate = 44100.0;

void reportRate(benchmark::State& state) {
    state.counters["audio_s_per_cpu_s"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * kBlock / kRate, benchmark::Counter::kIsRate);
}

template <class V> void renderVoice(benchmark::State& state, V& voice) {
    voice.setSampleRate(static_cast<float>(kRate));
    voice.setLevel(0.8);
    std::uint32_t noise = 0x2545F491u;
    int untilTrigger = 0;
    double sink = 0.0;
    for (auto _ : state) {
        for (int n = 0; n < kBlock; ++n) {
            if (untilTrigger-- == 0) {
                voice.trigger(0.37795275f);
                untilTrigger = kRetriggerFrames;
            }
            noise = noise * 1664525u + 1013904223u;
            const double white = static_cast<std::int32_t>(noise) * 0x1p-32;
            sink += voice.render(FrameInputs{white, 0.25 * white});
        }
        benchmark::DoNotOptimize(sink);
    }
    reportRate(state);
}

void BM_BassDrumVoice(benchmark::State& state) {
    BassDrumVoice v;
    renderVoice(state, v);
}

void BM_SnareDrumVoice(benchmark::State& state) {
    SnareDrumVoice v;
    renderVoice(state, v);
}

void BM_TomVoice(benchmark::State& state) {
    TomVoice v(TomVoice::kLowTom);
    renderVoice(state, v);
}

// The whole engine; `instruments` of them (from BD on) are struck every 125 ms.
void renderEngine(benchmark::State& state, int instruments) {
    auto engine = std::make_unique<DrumEngine>();
    engine->setSampleRate(static_cast<float>(kRate));
    for (int p = 0; p < 48; ++p) {
        engine->setEngineParameter(p, 0.5f);
    }
    OutputFrame out;
    int untilTrigger = 0;
    float sink = 0.0f;
    for (auto _ : state) {
        for (int n = 0; n < kBlock; ++n) {
            if (untilTrigger-- == 0) {
                for (int i = 0; i < instruments; ++i) {
                    engine->triggerStep(i, false, false);
                }
                untilTrigger = kRetriggerFrames;
            }
            engine->renderFrame(out);
            sink += out.values[0];
        }
        benchmark::DoNotOptimize(sink);
    }
    reportRate(state);
}

void BM_EngineBassDrumOnly(benchmark::State& state) {
    renderEngine(state, 1);
}
void BM_EngineAllInstruments(benchmark::State& state) {
    renderEngine(state, kNumInstruments);
}

BENCHMARK(BM_BassDrumVoice);
BENCHMARK(BM_SnareDrumVoice);
BENCHMARK(BM_TomVoice);
BENCHMARK(BM_EngineBassDrumOnly);
BENCHMARK(BM_EngineAllInstruments);

} // namespace
