// Rendering speed of the whole drum engine at 44.1 kHz. The counter audio_s_per_cpu_s is the
// seconds of audio rendered per CPU second.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>

#include "dsp/DrumEngine.h"

namespace {

using namespace vorpalix;

constexpr int kBlock = DrumEngine::kMaxFrames;
constexpr int kRetriggerFrames = 5512; // every 125 ms, so the voices never fall idle
constexpr double kRate = 44100.0;

void reportRate(benchmark::State& state) {
    state.counters["audio_s_per_cpu_s"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * kBlock / kRate, benchmark::Counter::kIsRate);
}

// The whole engine, block by block; `instruments` of them (from BD on) are struck every 125 ms,
// the block split at the frame of the strike.
void renderEngine(benchmark::State& state, int instruments) {
    auto engine = std::make_unique<DrumEngine>();
    engine->setSampleRate(static_cast<float>(kRate));
    for (int p = 0; p < 48; ++p) {
        engine->setEngineParameter(p, 0.5f);
    }
    int untilTrigger = 0;
    float sink = 0.0f;
    for (auto _ : state) {
        engine->beginBlock();
        int rendered = 0;
        while (untilTrigger < kBlock - rendered) {
            engine->render(rendered, untilTrigger);
            rendered += untilTrigger;
            for (int i = 0; i < instruments; ++i) {
                engine->triggerStep(i, false, false);
            }
            untilTrigger = kRetriggerFrames;
        }
        engine->render(rendered, kBlock - rendered);
        untilTrigger -= kBlock - rendered;
        sink += engine->output(OutputFrame::kMaster)[kBlock - 1];
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

BENCHMARK(BM_EngineBassDrumOnly);
BENCHMARK(BM_EngineAllInstruments);

} // namespace
