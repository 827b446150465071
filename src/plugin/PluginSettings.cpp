// Applying the settings documents at creation: the one embedded in the module, then the user's
// "Vorpalix.ini.xml" beside the module.

#include "dsp/Instruments.h"
#include "editor/PanelEditor.h"
#include "plugin/DrumPlugin.h"
#include "presets/PresetBank.h"
#include "resources/EmbeddedResources.h"
#include "sequencer/PatternSequencer.h"
#include "state/SettingsDocument.h"
#include "state/XmlDocument.h"

namespace vorpalix {

void DrumPlugin::readUserSettings(const xmlNode* element) {
    vorpalix::readUserSettings(*this, outputConfig_, element);
}

void DrumPlugin::applySettingsDocument(const xmlNode* root, bool embedded) {
    if (root == nullptr) {
        return;
    }
    const bool ours = isElement(root, "VorpalixSettings");
    if (!embedded) {
        // A user file contributes its controller map whatever its root, and its user settings
        // only under the settings document's own root.
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
        return;
    }

    for (const xmlNode* child : elementChildren(root)) {
        if (isElement(child, "VSTParameters")) {
            parameters_.loadParameterTable(child);
        } else if (isElement(child, "MidiCCMap")) {
            controllers_.readMidiCCMap(child, parameters_);
        } else if (isElement(child, "GUI") && editor_) {
            editor_->setPanelDescription(child);
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
            // Every value starts from the table's defaults, as the factory bank describes only
            // the presets it holds.
            presets_->resetValuesToDefaults();
            presets_->readPresetBank(child, false);
        } else if (isElement(child, "PluginState")) {
            readPluginState(*this, child, patternEditing_);
        } else if (isElement(child, "UserSettings")) {
            readUserSettings(child);
        }
    }
}

void DrumPlugin::applyEmbeddedSettings() {
    const XmlDocument document = XmlDocument::parseMemory(findResource("settings"));
    applySettingsDocument(document.root(), true);
}

void DrumPlugin::applyUserSettingsFile() {
    const std::string path = userSettingsPath(pluginDirectory_);
    if (path.empty()) {
        return;
    }
    const XmlDocument document = XmlDocument::parseFile(path);
    applySettingsDocument(document.root(), false);
}

} // namespace vorpalix
