#include "state/Chunk.h"

#include <memory>

#include "dsp/ParameterIndex.h"
#include "presets/PresetBank.h"
#include "sequencer/PatternBank.h"
#include "state/ControllerMap.h"
#include "state/ParameterTable.h"
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

void readNotPresetParams(StateModel& model, const xmlNode* element) {
    for (const xmlNode* param : elementChildren(element)) {
        if (!isElement(param, "param")) {
            continue;
        }
        const auto name = attribute(param, "name");
        const int index = name ? model.parameters.indexOfName(*name) : -1;
        if (index < kNumKnobs || index >= kNumHostParameters) {
            continue;
        }
        // A missing value counts as 0; one that is present but not a number changes nothing.
        // Passed on as read: the parameter path ignores NaN and clamps the rest.
        const auto value = readFloatAttribute(param, "value");
        if (!value && attribute(param, "value")) {
            continue;
        }
        model.values.setValue(index, value.value_or(0.0f));
    }
}

// Reads the patterns into a bank off to the side, then copies the ones read into the model.
void readPatterns(StateModel& model, const xmlNode* element) {
    auto staged = std::make_unique<PatternBank>();
    const int count = readPatternBank(*staged, element);
    for (int slot = 0; slot < count; ++slot) {
        model.patterns[slot] = (*staged)[slot];
    }
}

} // namespace

std::string writeChunk(const StateModel& model) {
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
        setAttribute(param, "name", model.parameters.nameOfIndex(index));
        setFloatAttribute(param, "value", model.values.value(index));
    }
    const bool complete = adopt(root, writePluginState(model)) &&
                          adopt(root, writePatternBank(model.patterns, false)) &&
                          adopt(root, model.presets.writePresetBank(true)) &&
                          adopt(root, model.controllers.writeMidiCCMap(model.parameters));
    if (!complete) {
        return {};
    }
    return document.dump();
}

bool applyChunk(StateModel& model, std::span<const std::uint8_t> block) {
    const XmlDocument document = XmlDocument::parseMemory(block);
    const xmlNode* root = document.root();
    if (!isElement(root, kChunkRoot)) {
        return false;
    }
    for (const xmlNode* child : elementChildren(root)) {
        const std::string_view name = elementName(child);
        if (name == "InstrumentPresetBank") {
            model.presets.readPresetBank(child, true);
        } else if (name == "NotPresetParams") {
            readNotPresetParams(model, child);
        } else if (name == "PluginState") {
            readPluginState(model, child);
        } else if (name == "PatternBank") {
            readPatterns(model, child);
        } else if (name == "MidiCCMap") {
            model.controllers.readMidiCCMap(child, model.parameters);
        }
    }
    return true;
}

} // namespace vorpalix
