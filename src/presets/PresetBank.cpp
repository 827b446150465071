#include "presets/PresetBank.h"

#include "plugin/DrumPlugin.h"
#include "state/ParameterTable.h"

namespace vorpalix {

PresetBank::PresetBank(DrumPlugin& plugin) : plugin_(plugin) {
    for (int i = 0; i < 11; ++i) {
        for (int s = 0; s < kPresetsPerInstrument; ++s) {
            presets_[i][s] = std::make_unique<InstrumentPreset>(i);
        }
    }
}

int PresetBank::ownerOf(int parameterIndex) {
    for (int i = 0; i < 11; ++i) {
        const auto& l = kInstrumentLayouts[i];
        if (parameterIndex >= l.firstParameter && parameterIndex < l.firstParameter + l.count) {
            return i;
        }
    }
    return -1;
}

void PresetBank::setPresetValue(int parameterIndex, float value) {
    const int owner = ownerOf(parameterIndex);
    if (owner < 0) {
        return;
    }
    InstrumentPreset& p = *presets_[owner][selection_[owner]];
    p.setValue(parameterIndex - p.firstParameter(), value);
}

void PresetBank::selectPreset(int instrument, int slot) {
    if (instrument < 0 || instrument > 10 || slot < 0 || slot >= kPresetsPerInstrument) {
        return;
    }
    selection_[instrument] = slot;
    const InstrumentPreset& p = *presets_[instrument][slot];
    for (int k = 0; k < p.count(); ++k) {
        plugin_.setParameter(p.firstParameter() + k, p.value(k));
    }
}

void PresetBank::resetValuesToDefaults(const ParameterTable& table) {
    for (auto& list : presets_) {
        for (auto& p : list) {
            for (int k = 0; k < p->count(); ++k) {
                p->setValue(k, table.info(p->firstParameter() + k).defaultValue);
            }
        }
    }
}

} // namespace vorpalix
