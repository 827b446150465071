#include "TimedEvent.h"

#include "NumberParsing.h"

#include <cmath>
#include <filesystem>
#include <fstream>

namespace vorpalix::host {

namespace {

// Splits at every ':'.
void splitFields(std::string_view text, std::vector<std::string_view>& fields) {
    fields.clear();
    std::size_t start = 0;
    while (true) {
        const auto colon = text.find(':', start);
        if (colon == std::string_view::npos) {
            fields.push_back(text.substr(start));
            return;
        }
        fields.push_back(text.substr(start, colon - start));
        start = colon + 1;
    }
}

bool parseDataByte(std::string_view text, std::uint8_t& value) {
    std::int64_t number = 0;
    if (!parseInt(text, number) || number < 0 || number > 127)
        return false;
    value = static_cast<std::uint8_t>(number);
    return true;
}

std::string_view trim(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

} // namespace

std::int64_t TimedEvent::sampleTime(double sampleRate, double tempo) const {
    double frames = 0.0;
    switch (unit) {
    case Unit::Seconds:
        frames = time * sampleRate;
        break;
    case Unit::Samples:
        frames = time;
        break;
    case Unit::Beats:
        frames = time * sampleRate * 60.0 / tempo;
        break;
    }
    return static_cast<std::int64_t>(std::llround(frames));
}

std::optional<TimedEvent> parseTimedEvent(std::string_view text, std::string& error) {
    // Messages quote the event, shortened so that a runaway line still gives one short line.
    constexpr std::size_t kQuoteLimit = 60;
    std::string shown(text.substr(0, kQuoteLimit));
    for (char& c : shown)
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) == 0x7F)
            c = '?';
    const std::string quoted = "\"" + shown + (text.size() > kQuoteLimit ? "...\"" : "\"");
    std::vector<std::string_view> fields;
    splitFields(text, fields);
    if (fields.size() != 4) {
        error = "event " + quoted + " is not TIME:note-on|note-off|cc:A:B";
        return std::nullopt;
    }

    TimedEvent event;
    std::string_view time = fields[0];
    std::string_view number;
    if (time.ends_with("smp")) {
        event.unit = TimedEvent::Unit::Samples;
        number = time.substr(0, time.size() - 3);
    } else if (time.ends_with("s")) {
        event.unit = TimedEvent::Unit::Seconds;
        number = time.substr(0, time.size() - 1);
    } else if (time.ends_with("b")) {
        event.unit = TimedEvent::Unit::Beats;
        number = time.substr(0, time.size() - 1);
    } else {
        error = "event " + quoted + ": the time needs a unit (s, smp or b)";
        return std::nullopt;
    }
    // Positions far beyond any render would overflow the frame count; 1e12 frames is ~700 years.
    if (!parseDouble(number, event.time) || event.time < 0.0 || event.time > 1e12) {
        error = "event " + quoted + ": bad time";
        return std::nullopt;
    }
    if (event.unit == TimedEvent::Unit::Samples && event.time != std::floor(event.time)) {
        error = "event " + quoted + ": a sample time must be a whole number";
        return std::nullopt;
    }

    std::uint8_t a = 0;
    std::uint8_t b = 0;
    if (!parseDataByte(fields[2], a) || !parseDataByte(fields[3], b)) {
        error = "event " + quoted + ": data values must be whole numbers 0..127";
        return std::nullopt;
    }
    const std::string_view kind = fields[1];
    if (kind == "note-on")
        event.message = MidiMessage::noteOn(0, a, b);
    else if (kind == "note-off")
        event.message = MidiMessage::noteOff(0, a, b);
    else if (kind == "cc")
        event.message = MidiMessage::controlChange(0, a, b);
    else {
        error = "event " + quoted + ": unknown kind (note-on, note-off or cc)";
        return std::nullopt;
    }
    return event;
}

bool readEventFile(const std::string& path, std::vector<TimedEvent>& events, std::string& error) {
    std::error_code ec;
    std::ifstream file;
    if (std::filesystem::is_regular_file(path, ec))
        file.open(path, std::ios::binary);
    if (!file.is_open() || !file) {
        error = "cannot read event file \"" + path + "\"";
        return false;
    }
    std::vector<TimedEvent> read;
    std::string line;
    int lineNumber = 0;
    while (std::getline(file, line)) {
        ++lineNumber;
        std::string_view content = line;
        const auto hash = content.find('#');
        if (hash != std::string_view::npos)
            content = content.substr(0, hash);
        content = trim(content);
        if (content.empty())
            continue;
        std::string message;
        auto event = parseTimedEvent(content, message);
        if (!event) {
            error = path + ":" + std::to_string(lineNumber) + ": " + message;
            return false;
        }
        read.push_back(*event);
    }
    if (file.bad()) {
        error = "cannot read event file \"" + path + "\"";
        return false;
    }
    events.insert(events.end(), read.begin(), read.end());
    return true;
}

} // namespace vorpalix::host
