#pragma once

// The values of the 86 host parameters: the one piece of state the host itself shares between
// threads, since setParameter and getParameter may come from any thread (automation, the panel,
// MIDI controllers on the audio thread). Each value is an atomic float; a set marks the value
// for the audio thread, which applies the marked ones at the next block start, and for the
// panel, which redraws the marked controls at its next idle.

#include <array>
#include <atomic>
#include <cstdint>

#include "dsp/ParameterIndex.h"

namespace vorpalix {

class ParameterStore {
public:
    ParameterStore();
    ParameterStore(const ParameterStore&) = delete;
    ParameterStore& operator=(const ParameterStore&) = delete;

    // Any thread. No allocation, no locks. 0.0 outside 0..85.
    float value(int index) const;
    // Any thread. No allocation, no locks. NaN and indices outside 0..85 are ignored; other
    // values are clamped to 0..1, stored and marked for both sides.
    void set(int index, float value);
    // User-interface thread. Stores and marks for the panel only: a whole-state swap that the
    // audio thread applies in one piece carries the value instead.
    void setForWholeState(int index, float value);

    // Audio thread. Calls apply(index, value) for every value marked since the last call, in
    // index order, and clears the marks.
    template <typename Apply> void takeAudioChanges(Apply&& apply);
    // User-interface thread. The panel's marks since the last call; bit i of word w is
    // parameter 64w + i.
    std::array<std::uint64_t, 2> takePanelChanges();
    // User-interface thread. The knobs (0..47) set since the last call; bit i is knob i.
    std::uint64_t takeKnobChanges();

private:
    static float clampValue(float value);
    static void mark(std::array<std::atomic<std::uint64_t>, 2>& marks, int index);
    void markKnob(int index);

    std::array<std::atomic<float>, kNumHostParameters> values_;
    std::array<std::atomic<std::uint64_t>, 2> audioMarks_{};
    std::array<std::atomic<std::uint64_t>, 2> panelMarks_{};
    std::atomic<std::uint64_t> knobMarks_{0};
};

template <typename Apply> void ParameterStore::takeAudioChanges(Apply&& apply) {
    for (int word = 0; word < 2; ++word) {
        // A plain load first: most blocks find no mark, and the exchange is a locked operation.
        if (audioMarks_[word].load(std::memory_order_relaxed) == 0) {
            continue;
        }
        std::uint64_t marks = audioMarks_[word].exchange(0, std::memory_order_acquire);
        while (marks != 0) {
            const int index = word * 64 + __builtin_ctzll(marks);
            marks &= marks - 1;
            apply(index, values_[index].load(std::memory_order_relaxed));
        }
    }
}

} // namespace vorpalix
