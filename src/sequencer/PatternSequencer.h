#pragma once

// The pattern sequencer: the live bank of 96 patterns, the chain player and the note player, the
// MIDI note queue, the randomizer gate and the timing that drives the players sample by sample
// from the plug-in's block routine.
//
// Threads: the audio thread owns the sequencer and everything in it. The user-interface thread
// never calls it; its changes arrive as commands that the plug-in applies at block start (a
// whole new bank is swapped in by pointer), and it reads playback through the snapshot the
// sequencer publishes at the end of every block.

#include <array>
#include <cstdint>
#include <limits>
#include <memory>

#include "sequencer/MidiEventQueue.h"
#include "sequencer/PatternBank.h"
#include "sequencer/PlaybackSnapshot.h"
#include "sequencer/RandomizerGate.h"
#include "sequencer/SequencerHost.h"
#include "sequencer/StepSchedule.h"

namespace vorpalix {

class PatternSequencer {
public:
    PatternSequencer(SequencerHost& host, StepTriggerSink& sink);
    ~PatternSequencer();
    PatternSequencer(const PatternSequencer&) = delete;
    PatternSequencer& operator=(const PatternSequencer&) = delete;

    // --- Block routine hooks -------------------------------------------------------------------
    // Audio thread. No allocation, no locks. Block start before the audition: takes the players'
    // step lengths from their patterns.
    void beginBlock();
    // Audio thread. No allocation, no locks. Block start after the audition: latches the
    // sequencer controls, reads the host's transport and follows it, computes the tempo, acts on
    // the transport commands and starts the MIDI countdown.
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
    // Audio thread. No allocation, no locks. Block end: queued MIDI events that the block did
    // not reach are brought forward by the frames that passed, so they fall due at their time in
    // a later block; playback is published for the user interface.
    void endBlock();

    // Audio thread. No allocation, no locks. Queues a note-on, note-off or All Notes Off event
    // with its delta frames; every other message is ignored.
    void queueEvent(const TimedMidiEvent& event);

    // --- Player operations (a pattern number outside 0..95 makes each do nothing) -------------
    // Audio thread (block routine, MIDI keys and the commands of the user interface).
    void startChain(int pattern, bool resume);
    void saveChainPosition();
    void stopPlayers();
    bool isChainRunning() const;
    void advanceChain();
    void startNote(int pattern);
    void stopNote();
    void advanceNote();
    // The chained range.
    void setRange(int from, int to);
    void extendRange(int pattern);
    // A pattern key pressed (or released) as a MIDI note 12..107 would, in the latched mode.
    void patternKey(int pattern, bool noteOn, int velocity);
    // The step triggers of each player's current pattern and step.
    void triggerChain(bool flamEvent);
    void triggerNote(bool flamEvent);
    // Set whenever the mode is requested: chain mode plays the chain player.
    void setChainFlag(bool chain) { chainFlag_ = chain; }

    // --- Queries (audio thread; other threads read the snapshot) ------------------------------
    bool isPlaying() const { return view().isPlaying(); }
    int playingPattern() const { return view().playingPattern(); }
    int playingStep() const { return view().playingStep(); }
    int currentPattern() const { return view().currentPattern(); }
    int chainPattern() const { return chainPattern_; }
    int chainStep() const { return chainStep_; }
    int nextPattern() const { return nextPattern_; }
    int notePattern() const { return notePattern_; }
    int noteStep() const { return noteStep_; }
    int lastStartedPattern() const { return lastStarted_; }
    int rangeFrom() const { return rangeFrom_; }
    int rangeTo() const { return rangeTo_; }
    bool chainFlag() const { return chainFlag_; }
    // The mode latched for the current block (0 chain, 1 normal, 2 free).
    int latchedMode() const { return latchedMode_; }
    // The position in beats of the player of the latched mode.
    double songPosition() const { return latchedMode_ == 0 ? chainPosition_ : notePosition_; }
    // Chain run state (ChainRunState).
    int runState() const { return runState_; }
    // Playback as the user interface sees it.
    PlaybackView view() const;

    // The published playback and the editor's dirty marks: the one part of the sequencer that
    // other threads read (see PlaybackSnapshot).
    PlaybackSnapshot& snapshot() { return snapshot_; }
    // Forwarded dirty marks of the snapshot: true once after a step event played, or after the
    // host transport stopped.
    bool takeStepChanged() { return snapshot_.takeStepChanged(); }
    bool takeStopped() { return snapshot_.takeStopped(); }

    // --- Randomizer gate ------------------------------------------------------------------------
    // Audio thread. The gate with its random values, replaced whole.
    void setRandomizerGate(const RandomizerGate& gate) { gate_ = gate; }
    bool randomizerGateOn() const { return gate_.on; }
    int gatedPattern() const { return gate_.pattern; }
    float randomValue(int instrument, int step) const { return gate_.value(instrument, step); }
    // Audio thread. The threshold of an instrument 0..10 (parameters 75..85).
    void setRandomizerThreshold(int instrument, float threshold);
    float randomizerThreshold(int instrument) const;

    // --- Patterns ------------------------------------------------------------------------------
    const PatternBank& patterns() const { return *bank_; }
    // Audio thread. No allocation, no locks. Takes a whole new bank and hands back the old one,
    // which the caller frees off the audio thread. A null bank changes nothing and comes back.
    std::unique_ptr<PatternBank> replaceBank(std::unique_ptr<PatternBank> bank);
    // Audio thread. No allocation, no locks. One pattern replaced whole (0..95; others ignored).
    void replacePattern(int index, const Pattern& pattern);
    // Audio thread. One step written by the step rules (Pattern::setStep).
    void writeStep(int index, int row, int step, int code);

    // MIDI events refused because the queue was full.
    std::size_t droppedMidiEvents() const { return queue_.droppedCount(); }

private:
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
    void handleMidiEvent(const TimedMidiEvent& event);
    void handlePatternKey(int pattern, bool noteOn, int velocity);
    void midiStart();
    void midiStop();
    void restartNotePlayer(int pattern);
    void publish();
    ScheduleInput chainInput() const;
    ScheduleInput noteInput() const;

    SequencerHost& host_;
    StepTriggerSink& sink_;

    std::unique_ptr<PatternBank> bank_;

    // Players.
    bool chainFlag_ = true;
    int chainPattern_ = -1;
    int chainStep_ = -1;
    int nextPattern_ = 0;
    int savedStep_ = 0;
    int rangeFrom_ = 0;
    int rangeTo_ = 0;
    int notePattern_ = -1;
    int lastStarted_ = 0;
    int noteStep_ = -1;

    RandomizerGate gate_;
    std::array<float, kRandomizerInstruments> thresholds_{};

    // Latched controls.
    bool latchedState_ = true;
    int latchedSync_ = 1;
    int latchedMode_ = 0;

    // Clock.
    double hostTempo_ = 0.0;
    double samplesPerBeat_ = 0.0;
    double beatsPerSample_ = 0.0;
    bool clockRunning_ = false; // false while there is no usable tempo: players stand still
    // The tempo and rate the clock was last computed from (NaN: not yet).
    double clockTempo_ = std::numeric_limits<double>::quiet_NaN();
    double clockRate_ = std::numeric_limits<double>::quiet_NaN();
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

    // What the user interface has been told.
    PlaybackSnapshot snapshot_;
    int publishedPattern_ = -1;
    bool rangeMovedByKey_ = false;
    bool stoppedInBlock_ = false;
};

} // namespace vorpalix
