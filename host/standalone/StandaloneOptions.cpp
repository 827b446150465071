#include "StandaloneOptions.h"

#include "NumberParsing.h"

namespace vorpalix::host {

namespace {

bool readInt(std::string_view value, const char* option, std::int64_t low, std::int64_t high,
             int& target, std::string& error) {
    std::int64_t number = 0;
    if (!parseInt(value, number) || number < low || number > high) {
        error = std::string(option) + " needs a whole number from " + std::to_string(low) + " to " +
                std::to_string(high) + ", not \"" + std::string(value) + "\"";
        return false;
    }
    target = static_cast<int>(number);
    return true;
}

} // namespace

CommandLine standaloneCommandLine(StandaloneOptions& o) {
    using Arity = CommandLine::Arity;
    CommandLine line;
    line.add({"--help", "-h", Arity::None, "", "show this help and exit",
              [&o](std::string_view, std::string&) { return o.help = true; }});
    line.add({"--no-gui", "", Arity::None, "", "run without the panel window",
              [&o](std::string_view, std::string&) { return o.noGui = true; }});
    line.add({"--state", "", Arity::Required, "FILE",
              "start from a saved state (a VorpalixBank document, as hosts\n"
              "store it) instead of the state saved at the last quit",
              storeText(o.statePath, "--state needs a file")});
    line.add({"--no-connect", "", Arity::None, "",
              "leave the JACK ports unconnected (default: the master pair\n"
              "goes to the system playback ports)",
              [&o](std::string_view, std::string&) { return o.noConnect = true; }});
    line.add({"--audio", "", Arity::Required, "auto|jack|alsa",
              "the audio system (default auto: JACK when a server runs, else ALSA)",
              [&o](std::string_view value, std::string& error) {
                  if (value == "auto")
                      o.audio = StandaloneOptions::Audio::Auto;
                  else if (value == "jack")
                      o.audio = StandaloneOptions::Audio::Jack;
                  else if (value == "alsa")
                      o.audio = StandaloneOptions::Audio::Alsa;
                  else {
                      error =
                          "--audio needs auto, jack or alsa, not \"" + std::string(value) + "\"";
                      return false;
                  }
                  return true;
              }});
    line.add({"--name", "", Arity::Required, "NAME", "the JACK client name (default Vorpalix)",
              storeText(o.clientName, "--name needs a name")});
    line.add({"--rate", "", Arity::Required, "HZ", "ALSA sample rate (default 48000)",
              [&o](std::string_view value, std::string& error) {
                  return readInt(value, "--rate", 8000, 192000, o.rate, error);
              }});
    line.add({"--period", "", Arity::Required, "N", "ALSA frames per period (default 256)",
              [&o](std::string_view value, std::string& error) {
                  return readInt(value, "--period", 16, 8192, o.period, error);
              }});
    line.add({"--plugin", "", Arity::Required, "PATH",
              "the plug-in to load (default: vorpalix.so beside this program,\n"
              "in ../lib/vst, $VST_PATH, ~/.vst, /usr/local/lib/vst, /usr/lib/vst)",
              storeText(o.pluginPath, "--plugin needs a path")});
    return line;
}

bool parseStandaloneOptions(std::span<const std::string> args, StandaloneOptions& options,
                            std::string& error) {
    return standaloneCommandLine(options).parse(args, error);
}

std::string standaloneHelpText() {
    StandaloneOptions scratch;
    std::string text;
    text += "Usage: vorpalix [options]\n";
    text += "Plays the Vorpalix drum machine live through JACK or ALSA, with MIDI input on the\n";
    text += "port \"Vorpalix MIDI In\" and the panel in its own window.\n\n";
    text += "Options:\n";
    text += standaloneCommandLine(scratch).help();
    text += "\nThe state is saved on quit to $XDG_CONFIG_HOME/vorpalix/state.xml (or\n";
    text += "~/.config/vorpalix/state.xml) and restored at the next start unless --state is\n";
    text += "given. Under a session manager (NSM_URL set) the state lives in the session.\n";
    return text;
}

} // namespace vorpalix::host
