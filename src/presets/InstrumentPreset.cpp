#include "presets/InstrumentPreset.h"

#include <cmath>

#include "state/XmlDocument.h"

namespace vorpalix {

int instrumentOfPresetElement(std::string_view elementName) {
    for (int i = 0; i < kPresetInstruments; ++i) {
        if (elementName == kInstrumentLayouts[i].elementName) {
            return i;
        }
    }
    return -1;
}

namespace {

// Length of the well-formed UTF-8 sequence at the start of text, or 0 when it is not one
// (stray continuation bytes, overlong forms, surrogates, values beyond U+10FFFF).
std::size_t utf8SequenceLength(std::string_view text) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    std::size_t length = 0;
    unsigned int minimum = 0;
    unsigned int code = 0;
    if (lead < 0x80) {
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1F;
        minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0F;
        minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07;
        minimum = 0x10000;
    } else {
        return 0;
    }
    if (text.size() < length) {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) {
            return 0;
        }
        code = (code << 6) | (byte(i) & 0x3F);
    }
    if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF) || code == 0xFFFE ||
        code == 0xFFFF) {
        return 0;
    }
    return length;
}

} // namespace

std::string cleanPresetName(std::string_view text) {
    std::string name;
    while (!text.empty()) {
        const std::size_t length = utf8SequenceLength(text);
        if (length == 0) {
            text.remove_prefix(1);
            continue;
        }
        const bool control =
            length == 1 && (static_cast<unsigned char>(text[0]) < 0x20 || text[0] == 0x7F);
        if (!control) {
            if (name.size() + length > static_cast<std::size_t>(kMaxPresetNameLength)) {
                break;
            }
            name.append(text.substr(0, length));
        }
        text.remove_prefix(length);
    }
    return name;
}

InstrumentPreset::InstrumentPreset(int instrument)
    : instrument_(instrument >= 0 && instrument < kPresetInstruments ? instrument : 0) {}

float InstrumentPreset::value(int knob) const {
    if (knob < 0 || knob >= count()) {
        return 0.0f;
    }
    return values_[knob];
}

void InstrumentPreset::setValue(int knob, float value) {
    if (knob < 0 || knob >= count()) {
        return;
    }
    if (std::isnan(value)) {
        value = 0.0f;
    }
    values_[knob] = value < 0.0f ? 0.0f : (value > 1.0f ? 1.0f : value);
}

void InstrumentPreset::setValues(std::span<const float> values) {
    for (int k = 0; k < count() && k < static_cast<int>(values.size()); ++k) {
        setValue(k, values[k]);
    }
}

void InstrumentPreset::exchangeWith(InstrumentPreset& other) {
    if (&other == this || other.instrument_ != instrument_) {
        return;
    }
    name_.swap(other.name_);
    for (int k = 0; k < count(); ++k) {
        const float mine = value(k);
        setValue(k, other.value(k));
        other.setValue(k, mine);
    }
}

bool InstrumentPreset::readPresetElement(const xmlNode* element) {
    if (!isElement(element, layout().elementName)) {
        return false;
    }
    if (const auto name = attribute(element, "name")) {
        setName(*name);
    }
    for (const xmlNode* param : elementChildren(element)) {
        if (!isElement(param, "param")) {
            continue;
        }
        const auto knobName = attribute(param, "name");
        if (!knobName) {
            continue;
        }
        for (int k = 0; k < count(); ++k) {
            if (*knobName == layout().knobNames[k]) {
                setValue(k, readFloatAttribute(param, "value").value_or(0.0f));
                break;
            }
        }
    }
    return true;
}

void InstrumentPreset::writePresetElement(xmlNode* element) const {
    if (element == nullptr) {
        return;
    }
    setAttribute(element, "name", name_);
    for (int k = 0; k < count(); ++k) {
        xmlNode* param = appendElement(element, "param");
        setAttribute(param, "name", layout().knobNames[k]);
        setFloatAttribute(param, "value", value(k));
    }
}

xmlNode* InstrumentPreset::appendPresetElement(xmlNode* parent) const {
    xmlNode* element = appendElement(parent, layout().elementName);
    writePresetElement(element);
    return element;
}

} // namespace vorpalix
