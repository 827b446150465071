// Applying the settings documents: the one embedded in the module at creation, then the user's
// "Vorpalix.ini.xml" beside the module.

#include <algorithm>
#include <cstring>

#include "dsp/Instruments.h"
#include "plugin/DrumPlugin.h"
#include "plugin/ModulePath.h"
#include "presets/PresetBank.h"
#include "resources/EmbeddedResources.h"
#include "sequencer/PatternSequencer.h"
#include "state/XmlDocument.h"

namespace vorpalix {

namespace {

constexpr const char* kUserSettingsFileName = "Vorpalix.ini.xml";
constexpr std::size_t kMaxSettingsPath = 255;

// "on" → true, "off" → false, anything else → nothing.
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

void readPluginState(DrumPlugin& plugin, const xmlNode* element) {
    if (!isElement(element, "PluginState")) {
        return;
    }
    for (const xmlNode* child : elementChildren(element)) {
        const std::string_view name = elementName(child);
        if (name == "InternalSequencer") {
            if (const auto state = readOnOff(child, "state")) {
                plugin.setSequencerState(*state);
            }
            const auto sync = attribute(child, "sync");
            if (sync == "internal") {
                plugin.setSequencerSync(kSyncInternal);
            } else if (sync == "external") {
                plugin.setSequencerSync(kSyncExternal);
            }
            const auto mode = attribute(child, "mode");
            if (mode == "chain") {
                plugin.setSequencerMode(kModeChain);
            } else if (mode == "normal") {
                plugin.setSequencerMode(kModeNormal);
            } else if (mode == "free") {
                plugin.setSequencerMode(kModeFree);
            }
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
        } else if (name == "Outputs") {
            for (const xmlNode* out : elementChildren(child)) {
                const auto it = std::find(kInstrumentCodes.begin(),
                                          kInstrumentCodes.end(), elementName(out));
                const auto number = readIntAttribute(out, "out");
                if (it != kInstrumentCodes.end() && number) {
                    const int slot = std::clamp(*number - 1, 0, 10);
                    plugin.setOutputNumber(
                        static_cast<int>(it - kInstrumentCodes.begin()), slot);
                }
            }
        }
    }
}

} // namespace

void DrumPlugin::readUserSettings(const xmlNode* element) {
    for (const xmlNode* child : elementChildren(element)) {
        const std::string_view name = elementName(child);
        if (name == "OutputConfig") {
            for (const xmlNode* output : elementChildren(child)) {
                const auto type = attribute(output, "type");
                if (isElement(output, "MasterOutput")) {
                    if (const auto on = readOnOff(output, "state")) {
                        outputConfig_.masterOn = *on;
                    }
                    if (type == "stereo" || type == "mono") {
                        outputConfig_.masterStereo = type == "stereo";
                    }
                } else if (isElement(output, "InstrumentsOutputs")) {
                    if (type == "stereo" || type == "mono") {
                        outputConfig_.instrumentsStereo = type == "stereo";
                    }
                }
            }
        } else if (name == "FreeModeVelocityThreshold") {
            if (attribute(child, "level")) {
                setFreeModeThreshold(readIntAttribute(child, "level").value_or(100));
            }
        }
    }
}

void DrumPlugin::applySettingsDocument(const xmlNode* root, bool embedded) {
    if (root == nullptr) {
        return;
    }
    const bool ours = isElement(root, "VorpalixSettings");
    if (embedded) {
        for (const xmlNode* child : elementChildren(root)) {
            if (isElement(child, "VSTParameters")) {
                parameters_.loadParameterTable(child);
            } else if (isElement(child, "MidiCCMap")) {
                controllers_.readMidiCCMap(child, parameters_);
            }
        }
        for (int i = kNumKnobs; i < kNumHostParameters; ++i) {
            setParameter(i, parameters_.info(i).defaultValue);
        }
        if (!ours) {
            return;
        }
        for (const xmlNode* child : elementChildren(root)) {
            if (isElement(child, "PatternBank")) {
                sequencer_->readPatternBank(child);
            } else if (isElement(child, "InstrumentPresetBank")) {
                presets_->resetValuesToDefaults(parameters_);
                for (int i = 0; i < 11; ++i) {
                    presets_->selectPreset(i, presets_->selection(i));
                }
            } else if (isElement(child, "PluginState")) {
                readPluginState(*this, child);
            } else if (isElement(child, "UserSettings")) {
                readUserSettings(child);
            }
        }
        return;
    }
    for (const xmlNode* child : elementChildren(root)) {
        if (isElement(child, "MidiCCMap")) {
            controllers_.readMidiCCMap(child, parameters_);
        }
    }
    if (ours) {
        for (const xmlNode* child : elementChildren(root)) {
            if (isElement(child, "UserSettings")) {
                readUserSettings(child);
            }
        }
    }
}

void DrumPlugin::applyEmbeddedSettings() {
    const XmlDocument document = XmlDocument::parseMemory(findResource("settings"));
    applySettingsDocument(document.root(), true);
}

void DrumPlugin::applyUserSettingsFile() {
    const std::string path = joinPath(pluginDirectory_, kUserSettingsFileName);
    if (pluginDirectory_.empty() || path.size() > kMaxSettingsPath) {
        return;
    }
    const XmlDocument document = XmlDocument::parseFile(path);
    applySettingsDocument(document.root(), false);
}

} // namespace vorpalix
