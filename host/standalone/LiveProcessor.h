#pragma once

#include "PluginHost.h"
#include "SpscQueue.h"
#include "plugin/VstInterface.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace vorpalix::host {

// The clock of an audio server as one block sees it.
struct LiveTime {
    bool rolling = false;  // the server's transport plays
    bool hasTempo = false; // bars, beats and tempo are known (a JACK timebase master runs)
    double bpm = 120.0;
    double ppq = 0.0;   // position in quarter notes
    double frame = 0.0; // position in frames
    int numerator = 4;
    int denominator = 4;
};

// A short MIDI message from a thread other than the audio thread (an ALSA sequencer port).
struct LiveMidi {
    std::array<std::uint8_t, 3> bytes{};
};

// Feeds a loaded plug-in from an audio server's callback, as a DAW's engine does: per block the
// MIDI of the block with exact frame offsets, the transport (the server's when it rolls, else
// standing still at the plug-in's own tempo) and one processReplacing call.
//
// Audio thread: everything but the constructor and midiQueue().push. Nothing here allocates,
// locks or waits; events beyond kMaxEvents in one block are dropped.
class LiveProcessor {
public:
    static constexpr int kMaxEvents = 512;
    static constexpr int kTempoParameter = 48;

    explicit LiveProcessor(PluginHost& host);

    // Starts a block: forgets the last block's events and takes those waiting in the queue.
    void beginBlock();
    // A MIDI message at a frame of the block. Only channel messages (0x80..0xEF) are passed on.
    void addMidi(int frame, const std::uint8_t* data, std::size_t size);
    // Runs the plug-in over `frames` frames into its output channels.
    void process(float** outputs, int frames, const LiveTime& time);

    // Filled by a MIDI thread, emptied at each block start (events land at frame 0).
    SpscQueue<LiveMidi, 1024>& midiQueue() { return queue_; }
    // The tempo the plug-in's own clock runs at (its Tempo knob), in BPM.
    double internalTempo();
    int eventsDropped() const { return dropped_.load(std::memory_order_relaxed); }

private:
    PluginHost& host_;
    SpscQueue<LiveMidi, 1024> queue_;
    std::array<vst::VstMidiEvent, kMaxEvents> events_{};
    // A VstEvents record with room for kMaxEvents pointers after its header.
    std::array<vst::VstIntPtr, 2 + kMaxEvents> list_{};
    int count_ = 0;
    std::atomic<int> dropped_{0};
};

} // namespace vorpalix::host
