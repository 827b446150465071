#include "state/ParameterTable.h"

#include "state/XmlDocument.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>

namespace vorpalix {

namespace {

constexpr std::size_t kHostTextLength = 8;

// The number of bytes of text to keep when at most maxBytes fit, never splitting a UTF-8
// sequence.
std::size_t prefixLength(std::string_view text, std::size_t maxBytes) {
    std::size_t length = std::min(text.size(), maxBytes);
    if (length < text.size()) {
        while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) {
            --length;
        }
    }
    return length;
}

template <std::size_t N> void copyText(char (&field)[N], std::string_view text) {
    const std::size_t length = prefixLength(text, N - 1);
    std::memcpy(field, text.data(), length);
    std::memset(field + length, 0, N - length);
}

void copyHostText(const char* field, char* text) {
    const std::string_view source(field);
    const std::size_t length = prefixLength(source, kHostTextLength);
    std::memcpy(text, source.data(), length);
    text[length] = '\0';
}

} // namespace

ParameterTable::ParameterTable() {
    for (ParameterInfo& record : records_) {
        copyText(record.shortName, "no name");
        copyText(record.label, "");
        record.defaultValue = 0.0f;
    }
}

void ParameterTable::loadParameterTable(const xmlNode* element) {
    if (!isElement(element, "VSTParameters")) {
        return;
    }
    for (const xmlNode* param : elementChildren(element)) {
        if (!isElement(param, "param")) {
            continue;
        }
        const int index = readIntAttribute(param, "index").value_or(-1);
        const std::string name = attribute(param, "name").value_or(std::string());
        float value = readFloatAttribute(param, "value").value_or(0.0f);
        value = std::isnan(value) ? 0.0f : std::clamp(value, 0.0f, 1.0f);

        // An empty name is never a lookup key (an assign without a name must not find it),
        // and neither is an index below 0; the first param with an index owns it even when
        // nameless, so that the record and nameOfIndex always describe the same param.
        if (!name.empty()) {
            indexByName_.try_emplace(name, index);
        }
        if (index >= 0) {
            nameByIndex_.try_emplace(index, name);
        }

        // The first param with a host index describes it; later duplicates would leave the
        // record disagreeing with the name map.
        if (index >= 0 && index < kNumHostParameters && !recordLoaded_[index]) {
            recordLoaded_[index] = true;
            ParameterInfo& record = records_[index];
            record.defaultValue = value;
            copyText(record.shortName, attribute(param, "desc").value_or(std::string()));
            copyText(record.label, attribute(param, "label").value_or(std::string()));
        }
    }
}

int ParameterTable::indexOfName(std::string_view name) const {
    const auto found = indexByName_.find(name);
    if (found == indexByName_.end() || found->second < 0) {
        return -1;
    }
    return found->second;
}

std::string ParameterTable::nameOfIndex(int index) const {
    const auto found = nameByIndex_.find(index);
    return found != nameByIndex_.end() ? found->second : std::string();
}

const ParameterInfo& ParameterTable::info(int index) const {
    // Outside the precondition a blank record is safer than reading past the array.
    static const ParameterInfo kBlank{};
    if (index < 0 || index >= kNumHostParameters) {
        return kBlank;
    }
    return records_[index];
}

void ParameterTable::getParameterName(int index, char* text) const {
    if (text == nullptr || index < 0 || index >= kNumHostParameters) {
        return;
    }
    copyHostText(records_[index].shortName, text);
}

void ParameterTable::getParameterLabel(int index, char* text) const {
    if (text == nullptr || index < 0 || index >= kNumHostParameters) {
        return;
    }
    copyHostText(records_[index].label, text);
}

} // namespace vorpalix
