#pragma once

#include "EventScheduler.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vorpalix::host {

// A MIDI event given on the command line or in an event file: "TIME:KIND:A:B" where TIME is
// seconds ("1.5s"), samples ("100smp") or quarter-note beats ("2b"), KIND is note-on, note-off
// or cc, and A, B are the two data bytes (0..127). Events go to MIDI channel 1.
struct TimedEvent {
    enum class Unit { Seconds, Samples, Beats };

    Unit unit = Unit::Seconds;
    double time = 0.0;
    MidiMessage message;

    // The stream frame of the event at the given rate and tempo (beats at a steady tempo),
    // rounded to the nearest frame.
    std::int64_t sampleTime(double sampleRate, double tempo) const;
};

// Reads one event; on failure returns nothing and sets a one-line message.
std::optional<TimedEvent> parseTimedEvent(std::string_view text, std::string& error);

// Reads an event file: one event per line, '#' starts a comment, blank lines are skipped.
// Appends to `events`; on the first bad line returns false with "FILE:LINE: message".
bool readEventFile(const std::string& path, std::vector<TimedEvent>& events, std::string& error);

} // namespace vorpalix::host
