#pragma once

#include "CommandLine.h"
#include "TimedEvent.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace vorpalix::host {

// Everything the vorpalix-render command line can ask for.
struct RenderOptions {
    bool help = false;
    bool info = false;
    bool quiet = false;
    bool accumulate = false;   // render with `process` instead of `processReplacing`
    bool allOutputs = false;   // -o gets every output instead of the master pair
    std::string pluginPath;    // empty: vorpalix.so beside the executable
    std::string outputPath;    // -o
    std::string stemsFolder;   // --stems
    std::string midiPath;      // --export-midi: what the sequencer played, as a MIDI file
    std::string statePath;     // --state: a VorpalixBank document applied before rendering
    std::string saveStatePath; // --save-state: where the state is written after rendering
    std::optional<double> seconds;
    std::optional<double> bars;
    int sampleRate = 44100;
    int blockSize = 256;
    double tempo = 120.0;
    std::vector<TimedEvent> events;
    // --patterns: the chain range first..last chosen with MIDI pattern keys before the song
    // starts (chain mode), so the render plays those factory patterns in turn.
    std::optional<std::pair<int, int>> patterns;
    // --screenshot: a picture of the panel (PNG) is written instead of audio, after the clicks
    // given with --click (panel pixels, in order).
    std::string screenshotPath;
    std::vector<std::pair<int, int>> clicks;

    static constexpr double kDefaultBars = 4.0;
    static constexpr int kMinRate = 1000;
    static constexpr int kMaxRate = 768000;
    static constexpr int kMaxBlock = 65536;
    static constexpr double kMinTempo = 1.0;
    static constexpr double kMaxTempo = 999.0;
    static constexpr double kMaxSeconds = 86400.0;
    static constexpr int kMaxClickCoordinate = 4095;

    // Length of the render from --seconds, --bars (4/4 at the tempo) or the default.
    double lengthInSeconds() const;
    // The same in frames, rounded; call only after parseRenderOptions accepted the length.
    std::int64_t lengthInFrames() const;
};

// The option table of vorpalix-render, writing into `options`.
CommandLine renderCommandLine(RenderOptions& options);

// Parses the arguments (without the program name) and checks that they fit together. Returns
// false with a one-line message.
bool parseRenderOptions(std::span<const std::string> args, RenderOptions& options,
                        std::string& error);

// The complete --help text.
std::string renderHelpText();

} // namespace vorpalix::host
