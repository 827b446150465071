#pragma once

// The queue of MIDI events that drive the sequencer (notes and All Notes Off), in arrival order,
// each with its delta in frames. The plug-in fills it from the host's events before a block; the
// sequencer handles each event at its frame. Events that a block did not reach stay queued for
// the next.
//
// The storage is allocated once, at construction, for kCapacity events; a host that sends more
// before they are handled loses the surplus (counted in droppedCount), and nothing on the audio
// thread ever allocates. Audio thread only after construction.

#include <cstddef>
#include <cstdint>
#include <memory>

namespace vorpalix {

// One MIDI message with the frame it falls on, counted from the start of the block it arrived
// with: the sequencer's own form of a host's MIDI event.
struct TimedMidiEvent {
    std::uint8_t bytes[4];
    std::int32_t delta;
};

class MidiEventQueue {
public:
    static constexpr std::size_t kCapacity = 4096;

    MidiEventQueue();
    MidiEventQueue(const MidiEventQueue&) = delete;
    MidiEventQueue& operator=(const MidiEventQueue&) = delete;

    // Audio thread. No allocation. Appends an event; false (and the event dropped) when full.
    bool push(const std::uint8_t bytes[4], std::int32_t delta);

    // Audio thread. Removes every event with a negative delta (it can never become due) and
    // returns the smallest remaining delta, or -1 when the queue is empty.
    std::int32_t smallestDelta();

    // Audio thread. The countdown that started at `elapsed` has run out: every delta is reduced
    // by elapsed; the events whose delta is now 0 are handed to handle(const TimedMidiEvent&)
    // in queue order; every event at or below 0 is removed. Returns the smallest remaining
    // delta, or -1 when the queue is empty.
    template <typename Handler> std::int32_t expire(std::int32_t elapsed, Handler&& handle);

    // Audio thread. At the end of a block: `elapsed` frames passed since the deltas were last
    // reduced, so every stored delta is reduced by that much (not below 0). An event the block
    // did not reach thus keeps its place in time and falls due in a later block, however short
    // the host's blocks are.
    void age(std::int32_t elapsed);

    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    // Events refused because the queue was full, since construction.
    std::size_t droppedCount() const { return dropped_; }
    void clear() { size_ = 0; }

private:
    std::unique_ptr<TimedMidiEvent[]> events_;
    std::size_t size_ = 0;
    std::size_t dropped_ = 0;
};

template <typename Handler>
std::int32_t MidiEventQueue::expire(std::int32_t elapsed, Handler&& handle) {
    // Handle the due events first, in order, then compact the survivors; handling never adds to
    // the queue, so the two passes see the same events.
    for (std::size_t i = 0; i < size_; ++i) {
        if (static_cast<std::int64_t>(events_[i].delta) - elapsed == 0) {
            TimedMidiEvent due = events_[i];
            due.delta = 0;
            handle(static_cast<const TimedMidiEvent&>(due));
        }
    }
    std::size_t kept = 0;
    std::int32_t smallest = -1;
    for (std::size_t i = 0; i < size_; ++i) {
        const std::int64_t delta = static_cast<std::int64_t>(events_[i].delta) - elapsed;
        if (delta <= 0) {
            continue;
        }
        events_[kept] = events_[i];
        events_[kept].delta = static_cast<std::int32_t>(delta);
        if (smallest < 0 || events_[kept].delta < smallest) {
            smallest = events_[kept].delta;
        }
        ++kept;
    }
    size_ = kept;
    return smallest;
}

} // namespace vorpalix
