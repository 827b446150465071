#include "state/SettingsDocument.h"

#include <algorithm>
#include <optional>
#include <string_view>

#include "dsp/Instruments.h"
#include "plugin/DrumPlugin.h"
#include "plugin/ModulePath.h"
#include "plugin/OutputConfig.h"
#include "presets/PresetBank.h"
#include "sequencer/PatternBank.h"
#include "sequencer/PatternEditing.h"
#include "sequencer/PatternSequencer.h"
#include "state/XmlDocument.h"

namespace vorpalix {

namespace {

// "on" → true, "off" → false, anything else (or no attribute) → nothing.
std::optional<bool> readOnOff(const xmlNode* node, const char* name) {
    const auto text = attribute(node, name);
    if (text == "on") {
        return true;
    }
    if (text == "off") {
        return false;
    }
    return std::nullopt;
}

void setOnOff(xmlNode* node, const char* name, bool on) {
    setAttribute(node, name, on ? "on" : "off");
}

void readInternalSequencer(DrumPlugin& plugin, const xmlNode* element) {
    if (const auto state = readOnOff(element, "state")) {
        plugin.setSequencerState(*state);
    }
    const auto sync = attribute(element, "sync");
    if (sync == "internal") {
        plugin.setSequencerSync(kSyncInternal);
    } else if (sync == "external") {
        plugin.setSequencerSync(kSyncExternal);
    }
    const auto mode = attribute(element, "mode");
    if (mode == "chain") {
        plugin.setSequencerMode(kModeChain);
    } else if (mode == "normal") {
        plugin.setSequencerMode(kModeNormal);
    } else if (mode == "free") {
        plugin.setSequencerMode(kModeFree);
    }
}

void readOutputs(DrumPlugin& plugin, const xmlNode* element) {
    for (const xmlNode* out : elementChildren(element)) {
        const auto it =
            std::find(kInstrumentCodes.begin(), kInstrumentCodes.end(), elementName(out));
        const auto number = readIntAttribute(out, "out");
        if (it == kInstrumentCodes.end() || !number) {
            continue;
        }
        // Computed in a wider type: "out" may be as low as INT_MIN.
        const long long slot = std::clamp(static_cast<long long>(*number) - 1, 0LL, 10LL);
        plugin.setOutputNumber(static_cast<int>(it - kInstrumentCodes.begin()),
                               static_cast<int>(slot));
    }
}

// An index attribute that is applied only inside 0..last.
std::optional<int> readIndex(const xmlNode* element, int last) {
    const auto index = readIntAttribute(element, "index");
    if (!index || *index < 0 || *index > last) {
        return std::nullopt;
    }
    return index;
}

// The editor-state children. They go through the same operations as the panel's controls.
// Returns false for a name that is not one of them.
bool readEditorStateChild(DrumPlugin& plugin, PatternEditing* editing, const xmlNode* child) {
    const std::string_view name = elementName(child);
    if (name == "SelectedInstrumentForPreset") {
        if (const auto index = readIndex(child, kNumInstruments - 1)) {
            plugin.presets().setShownInstrument(*index);
        }
        return true;
    }
    if (editing == nullptr) {
        return false;
    }
    if (name == "SelectedInstrument") {
        if (const auto index = readIndex(child, kPatternRows - 1)) {
            editing->setEditedRow(*index);
        }
    } else if (name == "EditedPattern") {
        if (const auto index = readIndex(child, kPatternCount - 1)) {
            editing->setEditedPattern(*index);
        }
    } else if (name == "WriteMode") {
        if (const auto on = readOnOff(child, "state")) {
            editing->setWriteMode(*on);
        }
    } else if (name == "TapMode") {
        if (const auto on = readOnOff(child, "state")) {
            editing->setTapMode(*on);
        }
    } else if (name == "FlamMode") {
        if (const auto on = readOnOff(child, "state")) {
            editing->setFlamMode(*on);
        }
    } else if (name == "LastStepMode") {
        if (const auto on = readOnOff(child, "state")) {
            editing->setLastStepMode(*on);
        }
    } else if (name == "AutoFollow") {
        if (const auto on = readOnOff(child, "state")) {
            editing->setAutoFollow(*on);
        }
    } else {
        return false;
    }
    return true;
}

void writeEditorState(DrumPlugin& plugin, const PatternEditing* editing, xmlNode* state) {
    setIntAttribute(appendElement(state, "SelectedInstrumentForPreset"), "index",
                    plugin.presets().shownInstrument());
    if (editing == nullptr) {
        return;
    }
    const EditState& edit = editing->state();
    setIntAttribute(appendElement(state, "SelectedInstrument"), "index", edit.editedRow);
    setIntAttribute(appendElement(state, "EditedPattern"), "index", edit.editedPattern);
    // Write mode follows the edited pattern: switching it on makes the playing pattern the
    // edited one, and switching it off ends the other modes, which are written after it.
    setOnOff(appendElement(state, "WriteMode"), "state", edit.writeMode);
    setOnOff(appendElement(state, "TapMode"), "state", edit.tapMode);
    setOnOff(appendElement(state, "FlamMode"), "state", edit.flamMode);
    setOnOff(appendElement(state, "LastStepMode"), "state", edit.lastStepMode);
    setOnOff(appendElement(state, "AutoFollow"), "state", edit.autoFollow);
}

void readPatternRange(DrumPlugin& plugin, const xmlNode* element) {
    const int from = readIntAttribute(element, "from").value_or(0);
    const int to = readIntAttribute(element, "to").value_or(0);
    if (isValidPattern(from) && isValidPattern(to)) {
        plugin.sequencer().setRange(from, to);
    }
}

} // namespace

std::string userSettingsPath(const std::string& folder) {
    if (folder.empty()) {
        return {};
    }
    std::string path = joinPath(folder, kUserSettingsFileName);
    if (path.size() > kMaxSettingsPath) {
        return {};
    }
    return path;
}

void readPluginState(DrumPlugin& plugin, const xmlNode* element, PatternEditing* editing) {
    if (!isElement(element, "PluginState")) {
        return;
    }
    for (const xmlNode* child : elementChildren(element)) {
        const std::string_view name = elementName(child);
        if (name == "InternalSequencer") {
            readInternalSequencer(plugin, child);
        } else if (name == "InternalClock") {
            if (const auto on = readOnOff(child, "state")) {
                plugin.setSequencerSync(*on ? kSyncInternal : kSyncExternal);
            }
        } else if (name == "MidiInput") {
            if (const auto on = readOnOff(child, "state")) {
                plugin.setSequencerMode(*on ? kModeNormal : kModeChain);
            }
        } else if (name == "PatternAttributeStore") {
            if (const auto on = readOnOff(child, "state")) {
                plugin.setPatternAttributeStore(*on);
            }
        } else if (name == "PatternRange") {
            readPatternRange(plugin, child);
        } else if (name == "Outputs") {
            readOutputs(plugin, child);
        } else {
            readEditorStateChild(plugin, editing, child);
        }
    }
}

xmlNode* writePluginState(DrumPlugin& plugin, const PatternEditing* editing) {
    xmlNode* state = newElement("PluginState");
    if (state == nullptr) {
        return nullptr;
    }
    xmlNode* sequencer = appendElement(state, "InternalSequencer");
    setOnOff(sequencer, "state", plugin.sequencerState());
    setAttribute(sequencer, "sync",
                 plugin.sequencerSync() == kSyncExternal ? "external" : "internal");
    const int mode = plugin.sequencerMode();
    setAttribute(sequencer, "mode",
                 mode == kModeNormal ? "normal"
                 : mode == kModeFree ? "free"
                                     : "chain");
    setOnOff(appendElement(state, "PatternAttributeStore"), "state",
             plugin.patternAttributeStore());
    xmlNode* range = appendElement(state, "PatternRange");
    setIntAttribute(range, "from", plugin.sequencer().rangeFrom());
    setIntAttribute(range, "to", plugin.sequencer().rangeTo());

    xmlNode* outputs = appendElement(state, "Outputs");
    for (int i = 0; i < kNumInstruments; ++i) {
        const std::string code(kInstrumentCodes[i]);
        setIntAttribute(appendElement(outputs, code.c_str()), "out", plugin.outputNumber(i) + 1);
    }
    writeEditorState(plugin, editing, state);
    return state;
}

void readUserSettings(DrumPlugin& plugin, OutputConfig& config, const xmlNode* element) {
    if (!isElement(element, "UserSettings")) {
        return;
    }
    for (const xmlNode* child : elementChildren(element)) {
        const std::string_view name = elementName(child);
        if (name == "OutputConfig") {
            for (const xmlNode* output : elementChildren(child)) {
                const auto type = attribute(output, "type");
                const bool typeKnown = type == "stereo" || type == "mono";
                if (isElement(output, "MasterOutput")) {
                    if (const auto on = readOnOff(output, "state")) {
                        config.masterOn = *on;
                    }
                    if (typeKnown) {
                        config.masterStereo = type == "stereo";
                    }
                } else if (isElement(output, "InstrumentsOutputs") && typeKnown) {
                    config.instrumentsStereo = type == "stereo";
                }
            }
        } else if (name == "SelectedInstrumentForPreset") {
            if (const auto index = readIndex(child, kNumInstruments - 1)) {
                plugin.presets().setShownInstrument(*index);
            }
        } else if (name == "FreeModeVelocityThreshold") {
            if (attribute(child, "level")) {
                plugin.setFreeModeThreshold(readIntAttribute(child, "level").value_or(100));
            }
        }
    }
}

} // namespace vorpalix
