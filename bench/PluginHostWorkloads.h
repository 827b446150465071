#pragma once

// The plug-in workloads shared by the timed benchmarks and the fixed-length runs that
// callgrind counts: a host with the plug-in loaded, started and set up, ready for its first
// block.

#include <cstdlib>
#include <memory>
#include <string>

#include "PluginHost.h"

namespace vorpalix::bench {

constexpr double kBenchRate = 44100.0;

enum class Workload { Busy, Idle, FactoryChain };

// The plug-in file: VORPALIX_BENCH_PLUGIN when set, else the one built with this program.
inline std::string benchPluginPath() {
    const char* path = std::getenv("VORPALIX_BENCH_PLUGIN");
    return path != nullptr && *path != '\0' ? std::string(path) : std::string(VORPALIX_PLUGIN_PATH);
}

// Pattern 0 with every instrument on every step; the open hat on the first step of every other
// beat. The internal clock plays it in chain mode.
inline std::string busyChunk() {
    std::string x = "<VorpalixBank><PluginState><InternalSequencer state=\"on\" "
                    "sync=\"internal\" mode=\"chain\"/><PatternAttributeStore state=\"off\"/>"
                    "<PatternRange from=\"0\" to=\"0\"/></PluginState><PatternBank>"
                    "<Pattern name=\"busy\" length=\"16\" stepsPerBeat=\"4\" shuffle=\"0.000000\" "
                    "flam=\"0.500000\" totalAccent=\"0.500000\">";
    const char* rows[] = {"BD", "SD", "LT", "MT", "HT", "RS", "HC", "CH", "CR", "RD"};
    for (const char* row : rows) {
        x += std::string("<") + row + ">oooooooooooooooo</" + row + ">";
    }
    x += "<OH>o.......o.......</OH></Pattern></PatternBank></VorpalixBank>";
    return x;
}

inline std::string idleChunk() {
    return "<VorpalixBank><PluginState><InternalSequencer state=\"off\" sync=\"internal\" "
           "mode=\"chain\"/></PluginState></VorpalixBank>";
}

inline bool applyChunk(host::PluginHost& h, const std::string& chunk) {
    return h.setChunk(std::span<const std::uint8_t>(
               reinterpret_cast<const std::uint8_t*>(chunk.data()), chunk.size())) == 1;
}

// A started host playing the workload with blocks of `block` frames, or nothing (and `error`
// set) when the plug-in cannot be loaded or does not output 24 channels.
inline std::unique_ptr<host::PluginHost> loadWorkload(Workload workload, int block,
                                                      std::string& error) {
    host::HostOptions options;
    options.sampleRate = kBenchRate;
    options.blockSize = block;
    options.recordCalls = false;
    auto loaded = host::PluginHost::load(benchPluginPath(), options);
    if (!loaded) {
        error = loaded.message;
        return nullptr;
    }
    std::unique_ptr<host::PluginHost> h = std::move(loaded.host);
    if (h->numOutputs() != 24) {
        error = "the plug-in does not have 24 outputs";
        return nullptr;
    }
    h->start();
    switch (workload) {
    case Workload::Busy:
        if (!applyChunk(*h, busyChunk())) {
            error = "the plug-in refused the busy chunk";
            return nullptr;
        }
        h->setParameter(48, 1.0f);                                // Tempo: 303 BPM
        h->scheduleMidi(0, host::MidiMessage::noteOn(0, 0, 100)); // starts the chain
        break;
    case Workload::Idle:
        if (!applyChunk(*h, idleChunk())) {
            error = "the plug-in refused the idle chunk";
            return nullptr;
        }
        break;
    case Workload::FactoryChain:
        h->transport().setTempo(120.0);
        h->transport().setPlaying(true);
        break;
    }
    return h;
}

} // namespace vorpalix::bench
