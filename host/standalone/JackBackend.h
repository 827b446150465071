#pragma once

#include "AudioBackend.h"
#include "LiveProcessor.h"

#include <jack/jack.h>

#include <array>
#include <atomic>
#include <memory>
#include <string>
#include <vector>

namespace vorpalix::host {

// Audio and MIDI through a running JACK server: one output port per plug-in output, a MIDI
// input port, and JACK transport as the plug-in's song position and tempo.
class JackBackend final : public AudioBackend {
public:
    static constexpr int kMaxPorts = 24;

    // Connects to the server (never starts one). Nothing, with a one-line message, when no JACK
    // server runs.
    static std::unique_ptr<JackBackend> open(const std::string& clientName, std::string& error);
    ~JackBackend() override;

    std::string name() const override { return "JACK"; }
    double sampleRate() const override;
    int blockSize() const override;
    // Output port names are set before start (the pin names); start registers them.
    void setPortNames(std::vector<std::string> names) { portNames_ = std::move(names); }
    bool start(LiveProcessor& processor, int outputs, int masterChannels,
               const std::string& midiPortName, std::string& error) override;
    void stop() override;
    bool failed() const override { return shutDown_.load(); }

    // Connects the master outputs to the first physical playback ports (a mono master to both).
    // Returns how many connections were made.
    int connectMaster();
    std::string clientName() const;

private:
    explicit JackBackend(jack_client_t* client) : client_(client) {}
    static int processCallback(jack_nframes_t frames, void* self);
    static void shutdownCallback(void* self);
    int process(jack_nframes_t frames);

    jack_client_t* client_ = nullptr;
    LiveProcessor* processor_ = nullptr;
    std::vector<std::string> portNames_;
    std::array<jack_port_t*, kMaxPorts> ports_{};
    std::array<float*, kMaxPorts> buffers_{};
    int outputs_ = 0;
    int masterChannels_ = 0;
    jack_port_t* midiIn_ = nullptr;
    bool active_ = false;
    std::atomic<bool> shutDown_{false};
};

// JACK port names for the plug-in's pins: the pin label, with " L" and " R" on the two pins of
// a stereo pair ("VX Master L", "VRPLX 1 R"); a mono pin keeps its label.
std::vector<std::string> portNamesForPins(const std::vector<std::string>& labels,
                                          const std::vector<bool>& stereo);

} // namespace vorpalix::host
