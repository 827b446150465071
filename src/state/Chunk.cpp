#include "state/Chunk.h"

#include <memory>

#include "plugin/DrumPlugin.h"
#include "presets/PresetBank.h"
#include "sequencer/PatternBank.h"
#include "sequencer/PatternSequencer.h"
#include "state/SettingsDocument.h"
#include "state/XmlDocument.h"

namespace vorpalix {

namespace {

constexpr const char* kChunkRoot = "VorpalixBank";

// Attaches child to parent; false (and child freed) when either is missing.
bool adopt(xmlNode* parent, xmlNode* child) {
    if (parent == nullptr || child == nullptr || xmlAddChild(parent, child) == nullptr) {
        xmlFreeNode(child);
        return false;
    }
    return true;
}

void readNotPresetParams(DrumPlugin& plugin, const xmlNode* element) {
    for (const xmlNode* param : elementChildren(element)) {
        if (!isElement(param, "param")) {
            continue;
        }
        const auto name = attribute(param, "name");
        const int index = name ? plugin.parameters().indexOfName(*name) : -1;
        if (index < kNumKnobs || index >= kNumHostParameters) {
            continue;
        }
        // A missing value counts as 0; one that is present but not a number changes nothing.
        // Passed on as read: setParameter ignores NaN and clamps the rest.
        const auto value = readFloatAttribute(param, "value");
        if (!value && attribute(param, "value")) {
            continue;
        }
        plugin.setParameter(index, value.value_or(0.0f));
    }
}

// Reads the patterns into a bank off to the side, then copies the ones read into the live bank.
void readPatterns(DrumPlugin& plugin, const xmlNode* element) {
    auto staged = std::make_unique<PatternBank>();
    const int count = readPatternBank(*staged, element);
    PatternBank& live = plugin.sequencer().patterns();
    for (int slot = 0; slot < count; ++slot) {
        live[slot] = (*staged)[slot];
    }
}

} // namespace

std::string writeChunk(DrumPlugin& plugin) {
    const XmlDocument document = XmlDocument::create(kChunkRoot);
    xmlNode* root = document.root();
    if (root == nullptr) {
        return {};
    }
    xmlNode* values = appendElement(root, "NotPresetParams");
    if (values == nullptr) {
        return {};
    }
    for (int index = kNumKnobs; index < kNumHostParameters; ++index) {
        xmlNode* param = appendElement(values, "param");
        setAttribute(param, "name", plugin.parameters().nameOfIndex(index));
        setFloatAttribute(param, "value", plugin.getParameter(index));
    }
    const bool complete = adopt(root, writePluginState(plugin, plugin.patternEditing())) &&
                          adopt(root, plugin.sequencer().writePatternBank(false)) &&
                          adopt(root, plugin.presets().writePresetBank(true)) &&
                          adopt(root, plugin.controllerMap().writeMidiCCMap(plugin.parameters()));
    if (!complete) {
        return {};
    }
    return document.dump();
}

bool applyChunk(DrumPlugin& plugin, std::span<const std::uint8_t> block) {
    const XmlDocument document = XmlDocument::parseMemory(block);
    const xmlNode* root = document.root();
    if (!isElement(root, kChunkRoot)) {
        return false;
    }
    for (const xmlNode* child : elementChildren(root)) {
        const std::string_view name = elementName(child);
        if (name == "InstrumentPresetBank") {
            plugin.presets().readPresetBank(child, true);
        } else if (name == "NotPresetParams") {
            readNotPresetParams(plugin, child);
        } else if (name == "PluginState") {
            readPluginState(plugin, child, plugin.patternEditing());
        } else if (name == "PatternBank") {
            readPatterns(plugin, child);
        } else if (name == "MidiCCMap") {
            plugin.controllerMap().readMidiCCMap(child, plugin.parameters());
        }
    }
    return true;
}

} // namespace vorpalix
