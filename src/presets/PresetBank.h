#pragma once

// The 11 x 32 instrument presets with one selected preset per instrument, and the preset, set
// and bank documents they are exchanged in.
//
// The selected preset always holds the live knob values: the knobs may move on any thread (host
// automation, MIDI controllers on the audio thread), so the selected presets take the values of
// the knobs that moved since (captureLiveValues) whenever they are looked at, read, written out
// or left for another selection; and every selection change sends the new selection to the
// knobs through the plug-in's parameter path.
//
// Threads: user-interface thread only. Nothing on another thread writes into the presets.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "presets/InstrumentPreset.h"

typedef struct _xmlNode xmlNode;

namespace vorpalix {

// What the presets need from the plug-in: the knobs they feed and the parameter table's
// defaults.
class PresetHost {
public:
    virtual ~PresetHost() = default;
    // The current value of knob index (0..47).
    virtual float knobValue(int index) const = 0;
    // The knobs set since the last call, from any thread; bit i is knob i.
    virtual std::uint64_t takeKnobChanges() = 0;
    // Sets knob index as the host's setParameter does.
    virtual void setKnobValue(int index, float value) = 0;
    // The parameter table's default of knob index.
    virtual float defaultValue(int index) const = 0;
};

class PresetBank {
public:
    // Every preset "Default" with values 0.0, every selection 0, instrument 0 shown.
    explicit PresetBank(PresetHost& host);

    // Precondition: instrument 0..10 and slot 0..31. The selected presets hold the knobs'
    // current values.
    InstrumentPreset& preset(int instrument, int slot) {
        captureLiveValues();
        return *presets_[instrument][slot];
    }
    // The selected slot of an instrument; 0 for an instrument outside 0..10.
    int selection(int instrument) const;
    // The selected preset of an instrument. Precondition: instrument 0..10.
    InstrumentPreset& selectedPreset(int instrument) {
        return preset(instrument, selection(instrument));
    }
    // The presets as stored, without taking in the knobs first.
    const InstrumentPreset& storedPreset(int instrument, int slot) const {
        return *presets_[instrument][slot];
    }

    // Instrument whose knob range holds the parameter index, or -1.
    static int ownerOf(int parameterIndex);

    // The instrument whose presets the panel shows; file commands and renaming act on it.
    // Values outside 0..10 are ignored.
    int shownInstrument() const { return shown_; }
    void setShownInstrument(int instrument);

    // Stores the value (clamped to 0..1) in the selected preset of the parameter's owner;
    // indices outside the knobs 0..47 are ignored.
    void setPresetValue(int parameterIndex, float value);
    // The knobs that moved since the last call put their values into their instruments'
    // selected presets.
    void captureLiveValues();
    // Ignored unless instrument is 0..10 and slot 0..31. Selects the slot and sends
    // its values to the instrument's knobs through setParameter, in parameter order.
    void selectPreset(int instrument, int slot);
    // Moves the selection by step (-1 up, +1 down), clamped to 0..31, and applies it.
    void stepPreset(int instrument, int step);
    // Exchanges the selected preset with its neighbour in the direction of step and
    // selects the neighbour slot, so the preset moves one place in the list. Nothing happens
    // when the neighbour would lie outside 0..31.
    void movePreset(int instrument, int step);
    // The selected preset of the shown instrument takes the first 23 bytes of text.
    void renamePreset(std::string_view text);

    // Resets the values of every preset to the parameter table's defaults; names
    // stay.
    void resetValuesToDefaults();

    // --- Documents --------------------------------------------------------------------------
    // Reads an InstrumentPresetBank element: with readSelections the BDIndex ..
    // RDIndex attributes (clamped to 0..31) become the selections; preset elements fill their
    // instrument's slots from 0 in document order, at most 32 each; the slots an instrument's
    // presets do not reach get the default values (names stay); then every instrument's
    // selected preset is applied to the knobs. An instrument the element holds no preset of
    // keeps its presets. Another element changes nothing and gives false.
    bool readPresetBank(const xmlNode* element, bool readSelections);
    // A new, unattached InstrumentPresetBank element with all 352 presets, and the
    // selection attributes when withSelections is set. nullptr when memory runs out.
    xmlNode* writePresetBank(bool withSelections);
    // Reads an InstrumentPresetSet element (see readPresetBank for the filling
    // rules); each instrument it holds presets of has its selected preset applied again.
    bool readPresetSet(const xmlNode* element);

    // Files: the selected preset of the shown instrument, the shown instrument's 32
    // presets, or the bank without selections. Written through a temporary file in the same
    // folder and a rename; an empty file name writes nothing. False when nothing was written.
    bool savePresetFile(const std::string& fileName);
    bool savePresetSetFile(const std::string& fileName);
    bool savePresetBankFile(const std::string& fileName);
    // A file that cannot be read or parsed, or has another root, changes nothing and
    // gives false. A single preset goes into the selected preset of the shown instrument (a
    // preset of another instrument changes nothing) and is applied.
    bool loadPresetFile(const std::string& fileName);
    bool loadPresetSetFile(const std::string& fileName);
    bool loadPresetBankFile(const std::string& fileName);

private:
    // Fills the instruments' lists from the preset children of element; returns per
    // instrument how many slots were filled.
    std::array<int, kPresetInstruments> fillFromChildren(const xmlNode* element);
    void resetSlotValues(int instrument, int firstSlot);
    // Selects the slot and sends its values to the knobs, without taking in the knobs first.
    void applySelection(int instrument, int slot);
    void writeBankInto(xmlNode* bank, bool withSelections) const;

    PresetHost& host_;
    std::array<std::array<std::unique_ptr<InstrumentPreset>, kPresetsPerInstrument>,
               kPresetInstruments>
        presets_;
    std::array<int, kPresetInstruments> selection_{};
    int shown_ = 0;
};

} // namespace vorpalix
