#include "InfoReport.h"

#include "PluginHost.h"

#include <array>
#include <cstring>
#include <iomanip>

namespace vorpalix::host {

const std::vector<std::string>& pluginCanDoQueries() {
    static const std::vector<std::string> queries = {
        "sendVstEvents",
        "sendVstMidiEvent",
        "sendVstTimeInfo",
        "receiveVstEvents",
        "receiveVstMidiEvent",
        "receiveVstTimeInfo",
        "offline",
        "plugAsChannelInsert",
        "plugAsSend",
        "mixDryWet",
        "noRealTime",
        "multipass",
        "metapass",
        "1in1out",
        "1in2out",
        "2in1out",
        "2in2out",
        "2in4out",
        "4in2out",
        "4in4out",
        "4in8out",
        "8in4out",
        "8in8out",
        "midiProgramNames",
        "conformsToWindowRules",
        "bypass",
    };
    return queries;
}

std::string categoryName(long long category) {
    static const std::array<const char*, 12> names = {
        "unknown",     "effect",          "synth",       "analysis", "mastering", "spacializer",
        "room effect", "surround effect", "restoration", "offline",  "shell",     "generator",
    };
    if (category < 0 || category >= static_cast<long long>(names.size()))
        return "unknown";
    return names[static_cast<std::size_t>(category)];
}

namespace {

std::string flagNames(vst::VstInt32 flags) {
    struct Named {
        vst::VstInt32 bit;
        const char* name;
    };
    static const Named known[] = {
        {vst::effFlagsHasEditor, "has-editor"},
        {vst::effFlagsCanReplacing, "can-replacing"},
        {vst::effFlagsProgramChunks, "program-chunks"},
        {vst::effFlagsIsSynth, "is-synth"},
        {vst::effFlagsNoSoundInStop, "no-sound-in-stop"},
        {vst::effFlagsCanDoubleReplacing, "can-double-replacing"},
    };
    std::string text;
    vst::VstInt32 rest = flags;
    for (const auto& entry : known) {
        if (flags & entry.bit) {
            text += text.empty() ? "" : " ";
            text += entry.name;
            rest &= ~entry.bit;
        }
    }
    if (rest != 0)
        text += (text.empty() ? "other:" : " other:") + std::to_string(rest);
    return text.empty() ? "none" : text;
}

std::string pinFlagNames(vst::VstInt32 flags) {
    std::string text;
    if (flags & vst::kVstPinIsActive)
        text += "active";
    if (flags & vst::kVstPinIsStereo)
        text += text.empty() ? "stereo" : " stereo";
    if (flags & vst::kVstPinUseSpeaker)
        text += text.empty() ? "speaker" : " speaker";
    return text.empty() ? "none" : text;
}

std::string quoted(const char* text, std::size_t capacity) {
    return "\"" + std::string(text, strnlen(text, capacity)) + "\"";
}

} // namespace

void writeInfo(PluginHost& host, std::ostream& out) {
    const auto row = [&out](const char* name) -> std::ostream& {
        return out << std::left << std::setw(17) << name;
    };
    row("Unique ID:") << host.uniqueIdText() << "\n";
    row("Effect name:") << host.effectName() << "\n";
    row("Vendor:") << host.vendorString() << "\n";
    row("Product:") << host.productString() << "\n";
    row("Vendor version:") << host.vendorVersion() << "\n";
    row("VST version:") << host.vstVersion() << "\n";
    const auto category = host.category();
    row("Category:") << categoryName(category) << " (" << category << ")\n";
    row("Version field:") << host.effect().version << "\n";
    row("Flags:") << flagNames(host.flags()) << "\n";
    row("Programs:") << host.numPrograms() << "\n";
    row("Inputs:") << host.numInputs() << "\n";

    row("Outputs:") << host.numOutputs() << "\n";
    for (int pin = 0; pin < host.numOutputs(); ++pin) {
        out << "  " << std::right << std::setw(2) << pin << "  ";
        if (const auto properties = host.outputProperties(pin))
            out << std::left << std::setw(14) << quoted(properties->label, sizeof properties->label)
                << " " << pinFlagNames(properties->flags) << "\n";
        else
            out << "(no properties)\n";
    }

    row("Parameters:") << host.numParams() << "\n";
    for (int index = 0; index < host.numParams(); ++index) {
        const std::string name = "\"" + host.parameterName(index) + "\"";
        out << "  " << std::right << std::setw(3) << index << "  " << std::left << std::setw(12)
            << name << " label \"" << host.parameterLabel(index) << "\"\n";
    }

    out << "canDo:\n";
    for (const auto& query : pluginCanDoQueries())
        out << "  " << std::left << std::setw(23) << query << std::right << std::setw(3)
            << host.canDo(query) << "\n";
}

} // namespace vorpalix::host
