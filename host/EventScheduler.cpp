#include "EventScheduler.h"

#include <algorithm>

namespace vorpalix::host {

namespace {

std::uint8_t statusByte(int kind, int channel) {
    return static_cast<std::uint8_t>(kind | (std::clamp(channel, 0, 15)));
}

std::uint8_t dataByte(int value) {
    return static_cast<std::uint8_t>(std::clamp(value, 0, 127));
}

} // namespace

MidiMessage MidiMessage::noteOn(int channel, int key, int velocity) {
    return {statusByte(0x90, channel), dataByte(key), dataByte(velocity)};
}

MidiMessage MidiMessage::noteOff(int channel, int key, int velocity) {
    return {statusByte(0x80, channel), dataByte(key), dataByte(velocity)};
}

MidiMessage MidiMessage::controlChange(int channel, int controller, int value) {
    return {statusByte(0xB0, channel), dataByte(controller), dataByte(value)};
}

vst::VstMidiEvent makeMidiEvent(std::int32_t deltaFrames, MidiMessage message) {
    vst::VstMidiEvent event{};
    event.type = vst::kVstMidiType;
    event.byteSize = static_cast<vst::VstInt32>(sizeof(vst::VstMidiEvent));
    event.deltaFrames = deltaFrames;
    event.midiData[0] = static_cast<char>(message.status);
    event.midiData[1] = static_cast<char>(message.data1);
    event.midiData[2] = static_cast<char>(message.data2);
    return event;
}

void EventScheduler::schedule(std::int64_t sampleTime, MidiMessage message) {
    timed_.emplace(sampleTime, message); // multimap inserts equal keys at the upper end
}

void EventScheduler::scheduleRaw(std::int32_t deltaFrames, MidiMessage message) {
    raw_.emplace_back(deltaFrames, message);
}

void EventScheduler::takeBlock(std::int64_t blockStart, std::int32_t frames,
                               std::vector<vst::VstMidiEvent>& out) {
    out.clear();
    const std::int64_t blockEnd = blockStart + std::max<std::int32_t>(frames, 0);
    auto it = timed_.begin();
    for (; it != timed_.end(); ++it) {
        const std::int64_t time = it->first;
        if (time >= blockEnd)
            break;
        const std::int64_t delta = std::max<std::int64_t>(time - blockStart, 0);
        out.push_back(makeMidiEvent(static_cast<std::int32_t>(delta), it->second));
    }
    timed_.erase(timed_.begin(), it);
    for (const auto& [delta, message] : raw_)
        out.push_back(makeMidiEvent(delta, message));
    raw_.clear();
}

void EventScheduler::clear() {
    timed_.clear();
    raw_.clear();
}

} // namespace vorpalix::host
