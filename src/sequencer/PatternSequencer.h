#pragma once

// The pattern sequencer: the 96 patterns, the chain player and the note player, the MIDI note
// queue, and the timing that drives the players sample by sample from the plug-in's block
// routine.
//
// Threads. The block hooks, queueEvents and the MIDI key handling run on the audio thread and
// own every timing value (positions, countdowns, phases, run state, key tracking). The player
// fields that the editor and the documents read or change from the UI thread (patterns and steps
// of both players, the next pattern, the chained range, the chain flag, the randomizer gate) and
// the patterns themselves are relaxed atomics: each read sees a whole old or a whole new value,
// and a change made by the UI thread acts from the next frame that reads it.

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>

#include "plugin/MidiEventQueue.h"
#include "sequencer/PatternBank.h"
#include "sequencer/SequencerHost.h"
#include "sequencer/StepSchedule.h"

typedef struct _xmlNode xmlNode;

namespace vst {
struct VstEvents;
}

namespace vorpalix {

class DrumPlugin;
class DrumEngine;

// Run state of the chain player's own transport.
enum ChainRunState : int { kRunNever = 0, kRunRunning = 1, kRunStopped = 2 };

class PatternSequencer {
public:
    // Connected to the plug-in's controls and the engine's triggers.
    PatternSequencer(DrumPlugin& plugin, DrumEngine& engine);
    // Connected to any host and trigger sink (tests).
    PatternSequencer(SequencerHost& host, StepTriggerSink& sink);
    ~PatternSequencer();
    PatternSequencer(const PatternSequencer&) = delete;
    PatternSequencer& operator=(const PatternSequencer&) = delete;

    // --- Block routine hooks -------------------------------------------------------------------
    // Audio thread. No allocation, no locks. Block start before the audition: takes the players'
    // step lengths from their patterns.
    void beginBlock();
    // Audio thread. No allocation, no locks. Block start after the audition: latches the
    // sequencer controls, reads the host time and follows its transport, computes the tempo,
    // acts on the transport command and starts the MIDI countdown.
    void startBlock();
    // Audio thread. No allocation, no locks. Per frame before rendering: due MIDI events,
    // schedules, step and flam events.
    void runFrame();
    // Audio thread. No allocation, no locks. Per frame after routing: advances every position
    // by one sample.
    void endFrame();
    // Audio thread. No allocation, no locks. How many frames from the current one on (at most
    // `limit`) are quiet: no MIDI event falls due, nothing is scheduled, no step or flam event
    // fires, so runFrame would only count down.
    int quietFrames(int limit) const;
    // Audio thread. No allocation, no locks. Passes `frames` quiet frames (at most what
    // quietFrames reported) exactly as that many runFrame and endFrame calls would.
    void skipQuietFrames(int frames);
    // Audio thread. Block end: queued MIDI events that the block did not reach are brought
    // forward by the frames that passed, so they fall due at their time in a later block.
    void endBlock();

    // Audio thread (processEvents). No allocation, no locks. Queues note-on, note-off and All
    // Notes Off events with their delta frames; everything else is left to the caller.
    void queueEvents(const vst::VstEvents* events);

    // --- Player operations (a pattern number outside 0..95 makes each do nothing) -------------
    // Audio or UI thread.
    void startChain(int pattern, bool resume);
    void saveChainPosition();
    void stopPlayers();
    bool isChainRunning() const;
    void advanceChain();
    void startNote(int pattern);
    void stopNote();
    void advanceNote();
    // UI thread (step keys, settings) or audio thread (MIDI keys): the chained range.
    void setRange(int from, int to);
    void extendRange(int pattern);
    // Audio thread. The step triggers of each player's current pattern and step.
    void triggerChain(bool flamEvent);
    void triggerNote(bool flamEvent);

    // --- Queries (any thread) -------------------------------------------------------------------
    bool isPlaying() const;
    int playingPattern() const;
    int playingStep() const;
    int currentPattern() const;
    int chainPattern() const { return chainPattern_.load(kRelaxed); }
    int chainStep() const { return chainStep_.load(kRelaxed); }
    int nextPattern() const { return nextPattern_.load(kRelaxed); }
    int notePattern() const { return notePattern_.load(kRelaxed); }
    int noteStep() const { return noteStep_.load(kRelaxed); }
    int lastStartedPattern() const { return lastStarted_.load(kRelaxed); }
    int rangeFrom() const { return rangeFrom_.load(kRelaxed); }
    int rangeTo() const { return rangeTo_.load(kRelaxed); }
    // The mode latched for the current block (0 chain, 1 normal, 2 free).
    int latchedMode() const { return publishedMode_.load(kRelaxed); }
    // The position in beats of the player of the latched mode, as of the last frame.
    double songPosition() const;
    // Chain run state (ChainRunState).
    int runState() const { return publishedRunState_.load(kRelaxed); }

    // UI or audio thread. Called by the plug-in whenever the mode is set.
    void setChainFlag(bool chain) { chainFlag_.store(chain, kRelaxed); }
    bool chainFlag() const { return chainFlag_.load(kRelaxed); }

    // UI thread (editor idle). True once after a step event played, or after the host
    // transport stopped.
    bool takeStepChanged() { return stepChanged_.exchange(false, kRelaxed); }
    bool takeStopped() { return stopped_.exchange(false, kRelaxed); }

