#pragma once

// One sound preset of one instrument: a name and the values of the instrument's knobs, with the
// preset element that carries it in preset, set, bank and chunk documents.
//
// Threads: user-interface thread only (see PresetBank).

#include <array>
#include <span>
#include <string>
#include <string_view>

#include "dsp/ParameterIndex.h"

typedef struct _xmlNode xmlNode;

namespace vorpalix {

inline constexpr int kPresetInstruments = kNumInstruments;
inline constexpr int kPresetsPerInstrument = 32;
inline constexpr int kMaxPresetNameLength = 23; // bytes of UTF-8
inline constexpr int kMaxKnobsPerInstrument = 6;

// Where an instrument's knobs lie in the parameter table, the name of its preset element and
// the names of its knobs in value order.
struct InstrumentLayout {
    const char* code;          // "BD"
    const char* elementName;   // "BDPreset"
    const char* selectionName; // "BDIndex", the bank's selection attribute
    int firstParameter;
    int count;
    std::array<const char*, kMaxKnobsPerInstrument> knobNames;
};

inline constexpr std::array<InstrumentLayout, kPresetInstruments> kInstrumentLayouts{{
    {"BD",
     "BDPreset",
     "BDIndex",
     kLevelParameter[kBD],
     kKnobCount[kBD],
     {"BD Level", "BD Tune", "BD Pitch", "BD Attack", "BD Decay", "BD Tune Depth"}},
    {"SD",
     "SDPreset",
     "SDIndex",
     kLevelParameter[kSD],
     kKnobCount[kSD],
     {"SD Level", "SD Tune", "SD Tone", "SD Tune Depth", "SD Decay", "SD Snappy"}},
    {"LT",
     "LTPreset",
     "LTIndex",
     kLevelParameter[kLT],
     kKnobCount[kLT],
     {"LT Level", "LT Tune", "LT Tone", "LT Tune Depth", "LT Decay", "LT Tune Decay"}},
    {"MT",
     "MTPreset",
     "MTIndex",
     kLevelParameter[kMT],
     kKnobCount[kMT],
     {"MT Level", "MT Tune", "MT Tone", "MT Tune Depth", "MT Decay", "MT Tune Decay"}},
    {"HT",
     "HTPreset",
     "HTIndex",
     kLevelParameter[kHT],
     kKnobCount[kHT],
     {"HT Level", "HT Tune", "HT Tone", "HT Tune Depth", "HT Decay", "HT Tune Decay"}},
    {"RS",
     "RSPreset",
     "RSIndex",
     kLevelParameter[kRS],
     kKnobCount[kRS],
     {"RS Level", "RS Tune", "RS Decay"}},
    {"HC",
     "HCPreset",
     "HCIndex",
     kLevelParameter[kHC],
     kKnobCount[kHC],
     {"HC Level", "HC Tune", "HC Reverb"}},
    {"CH",
     "CHPreset",
     "CHIndex",
     kLevelParameter[kCH],
     kKnobCount[kCH],
     {"CH Level", "CH Tune", "CH Decay"}},
    {"OH",
     "OHPreset",
     "OHIndex",
     kLevelParameter[kOH],
     kKnobCount[kOH],
     {"OH Level", "OH Tune", "OH Decay"}},
    {"CR",
     "CRPreset",
     "CRIndex",
     kLevelParameter[kCR],
     kKnobCount[kCR],
     {"CR Level", "CR Tune", "CR Decay"}},
    {"RD",
     "RDPreset",
     "RDIndex",
     kLevelParameter[kRD],
     kKnobCount[kRD],
     {"RD Level", "RD Tune", "RD Decay"}},
}};

// The instrument whose preset element has this name, or -1.
int instrumentOfPresetElement(std::string_view elementName);

// A preset name as it is stored: at most kMaxPresetNameLength bytes, cut before a UTF-8
// character that would not fit whole. Bytes that are not valid UTF-8 and control characters,
// which could not be written back into an XML document, are left out.
std::string cleanPresetName(std::string_view text);

class InstrumentPreset {
public:
    // Named "Default", every value 0.0. An instrument outside 0..10 is taken as 0.
    explicit InstrumentPreset(int instrument);
    InstrumentPreset(const InstrumentPreset&) = delete;
    InstrumentPreset& operator=(const InstrumentPreset&) = delete;

    int instrument() const { return instrument_; }
    const InstrumentLayout& layout() const { return kInstrumentLayouts[instrument_]; }
    int firstParameter() const { return layout().firstParameter; }
    int count() const { return layout().count; }

    // 0.0 for a knob outside the instrument.
    float value(int knob) const;
    // Stores the value clamped to 0..1 (NaN stores 0.0); a knob
    // outside the instrument is ignored.
    void setValue(int knob, float value);
    // Values from the parameter table's defaults, in knob order; the name stays.
    void setValues(std::span<const float> values);

    const std::string& name() const { return name_; }
    void setName(std::string_view name) { name_ = cleanPresetName(name); }

    // Exchanges names and values with another preset of the same instrument.
    void exchangeWith(InstrumentPreset& other);

    // Reads this instrument's preset element: the name (first 23 bytes) when the
    // element has one, and each param child whose name is one of the knobs (value clamped to
    // 0..1, 0.0 when absent or unreadable). Knobs without a param keep their values. An element
    // of another name changes nothing and gives false.
    bool readPresetElement(const xmlNode* element);
    // Gives element (already named by the caller) the name attribute and one param
    // child per knob in order, with name and value ("%f").
    void writePresetElement(xmlNode* element) const;
    // A new preset element appended to parent; nullptr when parent is nullptr.
    xmlNode* appendPresetElement(xmlNode* parent) const;

private:
    int instrument_;
    std::array<float, kMaxKnobsPerInstrument> values_{};
    std::string name_ = "Default";
};

} // namespace vorpalix
