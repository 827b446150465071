#include "presets/InstrumentPreset.h"

#include <cmath>

namespace vorpalix {

InstrumentPreset::InstrumentPreset(int instrument) : instrument_(instrument) {}

void InstrumentPreset::setValue(int knob, float value) {
    if (knob < 0 || knob >= count()) {
        return;
    }
    if (std::isnan(value)) {
        value = 0.0f;
    }
    values_[knob] = value < 0.0f ? 0.0f : (value > 1.0f ? 1.0f : value);
}

void InstrumentPreset::setName(std::string_view name) {
    name_ = std::string(name.substr(0, kMaxPresetNameLength));
}

} // namespace vorpalix
