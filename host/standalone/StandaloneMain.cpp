// vorpalix: the drum machine as a program of its own. Loads vorpalix.so through the bundled
// host and plays it live through JACK (or ALSA), with MIDI input, the panel in a window of its
// own, the state kept between runs and session management over NSM.

#include "AlsaBackend.h"
#include "ChunkSummary.h"
#include "EditorWindow.h"
#include "JackBackend.h"
#include "LiveProcessor.h"
#include "NsmClient.h"
#include "PluginHost.h"
#include "PluginLocator.h"
#include "SavedState.h"
#include "StandaloneOptions.h"
#include "StemPlan.h"

#include <time.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace vorpalix::host;

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
constexpr const char* kMidiPortName = "Vorpalix MIDI In";
constexpr const char* kWindowTitle = "Vorpalix";
constexpr int kLoopMilliseconds = 25;        // the main loop, and the editor's idle, at 40 Hz
constexpr int kOpenWaitMilliseconds = 30000; // how long a session manager may take to open us

volatile std::sig_atomic_t gQuit = 0;

void onSignal(int) {
    gQuit = 1;
}

void installSignalHandlers() {
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

std::string oneLine(std::string text) {
    for (char& c : text)
        if (c == '\n' || c == '\r')
            c = ' ';
    return text;
}

int fail(const std::string& message, int code = kExitFailure) {
    std::cerr << "vorpalix: " << oneLine(message) << std::endl;
    return code;
}

void note(const std::string& message) {
    std::cerr << "vorpalix: " << oneLine(message) << std::endl;
}

void sleepMilliseconds(int milliseconds) {
    timespec pause{0, milliseconds * 1000000L};
    nanosleep(&pause, nullptr);
}

// Connects to JACK, or ALSA when allowed; the plug-in is set up for the rate it reports.
std::unique_ptr<AudioBackend> openAudio(const StandaloneOptions& options,
                                        const std::string& clientName, std::string& error) {
    std::string jackError;
    if (options.audio != StandaloneOptions::Audio::Alsa) {
        if (auto jack = JackBackend::open(clientName, jackError))
            return jack;
        if (options.audio == StandaloneOptions::Audio::Jack) {
            error = jackError;
            return nullptr;
        }
    }
    std::string alsaError;
    if (auto alsa = AlsaBackend::open(options.rate, options.period, alsaError))
        return alsa;
    error = options.audio == StandaloneOptions::Audio::Alsa ? alsaError
                                                            : "no JACK server and " + alsaError;
    return nullptr;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    StandaloneOptions options;
    std::string error;
    if (!parseStandaloneOptions(args, options, error))
        return fail(error, kExitUsage);
    if (options.help) {
        std::cout << standaloneHelpText();
        return 0;
    }
    installSignalHandlers();
    const std::string pluginPath = locatePlugin(options.pluginPath, error);
    if (pluginPath.empty())
        return fail(error);

    // Where the state comes from and goes to: the session's folder under a session manager,
    // else --state (read only) or the saved state of the last run.
    std::unique_ptr<NsmClient> nsm;
    std::string clientName = options.clientName;
    std::string savePath;
    std::vector<std::uint8_t> state;
    if (const char* url = std::getenv("NSM_URL"); url != nullptr && url[0] != '\0') {
        nsm = NsmClient::connect(url, error);
        if (!nsm)
            return fail(error);
        nsm->announce(argc > 0 ? std::filesystem::path(argv[0]).filename().string() : "vorpalix");
        std::optional<NsmClient::OpenRequest> open;
        for (int waited = 0; !open && !gQuit && waited < kOpenWaitMilliseconds;
             waited += kLoopMilliseconds) {
            nsm->poll(kLoopMilliseconds);
            open = nsm->takeOpen();
        }
        if (!open)
            return fail(gQuit ? "stopped before the session manager opened a session"
                              : "the session manager sent no open request");
        std::error_code ec;
        std::filesystem::create_directories(open->path, ec);
        savePath = (std::filesystem::path(open->path) / "state.xml").string();
        if (!open->clientId.empty())
            clientName = open->clientId;
        if (std::filesystem::exists(savePath, ec) && !readStateFile(savePath, state, error)) {
            nsm->fail("/nsm/client/open", NsmClient::kErrorBadProject, error);
            return fail(error);
        }
    } else if (!options.statePath.empty()) {
        if (!readStateFile(options.statePath, state, error))
            return fail(error);
        savePath = defaultStatePath(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"));
    } else {
        savePath = defaultStatePath(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"));
        std::error_code ec;
        if (!savePath.empty() && std::filesystem::exists(savePath, ec) &&
            !readStateFile(savePath, state, error)) {
            note(error + "; starting from the default state");
            state.clear();
        }
    }

    std::unique_ptr<AudioBackend> audio = openAudio(options, clientName, error);
    if (!audio)
        return fail(error);

    HostOptions hostOptions;
    hostOptions.sampleRate = audio->sampleRate();
    hostOptions.blockSize = audio->blockSize();
    hostOptions.recordCalls = false;
    hostOptions.keepAutomations = false; // no callback may lock on the audio thread
    LoadResult loaded = PluginHost::load(pluginPath, hostOptions);
    if (!loaded)
        return fail(loaded.message);
    PluginHost& host = *loaded.host;
    if (host.numOutputs() <= 0 || host.numOutputs() > JackBackend::kMaxPorts)
        return fail("the plug-in has " + std::to_string(host.numOutputs()) +
                    " outputs; 1 to 24 are supported");
    host.start();
    if (!state.empty())
        host.setChunk(state);

    const std::vector<PinDescription> pins = outputPinsOf(host);
    const auto layout = layoutFromPins(pins);
    const int masterChannels = layout ? layout->masterChannels : std::min(host.numOutputs(), 2);
    auto* jack = dynamic_cast<JackBackend*>(audio.get());
    if (jack != nullptr) {
        std::vector<std::string> labels;
        std::vector<bool> stereo;
        for (const auto& pin : pins) {
            labels.push_back(pin.label);
            stereo.push_back(pin.stereo);
        }
        jack->setPortNames(portNamesForPins(labels, stereo));
    }
    LiveProcessor processor(host);
    if (!audio->start(processor, host.numOutputs(), masterChannels, kMidiPortName, error))
        return fail(error);
    if (auto* alsa = dynamic_cast<AlsaBackend*>(audio.get()); alsa && !alsa->midiWarning().empty())
        note(alsa->midiWarning());
    if (jack != nullptr && !options.noConnect && jack->connectMaster() == 0 && masterChannels > 0)
        note("found no system playback ports to connect the master to");
    note("playing through " + audio->name() +
         (jack != nullptr ? " as \"" + jack->clientName() + "\"" : std::string()) + " at " +
         std::to_string(static_cast<int>(audio->sampleRate())) + " Hz");

    std::unique_ptr<EditorWindow> window;
    auto openWindow = [&]() {
        window = EditorWindow::open(host, kWindowTitle, error);
        if (!window)
            note(error + "; running without a window");
    };
    if (!options.noGui)
        openWindow();
    if (nsm) {
        nsm->reply("/nsm/client/open", "Vorpalix is playing");
        nsm->guiShown(window && window->visible());
    }

    int exitCode = 0;
    while (!gQuit) {
        if (nsm) {
            nsm->poll(0);
            if (nsm->takeSave()) {
                if (saveState(host, savePath, error))
                    nsm->reply("/nsm/client/save", "Saved");
                else
                    nsm->fail("/nsm/client/save", NsmClient::kErrorSaveFailed, error);
            }
            if (const auto show = nsm->takeGuiRequest()) {
                if (*show && !window)
                    openWindow();
                else if (window)
                    *show ? window->show() : window->hide();
                nsm->guiShown(window && window->visible());
            }
        }
        if (window) {
            window->idle();
            if (window->takeCloseRequest()) {
                if (!nsm)
                    break; // closing the window quits, as with any program
                window->hide();
                nsm->guiShown(false);
            }
        }
        if (audio->failed()) {
            exitCode = fail("the " + audio->name() + " server has gone away");
            break;
        }
        sleepMilliseconds(kLoopMilliseconds);
    }

    audio->stop();
    window.reset();
    // A session manager saves when it asks to; otherwise the state is kept for the next start.
    if (!nsm && !savePath.empty() && !saveState(host, savePath, error))
        exitCode = fail(error);
    host.close();
    return exitCode;
}
