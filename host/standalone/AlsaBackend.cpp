#include "AlsaBackend.h"

#include <alsa/asoundlib.h>
#include <rtaudio/RtAudio.h>
#include <rtmidi/RtMidi.h>

#include <algorithm>
#include <vector>

namespace vorpalix::host {

namespace {

int audioCallback(void* output, void*, unsigned int frames, double, RtAudioStreamStatus,
                  void* self) {
    return static_cast<AlsaBackend*>(self)->render(static_cast<float*>(output), frames);
}

// alsa-lib prints every failed lookup of a missing card on stderr; the program says what
// failed in one line instead.
void ignoreAlsaError(const char*, int, const char*, int, const char*, ...) {}

void ignoreMidiError(RtMidiError::Type, const std::string&, void*) {}

// RtMidi's own thread: every message goes on to the audio thread through the queue.
void midiArrived(double, std::vector<unsigned char>* message, void* queue) {
    if (message == nullptr || message->empty())
        return;
    LiveMidi midi;
    for (std::size_t i = 0; i < midi.bytes.size() && i < message->size(); ++i)
        midi.bytes[i] = (*message)[i];
    static_cast<SpscQueue<LiveMidi, 1024>*>(queue)->push(midi);
}

} // namespace

std::unique_ptr<AlsaBackend> AlsaBackend::open(int rate, int period, std::string& error) {
    std::unique_ptr<AlsaBackend> backend(new AlsaBackend());
    snd_lib_error_set_handler(&ignoreAlsaError);
    try {
        backend->audio_ = std::make_unique<RtAudio>(RtAudio::LINUX_ALSA);
        backend->audio_->showWarnings(false);
        if (backend->audio_->getDeviceCount() == 0) {
            error = "no ALSA device";
            return nullptr;
        }
        RtAudio::StreamParameters parameters;
        parameters.deviceId = backend->audio_->getDefaultOutputDevice();
        parameters.nChannels = 2;
        RtAudio::StreamOptions options;
        options.flags = RTAUDIO_NONINTERLEAVED | RTAUDIO_SCHEDULE_REALTIME;
        options.streamName = "Vorpalix";
        unsigned int frames = static_cast<unsigned int>(period);
        backend->audio_->openStream(&parameters, nullptr, RTAUDIO_FLOAT32,
                                    static_cast<unsigned int>(rate), &frames, &audioCallback,
                                    backend.get(), &options);
        backend->rate_ = backend->audio_->getStreamSampleRate();
        backend->period_ = static_cast<int>(frames);
    } catch (const RtAudioError& e) {
        error = "cannot open the ALSA device: " + e.getMessage();
        return nullptr;
    }
    return backend;
}

AlsaBackend::~AlsaBackend() {
    stop();
    try {
        if (audio_ && audio_->isStreamOpen())
            audio_->closeStream();
    } catch (const RtAudioError&) {
    }
}

bool AlsaBackend::start(LiveProcessor& processor, int outputs, int masterChannels,
                        const std::string& midiPortName, std::string& error) {
    outputs_ = outputs;
    masterChannels_ = masterChannels;
    channels_.assign(static_cast<std::size_t>(std::max(outputs, 0)),
                     std::vector<float>(static_cast<std::size_t>(period_)));
    pointers_.clear();
    for (auto& channel : channels_)
        pointers_.push_back(channel.data());
    processor_ = &processor;

    try {
        midi_ = std::make_unique<RtMidiIn>(RtMidi::LINUX_ALSA, "Vorpalix");
        midi_->setErrorCallback(&ignoreMidiError, nullptr);
        midi_->ignoreTypes(true, true, true);
        midi_->setCallback(&midiArrived, &processor.midiQueue());
        midi_->openVirtualPort(midiPortName);
    } catch (const RtMidiError& e) {
        midi_.reset();
        midiWarning_ = "no ALSA sequencer port: " + e.getMessage();
    }

    try {
        running_.store(true);
        audio_->startStream();
    } catch (const RtAudioError& e) {
        running_.store(false);
        error = "cannot start the ALSA device: " + e.getMessage();
        return false;
    }
    return true;
}

void AlsaBackend::stop() {
    running_.store(false);
    try {
        if (audio_ && audio_->isStreamRunning())
            audio_->stopStream();
    } catch (const RtAudioError&) {
    }
    midi_.reset();
}

// RtAudio's real-time thread. No allocation, no locks. The device gets the master pair (a mono
// master on both channels; without a master, the first instrument pair).
int AlsaBackend::render(float* output, unsigned int frames) {
    float* left = output;
    float* right = output + frames;
    if (!running_.load(std::memory_order_acquire) || processor_ == nullptr || outputs_ <= 0) {
        std::fill(output, output + 2 * frames, 0.0f);
        return 0;
    }
    const int second = masterChannels_ == 1 || outputs_ < 2 ? 0 : 1;
    unsigned int done = 0;
    while (done < frames) {
        const unsigned int n =
            std::min<unsigned int>(frames - done, static_cast<unsigned>(period_));
        processor_->beginBlock();
        processor_->process(pointers_.data(), static_cast<int>(n), LiveTime{});
        std::copy_n(pointers_[0], n, left + done);
        std::copy_n(pointers_[static_cast<std::size_t>(second)], n, right + done);
        done += n;
    }
    return 0;
}

} // namespace vorpalix::host
