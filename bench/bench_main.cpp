// The bench program's entry. Without options of its own it runs the Google benchmarks. With
// "--render WORKLOAD BLOCK SECONDS" it only plays that plug-in workload (busy, idle or factory)
// for the given seconds of audio and exits, so that an instruction counter such as callgrind can
// measure a fixed amount of work; the difference of two such runs of different length is the cost
// of the frames in between, without the loading.

#include <benchmark/benchmark.h>

#include <charconv>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "PluginHostWorkloads.h"

namespace {

using namespace vorpalix::bench;

template <typename T> bool parseNumber(std::string_view text, T& value) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size();
}

int renderOnly(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: %s --render busy|idle|factory BLOCK SECONDS\n", argv[0]);
        return 2;
    }
    const std::string_view name = argv[2];
    Workload workload = Workload::Busy;
    if (name == "idle") {
        workload = Workload::Idle;
    } else if (name == "factory") {
        workload = Workload::FactoryChain;
    } else if (name != "busy") {
        std::fprintf(stderr, "%s: unknown workload \"%s\"\n", argv[0], argv[2]);
        return 2;
    }
    int block = 0;
    double seconds = 0.0;
    if (!parseNumber(argv[3], block) || block < 1 || block > 8192) {
        std::fprintf(stderr, "%s: block must be 1..8192 frames\n", argv[0]);
        return 2;
    }
    if (!parseNumber(argv[4], seconds) || !(seconds > 0.0 && seconds <= 3600.0)) {
        std::fprintf(stderr, "%s: seconds must be above 0 and at most 3600\n", argv[0]);
        return 2;
    }
    std::string error;
    auto host = loadWorkload(workload, block, error);
    if (!host) {
        std::fprintf(stderr, "%s: %s\n", argv[0], error.c_str());
        return 1;
    }
    const auto blocks = static_cast<long long>(seconds * kBenchRate / block);
    for (long long b = 0; b < blocks; ++b) {
        host->processBlock(block);
    }
    std::printf("%lld frames\n", blocks * block);
    host->close();
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--render") == 0) {
        return renderOnly(argc, argv);
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
