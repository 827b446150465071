// vorpalix-host: the bundled host with the plug-in's panel embedded in a window of its own, as a
// DAW embeds it: an audio thread runs the plug-in block by block at the pace of the sample rate
// (into no device: the sound is dropped), while the window's thread sends the editor calls.
// `vorpalix` is the program to play through a sound card; this one shows the panel anywhere an X
// display is, and is what the panel's tests drive.

#include "CommandLine.h"
#include "EditorWindow.h"
#include "LiveProcessor.h"
#include "NumberParsing.h"
#include "PluginHost.h"
#include "PluginLocator.h"
#include "Renderer.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace vorpalix::host;

constexpr int kSampleRate = 44100;
constexpr int kBlock = 256;
constexpr int kIdleMilliseconds = 25; // the editor's idle at 40 Hz, as hosts call it

std::atomic<bool> gQuit{false};

void requestQuit(int) {
    gQuit.store(true);
}

int fail(const std::string& message, int code = 1) {
    std::cerr << "vorpalix-host: " << message << std::endl;
    return code;
}

struct HostMainOptions {
    bool help = false;
    bool editor = false;
    bool play = false;
    double tempo = 120.0;
    double seconds = 0.0; // 0: until the window is closed
    std::string pluginPath;
    std::string statePath;
};

CommandLine hostCommandLine(HostMainOptions& o) {
    using Arity = CommandLine::Arity;
    CommandLine line;
    line.add({"--help", "-h", Arity::None, "", "show this help and exit",
              [&o](std::string_view, std::string&) { return o.help = true; }});
    line.add({"--editor", "", Arity::None, "", "open the plug-in's panel in a window",
              [&o](std::string_view, std::string&) { return o.editor = true; }});
    line.add({"--play", "", Arity::None, "", "the host's transport plays (at --tempo)",
              [&o](std::string_view, std::string&) { return o.play = true; }});
    line.add({"--tempo", "", Arity::Required, "BPM", "the host's tempo, 30 to 300 (default 120)",
              [&o](std::string_view value, std::string& error) {
                  if (!parseDouble(value, o.tempo) || o.tempo < 30.0 || o.tempo > 300.0) {
                      error = "--tempo needs a number from 30 to 300, not \"" + std::string(value) +
                              "\"";
                      return false;
                  }
                  return true;
              }});
    line.add({"--seconds", "", Arity::Required, "S",
              "close the window and quit after S seconds (default: when closed)",
              [&o](std::string_view value, std::string& error) {
                  if (!parseDouble(value, o.seconds) || o.seconds <= 0.0 || o.seconds > 86400.0) {
                      error =
                          "--seconds needs a positive number, not \"" + std::string(value) + "\"";
                      return false;
                  }
                  return true;
              }});
    line.add({"--state", "", Arity::Required, "FILE", "start from a saved state (VorpalixBank)",
              storeText(o.statePath, "--state needs a file")});
    line.add({"--plugin", "", Arity::Required, "PATH",
              "the plug-in to load (default: vorpalix.so beside this program)",
              storeText(o.pluginPath, "--plugin needs a path")});
    return line;
}

// The audio thread: one block after the other at the pace of the sample rate.
void runAudio(LiveProcessor& processor, int outputs, bool play, double tempo) {
    std::vector<std::vector<float>> buffers(static_cast<std::size_t>(outputs),
                                            std::vector<float>(kBlock));
    std::vector<float*> pointers;
    for (auto& buffer : buffers)
        pointers.push_back(buffer.data());
    const auto blockTime = std::chrono::microseconds(1000000LL * kBlock / kSampleRate);
    auto next = std::chrono::steady_clock::now();
    double frame = 0.0;
    while (!gQuit.load()) {
        LiveTime time;
        time.rolling = play;
        time.hasTempo = play;
        time.bpm = tempo;
        time.frame = frame;
        time.ppq = frame / kSampleRate * tempo / 60.0;
        processor.beginBlock();
        processor.process(pointers.data(), kBlock, time);
        frame += kBlock;
        next += blockTime;
        std::this_thread::sleep_until(next);
    }
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    HostMainOptions options;
    std::string error;
    if (!hostCommandLine(options).parse(args, error))
        return fail(error, 2);
    if (options.help) {
        std::cout << "Usage: vorpalix-host --editor [options]\n"
                     "Runs the plug-in with its panel embedded in a window, as a DAW does.\n\n"
                     "Options:\n"
                  << hostCommandLine(options).help();
        return 0;
    }
    if (!options.editor)
        return fail("nothing to do: give --editor", 2);
    std::vector<std::uint8_t> state;
    if (!readRenderState(options.statePath, state, error))
        return fail(error);
    const std::string plugin = locatePlugin(options.pluginPath, error);
    if (plugin.empty())
        return fail(error);

    HostOptions hostOptions;
    hostOptions.sampleRate = kSampleRate;
    hostOptions.blockSize = kBlock;
    hostOptions.recordCalls = false;
    LoadResult loaded = PluginHost::load(plugin, hostOptions);
    if (!loaded)
        return fail(loaded.message);
    PluginHost& host = *loaded.host;
    host.start();
    if (!state.empty())
        host.setChunk(state);

    std::unique_ptr<EditorWindow> window = EditorWindow::open(host, "Vorpalix", error);
    if (!window)
        return fail(error);
    std::signal(SIGINT, requestQuit);
    std::signal(SIGTERM, requestQuit);

    LiveProcessor processor(host);
    std::thread audio(runAudio, std::ref(processor), host.numOutputs(), options.play,
                      options.tempo);
    const auto end = std::chrono::steady_clock::now() +
                     std::chrono::milliseconds(static_cast<long long>(options.seconds * 1000.0));
    while (!gQuit.load()) {
        window->idle();
        if (window->takeCloseRequest())
            break;
        if (options.seconds > 0.0 && std::chrono::steady_clock::now() >= end)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(kIdleMilliseconds));
    }
    window.reset();
    gQuit.store(true);
    audio.join();
    host.close();
    return 0;
}
