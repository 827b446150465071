#pragma once

#include <string>

namespace vorpalix::host {

class LiveProcessor;

// An audio server connection that runs a LiveProcessor from its real-time callback. Opened
// first (to learn the rate and period the plug-in is set up for), then started.
class AudioBackend {
public:
    virtual ~AudioBackend() = default;

    virtual std::string name() const = 0; // "JACK" or "ALSA"
    virtual double sampleRate() const = 0;
    virtual int blockSize() const = 0;
    // Registers the outputs (named after the plug-in's pins) and the MIDI input, then starts
    // calling the processor. False with a one-line message.
    virtual bool start(LiveProcessor& processor, int outputs, int masterChannels,
                       const std::string& midiPortName, std::string& error) = 0;
    // Stops the callbacks; the processor is no longer used afterwards.
    virtual void stop() = 0;
    // True once the server has gone away (then the program ends).
    virtual bool failed() const = 0;
};

} // namespace vorpalix::host
