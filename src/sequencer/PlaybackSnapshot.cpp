#include "sequencer/PlaybackSnapshot.h"

namespace vorpalix {

namespace {

constexpr auto kRelaxed = std::memory_order_relaxed;

} // namespace

void PlaybackSnapshot::publish(const PlaybackView& view) {
    const std::uint32_t v = version_.load(kRelaxed);
    version_.store(v + 1, kRelaxed);
    std::atomic_thread_fence(std::memory_order_release);
    const int values[kFields] = {view.chainPattern, view.chainStep, view.nextPattern,
                                 view.notePattern,  view.noteStep,  view.lastStarted,
                                 view.rangeFrom,    view.rangeTo,   view.chainFlag ? 1 : 0,
                                 view.latchedMode,  view.runState};
    for (int i = 0; i < kFields; ++i) {
        fields_[i].store(values[i], kRelaxed);
    }
    songPosition_.store(view.songPosition, kRelaxed);
    version_.store(v + 2, std::memory_order_release);
}

PlaybackView PlaybackSnapshot::read() const {
    PlaybackView view;
    // The writer publishes once per block, so a reader that meets a publication in progress
    // succeeds at the next attempt; after a few it takes what it has.
    for (int attempt = 0; attempt < 64; ++attempt) {
        const std::uint32_t before = version_.load(std::memory_order_acquire);
        int values[kFields];
        for (int i = 0; i < kFields; ++i) {
            values[i] = fields_[i].load(kRelaxed);
        }
        view.songPosition = songPosition_.load(kRelaxed);
        std::atomic_thread_fence(std::memory_order_acquire);
        const std::uint32_t after = version_.load(kRelaxed);
        view.chainPattern = values[0];
        view.chainStep = values[1];
        view.nextPattern = values[2];
        view.notePattern = values[3];
        view.noteStep = values[4];
        view.lastStarted = values[5];
        view.rangeFrom = values[6];
        view.rangeTo = values[7];
        view.chainFlag = values[8] != 0;
        view.latchedMode = values[9];
        view.runState = values[10];
        if (before == after && (before & 1u) == 0) {
            break;
        }
    }
    return view;
}

} // namespace vorpalix
