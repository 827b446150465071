#pragma once

// Test helpers for the standalone program: a private JACK server with the dummy back end, a
// program running in the background, and a JACK client that sends MIDI and records audio at
// exact frames.

#include <jack/jack.h>

#include <sys/types.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace vorpalix::testing {

// jackd with the dummy back end on a server name of its own (JACK_DEFAULT_SERVER is set for
// this process too, so every client the test opens talks to it). Stopped by the destructor.
// Tests share one per process (sharedJackServer): libjack does not move cleanly from one server
// to the next within a process.
class DummyJackServer {
public:
    static constexpr int kRate = 48000;
    static constexpr int kPeriod = 1024;

    DummyJackServer();
    ~DummyJackServer();
    DummyJackServer(const DummyJackServer&) = delete;
    DummyJackServer& operator=(const DummyJackServer&) = delete;

    // True once clients can connect.
    bool running() const { return running_; }
    const std::string& name() const { return name_; }

private:
    std::string name_;
    pid_t pid_ = -1;
    bool running_ = false;
};

// The server of this test process, started on first use and stopped at exit.
DummyJackServer& sharedJackServer();

// A program started in the background with extra environment variables; its standard error is
// kept. The destructor kills it if it still runs.
class BackgroundProcess {
public:
    BackgroundProcess(const std::string& program, const std::vector<std::string>& args,
                      const std::vector<std::pair<std::string, std::string>>& environment = {});
    ~BackgroundProcess();
    BackgroundProcess(const BackgroundProcess&) = delete;
    BackgroundProcess& operator=(const BackgroundProcess&) = delete;

    bool running();
    // Sends the signal and waits up to `timeoutMs` for the end (a loaded test server can take
    // many seconds to let a client go). The exit status, or -1 when it
    // died of a signal or did not end in time (then it is killed).
    int stop(int signal, int timeoutMs = 60000);
    // Waits up to `timeoutMs` for it to end by itself; the exit status or -1.
    int wait(int timeoutMs);
    std::string errorOutput() const;
    pid_t pid() const { return pid_; }

private:
    pid_t pid_ = -1;
    std::string errorFile_;
    int status_ = -1;
    bool ended_ = false;
};

// A JACK client that plays a MIDI script from its output port and records its two input ports,
// both from an origin set by arm(); frames count the cycles the server runs. It can also act as the
// timebase master at a tempo.
class JackProbe {
public:
    struct TimedMidi {
        std::int64_t frame; // from the origin
        std::array<std::uint8_t, 3> bytes;
    };

    explicit JackProbe(const std::string& name);
    ~JackProbe();
    JackProbe(const JackProbe&) = delete;
    JackProbe& operator=(const JackProbe&) = delete;

    bool ok() const { return client_ != nullptr; }
    jack_client_t* client() const { return client_; }
    // Waits until a port of that full name exists.
    bool waitForPort(const std::string& port, int timeoutMs = 10000) const;
    bool waitForPortGone(const std::string& port, int timeoutMs = 10000) const;
    bool connect(const std::string& from, const std::string& to) const;
    std::string midiOutName() const;
    std::string inputName(int index) const;
    // Provides bars, beats and this tempo as the JACK timebase master (4/4).
    bool becomeTimebaseMaster(double bpm);

    // Records `frames` frames and plays `script`, both from `delay` frames after now.
    void arm(std::vector<TimedMidi> script, std::int64_t frames, std::int64_t delay);
    // Waits until the recording is complete.
    bool waitForRecording(int timeoutMs);
    const std::vector<float>& recorded(int input) const { return recorded_[input]; }

private:
    static int processCallback(jack_nframes_t frames, void* self);
    static void timebaseCallback(jack_transport_state_t, jack_nframes_t, jack_position_t* position,
                                 int, void* self);

    jack_client_t* client_ = nullptr;
    jack_port_t* midiOut_ = nullptr;
    std::array<jack_port_t*, 2> inputs_{};
    std::vector<TimedMidi> script_;
    std::array<std::vector<float>, 2> recorded_;
    std::atomic<std::int64_t> position_{0}; // frames processed since the origin
    std::atomic<bool> armed_{false};
    std::atomic<bool> complete_{false};
    double bpm_ = 120.0;
};

} // namespace vorpalix::testing
