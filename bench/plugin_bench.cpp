// The whole plug-in as a host runs it: 24 outputs, blocks of 256 frames, host transport playing
// so that the factory chain sequences every instrument. Reports seconds of audio rendered per
// CPU second ("realtime" counter).

#include <benchmark/benchmark.h>

#include "PluginHost.h"

namespace {

void BM_PluginThroughHost(benchmark::State& state) {
    using namespace vorpalix::host;
    HostOptions options;
    options.sampleRate = 44100.0;
    options.blockSize = 256;
    options.recordCalls = false;
    auto loaded = PluginHost::load(VORPALIX_PLUGIN_PATH, options);
    if (!loaded) {
        state.SkipWithError(loaded.message.c_str());
        return;
    }
    PluginHost& host = *loaded.host;
    host.start();
    host.transport().setTempo(120.0);
    host.transport().setPlaying(true);
    constexpr int kBlock = 256;
    std::int64_t frames = 0;
    for (auto _ : state) {
        host.processBlock(kBlock);
        frames += kBlock;
    }
    state.counters["realtime"] = benchmark::Counter(
        static_cast<double>(frames) / options.sampleRate, benchmark::Counter::kIsRate);
    host.close();
}
BENCHMARK(BM_PluginThroughHost)->Unit(benchmark::kMicrosecond)->MinTime(2.0);

} // namespace
