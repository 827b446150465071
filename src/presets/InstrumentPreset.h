#pragma once

#include <array>
#include <string>

#include <libxml/tree.h>

namespace vorpalix {

// Where an instrument's knobs lie in the parameter table, and the name of its preset element.
struct InstrumentLayout {
    const char* code;        // "BD"
    const char* elementName; // "BDPreset"
    int firstParameter;
    int count;
};

inline constexpr std::array<InstrumentLayout, 11> kInstrumentLayouts{{
    {"BD", "BDPreset", 0, 6},
    {"SD", "SDPreset", 6, 6},
    {"LT", "LTPreset", 12, 6},
    {"MT", "MTPreset", 18, 6},
    {"HT", "HTPreset", 24, 6},
    {"RS", "RSPreset", 30, 3},
    {"HC", "HCPreset", 33, 3},
    {"CH", "CHPreset", 36, 3},
    {"OH", "OHPreset", 39, 3},
    {"CR", "CRPreset", 42, 3},
    {"RD", "RDPreset", 45, 3},
}};

inline constexpr int kPresetsPerInstrument = 32;
inline constexpr int kMaxPresetNameLength = 23;
inline constexpr int kMaxKnobsPerInstrument = 6;

// One sound preset of one instrument: a name and the values of the instrument's knobs.
class InstrumentPreset {
public:
    explicit InstrumentPreset(int instrument);
    virtual ~InstrumentPreset() = default;

    int instrument() const { return instrument_; }
    int firstParameter() const { return kInstrumentLayouts[instrument_].firstParameter; }
    int count() const { return kInstrumentLayouts[instrument_].count; }

    float value(int knob) const { return values_[knob]; }
    void setValue(int knob, float value);
    const std::string& name() const { return name_; }
    void setName(std::string_view name);

private:
    int instrument_;
    std::array<float, kMaxKnobsPerInstrument> values_{};
    std::string name_ = "Default";
};

} // namespace vorpalix
