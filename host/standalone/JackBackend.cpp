#include "JackBackend.h"

#include <jack/midiport.h>
#include <jack/transport.h>

#include <chrono>
#include <thread>

namespace vorpalix::host {

namespace {

void silent(const char*) {}

// A busy server can turn a request down when one of its clients answers late (it waits for the
// clients' replies only so long), or while it is still letting another client go; a second or
// third try a moment later goes through.
template <typename Request> bool retried(const Request& request) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (attempt > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        if (request())
            return true;
    }
    return false;
}

jack_port_t* registerPort(jack_client_t* client, const std::string& name, const char* type,
                          unsigned long flags) {
    jack_port_t* port = nullptr;
    retried([&] {
        port = jack_port_register(client, name.c_str(), type, flags, 0);
        return port != nullptr;
    });
    return port;
}

} // namespace

std::vector<std::string> portNamesForPins(const std::vector<std::string>& labels,
                                          const std::vector<bool>& stereo) {
    std::vector<std::string> names;
    for (std::size_t i = 0; i < labels.size(); ++i) {
        std::string name = labels[i].empty() ? "out " + std::to_string(i + 1) : labels[i];
        if (i < stereo.size() && stereo[i]) {
            // The first pin of a pair has a different label before it (or none).
            std::size_t run = 0;
            while (run < i && labels[i - run - 1] == labels[i] && stereo[i - run - 1])
                ++run;
            name += run % 2 == 0 ? " L" : " R";
        }
        names.push_back(std::move(name));
    }
    return names;
}

std::unique_ptr<JackBackend> JackBackend::open(const std::string& clientName, std::string& error) {
    // libjack reports a missing server at length on stderr; the caller says it in one line.
    jack_set_error_function(silent);
    jack_set_info_function(silent);
    jack_status_t status{};
    jack_client_t* client = jack_client_open(clientName.c_str(), JackNoStartServer, &status);
    if (client == nullptr) {
        error = (status & JackServerFailed) != 0 || (status & JackServerError) != 0
                    ? "no JACK server is running"
                    : "cannot open a JACK client";
        return nullptr;
    }
    return std::unique_ptr<JackBackend>(new JackBackend(client));
}

JackBackend::~JackBackend() {
    stop();
    if (client_ != nullptr)
        jack_client_close(client_);
}

double JackBackend::sampleRate() const {
    return jack_get_sample_rate(client_);
}

int JackBackend::blockSize() const {
    return static_cast<int>(jack_get_buffer_size(client_));
}

std::string JackBackend::clientName() const {
    return jack_get_client_name(client_);
}

bool JackBackend::start(LiveProcessor& processor, int outputs, int masterChannels,
                        const std::string& midiPortName, std::string& error) {
    if (outputs < 0 || outputs > kMaxPorts) {
        error = "the plug-in has " + std::to_string(outputs) + " outputs; at most " +
                std::to_string(kMaxPorts) + " are supported";
        return false;
    }
    outputs_ = outputs;
    masterChannels_ = masterChannels;
    for (int i = 0; i < outputs; ++i) {
        const std::string name = i < static_cast<int>(portNames_.size())
                                     ? portNames_[static_cast<std::size_t>(i)]
                                     : "out " + std::to_string(i + 1);
        ports_[static_cast<std::size_t>(i)] =
            registerPort(client_, name, JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput);
        if (ports_[static_cast<std::size_t>(i)] == nullptr) {
            error = "cannot register the JACK port \"" + name + "\"";
            return false;
        }
    }
    midiIn_ = registerPort(client_, midiPortName, JACK_DEFAULT_MIDI_TYPE, JackPortIsInput);
    if (midiIn_ == nullptr) {
        error = "cannot register the JACK MIDI port \"" + midiPortName + "\"";
        return false;
    }
    processor_ = &processor;
    jack_set_process_callback(client_, &JackBackend::processCallback, this);
    jack_on_shutdown(client_, &JackBackend::shutdownCallback, this);
    if (!retried([this] { return jack_activate(client_) == 0; })) {
        error = "cannot activate the JACK client";
        return false;
    }
    active_ = true;
    return true;
}

void JackBackend::stop() {
    if (active_) {
        jack_deactivate(client_);
        active_ = false;
    }
}

int JackBackend::connectMaster() {
    if (masterChannels_ <= 0)
        return 0;
    const char** physical = jack_get_ports(client_, nullptr, JACK_DEFAULT_AUDIO_TYPE,
                                           JackPortIsPhysical | JackPortIsInput);
    if (physical == nullptr)
        return 0;
    int made = 0;
    for (int target = 0; target < 2 && physical[target] != nullptr; ++target) {
        const int source = masterChannels_ == 2 ? target : 0;
        if (jack_connect(client_, jack_port_name(ports_[static_cast<std::size_t>(source)]),
                         physical[target]) == 0)
            ++made;
    }
    jack_free(physical);
    return made;
}

int JackBackend::processCallback(jack_nframes_t frames, void* self) {
    return static_cast<JackBackend*>(self)->process(frames);
}

void JackBackend::shutdownCallback(void* self) {
    static_cast<JackBackend*>(self)->shutDown_.store(true);
}

// JACK's real-time thread. No allocation, no locks.
int JackBackend::process(jack_nframes_t frames) {
    for (int i = 0; i < outputs_; ++i)
        buffers_[static_cast<std::size_t>(i)] =
            static_cast<float*>(jack_port_get_buffer(ports_[static_cast<std::size_t>(i)], frames));

    processor_->beginBlock();
    void* midi = jack_port_get_buffer(midiIn_, frames);
    const jack_nframes_t count = jack_midi_get_event_count(midi);
    for (jack_nframes_t n = 0; n < count; ++n) {
        jack_midi_event_t event;
        if (jack_midi_event_get(&event, midi, n) == 0)
            processor_->addMidi(static_cast<int>(event.time), event.buffer, event.size);
    }

    LiveTime time;
    jack_position_t position;
    time.rolling = jack_transport_query(client_, &position) == JackTransportRolling;
    time.frame = position.frame;
    if ((position.valid & JackPositionBBT) != 0 && position.beats_per_minute > 0.0 &&
        position.ticks_per_beat > 0.0 && position.beat_type > 0.0) {
        time.hasTempo = true;
        time.bpm = position.beats_per_minute;
        const double beats = (position.bar - 1) * static_cast<double>(position.beats_per_bar) +
                             (position.beat - 1) + position.tick / position.ticks_per_beat;
        time.ppq = beats * 4.0 / position.beat_type;
        time.numerator = static_cast<int>(position.beats_per_bar);
        time.denominator = static_cast<int>(position.beat_type);
    }
    processor_->process(buffers_.data(), static_cast<int>(frames), time);
    return 0;
}

} // namespace vorpalix::host
