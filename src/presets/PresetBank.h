#pragma once

#include <array>
#include <memory>

#include "presets/InstrumentPreset.h"

namespace vorpalix {

class DrumPlugin;
class ParameterTable;

// The 11 x 32 instrument presets with one selected preset per instrument. The selected preset
// always holds the live knob values: knob changes go into it, selecting sends it to the knobs.
class PresetBank {
public:
    explicit PresetBank(DrumPlugin& plugin);

    InstrumentPreset& preset(int instrument, int slot) { return *presets_[instrument][slot]; }
    const InstrumentPreset& preset(int instrument, int slot) const { return *presets_[instrument][slot]; }
    int selection(int instrument) const { return selection_[instrument]; }

    // Instrument whose knob range holds the parameter index, or -1.
    static int ownerOf(int parameterIndex);

    // UI thread. Stores the value (clamped) in the selected preset of the parameter's owner.
    void setPresetValue(int parameterIndex, float value);
    // UI thread. Selects and applies the preset through the plug-in's setParameter.
    void selectPreset(int instrument, int slot);

    // Resets the values of every preset to the parameter table's defaults; names stay.
    void resetValuesToDefaults(const ParameterTable& table);

private:
    DrumPlugin& plugin_;
    std::array<std::array<std::unique_ptr<InstrumentPreset>, kPresetsPerInstrument>, 11> presets_;
    std::array<int, 11> selection_{};
};

} // namespace vorpalix
