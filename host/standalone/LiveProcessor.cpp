#include "LiveProcessor.h"

#include "EventScheduler.h"

#include <cmath>

namespace vorpalix::host {

LiveProcessor::LiveProcessor(PluginHost& host) : host_(host) {}

void LiveProcessor::beginBlock() {
    count_ = 0;
    LiveMidi midi;
    while (queue_.pop(midi))
        addMidi(0, midi.bytes.data(), midi.bytes.size());
}

void LiveProcessor::addMidi(int frame, const std::uint8_t* data, std::size_t size) {
    if (size == 0 || data[0] < 0x80 || data[0] >= 0xF0)
        return;
    if (count_ >= kMaxEvents) {
        dropped_.fetch_add(1, std::memory_order_relaxed);
        return;
    }
    MidiMessage message{data[0], size > 1 ? data[1] : std::uint8_t{0},
                        size > 2 ? data[2] : std::uint8_t{0}};
    events_[static_cast<std::size_t>(count_++)] = makeMidiEvent(frame < 0 ? 0 : frame, message);
}

double LiveProcessor::internalTempo() {
    const double value = host_.getParameter(kTempoParameter);
    return std::round((value * 273.0 + 30.0) * 10.0) * 0.1;
}

void LiveProcessor::process(float** outputs, int frames, const LiveTime& time) {
    Transport& transport = host_.transport();
    if (time.rolling) {
        const double bpm = time.hasTempo && time.bpm > 0.0 ? time.bpm : internalTempo();
        transport.setTempo(bpm);
        if (time.hasTempo)
            transport.setTimeSignature(time.numerator, time.denominator);
        transport.setPosition(time.frame,
                              time.hasTempo ? time.ppq : time.frame / transport.samplesPerBeat());
        transport.setPlaying(true);
    } else {
        // Standing still, the host's tempo is the plug-in's own: a pattern started by MIDI in
        // external sync then plays at the tempo on the panel.
        transport.setTempo(internalTempo());
        transport.setPlaying(false);
    }

    if (count_ > 0) {
        auto* list = reinterpret_cast<vst::VstEvents*>(list_.data());
        list->numEvents = count_;
        list->reserved = 0;
        for (int i = 0; i < count_; ++i)
            list->events[i] =
                reinterpret_cast<vst::VstEvent*>(&events_[static_cast<std::size_t>(i)]);
        host_.dispatch(vst::effProcessEvents, 0, 0, list);
    }
    vst::AEffect& effect = host_.effect();
    effect.processReplacing(&effect, nullptr, outputs, frames);
}

} // namespace vorpalix::host
