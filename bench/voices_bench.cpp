// Per-voice rendering speed: each voice is struck every 125 ms (so it never falls idle) and
// rendered in blocks of 256 frames at 44.1 kHz. The counter audio_s_per_cpu_s is the seconds of
// audio one voice renders per CPU second.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>

#include "dsp/BassDrumVoice.h"
#include "dsp/HandClapVoice.h"
#include "dsp/RimShotVoice.h"
#include "dsp/SampleVoice.h"
#include "dsp/SnareDrumVoice.h"
#include "dsp/TomVoice.h"

namespace {

using namespace vorpalix;

constexpr int kBlock = 256;
constexpr int kRetriggerFrames = 5512; // 125 ms at 44.1 kHz
constexpr double kRate = 44100.0;

template <class V> void renderRetriggered(benchmark::State& state, V& voice) {
    voice.setSampleRate(static_cast<float>(kRate));
    voice.setLevel(0.8);
    std::uint32_t noise = 0x2545F491u;
    double white[kBlock];
    double tomNoise[kBlock];
    double out[kBlock];
    int untilTrigger = 0;
    double sink = 0.0;
    for (auto _ : state) {
        for (int n = 0; n < kBlock; ++n) {
            noise = noise * 1664525u + 1013904223u;
            white[n] = static_cast<std::int32_t>(noise) * 0x1p-32;
            tomNoise[n] = 0.25 * white[n];
        }
        // The block is split at the retrigger, as the engine splits it.
        int done = 0;
        while (done < kBlock) {
            const int length = std::min(kBlock - done, untilTrigger);
            if (length == 0) {
                voice.trigger(0.37795275f);
                untilTrigger = kRetriggerFrames;
                continue;
            }
            voice.render(SpanInputs{white + done, tomNoise + done}, out + done, length);
            done += length;
            untilTrigger -= length;
        }
        sink += out[kBlock - 1];
        benchmark::DoNotOptimize(sink);
    }
    state.counters["audio_s_per_cpu_s"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * kBlock / kRate, benchmark::Counter::kIsRate);
}

void BM_BassDrumVoice(benchmark::State& state) {
    BassDrumVoice v;
    renderRetriggered(state, v);
}

void BM_SnareDrumVoice(benchmark::State& state) {
    SnareDrumVoice v;
    renderRetriggered(state, v);
}

void BM_TomVoice(benchmark::State& state) {
    TomVoice v(TomVoice::kLowTom);
    renderRetriggered(state, v);
}

void BM_RimShotVoice(benchmark::State& state) {
    RimShotVoice v;
    renderRetriggered(state, v);
}

void BM_HandClapVoice(benchmark::State& state) {
    HandClapVoice v;
    renderRetriggered(state, v);
}

void BM_SampleVoice(benchmark::State& state, const char* name) {
    SampleVoice v(name);
    renderRetriggered(state, v);
}

// The four hats and cymbals together, side by side as the engine renders them.
void BM_SampleVoicesTogether(benchmark::State& state) {
    SampleVoice ch("ch"), oh("oh"), cr("cr"), rd("rd");
    SampleVoice* const voices[4] = {&ch, &oh, &cr, &rd};
    for (SampleVoice* v : voices) {
        v->setSampleRate(static_cast<float>(kRate));
        v->setLevel(0.8);
    }
    double out[4][kBlock];
    double* const outs[4] = {out[0], out[1], out[2], out[3]};
    const double zeros[kBlock] = {};
    int untilTrigger = 0;
    double sink = 0.0;
    for (auto _ : state) {
        int done = 0;
        while (done < kBlock) {
            const int length = std::min(kBlock - done, untilTrigger);
            if (length == 0) {
                for (SampleVoice* v : voices) {
                    v->trigger(0.37795275f);
                }
                untilTrigger = kRetriggerFrames;
                continue;
            }
            double* const part[4] = {outs[0] + done, outs[1] + done, outs[2] + done,
                                     outs[3] + done};
            SampleVoice::renderGroup(voices, part, 4, SpanInputs{zeros, zeros}, length);
            done += length;
            untilTrigger -= length;
        }
        sink += out[3][kBlock - 1];
        benchmark::DoNotOptimize(sink);
    }
    state.counters["audio_s_per_cpu_s"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * kBlock / kRate, benchmark::Counter::kIsRate);
}

} // namespace

BENCHMARK(BM_SampleVoicesTogether);
BENCHMARK(BM_BassDrumVoice);
BENCHMARK(BM_SnareDrumVoice);
BENCHMARK(BM_TomVoice);
BENCHMARK(BM_RimShotVoice);
BENCHMARK(BM_HandClapVoice);
BENCHMARK_CAPTURE(BM_SampleVoice, ClosedHat, "ch");
BENCHMARK_CAPTURE(BM_SampleVoice, OpenHat, "oh");
BENCHMARK_CAPTURE(BM_SampleVoice, Crash, "cr");
BENCHMARK_CAPTURE(BM_SampleVoice, Ride, "rd");
