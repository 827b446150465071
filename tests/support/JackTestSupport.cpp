#include "support/JackTestSupport.h"

#include <jack/midiport.h>
#include <jack/transport.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

namespace vorpalix::testing {

namespace {

void quiet(const char*) {}

bool sleepUntil(int timeoutMs, const auto& done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

pid_t spawn(const std::string& program, const std::vector<std::string>& args,
            const std::vector<std::pair<std::string, std::string>>& environment,
            const std::string& errorFile) {
    std::vector<std::string> strings{program};
    strings.insert(strings.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& s : strings)
        argv.push_back(s.data());
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        for (const auto& [key, value] : environment) {
            if (value.empty())
                unsetenv(key.c_str());
            else
                setenv(key.c_str(), value.c_str(), 1);
        }
        const int devNull = open("/dev/null", O_RDWR);
        dup2(devNull, 0);
        dup2(devNull, 1);
        const int err = errorFile.empty()
                            ? devNull
                            : open(errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(err, 2);
        execvp(program.c_str(), argv.data());
        _exit(127);
    }
    return pid;
}

} // namespace

// --- DummyJackServer -------------------------------------------------------------------------

DummyJackServer::DummyJackServer()
    : name_("vorpalix-test-" + std::to_string(getpid()) + "-" +
            std::to_string(std::chrono::steady_clock::now().time_since_epoch().count() % 100000)) {
    setenv("JACK_DEFAULT_SERVER", name_.c_str(), 1);
    jack_set_error_function(quiet);
    jack_set_info_function(quiet);
    // Synchronous, with a long client timeout: on a loaded machine the non-real-time server
    // then waits for a late client instead of running the cycle without it.
    pid_ = spawn("jackd",
                 {"--no-realtime", "--sync", "-t", "2000", "--port-max", "2048", "-d", "dummy",
                  "-r", std::to_string(kRate), "-p", std::to_string(kPeriod)},
                 {}, {});
    running_ = pid_ > 0 && sleepUntil(15000, [this] {
                   jack_status_t status{};
                   jack_client_t* c =
                       jack_client_open("vorpalix-test-probe", JackNoStartServer, &status);
                   if (c == nullptr)
                       return false;
                   jack_client_close(c);
                   return true;
               });
}

DummyJackServer::~DummyJackServer() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        int status = 0;
        if (!sleepUntil(5000, [&] { return waitpid(pid_, &status, WNOHANG) == pid_; })) {
            kill(pid_, SIGKILL);
            waitpid(pid_, &status, 0);
        }
    }
    unsetenv("JACK_DEFAULT_SERVER");
}

DummyJackServer& sharedJackServer() {
    static DummyJackServer server;
    return server;
}

// --- BackgroundProcess -----------------------------------------------------------------------

BackgroundProcess::BackgroundProcess(const std::string& program,
                                     const std::vector<std::string>& args,
                                     const std::vector<std::pair<std::string, std::string>>& env) {
    errorFile_ = (std::filesystem::temp_directory_path() /
                  ("vorpalix-stderr-" + std::to_string(getpid()) + "-" +
                   std::to_string(std::chrono::steady_clock::now().time_since_epoch().count())))
                     .string();
    pid_ = spawn(program, args, env, errorFile_);
}

BackgroundProcess::~BackgroundProcess() {
    if (pid_ > 0 && !ended_) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    std::error_code ec;
    std::filesystem::remove(errorFile_, ec);
}

bool BackgroundProcess::running() {
    if (ended_ || pid_ <= 0)
        return false;
    if (waitpid(pid_, &status_, WNOHANG) == pid_)
        ended_ = true;
    return !ended_;
}

int BackgroundProcess::wait(int timeoutMs) {
    sleepUntil(timeoutMs, [this] { return !running(); });
    if (!ended_)
        return -1;
    return WIFEXITED(status_) ? WEXITSTATUS(status_) : -1;
}

int BackgroundProcess::stop(int signal, int timeoutMs) {
    if (running())
        kill(pid_, signal);
    const int code = wait(timeoutMs);
    if (!ended_) {
        kill(pid_, SIGKILL);
        waitpid(pid_, &status_, 0);
        ended_ = true;
        return -1;
    }
    return code;
}

