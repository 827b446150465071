#pragma once

#include "CommandLine.h"

#include <span>
#include <string>

namespace vorpalix::host {

// Everything the vorpalix command line can ask for.
struct StandaloneOptions {
    enum class Audio { Auto, Jack, Alsa };

    bool help = false;
    bool noGui = false;
    bool noConnect = false;
    std::string statePath;  // --state: start from this file instead of the saved state
    std::string pluginPath; // --plugin
    std::string clientName = "Vorpalix";
    Audio audio = Audio::Auto;
    int rate = 48000; // ALSA only; JACK sets its own
    int period = 256; // ALSA only
};

CommandLine standaloneCommandLine(StandaloneOptions& options);
// Parses the arguments (without the program name). False with a one-line message.
bool parseStandaloneOptions(std::span<const std::string> args, StandaloneOptions& options,
                            std::string& error);
std::string standaloneHelpText();

} // namespace vorpalix::host
