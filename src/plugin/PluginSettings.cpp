// Applying the settings documents: the one embedded in the module at creation, then the user's
// "Vorpalix.ini.xml" beside the module.

#include "plugin/PluginController.h"
#include "plugin/PluginEditor.h"
#include "resources/EmbeddedResources.h"
#include "state/SettingsDocument.h"
#include "state/XmlDocument.h"

namespace vorpalix {

StateModel PluginController::model() {
    return StateModel{table_,   *this,         settings_,
                      slots_,   outputConfig_, *patterns_,
                      presets_, controllers_,  editor_ != nullptr ? editor_->editing() : nullptr};
}

void PluginController::applySettingsDocument(const xmlNode* root, bool embedded) {
    if (root == nullptr) {
        return;
    }
    presets_.captureLiveValues();
    beginWholeState();
    StateModel state = model();
    const bool ours = isElement(root, "VorpalixSettings");
    if (!embedded) {
        // A user file contributes its controller map whatever its root, and its user settings
        // only under the settings document's own root.
        for (const xmlNode* child : elementChildren(root)) {
            if (isElement(child, "MidiCCMap")) {
                controllers_.readMidiCCMap(child, table_);
            }
        }
        if (ours) {
            for (const xmlNode* child : elementChildren(root)) {
                if (isElement(child, "UserSettings")) {
                    readUserSettings(state, child);
                }
            }
        }
    } else {
        for (const xmlNode* child : elementChildren(root)) {
            if (isElement(child, "VSTParameters")) {
                table_.loadParameterTable(child);
            } else if (isElement(child, "MidiCCMap")) {
                controllers_.readMidiCCMap(child, table_);
            } else if (isElement(child, "GUI") && editor_ != nullptr) {
                editor_->setPanelDescription(child);
            }
        }
        for (int i = kNumKnobs; i < kNumHostParameters; ++i) {
            setValue(i, table_.info(i).defaultValue);
        }
        if (ours) {
            for (const xmlNode* child : elementChildren(root)) {
                if (isElement(child, "PatternBank")) {
                    readPatternBank(*patterns_, child);
                } else if (isElement(child, "InstrumentPresetBank")) {
                    // Every value starts from the table's defaults, as the factory bank
                    // describes only the presets it holds.
                    presets_.resetValuesToDefaults();
                    presets_.readPresetBank(child, false);
                } else if (isElement(child, "PluginState")) {
                    readPluginState(state, child);
                } else if (isElement(child, "UserSettings")) {
                    readUserSettings(state, child);
                }
            }
        }
    }
    rangeRead_ = rangeRead_ || state.rangeRead;
    commitWholeState();
}

void PluginController::applyEmbeddedSettings() {
    const XmlDocument document = XmlDocument::parseMemory(findResource("settings"));
    applySettingsDocument(document.root(), true);
}

void PluginController::applyUserSettingsFile() {
    const std::string path = userSettingsPath(pluginDirectory_);
    if (path.empty()) {
        return;
    }
    const XmlDocument document = XmlDocument::parseFile(path);
    applySettingsDocument(document.root(), false);
}

} // namespace vorpalix
