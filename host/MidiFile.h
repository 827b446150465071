#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vorpalix::host {

// One drum note of an export: its start in ticks, the General MIDI key and velocity 1..127.
struct MidiNote {
    std::int64_t tick = 0;
    int key = 0;
    int velocity = 0;
};

// A drum track as a Standard MIDI File of type 1: track 0 holds the tempo and a 4/4 time
// signature, track 1 the notes on MIDI channel 10. Notes last a 32nd note, or less when the
// same key sounds again sooner.
struct MidiDrumTrack {
    static constexpr int kTicksPerQuarter = 960;
    static constexpr int kDrumChannel = 9; // channel 10 counted from 1

    std::uint32_t microsecondsPerQuarter = 500000;
    std::vector<MidiNote> notes;

    // The tempo event's value for a tempo in BPM (rounded to whole microseconds).
    static std::uint32_t tempoValue(double bpm);
    // The tick of a time in seconds at this track's tempo, to the nearest tick.
    std::int64_t tickAt(double seconds) const;
    // The whole file.
    std::vector<std::uint8_t> bytes() const;
};

// The General MIDI drum key of an instrument (0..10 in the order BD, SD, LT, MT, HT, RS, HC, CH,
// OH, CR, RD): 36, 38, 45, 47, 50, 37, 39, 42, 46, 49, 51.
int generalMidiDrumKey(int instrument);

// A MIDI velocity 1..127 for an engine velocity 0..1.
int midiVelocity(float velocity);

} // namespace vorpalix::host
