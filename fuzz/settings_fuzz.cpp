// The settings readers with arbitrary documents: the user settings file pass of the plug-in, and
// the PluginState and UserSettings elements wherever they appear, read into a state model.

#include <array>
#include <memory>

#include "FuzzSupport.h"
#include "presets/PresetBank.h"
#include "sequencer/PatternBank.h"
#include "state/ControllerMap.h"
#include "state/ParameterTable.h"
#include "state/SettingsDocument.h"
#include "state/StateModel.h"
#include "state/XmlDocument.h"

namespace {

using namespace vorpalix;

// A state model of its own, with the parameter table of the plug-in.
struct Model : ParameterValues, PresetHost {
    explicit Model(const ParameterTable& table) : table(table) {
        for (int i = 0; i < kNumInstruments; ++i) {
            slots[static_cast<std::size_t>(i)] = i;
        }
    }
    float value(int index) const override { return values[static_cast<std::size_t>(index)]; }
    void setValue(int index, float v) override {
        if (index >= 0 && index < kNumHostParameters) {
            values[static_cast<std::size_t>(index)] = v;
        }
    }
    float knobValue(int index) const override { return value(index); }
    std::uint64_t takeKnobChanges() override { return 0; }
    void setKnobValue(int index, float v) override { setValue(index, v); }
    float defaultValue(int index) const override { return table.info(index).defaultValue; }

    const ParameterTable& table;
    std::array<float, kNumHostParameters> values{};
    SequencerSettings sequencer;
    std::array<int, kNumInstruments> slots{};
    OutputConfig config;
    std::unique_ptr<PatternBank> patterns = std::make_unique<PatternBank>();
    PresetBank presets{*this};
    ControllerMap controllers;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    DrumPlugin& plugin = fuzz::sharedPlugin();
    const XmlDocument document =
        XmlDocument::parseMemory(std::span<const std::uint8_t>(data, size));
    plugin.controller().applySettingsDocument(document.root(), false);

    Model parts(plugin.controller().parameters());
    StateModel model{parts.table,  parts,           parts.sequencer, parts.slots,
                     parts.config, *parts.patterns, parts.presets,   parts.controllers};
    readPluginState(model, document.root());
    readUserSettings(model, document.root());
    for (const xmlNode* child : elementChildren(document.root())) {
        readPluginState(model, child);
        readUserSettings(model, child);
    }
    const SequencerSettings& s = parts.sequencer;
    if (parts.config.outputCount() < 11 || parts.config.outputCount() > 24 ||
        s.freeModeThreshold < 0 || s.freeModeThreshold > 127 || !isValidPattern(s.rangeFrom) ||
        !isValidPattern(s.rangeTo)) {
        std::abort();
    }
    for (int i = 0; i < kNumInstruments; ++i) {
        if (!isValidInstrument(parts.slots[static_cast<std::size_t>(i)]) ||
            !isValidInstrument(plugin.controller().outputNumber(i))) {
            std::abort();
        }
    }
    fuzz::renderAndCheck(plugin);
    return 0;
}
