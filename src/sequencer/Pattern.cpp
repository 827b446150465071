#include "sequencer/Pattern.h"

#include <algorithm>
#include <cmath>

#include "state/XmlDocument.h"

namespace vorpalix {

namespace {

constexpr int kRimShotRow = kRS;
constexpr int kHandClapRow = kHC;
constexpr int kClosedHatRow = kCH;
constexpr int kOpenHatRow = kOH;
constexpr int kCrashRow = kCR;
constexpr int kRideRow = kRD;

bool validCell(int row, int step) {
    return row >= 0 && row < kPatternRows && step >= 0 && step < kPatternSteps;
}

std::size_t cell(int row, int step) {
    return static_cast<std::size_t>(row * kPatternSteps + step);
}

// A flam step never carries the note flag.
std::uint8_t storedCode(StepFlags flags) {
    if (flags.flam) {
        flags.note = false;
    }
    return static_cast<std::uint8_t>(flags.code());
}

float clampAmount(float value, float fallback) {
    if (std::isnan(value)) {
        return fallback;
    }
    return std::clamp(value, 0.0f, 1.0f);
}

char characterOf(StepFlags flags) {
    if (flags.note && !flags.flam) {
        return flags.accent ? 'O' : 'o';
    }
    if (flags.flam && !flags.note) {
        return flags.accent ? 'X' : 'x';
    }
    return '.';
}

} // namespace

int codeOfCharacter(char c) {
    switch (c) {
    case 'o':
        return kStepNote;
    case 'x':
        return kStepFlam;
    case 'O':
        return kStepNote | kStepAccent;
    case 'X':
        return kStepFlam | kStepAccent;
    default:
        return 0;
    }
}

Pattern::Pattern() {
    resetPattern();
}

void Pattern::resetPattern() {
    clearSteps();
    length_ = kDefaultLength;
    stepsPerBeat_ = kDefaultStepsPerBeat;
    shuffle_ = kDefaultShuffle;
    flam_ = kDefaultFlam;
    totalAccent_ = kDefaultTotalAccent;
    setName(kDefaultName);
}

void Pattern::setStep(int row, int step, int code) {
    if (!validCell(row, step)) {
        return;
    }
    code &= kStepNote | kStepFlam | kStepAccent;
    if (row == kRimShotRow || row == kHandClapRow || row == kCrashRow || row == kRideRow) {
        code |= kStepAccent;
    } else if (row == kTotalAccentRow && (code & (kStepNote | kStepFlam)) != 0) {
        code |= kStepAccent;
    }
    steps_[cell(row, step)] = storedCode(StepFlags::fromCode(code));
    if ((row == kClosedHatRow || row == kOpenHatRow) && code != 0) {
        const int other = row == kClosedHatRow ? kOpenHatRow : kClosedHatRow;
        steps_[cell(other, step)] = 0;
    }
}

StepFlags Pattern::step(int row, int step) const {
    if (!validCell(row, step)) {
        return {};
    }
    return StepFlags::fromCode(steps_[cell(row, step)]);
}

void Pattern::storeStep(int row, int step, StepFlags flags) {
    if (validCell(row, step)) {
        steps_[cell(row, step)] = storedCode(flags);
    }
}

void Pattern::clearSteps() {
    steps_.fill(0);
}

double Pattern::stepLength() const {
    return (4.0 / stepsPerBeat()) * 0.25;
}

void Pattern::setLength(int length) {
    length_ = length >= 1 && length <= kPatternSteps ? length : kDefaultLength;
}

void Pattern::setStepsPerBeat(int stepsPerBeat) {
    const bool valid =
        stepsPerBeat == 3 || stepsPerBeat == 4 || stepsPerBeat == 6 || stepsPerBeat == 8;
    stepsPerBeat_ = valid ? stepsPerBeat : kDefaultStepsPerBeat;
}

void Pattern::setShuffle(float value) {
    shuffle_ = clampAmount(value, kDefaultShuffle);
}

void Pattern::setFlam(float value) {
    flam_ = clampAmount(value, kDefaultFlam);
}

void Pattern::setTotalAccent(float value) {
    totalAccent_ = clampAmount(value, kDefaultTotalAccent);
}

void Pattern::setName(std::string_view name) {
    std::size_t n = std::min(name.size(), kPatternNameLength);
    // Do not cut a multi-byte character in two: step back over its continuation bytes.
    if (n < name.size()) {
        while (n > 0 && (static_cast<unsigned char>(name[n]) & 0xC0) == 0x80) {
            --n;
        }
    }
    name_.fill(0);
    std::copy_n(name.data(), n, name_.data());
    nameLength_ = n;
}

std::string Pattern::formatRow(int row, bool toLength) const {
    if (row < 0 || row >= kPatternRows) {
        return {};
    }
    const int count = toLength ? length() : kPatternSteps;
    std::string text(static_cast<std::size_t>(count), '.');
    for (int k = 0; k < count; ++k) {
        text[static_cast<std::size_t>(k)] = characterOf(step(row, k));
    }
    return text;
}

bool readPatternElement(Pattern& pattern, const xmlNode* element) {
    if (!isElement(element, "Pattern")) {
        return false;
    }
    // Build the new record aside and copy it in at the end, so that a player reading the
    // pattern meanwhile never sees it cleared.
    Pattern read;
    if (const auto length = readIntAttribute(element, "length")) {
        read.setLength(*length);
    }
    if (const auto stepsPerBeat = readIntAttribute(element, "stepsPerBeat")) {
        read.setStepsPerBeat(*stepsPerBeat);
    }
    if (const auto shuffle = readFloatAttribute(element, "shuffle")) {
        read.setShuffle(*shuffle);
    }
    if (const auto flam = readFloatAttribute(element, "flam")) {
        read.setFlam(*flam);
    }
    if (const auto totalAccent = readFloatAttribute(element, "totalAccent")) {
        read.setTotalAccent(*totalAccent);
    }
    if (const auto name = attribute(element, "name"); name && !name->empty()) {
        read.setName(*name);
    }
    for (const xmlNode* child : elementChildren(element)) {
        const auto it =
            std::find(kPatternRowNames.begin(), kPatternRowNames.end(), elementName(child));
        if (it == kPatternRowNames.end()) {
            continue;
        }
        const int row = static_cast<int>(it - kPatternRowNames.begin());
        xmlChar* content = xmlNodeGetContent(child);
        const std::string_view text = content != nullptr
                                          ? std::string_view(reinterpret_cast<const char*>(content))
                                          : std::string_view();
        // A repeated row element is applied over the first; steps after a short text stay as
        // they are.
        const int count = static_cast<int>(std::min<std::size_t>(text.size(), kPatternSteps));
        for (int k = 0; k < count; ++k) {
            read.setStep(row, k, codeOfCharacter(text[static_cast<std::size_t>(k)]));
        }
        xmlFree(content);
    }
    pattern = read;
    return true;
}

xmlNode* writePatternElement(const Pattern& pattern, bool toLength) {
    xmlNode* element = newElement("Pattern");
    if (element == nullptr) {
        return nullptr;
    }
    setAttribute(element, "name", pattern.name());
    setIntAttribute(element, "length", pattern.length());
    setIntAttribute(element, "stepsPerBeat", pattern.stepsPerBeat());
    setFloatAttribute(element, "shuffle", pattern.shuffle());
    setFloatAttribute(element, "flam", pattern.flam());
    setFloatAttribute(element, "totalAccent", pattern.totalAccent());
    for (int row = 0; row < kPatternRows; ++row) {
        const std::string name(kPatternRowNames[static_cast<std::size_t>(row)]);
        xmlNode* child = appendElement(element, name.c_str());
        if (child == nullptr) {
            xmlFreeNode(element);
            return nullptr;
        }
        const std::string text = pattern.formatRow(row, toLength);
        xmlNodeAddContentLen(child, reinterpret_cast<const xmlChar*>(text.data()),
                             static_cast<int>(text.size()));
    }
    return element;
}

} // namespace vorpalix
