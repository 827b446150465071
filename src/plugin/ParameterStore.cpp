#include "plugin/ParameterStore.h"

#include <algorithm>
#include <cmath>

namespace vorpalix {

ParameterStore::ParameterStore() {
    for (auto& v : values_) {
        v.store(0.0f, std::memory_order_relaxed);
    }
}

float ParameterStore::value(int index) const {
    if (index < 0 || index >= kNumHostParameters) {
        return 0.0f;
    }
    return values_[index].load(std::memory_order_relaxed);
}

float ParameterStore::clampValue(float value) {
    return std::clamp(value, 0.0f, 1.0f);
}

void ParameterStore::mark(std::array<std::atomic<std::uint64_t>, 2>& marks, int index) {
    marks[index / 64].fetch_or(std::uint64_t{1} << (index % 64), std::memory_order_release);
}

void ParameterStore::set(int index, float value) {
    if (std::isnan(value) || index < 0 || index >= kNumHostParameters) {
        return;
    }
    // The value is stored before the mark is set (release), so the side that takes the mark
    // (acquire) reads this value or a later one.
    values_[index].store(clampValue(value), std::memory_order_relaxed);
    mark(audioMarks_, index);
    mark(panelMarks_, index);
    markKnob(index);
}

void ParameterStore::markKnob(int index) {
    if (index < kNumKnobs) {
        knobMarks_.fetch_or(std::uint64_t{1} << index, std::memory_order_release);
    }
}

std::uint64_t ParameterStore::takeKnobChanges() {
    return knobMarks_.exchange(0, std::memory_order_acquire);
}

void ParameterStore::setForWholeState(int index, float value) {
    if (std::isnan(value) || index < 0 || index >= kNumHostParameters) {
        return;
    }
    values_[index].store(clampValue(value), std::memory_order_relaxed);
    mark(panelMarks_, index);
    markKnob(index);
}

std::array<std::uint64_t, 2> ParameterStore::takePanelChanges() {
    return {panelMarks_[0].exchange(0, std::memory_order_acquire),
            panelMarks_[1].exchange(0, std::memory_order_acquire)};
}

} // namespace vorpalix
