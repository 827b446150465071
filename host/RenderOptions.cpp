#include "RenderOptions.h"

#include "NumberParsing.h"

#include <charconv>
#include <cmath>

namespace vorpalix::host {

namespace {

std::string numberText(double value) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

// Reads a length in seconds or bars: a finite number, not negative.
bool readLength(std::string_view value, const char* option, std::optional<double>& target,
                std::string& error) {
    double number = 0.0;
    if (!parseDouble(value, number)) {
        error = std::string(option) + " needs a number, not \"" + std::string(value) + "\"";
        return false;
    }
    if (number < 0.0) {
        error = std::string(option) + " must not be negative";
        return false;
    }
    target = number;
    return true;
}

bool readInt(std::string_view value, const char* option, std::int64_t low, std::int64_t high,
             int& target, std::string& error) {
    std::int64_t number = 0;
    if (!parseInt(value, number)) {
        error = std::string(option) + " needs a whole number, not \"" + std::string(value) + "\"";
        return false;
    }
    if (number < low || number > high) {
        error = std::string(option) + " must be between " + std::to_string(low) + " and " +
                std::to_string(high);
        return false;
    }
    target = static_cast<int>(number);
    return true;
}

} // namespace

double RenderOptions::lengthInSeconds() const {
    if (seconds)
        return *seconds;
    return bars.value_or(kDefaultBars) * 4.0 * 60.0 / tempo;
}

std::int64_t RenderOptions::lengthInFrames() const {
    return static_cast<std::int64_t>(std::llround(lengthInSeconds() * sampleRate));
}

CommandLine renderCommandLine(RenderOptions& o) {
    using Arity = CommandLine::Arity;
    CommandLine line;
    line.add({"--help", "-h", Arity::None, "", "show this help and exit",
              [&o](std::string_view, std::string&) { return o.help = true; }});
    line.add({"--info", "", Arity::Optional, "PLUGIN.so",
              "print the plug-in's identity, pins, parameters and capabilities\n"
              "and exit",
              [&o](std::string_view value, std::string&) {
                  o.info = true;
                  if (!value.empty())
                      o.pluginPath = value;
                  return true;
              }});
    line.add({"--output", "-o", Arity::Required, "FILE",
              "write the render to FILE (32-bit float WAV)",
              storeText(o.outputPath, "-o needs a file name")});
    line.add({"--seconds", "", Arity::Required, "S", "render S seconds",
              [&o](std::string_view value, std::string& error) {
                  return readLength(value, "--seconds", o.seconds, error);
              }});
    line.add({"--bars", "", Arity::Required, "B",
              "render B bars of 4/4 at the tempo (default " +
                  numberText(RenderOptions::kDefaultBars) + ")",
              [&o](std::string_view value, std::string& error) {
                  return readLength(value, "--bars", o.bars, error);
              }});
    line.add({"--rate", "", Arity::Required, "HZ",
              "sample rate in Hz, " + std::to_string(RenderOptions::kMinRate) + " to " +
                  std::to_string(RenderOptions::kMaxRate) + " (default 44100)",
              [&o](std::string_view value, std::string& error) {
                  return readInt(value, "--rate", RenderOptions::kMinRate, RenderOptions::kMaxRate,
                                 o.sampleRate, error);
              }});
    line.add({"--block", "", Arity::Required, "N",
              "frames per processing call, 1 to " + std::to_string(RenderOptions::kMaxBlock) +
                  " (default 256)",
              [&o](std::string_view value, std::string& error) {
                  return readInt(value, "--block", 1, RenderOptions::kMaxBlock, o.blockSize, error);
              }});
    line.add({"--tempo", "", Arity::Required, "BPM",
              "host tempo, " + numberText(RenderOptions::kMinTempo) + " to " +
                  numberText(RenderOptions::kMaxTempo) + " (default 120)",
              [&o](std::string_view value, std::string& error) {
                  double number = 0.0;
                  if (!parseDouble(value, number)) {
                      error = "--tempo needs a number, not \"" + std::string(value) + "\"";
                      return false;
                  }
                  if (number < RenderOptions::kMinTempo || number > RenderOptions::kMaxTempo) {
                      error = "--tempo must be between " + numberText(RenderOptions::kMinTempo) +
                              " and " + numberText(RenderOptions::kMaxTempo);
                      return false;
                  }
                  o.tempo = number;
                  return true;
              }});
    line.add({"--accumulate", "", Arity::None, "",
              "use the accumulating process call instead of processReplacing",
              [&o](std::string_view, std::string&) { return o.accumulate = true; }});
    line.add({"--all", "", Arity::None, "",
              "write every output into the -o file\n"
              "(default: the master pair, outputs 0-1)",
              [&o](std::string_view, std::string&) { return o.allOutputs = true; }});
    line.add({"--stems", "", Arity::Required, "DIR",
              "write one file per output into DIR, named after what is routed\n"
              "to it: master.wav, bass-drum.wav, ..., ride.wav, or out-N.wav\n"
              "for an output several instruments share",
              storeText(o.stemsFolder, "--stems needs a folder")});
    line.add({"--export-midi", "", Arity::Required, "FILE",
              "write the sequenced hits as a Standard MIDI File (type 1, 960\n"
              "ticks per quarter, General MIDI drum notes on channel 10)",
              storeText(o.midiPath, "--export-midi needs a file")});
    line.add({"--state", "", Arity::Required, "FILE",
              "start from a saved state: a VorpalixBank document, as the\n"
              "plug-in hands it to hosts (applied before rendering)",
              storeText(o.statePath, "--state needs a file")});
    line.add({"--save-state", "", Arity::Required, "FILE",
              "write the plug-in's state to FILE after rendering",
              storeText(o.saveStatePath, "--save-state needs a file")});
    line.add({"--event", "", Arity::Required, "TIME:KIND:A:B",
              "send a MIDI event on channel 1; TIME in seconds (1.5s),\n"
              "samples (100smp) or beats (2b); KIND note-on, note-off or cc;\n"
              "A, B the data bytes 0..127 (1.5s:note-on:60:100)",
              [&o](std::string_view value, std::string& error) {
                  auto event = parseTimedEvent(value, error);
                  if (!event)
                      return false;
                  o.events.push_back(*event);
                  return true;
              }});
    line.add({"--events", "", Arity::Required, "FILE",
              "send the MIDI events listed in FILE, one per line;\n"
              "'#' starts a comment",
              [&o](std::string_view value, std::string& error) {
                  return readEventFile(std::string(value), o.events, error);
              }});
    line.add({"--patterns", "", Arity::Required, "A-B",
              "play the pattern chain A..B (0..95) from the start: the range is\n"
              "chosen with MIDI pattern keys before the transport starts",
              [&o](std::string_view value, std::string& error) {
                  const auto dash = value.find('-', 1);
                  std::int64_t first = 0;
                  std::int64_t last = 0;
                  const bool ok = dash == std::string_view::npos
                                      ? parseInt(value, first) && parseInt(value, last)
                                      : parseInt(value.substr(0, dash), first) &&
                                            parseInt(value.substr(dash + 1), last);
                  if (!ok || first < 0 || first > 95 || last < 0 || last > 95) {
                      error = "--patterns needs A-B with patterns 0..95, not \"" +
                              std::string(value) + "\"";
                      return false;
                  }
                  o.patterns = std::make_pair(static_cast<int>(first), static_cast<int>(last));
                  return true;
              }});
    line.add({"--screenshot", "", Arity::Required, "FILE",
              "write a picture of the plug-in's panel to FILE (PNG) instead of\n"
              "rendering audio; with --state, the panel of that state",
              storeText(o.screenshotPath, "--screenshot needs a file name")});
    line.add({"--click", "", Arity::Required, "X,Y",
              "click the panel at pixel X,Y before the screenshot is taken;\n"
              "give it again for more clicks, made in order",
              [&o](std::string_view value, std::string& error) {
                  const auto comma = value.find(',');
                  std::int64_t x = -1;
                  std::int64_t y = -1;
                  const bool ok = comma != std::string_view::npos &&
                                  parseInt(value.substr(0, comma), x) &&
                                  parseInt(value.substr(comma + 1), y);
                  if (!ok || x < 0 || y < 0 || x > RenderOptions::kMaxClickCoordinate ||
                      y > RenderOptions::kMaxClickCoordinate) {
                      error = "--click needs X,Y with pixels 0.." +
                              std::to_string(RenderOptions::kMaxClickCoordinate) + ", not \"" +
                              std::string(value) + "\"";
                      return false;
                  }
                  o.clicks.emplace_back(static_cast<int>(x), static_cast<int>(y));
                  return true;
              }});
    line.add({"--plugin", "", Arity::Required, "PATH",
              "the plug-in to load (default: vorpalix.so beside this program,\n"
              "in ../lib/vst, $VST_PATH, ~/.vst, /usr/local/lib/vst, /usr/lib/vst)",
              storeText(o.pluginPath, "--plugin needs a path")});
    line.add({"--quiet", "-q", Arity::None, "", "no progress bar",
              [&o](std::string_view, std::string&) { return o.quiet = true; }});
    return line;
}

bool parseRenderOptions(std::span<const std::string> args, RenderOptions& options,
                        std::string& error) {
    if (!renderCommandLine(options).parse(args, error))
        return false;
    if (options.help || options.info)
        return true;
    if (!options.clicks.empty() && options.screenshotPath.empty()) {
        error = "--click needs --screenshot FILE";
        return false;
    }
    if (!options.screenshotPath.empty()) {
        if (!options.outputPath.empty() || !options.stemsFolder.empty() ||
            !options.midiPath.empty()) {
            error = "--screenshot writes a picture only; leave out -o, --stems and --export-midi";
            return false;
        }
        return true;
    }
    if (options.seconds && options.bars) {
        error = "give either --seconds or --bars, not both";
        return false;
    }
    if (options.outputPath.empty() && options.stemsFolder.empty() && options.midiPath.empty()) {
        error = "no output given (use -o FILE, --stems DIR or --export-midi FILE)";
        return false;
    }
    if (options.allOutputs && options.outputPath.empty()) {
        error = "--all needs -o FILE";
        return false;
    }
    if (options.lengthInSeconds() > RenderOptions::kMaxSeconds) {
        error = "the render is too long (at most " + numberText(RenderOptions::kMaxSeconds) +
                " seconds)";
        return false;
    }
    return true;
}

std::string renderHelpText() {
    RenderOptions scratch;
    std::string text;
    text += "Usage: vorpalix-render [options] -o out.wav\n";
    text += "       vorpalix-render --info [PLUGIN.so]\n";
    text += "       vorpalix-render [--state FILE] [--click X,Y]... --screenshot panel.png\n";
    text += "Renders a VST 2.4 instrument with the host transport playing from bar 1.\n\n";
    text += "Options:\n";
    text += renderCommandLine(scratch).help();
    return text;
}

} // namespace vorpalix::host
