#include "presets/PresetBank.h"

#include <algorithm>

#include "state/XmlDocument.h"

namespace vorpalix {

namespace {
constexpr const char* kBankElement = "InstrumentPresetBank";
constexpr const char* kSetElement = "InstrumentPresetSet";
} // namespace

PresetBank::PresetBank(PresetHost& host) : host_(host) {
    for (int i = 0; i < kPresetInstruments; ++i) {
        for (int s = 0; s < kPresetsPerInstrument; ++s) {
            presets_[i][s] = std::make_unique<InstrumentPreset>(i);
        }
    }
}

int PresetBank::selection(int instrument) const {
    if (instrument < 0 || instrument >= kPresetInstruments) {
        return 0;
    }
    return selection_[instrument];
}

int PresetBank::ownerOf(int parameterIndex) {
    for (int i = 0; i < kPresetInstruments; ++i) {
        const auto& l = kInstrumentLayouts[i];
        if (parameterIndex >= l.firstParameter && parameterIndex < l.firstParameter + l.count) {
            return i;
        }
    }
    return -1;
}

void PresetBank::setShownInstrument(int instrument) {
    if (instrument >= 0 && instrument < kPresetInstruments) {
        shown_ = instrument;
    }
}

void PresetBank::setPresetValue(int parameterIndex, float value) {
    const int owner = ownerOf(parameterIndex);
    if (owner < 0) {
        return;
    }
    InstrumentPreset& p = *presets_[owner][selection(owner)];
    p.setValue(parameterIndex - p.firstParameter(), value);
}

void PresetBank::captureLiveValues() {
    std::uint64_t moved = host_.takeKnobChanges();
    while (moved != 0) {
        const int index = __builtin_ctzll(moved);
        moved &= moved - 1;
        setPresetValue(index, host_.knobValue(index));
    }
}

void PresetBank::selectPreset(int instrument, int slot) {
    if (instrument < 0 || instrument >= kPresetInstruments || slot < 0 ||
        slot >= kPresetsPerInstrument) {
        return;
    }
    // The preset being left keeps what the knobs hold now.
    captureLiveValues();
    applySelection(instrument, slot);
}

void PresetBank::applySelection(int instrument, int slot) {
    selection_[instrument] = slot;
    const InstrumentPreset& p = *presets_[instrument][slot];
    // Read every value before sending any: the knobs feed the selected preset.
    std::array<float, kMaxKnobsPerInstrument> values{};
    for (int k = 0; k < p.count(); ++k) {
        values[k] = p.value(k);
    }
    for (int k = 0; k < p.count(); ++k) {
        host_.setKnobValue(p.firstParameter() + k, values[k]);
    }
}

void PresetBank::stepPreset(int instrument, int step) {
    if (instrument < 0 || instrument >= kPresetInstruments) {
        return;
    }
    const int slot = std::clamp(selection(instrument) + step, 0, kPresetsPerInstrument - 1);
    selectPreset(instrument, slot);
}

void PresetBank::movePreset(int instrument, int step) {
    if (instrument < 0 || instrument >= kPresetInstruments) {
        return;
    }
    const int from = selection(instrument);
    const int to = from + step;
    if (to < 0 || to >= kPresetsPerInstrument || to == from) {
        return;
    }
    captureLiveValues();
    presets_[instrument][from]->exchangeWith(*presets_[instrument][to]);
    applySelection(instrument, to);
}

void PresetBank::renamePreset(std::string_view text) {
    presets_[shown_][selection(shown_)]->setName(text);
}

void PresetBank::resetSlotValues(int instrument, int firstSlot) {
    std::array<float, kMaxKnobsPerInstrument> defaults{};
    const InstrumentLayout& l = kInstrumentLayouts[instrument];
    for (int k = 0; k < l.count; ++k) {
        defaults[k] = host_.defaultValue(l.firstParameter + k);
    }
    for (int s = std::max(firstSlot, 0); s < kPresetsPerInstrument; ++s) {
        presets_[instrument][s]->setValues(std::span<const float>(defaults.data(), l.count));
    }
}

void PresetBank::resetValuesToDefaults() {
    for (int i = 0; i < kPresetInstruments; ++i) {
        resetSlotValues(i, 0);
    }
}

std::array<int, kPresetInstruments> PresetBank::fillFromChildren(const xmlNode* element) {
    std::array<int, kPresetInstruments> filled{};
    for (const xmlNode* child : elementChildren(element)) {
        const int i = instrumentOfPresetElement(elementName(child));
        if (i < 0 || filled[i] >= kPresetsPerInstrument) {
            continue;
        }
        InstrumentPreset& slot = *presets_[i][filled[i]];
        // Values the element lacks take the defaults, not what the slot held before.
        for (int k = 0; k < slot.count(); ++k) {
            slot.setValue(k, host_.defaultValue(slot.firstParameter() + k));
        }
        slot.readPresetElement(child);
        ++filled[i];
    }
    return filled;
}

bool PresetBank::readPresetSet(const xmlNode* element) {
    if (!isElement(element, kSetElement)) {
        return false;
    }
    captureLiveValues();
    const auto filled = fillFromChildren(element);
    for (int i = 0; i < kPresetInstruments; ++i) {
        if (filled[i] > 0) {
            resetSlotValues(i, filled[i]);
            applySelection(i, selection(i));
        }
    }
    return true;
}

bool PresetBank::readPresetBank(const xmlNode* element, bool readSelections) {
    if (!isElement(element, kBankElement)) {
        return false;
    }
    captureLiveValues();
    if (readSelections) {
        for (int i = 0; i < kPresetInstruments; ++i) {
            if (const auto index = readIntAttribute(element, kInstrumentLayouts[i].selectionName)) {
                selection_[i] = std::clamp(*index, 0, kPresetsPerInstrument - 1);
            }
        }
    }
    const auto filled = fillFromChildren(element);
    for (int i = 0; i < kPresetInstruments; ++i) {
        if (filled[i] > 0) {
            resetSlotValues(i, filled[i]);
        }
    }
    for (int i = 0; i < kPresetInstruments; ++i) {
        applySelection(i, selection(i));
    }
    return true;
}

void PresetBank::writeBankInto(xmlNode* bank, bool withSelections) const {
    if (bank == nullptr) {
        return;
    }
    if (withSelections) {
        for (int i = 0; i < kPresetInstruments; ++i) {
            setIntAttribute(bank, kInstrumentLayouts[i].selectionName, selection(i));
        }
    }
    for (const auto& list : presets_) {
        for (const auto& p : list) {
            p->appendPresetElement(bank);
        }
    }
}

xmlNode* PresetBank::writePresetBank(bool withSelections) {
    captureLiveValues();
    xmlNode* bank = newElement(kBankElement);
    writeBankInto(bank, withSelections);
    return bank;
}

bool PresetBank::savePresetFile(const std::string& fileName) {
    if (fileName.empty()) {
        return false;
    }
    captureLiveValues();
    const InstrumentPreset& p = *presets_[shown_][selection(shown_)];
    const XmlDocument document = XmlDocument::create(p.layout().elementName);
    if (!document) {
        return false;
    }
    p.writePresetElement(document.root());
    return document.saveFile(fileName);
}

bool PresetBank::savePresetSetFile(const std::string& fileName) {
    if (fileName.empty()) {
        return false;
    }
    captureLiveValues();
    const XmlDocument document = XmlDocument::create(kSetElement);
    if (!document) {
        return false;
    }
    for (const auto& p : presets_[shown_]) {
        p->appendPresetElement(document.root());
    }
    return document.saveFile(fileName);
}

bool PresetBank::savePresetBankFile(const std::string& fileName) {
    if (fileName.empty()) {
        return false;
    }
    captureLiveValues();
    const XmlDocument document = XmlDocument::create(kBankElement);
    if (!document) {
        return false;
    }
    writeBankInto(document.root(), false);
    return document.saveFile(fileName);
}

bool PresetBank::loadPresetFile(const std::string& fileName) {
    const XmlDocument document = XmlDocument::parseFile(fileName);
    const int instrument = shown_;
    captureLiveValues();
    if (!presets_[instrument][selection(instrument)]->readPresetElement(document.root())) {
        return false;
    }
    applySelection(instrument, selection(instrument));
    return true;
}

bool PresetBank::loadPresetSetFile(const std::string& fileName) {
    const XmlDocument document = XmlDocument::parseFile(fileName);
    return readPresetSet(document.root());
}

bool PresetBank::loadPresetBankFile(const std::string& fileName) {
    const XmlDocument document = XmlDocument::parseFile(fileName);
    return readPresetBank(document.root(), false);
}

} // namespace vorpalix
