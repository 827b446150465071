#include "MidiFile.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <tuple>

namespace vorpalix::host {

namespace {

constexpr std::int64_t kNoteLength = MidiDrumTrack::kTicksPerQuarter / 8;

void put32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(value >> shift));
}

void put16(std::vector<std::uint8_t>& out, std::uint16_t value) {
    out.push_back(static_cast<std::uint8_t>(value >> 8));
    out.push_back(static_cast<std::uint8_t>(value));
}

// A variable-length quantity: seven bits per byte, most significant first.
void putVariable(std::vector<std::uint8_t>& out, std::uint64_t value) {
    std::array<std::uint8_t, 10> bytes{};
    int count = 0;
    do {
        bytes[static_cast<std::size_t>(count++)] = static_cast<std::uint8_t>(value & 0x7F);
        value >>= 7;
    } while (value != 0);
    while (count > 1)
        out.push_back(static_cast<std::uint8_t>(bytes[static_cast<std::size_t>(--count)] | 0x80));
    out.push_back(bytes[0]);
}

void putTrack(std::vector<std::uint8_t>& out, const std::vector<std::uint8_t>& body) {
    out.insert(out.end(), {'M', 'T', 'r', 'k'});
    put32(out, static_cast<std::uint32_t>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
}

} // namespace

std::uint32_t MidiDrumTrack::tempoValue(double bpm) {
    if (!(bpm > 0.0) || !std::isfinite(bpm))
        return 500000;
    // The tempo meta event holds 24 bits.
    return static_cast<std::uint32_t>(std::clamp(std::llround(60.0e6 / bpm), 1LL, 0xFFFFFFLL));
}

std::int64_t MidiDrumTrack::tickAt(double seconds) const {
    return std::llround(seconds * 1.0e6 * kTicksPerQuarter / microsecondsPerQuarter);
}

std::vector<std::uint8_t> MidiDrumTrack::bytes() const {
    std::vector<std::uint8_t> file;
    file.insert(file.end(), {'M', 'T', 'h', 'd'});
    put32(file, 6);
    put16(file, 1); // type 1: tracks played together
    put16(file, 2);
    put16(file, kTicksPerQuarter);

    std::vector<std::uint8_t> tempo;
    putVariable(tempo, 0);
    tempo.insert(tempo.end(), {0xFF, 0x51, 0x03});
    tempo.push_back(static_cast<std::uint8_t>(microsecondsPerQuarter >> 16));
    tempo.push_back(static_cast<std::uint8_t>(microsecondsPerQuarter >> 8));
    tempo.push_back(static_cast<std::uint8_t>(microsecondsPerQuarter));
    putVariable(tempo, 0);
    tempo.insert(tempo.end(), {0xFF, 0x58, 0x04, 4, 2, 24, 8}); // 4/4, 24 clocks, 8 32nds
    putVariable(tempo, 0);
    tempo.insert(tempo.end(), {0xFF, 0x2F, 0x00});
    putTrack(file, tempo);

    // Every note becomes an on and an off event; at equal ticks offs come first, so that a note
    // ending where the next one of its key starts does not cut that one short.
    struct Event {
        std::int64_t tick;
        int order; // 0 off, 1 on
        int key;
        int velocity;
    };
    std::vector<MidiNote> sorted = notes;
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const MidiNote& a, const MidiNote& b) { return a.tick < b.tick; });
    std::vector<Event> events;
    events.reserve(sorted.size() * 2);
    std::map<int, std::size_t> nextOfKey; // key -> index of its next note, filled backwards
    std::vector<std::int64_t> ends(sorted.size());
    for (std::size_t n = sorted.size(); n-- > 0;) {
        const auto next = nextOfKey.find(sorted[n].key);
        std::int64_t end = sorted[n].tick + kNoteLength;
        if (next != nextOfKey.end())
            end = std::min(end, sorted[next->second].tick);
        ends[n] = std::max(end, sorted[n].tick + 1);
        nextOfKey[sorted[n].key] = n;
    }
    for (std::size_t n = 0; n < sorted.size(); ++n) {
        const int key = std::clamp(sorted[n].key, 0, 127);
        events.push_back({std::max<std::int64_t>(sorted[n].tick, 0), 1, key,
                          std::clamp(sorted[n].velocity, 1, 127)});
        events.push_back({std::max<std::int64_t>(ends[n], 0), 0, key, 0});
    }
    std::stable_sort(events.begin(), events.end(), [](const Event& a, const Event& b) {
        return std::tie(a.tick, a.order) < std::tie(b.tick, b.order);
    });

    std::vector<std::uint8_t> track;
    const char name[] = "Vorpalix";
    putVariable(track, 0);
    track.insert(track.end(), {0xFF, 0x03, static_cast<std::uint8_t>(sizeof name - 1)});
    track.insert(track.end(), name, name + sizeof name - 1);
    std::int64_t last = 0;
    for (const Event& e : events) {
        putVariable(track, static_cast<std::uint64_t>(e.tick - last));
        last = e.tick;
        track.push_back(static_cast<std::uint8_t>((e.order == 1 ? 0x90 : 0x80) | kDrumChannel));
        track.push_back(static_cast<std::uint8_t>(e.key));
        track.push_back(static_cast<std::uint8_t>(e.order == 1 ? e.velocity : 0));
    }
    putVariable(track, 0);
    track.insert(track.end(), {0xFF, 0x2F, 0x00});
    putTrack(file, track);
    return file;
}

int generalMidiDrumKey(int instrument) {
    static constexpr std::array<int, 11> kKeys{36, 38, 45, 47, 50, 37, 39, 42, 46, 49, 51};
    return instrument >= 0 && instrument < 11 ? kKeys[static_cast<std::size_t>(instrument)] : 0;
}

int midiVelocity(float velocity) {
    if (!std::isfinite(velocity))
        return 1;
    return static_cast<int>(std::clamp(std::lround(velocity * 127.0f), 1L, 127L));
}

} // namespace vorpalix::host