    // --- Randomizer gate ------------------------------------------------------------------------
    // While the gate is on, only the gated pattern sounds, and of it only the instruments whose
    // random value at the step lies below their threshold. Any thread.
    void setRandomizerGate(bool on, int pattern);
    bool randomizerGateOn() const { return gateOn_.load(kRelaxed); }
    int gatedPattern() const { return gatedPattern_.load(kRelaxed); }
    void setRandomizerThreshold(int instrument, float threshold);
    float randomizerThreshold(int instrument) const;
    void setRandomValue(int instrument, int step, float value);
    float randomValue(int instrument, int step) const;
    // The plug-in's parameter hook: parameters 75..85 are the randomizer thresholds.
    void parameterChanged(int index, float value);

    // --- Patterns ------------------------------------------------------------------------------
    PatternBank& patterns() { return bank_; }
    const PatternBank& patterns() const { return bank_; }
    // UI thread. Reads a PatternBank element into the bank (slots without a Pattern child keep
    // what they held); returns the number of patterns read.
    int readPatternBank(const xmlNode* element);
    // UI thread. A new, unattached PatternBank element of the 96 patterns.
    xmlNode* writePatternBank(bool toLength) const;

    // MIDI events refused because the queue was full (audio thread).
    std::size_t droppedMidiEvents() const { return queue_.droppedCount(); }

private:
    static constexpr auto kRelaxed = std::memory_order_relaxed;

    // The inputs of the step and flam schedules; countdowns computed from one basis stay valid
    // until it changes.
    struct ScheduleBasis {
        double chainStepLength = 0.25;
        double noteStepLength = 0.25;
        double samplesPerBeat = 0.0;
        double shuffle = 0.0;
        double flam = 0.0;
        bool operator==(const ScheduleBasis&) const = default;
    };

    void updateClock(double tempo);
    void followTransportStart();
    void followTransportStop();
    void performTransportCommand(int command);
    void rememberChainStop();
    bool chainRuns() const;
    double stepLengthOf(int pattern) const;
    void refreshStepLengths();
    void refreshAmounts();
    void invalidateCountdowns();
    void scheduleCountdowns();
    void chainStepEvent();
    void noteStepEvent();
    void triggerPattern(int pattern, int step, bool flamEvent);
    void handleMidiEvent(const QueuedMidiEvent& event);
    void handlePatternKey(int pattern, bool noteOn, int velocity);
    void midiStart();
    void midiStop();
    void restartNotePlayer(int pattern);
    ScheduleInput chainInput() const;
    ScheduleInput noteInput() const;

    std::unique_ptr<SequencerHost> ownedHost_;
    std::unique_ptr<StepTriggerSink> ownedSink_;
    SequencerHost& host_;
    StepTriggerSink& sink_;

    PatternBank bank_;

    // Player fields shared with the UI thread.
    std::atomic<bool> chainFlag_{true};
    std::atomic<int> chainPattern_{-1};
    std::atomic<int> chainStep_{-1};
    std::atomic<int> nextPattern_{0};
    std::atomic<int> savedStep_{0};
    std::atomic<int> rangeFrom_{0};
    std::atomic<int> rangeTo_{0};
    std::atomic<int> notePattern_{-1};
    std::atomic<int> lastStarted_{0};
    std::atomic<int> noteStep_{-1};

    std::atomic<bool> gateOn_{false};
    std::atomic<int> gatedPattern_{-1};
    std::array<std::atomic<float>, 11> thresholds_{};
    std::array<std::atomic<float>, 11 * kPatternSteps> randomValues_{};

    std::atomic<bool> stepChanged_{false};
    std::atomic<bool> stopped_{false};
    std::atomic<double> publishedChainPosition_{0.0};
    std::atomic<double> publishedNotePosition_{0.0};
    std::atomic<int> publishedMode_{0};
    std::atomic<int> publishedRunState_{kRunNever};

    // --- Audio thread only ---------------------------------------------------------------------
    // Latched controls.
    bool latchedState_ = true;
    int latchedSync_ = 1;
    int latchedMode_ = 0;

    // Clock.
    double hostTempo_ = 0.0;
    double samplesPerBeat_ = 0.0;
    double beatsPerSample_ = 0.0;
    bool clockRunning_ = false; // false while there is no usable tempo: players stand still
    ScheduleBasis basis_;

    // Positions in beats, armed times (beats since the last step event) and phases.
    double hostPosition_ = 0.0;
    double chainPosition_ = 0.0;
    double notePosition_ = 0.0;
    double chainArmed_ = 0.0;
    double noteArmed_ = 0.0;
    int chainPhase_ = kPhaseNone;
    int notePhase_ = kPhaseNone;
    int runState_ = kRunNever;
    bool hostPlaying_ = false;
    bool midiStartFlag_ = false;

    // Where a stopped chain resumes on StopCont: its position and phase at the stop.
    double savedPosition_ = 0.0;
    int savedPhase_ = kPhaseNone;

    // Countdowns in samples, -1 = unscheduled, and the phases the pending steps will have.
    std::int64_t chainStepCountdown_ = -1;
    std::int64_t noteStepCountdown_ = -1;
    std::int64_t chainFlamCountdown_ = -1;
    std::int64_t noteFlamCountdown_ = -1;
    int chainNextPhase_ = kPhaseOnBeat;
    int noteNextPhase_ = kPhaseOnBeat;
    bool countdownsStale_ = false;

    // MIDI.
    MidiEventQueue queue_;
    std::int32_t midiCountdown_ = -1;
    std::int32_t midiCountdownStart_ = 0;
    bool noteRestart_ = false;
    int heldKeys_ = 0;
    bool freeModeStop_ = false;
    bool chainKeyHeld_ = false;
    int firstChainKey_ = 0;
};

} // namespace vorpalix
