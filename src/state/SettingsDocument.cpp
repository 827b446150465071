#include "state/SettingsDocument.h"

#include <algorithm>
#include <optional>
#include <string_view>

#include "dsp/Instruments.h"
#include "presets/PresetBank.h"
#include "sequencer/PatternBank.h"
#include "sequencer/PatternEditing.h"
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

void readInternalSequencer(SequencerControls& controls, const xmlNode* element) {
    if (const auto state = readOnOff(element, "state")) {
        controls.state = *state;
    }
    const auto sync = attribute(element, "sync");
    if (sync == "internal") {
        controls.sync = kSyncInternal;
    } else if (sync == "external") {
        controls.sync = kSyncExternal;
    }
    const auto mode = attribute(element, "mode");
    if (mode == "chain") {
        controls.mode = kModeChain;
    } else if (mode == "normal") {
        controls.mode = kModeNormal;
    } else if (mode == "free") {
        controls.mode = kModeFree;
    }
}

void readOutputs(std::array<int, kNumInstruments>& slots, const xmlNode* element) {
    for (const xmlNode* out : elementChildren(element)) {
        const auto it =
            std::find(kInstrumentCodes.begin(), kInstrumentCodes.end(), elementName(out));
        const auto number = readIntAttribute(out, "out");
        if (it == kInstrumentCodes.end() || !number) {
            continue;
        }
        // Computed in a wider type: "out" may be as low as INT_MIN.
        const long long slot = std::clamp(static_cast<long long>(*number) - 1, 0LL,
                                          static_cast<long long>(kNumInstruments - 1));
        slots[static_cast<std::size_t>(it - kInstrumentCodes.begin())] = static_cast<int>(slot);
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
bool readEditorStateChild(StateModel& model, const xmlNode* child) {
    const std::string_view name = elementName(child);
    if (name == "SelectedInstrumentForPreset") {
        if (const auto index = readIndex(child, kNumInstruments - 1)) {
            model.presets.setShownInstrument(*index);
        }
        return true;
    }
    PatternEditing* editing = model.editing;
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

void writeEditorState(const StateModel& model, xmlNode* state) {
    setIntAttribute(appendElement(state, "SelectedInstrumentForPreset"), "index",
                    model.presets.shownInstrument());
    const PatternEditing* editing = model.editing;
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

void readPatternRange(StateModel& model, const xmlNode* element) {
    const int from = readIntAttribute(element, "from").value_or(0);
    const int to = readIntAttribute(element, "to").value_or(0);
    if (isValidPattern(from) && isValidPattern(to)) {
        const PatternRange range = PatternRange::of(from, to);
        model.sequencer.rangeFrom = range.from;
        model.sequencer.rangeTo = range.to;
        model.rangeRead = true;
    }
}

// The folder and the file name joined with exactly one '/'.
std::string joinPath(const std::string& folder, const std::string& name) {
    if (!folder.empty() && folder.back() == '/') {
        return folder + name;
    }
    return folder + "/" + name;
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

void readPluginState(StateModel& model, const xmlNode* element) {
    if (!isElement(element, "PluginState")) {
        return;
    }
    SequencerSettings& settings = model.sequencer;
    for (const xmlNode* child : elementChildren(element)) {
        const std::string_view name = elementName(child);
        if (name == "InternalSequencer") {
            readInternalSequencer(settings.controls, child);
        } else if (name == "InternalClock") {
            if (const auto on = readOnOff(child, "state")) {
                settings.controls.sync = *on ? kSyncInternal : kSyncExternal;
            }
        } else if (name == "MidiInput") {
            if (const auto on = readOnOff(child, "state")) {
                settings.controls.mode = *on ? kModeNormal : kModeChain;
            }
        } else if (name == "PatternAttributeStore") {
            if (const auto on = readOnOff(child, "state")) {
                settings.attributeStore = *on;
            }
        } else if (name == "PatternRange") {
            readPatternRange(model, child);
        } else if (name == "Outputs") {
            readOutputs(model.outputSlots, child);
        } else {
            readEditorStateChild(model, child);
        }
    }
}

xmlNode* writePluginState(const StateModel& model) {
    xmlNode* state = newElement("PluginState");
    if (state == nullptr) {
        return nullptr;
    }
    const SequencerSettings& settings = model.sequencer;
    xmlNode* sequencer = appendElement(state, "InternalSequencer");
    setOnOff(sequencer, "state", settings.controls.state);
    setAttribute(sequencer, "sync",
                 settings.controls.sync == kSyncExternal ? "external" : "internal");
    const int mode = settings.controls.mode;
    setAttribute(sequencer, "mode",
                 mode == kModeNormal ? "normal"
                 : mode == kModeFree ? "free"
                                     : "chain");
    setOnOff(appendElement(state, "PatternAttributeStore"), "state", settings.attributeStore);
    xmlNode* range = appendElement(state, "PatternRange");
    setIntAttribute(range, "from", settings.rangeFrom);
    setIntAttribute(range, "to", settings.rangeTo);

    xmlNode* outputs = appendElement(state, "Outputs");
    for (int i = 0; i < kNumInstruments; ++i) {
        const std::string code(kInstrumentCodes[i]);
        setIntAttribute(appendElement(outputs, code.c_str()), "out",
                        model.outputSlots[static_cast<std::size_t>(i)] + 1);
    }
    writeEditorState(model, state);
    return state;
}

void readUserSettings(StateModel& model, const xmlNode* element) {
    OutputConfig& config = model.outputConfig;
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
                model.presets.setShownInstrument(*index);
            }
        } else if (name == "FreeModeVelocityThreshold") {
            if (attribute(child, "level")) {
                model.sequencer.freeModeThreshold =
                    std::clamp(readIntAttribute(child, "level").value_or(100), 0, 127);
            }
        }
    }
}

} // namespace vorpalix
