#pragma once

#include "plugin/VstInterface.h"

#include <cstdint>
#include <map>
#include <vector>

namespace vorpalix::host {

// One short MIDI message (status byte and two data bytes).
struct MidiMessage {
    std::uint8_t status = 0;
    std::uint8_t data1 = 0;
    std::uint8_t data2 = 0;

    static MidiMessage noteOn(int channel, int key, int velocity);
    static MidiMessage noteOff(int channel, int key, int velocity);
    static MidiMessage controlChange(int channel, int controller, int value);
};

// Holds the MIDI events a host wants to send and hands each processing block the ones that fall
// inside it, with the sample offset from the block start as deltaFrames. Times are absolute
// sample positions of the host's stream (0 = first frame ever processed).
class EventScheduler {
public:
    // Queues an event for the stream frame `sampleTime`. Events with equal times keep their
    // queueing order.
    void schedule(std::int64_t sampleTime, MidiMessage message);
    // Queues an event for the very next block with exactly this deltaFrames, whatever the block
    // size: lets tests send deltas a well-behaved host never sends (negative, beyond the block).
    void scheduleRaw(std::int32_t deltaFrames, MidiMessage message);

    // Moves the events due in the block [blockStart, blockStart + frames) into `out` (cleared
    // first): timed events sorted by time, late ones (before blockStart) at delta 0, then the raw
    // events in queueing order. A 0-frame block covers no frame, so it takes only raw and late
    // events; events beyond the block stay queued.
    void takeBlock(std::int64_t blockStart, std::int32_t frames,
                   std::vector<vst::VstMidiEvent>& out);

    std::size_t pending() const { return timed_.size() + raw_.size(); }
    void clear();

private:
    std::multimap<std::int64_t, MidiMessage> timed_;
    std::vector<std::pair<std::int32_t, MidiMessage>> raw_;
};

// Builds a VstMidiEvent as hosts write it: full struct size, no flags, no note length.
vst::VstMidiEvent makeMidiEvent(std::int32_t deltaFrames, MidiMessage message);

} // namespace vorpalix::host
