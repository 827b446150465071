#pragma once

#include "AudioBackend.h"
#include "LiveProcessor.h"

#include <atomic>
#include <memory>
#include <string>
#include <vector>

class RtAudio;
class RtMidiIn;

namespace vorpalix::host {

// Audio through the default ALSA device (RtAudio), the master pair only, and MIDI from an ALSA
// sequencer port (RtMidi). For machines without a JACK server.
class AlsaBackend final : public AudioBackend {
public:
    // Opens the default output device at `rate` with `period` frames per callback (the device
    // may choose others). Nothing, with a one-line message, when there is no ALSA device.
    static std::unique_ptr<AlsaBackend> open(int rate, int period, std::string& error);
    ~AlsaBackend() override;

    std::string name() const override { return "ALSA"; }
    double sampleRate() const override { return rate_; }
    int blockSize() const override { return period_; }
    bool start(LiveProcessor& processor, int outputs, int masterChannels,
               const std::string& midiPortName, std::string& error) override;
    void stop() override;
    bool failed() const override { return failed_.load(); }
    // Set when the MIDI port could not be made (audio still plays).
    const std::string& midiWarning() const { return midiWarning_; }

    // RtAudio's real-time thread: fills the device's two non-interleaved channels.
    int render(float* output, unsigned int frames);

private:
    AlsaBackend() = default;

    std::unique_ptr<RtAudio> audio_;
    std::unique_ptr<RtMidiIn> midi_;
    std::string midiWarning_;
    LiveProcessor* processor_ = nullptr;
    std::atomic<bool> running_{false};
    std::atomic<bool> failed_{false};
    double rate_ = 48000.0;
    int period_ = 256;
    int outputs_ = 0;
    int masterChannels_ = 0;
    std::vector<std::vector<float>> channels_; // the plug-in's outputs, period_ frames each
    std::vector<float*> pointers_;
};

} // namespace vorpalix::host
