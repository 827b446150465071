#include "sequencer/MidiEventQueue.h"

namespace vorpalix {

MidiEventQueue::MidiEventQueue() : events_(std::make_unique<TimedMidiEvent[]>(kCapacity)) {}

bool MidiEventQueue::push(const std::uint8_t bytes[4], std::int32_t delta) {
    if (size_ >= kCapacity) {
        ++dropped_;
        return false;
    }
    TimedMidiEvent& e = events_[size_++];
    for (int i = 0; i < 4; ++i) {
        e.bytes[i] = bytes[i];
    }
    e.delta = delta;
    return true;
}

std::int32_t MidiEventQueue::smallestDelta() {
    std::size_t kept = 0;
    std::int32_t smallest = -1;
    for (std::size_t i = 0; i < size_; ++i) {
        if (events_[i].delta < 0) {
            continue;
        }
        if (smallest < 0 || events_[i].delta < smallest) {
            smallest = events_[i].delta;
        }
        events_[kept++] = events_[i];
    }
    size_ = kept;
    return smallest;
}

void MidiEventQueue::age(std::int32_t elapsed) {
    if (elapsed <= 0) {
        return;
    }
    for (std::size_t i = 0; i < size_; ++i) {
        events_[i].delta = events_[i].delta > elapsed ? events_[i].delta - elapsed : 0;
    }
}

} // namespace vorpalix