std::string BackgroundProcess::errorOutput() const {
    std::ifstream in(errorFile_);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// --- JackProbe -------------------------------------------------------------------------------

JackProbe::JackProbe(const std::string& name) {
    jack_status_t status{};
    client_ = jack_client_open(name.c_str(), JackNoStartServer, &status);
    if (client_ == nullptr)
        return;
    midiOut_ = jack_port_register(client_, "midi out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    inputs_[0] = jack_port_register(client_, "in L", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    inputs_[1] = jack_port_register(client_, "in R", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    jack_set_process_callback(client_, &JackProbe::processCallback, this);
    if (jack_activate(client_) != 0) {
        jack_client_close(client_);
        client_ = nullptr;
    }
}

JackProbe::~JackProbe() {
    if (client_ != nullptr) {
        jack_deactivate(client_);
        jack_client_close(client_);
    }
}

bool JackProbe::waitForPort(const std::string& port, int timeoutMs) const {
    return sleepUntil(timeoutMs,
                      [&] { return jack_port_by_name(client_, port.c_str()) != nullptr; });
}

bool JackProbe::waitForPortGone(const std::string& port, int timeoutMs) const {
    return sleepUntil(timeoutMs,
                      [&] { return jack_port_by_name(client_, port.c_str()) == nullptr; });
}

bool JackProbe::connect(const std::string& from, const std::string& to) const {
    // Ports exist a moment before their client is active, and only then can be connected.
    return sleepUntil(10000, [&] { return jack_connect(client_, from.c_str(), to.c_str()) == 0; });
}

std::string JackProbe::midiOutName() const {
    return jack_port_name(midiOut_);
}

std::string JackProbe::inputName(int index) const {
    return jack_port_name(inputs_[static_cast<std::size_t>(index)]);
}

bool JackProbe::becomeTimebaseMaster(double bpm) {
    bpm_ = bpm;
    return jack_set_timebase_callback(client_, 0, &JackProbe::timebaseCallback, this) == 0;
}

void JackProbe::arm(std::vector<TimedMidi> script, std::int64_t frames, std::int64_t delay) {
    armed_.store(false);
    complete_.store(false);
    script_ = std::move(script);
    for (auto& channel : recorded_)
        channel.assign(static_cast<std::size_t>(frames), 0.0f);
    position_.store(-delay);
    armed_.store(true);
}

bool JackProbe::waitForRecording(int timeoutMs) {
    return sleepUntil(timeoutMs, [this] { return complete_.load(); });
}

int JackProbe::processCallback(jack_nframes_t frames, void* self) {
    auto* probe = static_cast<JackProbe*>(self);
    void* midi = jack_port_get_buffer(probe->midiOut_, frames);
    jack_midi_clear_buffer(midi);
    if (!probe->armed_.load() || probe->complete_.load())
        return 0;
    // Frames are counted in processed cycles, as every client counts them: a cycle the loaded
    // server skips moves JACK's clock but no client's audio.
    const std::int64_t start = probe->position_.load();
    probe->position_.store(start + frames);
    constexpr std::int64_t origin = 0;
    for (const auto& event : probe->script_) {
        const std::int64_t offset = origin + event.frame - start;
        if (offset >= 0 && offset < frames)
            jack_midi_event_write(midi, static_cast<jack_nframes_t>(offset), event.bytes.data(), 3);
    }
    const auto length = static_cast<std::int64_t>(probe->recorded_[0].size());
    for (int c = 0; c < 2; ++c) {
        const auto* in = static_cast<const float*>(jack_port_get_buffer(probe->inputs_[c], frames));
        for (jack_nframes_t n = 0; n < frames; ++n) {
            const std::int64_t at = start + n - origin;
            if (at >= 0 && at < length)
                probe->recorded_[c][static_cast<std::size_t>(at)] = in[n];
        }
    }
    if (start + frames - origin >= length)
        probe->complete_.store(true);
    return 0;
}

void JackProbe::timebaseCallback(jack_transport_state_t, jack_nframes_t, jack_position_t* position,
                                 int, void* self) {
    const double bpm = static_cast<JackProbe*>(self)->bpm_;
    const double beats = position->frame / (position->frame_rate * 60.0 / bpm);
    const double whole = std::floor(beats);
    position->valid = JackPositionBBT;
    position->beats_per_bar = 4.0f;
    position->beat_type = 4.0f;
    position->ticks_per_beat = 1920.0;
    position->beats_per_minute = bpm;
    position->bar = static_cast<int32_t>(whole / 4.0) + 1;
    position->beat = static_cast<int32_t>(std::fmod(whole, 4.0)) + 1;
    position->tick = static_cast<int32_t>((beats - whole) * 1920.0);
    position->bar_start_tick = 0.0;
}

} // namespace vorpalix::testing
