#pragma once

// What the user interface may know of playback: the players' patterns and steps, the chained
// range, the mode and the chain's run state. The audio thread publishes a view at the end of
// every block; any thread reads the last one whole.

#include <array>
#include <atomic>
#include <cstdint>

namespace vorpalix {

// Run state of the chain player's own transport.
enum ChainRunState : int { kRunNever = 0, kRunRunning = 1, kRunStopped = 2 };

struct PlaybackView {
    int chainPattern = -1;
    int chainStep = -1;
    int nextPattern = 0;
    int notePattern = -1;
    int noteStep = -1;
    int lastStarted = 0;
    int rangeFrom = 0;
    int rangeTo = 0;
    bool chainFlag = true; // chain mode was requested last: the chain player is the playing one
    int latchedMode = 0;   // the mode latched for the last block (SequencerMode)
    int runState = kRunNever;
    double songPosition = 0.0; // beats, of the player of the latched mode

    bool isChainRunning() const { return chainPattern != -1 && chainStep != -1; }
    bool isPlaying() const {
        return chainFlag ? isChainRunning() : notePattern != -1 && noteStep != -1;
    }
    int playingPattern() const { return chainFlag ? chainPattern : notePattern; }
    int playingStep() const { return chainFlag ? chainStep : noteStep; }
    // The pattern the panel calls current: the chain's playing (else next) pattern in chain
    // mode, the last started one in the other modes.
    int currentPattern() const {
        if (chainFlag) {
            return chainPattern != -1 ? chainPattern : nextPattern;
        }
        return lastStarted;
    }
    bool operator==(const PlaybackView&) const = default;
};

class PlaybackSnapshot {
public:
    // Audio thread. No allocation, no locks.
    void publish(const PlaybackView& view);
    // Any thread. The last view published, never a mix of two.
    PlaybackView read() const;

    // Dirty marks the editor's idle takes. Set by the audio thread; taken (and cleared) by the
    // user-interface thread.
    void markStepChanged() { stepChanged_.store(true, std::memory_order_relaxed); }
    void markStopped() { stopped_.store(true, std::memory_order_relaxed); }
    bool takeStepChanged() { return stepChanged_.exchange(false, std::memory_order_relaxed); }
    bool takeStopped() { return stopped_.exchange(false, std::memory_order_relaxed); }

private:
    static constexpr int kFields = 11;

    // A sequence count around every publication: odd while one is being written. Readers retry
    // until they saw the same even count before and after reading the fields.
    std::atomic<std::uint32_t> version_{0};
    std::array<std::atomic<int>, kFields> fields_{};
    std::atomic<double> songPosition_{0.0};
    std::atomic<bool> stepChanged_{false};
    std::atomic<bool> stopped_{false};
};

} // namespace vorpalix
