// The whole plug-in as a host runs it, through the bundled host with 24 outputs at 44.1 kHz and
// the host reusing its block buffers. The counter "realtime" is seconds of audio rendered per CPU
// second.
//
// Workloads:
// - Busy: every instrument on every step at 303 BPM on the internal clock, the open hat on every
//   other beat so that it chokes the closed hat; all eleven voices sound all the time.
// - Idle: the sequencer off and nothing sounding; the 24 outputs are still written.
// - FactoryChain: the shipped state following a host at 120 BPM.
// Each runs with 256- and 32-frame blocks.
//
// The plug-in loaded is the one built beside this program, or the file named by the environment
// variable VORPALIX_BENCH_PLUGIN, so that one bench binary can time an older build of the plug-in
// right after the current one.

#include <benchmark/benchmark.h>

#include "PluginHostWorkloads.h"

namespace {

using namespace vorpalix::bench;

void runWorkload(benchmark::State& state, Workload workload) {
    const int block = static_cast<int>(state.range(0));
    std::string error;
    auto host = loadWorkload(workload, block, error);
    if (!host) {
        state.SkipWithError(error.c_str());
        return;
    }
    std::int64_t frames = 0;
    for (auto _ : state) {
        host->processBlock(block);
        frames += block;
    }
    state.counters["realtime"] =
        benchmark::Counter(static_cast<double>(frames) / kBenchRate, benchmark::Counter::kIsRate);
    host->close();
}

void BM_PluginBusy(benchmark::State& state) {
    runWorkload(state, Workload::Busy);
}
void BM_PluginIdle(benchmark::State& state) {
    runWorkload(state, Workload::Idle);
}
void BM_PluginFactoryChain(benchmark::State& state) {
    runWorkload(state, Workload::FactoryChain);
}

BENCHMARK(BM_PluginBusy)->Arg(256)->Arg(32)->Unit(benchmark::kMicrosecond)->MinTime(2.0);
BENCHMARK(BM_PluginIdle)->Arg(256)->Arg(32)->Unit(benchmark::kMicrosecond)->MinTime(2.0);
BENCHMARK(BM_PluginFactoryChain)->Arg(256)->Unit(benchmark::kMicrosecond)->MinTime(2.0);

} // namespace
