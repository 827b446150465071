#include "sequencer/PatternSequencer.h"

#include <algorithm>
#include <cmath>

namespace vorpalix {

namespace {

// A step event needs more than this many beats since the player's last one.
constexpr double kMinimumStepDistance = 0.005;
// Step length of a player without a pattern.
constexpr double kDefaultStepLength = 0.25;
// Tempos outside (0, kMaxTempo] stop the clock instead of being used.
constexpr double kMaxTempo = 100000.0;
// Host positions beyond this many beats are ignored as nonsense.
constexpr double kMaxHostPosition = 1.0e12;

constexpr int kFirstPatternKey = 12;
constexpr int kLastPatternKey = 107;
constexpr int kMidiStartNote = 0;
constexpr int kAllNotesOff = 123;

// One frame of a countdown: a scheduled one moves toward 0 and past it to -1 (unscheduled).
void tick(std::int64_t& countdown) {
    if (countdown >= 0) {
        --countdown;
    }
}

} // namespace

PatternSequencer::PatternSequencer(SequencerHost& host, StepTriggerSink& sink)
    : host_(host), sink_(sink), bank_(std::make_unique<PatternBank>()) {
    publish();
}

PatternSequencer::~PatternSequencer() = default;

// --- Block routine ------------------------------------------------------------------------------

void PatternSequencer::beginBlock() {
    refreshStepLengths();
}

void PatternSequencer::startBlock() {
    // Latch the requested controls; a mode change ends the key tracking of the old mode.
    const SequencerControls controls = host_.requestedControls();
    const int mode = controls.mode >= 0 && controls.mode <= 2 ? controls.mode : 0;
    if (mode != latchedMode_) {
        chainKeyHeld_ = false;
        freeModeStop_ = false;
    }
    latchedState_ = controls.state;
    latchedSync_ = controls.sync == 0 ? 0 : 1;
    latchedMode_ = mode;
    const bool external = latchedSync_ == 1;

    // Host time and transport. Any jump of a position below makes the pending countdowns stale.
    bool jumped = false;
    if (const TransportInfo time = host_.transport(); time.valid) {
        const bool playing = time.playing;
        if (playing != hostPlaying_) {
            hostPlaying_ = playing;
            if (playing) {
                followTransportStart();
            } else {
                followTransportStop();
            }
            jumped = true;
        }
        if (latchedState_) {
            if (time.positionValid && std::isfinite(time.position) &&
                std::abs(time.position) < kMaxHostPosition) {
                hostPosition_ = time.position;
            }
            if (time.tempoValid && external) {
                hostTempo_ = time.tempo;
            }
        }
    }
    // The chain follows the host's song position only while the host plays; a chain started by
    // MIDI while the host stands still runs on from its own position.
    if (external && hostPlaying_ && chainPosition_ != hostPosition_) {
        chainPosition_ = hostPosition_;
        jumped = true;
    }

    updateClock(external ? hostTempo_ : host_.internalTempo());

    // Every command sent since the last block, in order (Play then StopCont starts and stops).
    for (int command = host_.takeTransportCommand(); command != kTransportNone;
         command = host_.takeTransportCommand()) {
        if (latchedState_ && !hostPlaying_) {
            performTransportCommand(command);
            jumped = true;
        }
    }

    midiCountdown_ = queue_.smallestDelta();
    midiCountdownStart_ = midiCountdown_;

    // Countdowns carry over from the last block unless something they were computed from has
    // changed; recomputing them from an unchanged basis would give the same sample, so carrying
    // them keeps the output independent of where the host cuts its blocks.
    const ScheduleBasis basis{stepLengthOf(chainPattern()), stepLengthOf(notePattern()),
                              samplesPerBeat_, host_.shuffle(), host_.flam()};
    if (jumped || !(basis == basis_)) {
        invalidateCountdowns();
    }
    basis_ = basis;
}

void PatternSequencer::runFrame() {
    if (midiCountdown_ == 0) {
        midiCountdown_ = queue_.expire(
            midiCountdownStart_, [this](const TimedMidiEvent& event) { handleMidiEvent(event); });
        midiCountdownStart_ = midiCountdown_;
    }
    if (midiCountdown_ > 0) {
        --midiCountdown_;
    }

    scheduleCountdowns();

    if (chainStepCountdown_ == 0 && chainRuns()) {
        chainStepEvent();
    }
    tick(chainStepCountdown_);

    if (noteStepCountdown_ == 0) {
        noteStepEvent();
    }
    tick(noteStepCountdown_);

    // A flam hit follows a step the chain played: none before the chain's first step, as while
    // a host counts in before the song's start.
    if (chainFlamCountdown_ == 0 && latchedState_ && latchedMode_ == 0 && chainRuns() &&
        chainPhase_ != kPhaseNone) {
        triggerChain(true);
    }
    tick(chainFlamCountdown_);

    if (noteFlamCountdown_ == 0 && latchedState_ && latchedMode_ != 0) {
        triggerNote(true);
    }
    tick(noteFlamCountdown_);
}

void PatternSequencer::endFrame() {
    hostPosition_ += beatsPerSample_;
    chainPosition_ += beatsPerSample_;
    notePosition_ += beatsPerSample_;
    chainArmed_ += beatsPerSample_;
    noteArmed_ += beatsPerSample_;
}

int PatternSequencer::quietFrames(int limit) const {
    if (countdownsStale_ || midiCountdown_ == 0) {
        return 0;
    }
    // Unscheduled countdowns that the frame would schedule.
    if (clockRunning_ && ((chainStepCountdown_ == -1 && chainRuns()) || noteStepCountdown_ == -1 ||
                          chainFlamCountdown_ == -1 || noteFlamCountdown_ == -1)) {
        return 0;
    }
    // A countdown (or the MIDI countdown) of c frames makes the frames before its c-th quiet.
    std::int64_t quiet = limit;
    for (const std::int64_t c : {static_cast<std::int64_t>(midiCountdown_), chainStepCountdown_,
                                 noteStepCountdown_, chainFlamCountdown_, noteFlamCountdown_}) {
        if (c >= 0 && c < quiet) {
            quiet = c;
        }
    }
    return static_cast<int>(quiet);
}

void PatternSequencer::skipQuietFrames(int frames) {
    if (frames <= 0) {
        return;
    }
    if (midiCountdown_ > 0) {
        midiCountdown_ -= frames;
    }
    for (std::int64_t* c :
         {&chainStepCountdown_, &noteStepCountdown_, &chainFlamCountdown_, &noteFlamCountdown_}) {
        if (*c >= 0) {
            *c -= frames;
        }
    }
    // The positions are sums of one sample's beats, added frame by frame, so that they come out
    // exactly as they would one frame at a time.
    const double step = beatsPerSample_;
    double host = hostPosition_, chain = chainPosition_, note = notePosition_;
    double chainArmed = chainArmed_, noteArmed = noteArmed_;
    for (int n = 0; n < frames; ++n) {
        host += step;
        chain += step;
        note += step;
        chainArmed += step;
        noteArmed += step;
    }
    hostPosition_ = host;
    chainPosition_ = chain;
    notePosition_ = note;
    chainArmed_ = chainArmed;
    noteArmed_ = noteArmed;
}

void PatternSequencer::endBlock() {
    if (midiCountdown_ >= 0 && midiCountdownStart_ > midiCountdown_) {
        queue_.age(midiCountdownStart_ - midiCountdown_);
        midiCountdownStart_ = midiCountdown_;
    }
    publish();
}

PlaybackView PatternSequencer::view() const {
    PlaybackView v;
    v.chainPattern = chainPattern_;
    v.chainStep = chainStep_;
    v.nextPattern = nextPattern_;
    v.notePattern = notePattern_;
    v.noteStep = noteStep_;
    v.lastStarted = lastStarted_;
    v.rangeFrom = rangeFrom_;
    v.rangeTo = rangeTo_;
    v.chainFlag = chainFlag_;
    v.latchedMode = latchedMode_;
    v.runState = runState_;
    v.songPosition = songPosition();
    return v;
}

// Publishes playback for the user interface and tells it what it must not miss.
void PatternSequencer::publish() {
    const PlaybackView v = view();
    snapshot_.publish(v);
    if (v.playingPattern() != publishedPattern_) {
        publishedPattern_ = v.playingPattern();
        host_.playingPatternChanged(publishedPattern_);
    }
    if (rangeMovedByKey_) {
        rangeMovedByKey_ = false;
        host_.rangeChanged(rangeFrom_, rangeTo_);
    }
    if (stoppedInBlock_) {
        stoppedInBlock_ = false;
        host_.transportStopped();
    }
}

void PatternSequencer::updateClock(double tempo) {
    const double rate = host_.sampleRate();
    // The same tempo and rate give the same clock: the divisions are left out of most blocks.
    if (tempo == clockTempo_ && rate == clockRate_) {
        return;
    }
    clockTempo_ = tempo;
    clockRate_ = rate;
    clockRunning_ = false;
    samplesPerBeat_ = 0.0;
    beatsPerSample_ = 0.0;
    if (!(tempo > 0.0 && tempo <= kMaxTempo) || !(rate > 0.0 && std::isfinite(rate))) {
        return; // no usable tempo: positions hold still and no step is scheduled
    }
    samplesPerBeat_ = rate * 60.0 / tempo;
    beatsPerSample_ = 1.0 / samplesPerBeat_;
    clockRunning_ = true;
}

void PatternSequencer::followTransportStart() {
    if (!isChainRunning()) {
        chainArmed_ = 1.0;
        chainPhase_ = kPhaseNone;
        chainPosition_ = 0.0;
        startChain(rangeFrom(), false);
    }
    notePhase_ = kPhaseNone;
    noteArmed_ = 0.0;
    runState_ = kRunStopped;
    notePosition_ = 0.0;
    hostPosition_ = 0.0;
}

void PatternSequencer::followTransportStop() {
    runState_ = kRunStopped;
    rememberChainStop();
    saveChainPosition();
    stopPlayers();
    notePhase_ = kPhaseNone;
    chainPhase_ = kPhaseNone;
    snapshot_.markStopped();
    stoppedInBlock_ = true;
}

void PatternSequencer::performTransportCommand(int command) {
    if (command == kTransportPlay) {
        if (runState_ != kRunRunning) {
            chainArmed_ = 1.0;
            runState_ = kRunRunning;
            chainPosition_ = 0.0;
            chainPhase_ = kPhaseNone;
            startChain(rangeFrom(), false);
        }
    } else if (command == kTransportStopCont) {
        if (runState_ == kRunRunning) {
            runState_ = kRunStopped;
            rememberChainStop();
            saveChainPosition();
            stopPlayers();
        } else {
            // Continue: the chain resumes at the pattern and step where it stopped, from the
            // position and phase it had, so its next step comes exactly as many samples after
            // the continue as it was due after the stop.
            chainArmed_ = 1.0;
            runState_ = kRunRunning;
            chainPosition_ = savedPosition_;
            chainPhase_ = savedPhase_;
            startChain(nextPattern(), true);
        }
    }
}

// Called by every stop of the chain, before its pattern and step are cleared. A stop of a chain
// that is not playing keeps what the last real stop saved.
void PatternSequencer::rememberChainStop() {
    if (!isChainRunning()) {
        return;
    }
    savedPosition_ = chainPosition_;
    savedPhase_ = chainPhase_;
}

bool PatternSequencer::chainRuns() const {
    return runState_ == kRunRunning || hostPlaying_ || midiStartFlag_;
}

double PatternSequencer::stepLengthOf(int pattern) const {
    return isValidPattern(pattern) ? (*bank_)[pattern].stepLength() : kDefaultStepLength;
}

// A player's step length follows its pattern: at block start, and at once when the player
// moves to a pattern with another time base, so that the first steps of that pattern already
// fall on its grid.
void PatternSequencer::refreshStepLengths() {
    const double chainLength = stepLengthOf(chainPattern());
    const double noteLength = stepLengthOf(notePattern());
    if (chainLength != basis_.chainStepLength || noteLength != basis_.noteStepLength) {
        basis_.chainStepLength = chainLength;
        basis_.noteStepLength = noteLength;
        countdownsStale_ = true;
    }
}

// Shuffle and flam as the plug-in holds them now; a change makes the countdowns stale.
void PatternSequencer::refreshAmounts() {
    const double shuffle = host_.shuffle();
    const double flam = host_.flam();
    if (shuffle != basis_.shuffle || flam != basis_.flam) {
        basis_.shuffle = shuffle;
        basis_.flam = flam;
        countdownsStale_ = true;
    }
}

void PatternSequencer::invalidateCountdowns() {
    chainStepCountdown_ = -1;
    noteStepCountdown_ = -1;
    chainFlamCountdown_ = -1;
    noteFlamCountdown_ = -1;
    countdownsStale_ = false;
}

ScheduleInput PatternSequencer::chainInput() const {
    return {chainPosition_, basis_.chainStepLength, basis_.shuffle, samplesPerBeat_};
}

ScheduleInput PatternSequencer::noteInput() const {
    return {notePosition_, basis_.noteStepLength, basis_.shuffle, samplesPerBeat_};
}

void PatternSequencer::scheduleCountdowns() {
    if (countdownsStale_) {
        invalidateCountdowns();
    }
    if (!clockRunning_) {
        return;
    }
    if (chainStepCountdown_ == -1 && chainRuns()) {
        const ScheduledStep next = scheduleChainStep(chainInput(), chainPhase_);
        chainStepCountdown_ = next.countdown;
        chainNextPhase_ = next.nextPhase;
    }
    if (noteStepCountdown_ == -1) {
        const ScheduledStep next = scheduleNoteStep(noteInput(), notePhase_);
        noteStepCountdown_ = next.countdown;
        noteNextPhase_ = next.nextPhase;
    }
    if (chainFlamCountdown_ == -1) {
        chainFlamCountdown_ = scheduleFlam(chainInput(), basis_.flam);
    }
    if (noteFlamCountdown_ == -1) {
        noteFlamCountdown_ = scheduleFlam(noteInput(), basis_.flam);
    }
}

void PatternSequencer::chainStepEvent() {
    if (!(chainArmed_ > kMinimumStepDistance)) {
        return;
    }
    chainArmed_ = 0.0;
    if (chainPhase_ != kPhaseNone) {
        advanceChain();
        refreshStepLengths();
    }
    if (latchedState_ && latchedMode_ == 0) {
        triggerChain(false);
        snapshot_.markStepChanged();
    }
    chainPhase_ = chainNextPhase_;
}

void PatternSequencer::noteStepEvent() {
    if (!(noteArmed_ > kMinimumStepDistance)) {
        return;
    }
    noteArmed_ = 0.0;
    if (noteRestart_) {
        noteRestart_ = false;
    } else {
        advanceNote();
    }
    if (latchedState_ && latchedMode_ != 0) {
        triggerNote(false);
        snapshot_.markStepChanged();
    }
    notePhase_ = noteNextPhase_;
}

// --- Player operations --------------------------------------------------------------------------

void PatternSequencer::startChain(int pattern, bool resume) {
    if (!isValidPattern(pattern)) {
        return;
    }
    chainStep_ = resume ? savedStep_ : 0;
    chainPattern_ = pattern;
    const int from = rangeFrom();
    const int next = pattern + 1;
    nextPattern_ = next >= from && next <= rangeTo() ? next : from;
}

void PatternSequencer::saveChainPosition() {
    const int pattern = chainPattern();
    if (isValidPattern(pattern)) {
        nextPattern_ = pattern;
    }
    const int step = chainStep();
    if (step >= 0 && step < kPatternSteps) {
        savedStep_ = step;
    }
}

void PatternSequencer::stopPlayers() {
    chainPattern_ = -1;
    chainStep_ = -1;
    notePattern_ = -1;
    noteStep_ = -1;
}

bool PatternSequencer::isChainRunning() const {
    return chainPattern() != -1 && chainStep() != -1;
}

void PatternSequencer::advanceChain() {
    const int pattern = chainPattern();
    if (!isValidPattern(pattern)) {
        return;
    }
    const int step = chainStep() + 1;
    if (step < (*bank_)[pattern].length()) {
        chainStep_ = step;
        return;
    }
    const int now = nextPattern();
    chainPattern_ = now;
    chainStep_ = 0;
    const int from = rangeFrom();
    const int next = now + 1;
    nextPattern_ = next >= from && next <= rangeTo() ? next : from;
}

void PatternSequencer::startNote(int pattern) {
    if (!isValidPattern(pattern)) {
        return;
    }
    noteStep_ = 0;
    lastStarted_ = pattern;
    notePattern_ = pattern;
}

void PatternSequencer::stopNote() {
    notePattern_ = -1;
    noteStep_ = -1;
}

void PatternSequencer::advanceNote() {
    const int pattern = notePattern();
    if (!isValidPattern(pattern)) {
        return;
    }
    const int step = noteStep() + 1;
    noteStep_ = step < (*bank_)[pattern].length() ? step : 0;
}

void PatternSequencer::setRange(int from, int to) {
    if (!isValidPattern(from) || !isValidPattern(to)) {
        return;
    }
    const PatternRange range = PatternRange::of(from, to);
    rangeFrom_ = range.from;
    rangeTo_ = range.to;
    nextPattern_ = from;
}

void PatternSequencer::extendRange(int pattern) {
    if (!isValidPattern(pattern)) {
        return;
    }
    const PatternRange range = PatternRange{rangeFrom_, rangeTo_}.extendedTo(pattern);
    rangeFrom_ = range.from;
    rangeTo_ = range.to;
    const int next = chainPattern() + 1;
    nextPattern_ = next >= rangeFrom_ && next <= rangeTo_ ? next : rangeFrom_;
}

void PatternSequencer::triggerChain(bool flamEvent) {
    if (chainFlag()) {
        triggerPattern(chainPattern(), chainStep(), flamEvent);
    }
}

void PatternSequencer::triggerNote(bool flamEvent) {
    if (!chainFlag()) {
        triggerPattern(notePattern(), noteStep(), flamEvent);
    }
}

void PatternSequencer::triggerPattern(int index, int step, bool flamEvent) {
    if (!isValidPattern(index) || step < 0 || step >= kPatternSteps) {
        return;
    }
    const Pattern& pattern = (*bank_)[index];
    if (host_.patternAttributeStore()) {
        host_.setShuffle(pattern.shuffle());
        host_.setFlam(pattern.flam());
        host_.setTotalAccentLevel(pattern.totalAccent());
        refreshAmounts();
    }
    const bool totalAccent = pattern.step(kTotalAccentRow, step).note;
    const bool gated = gate_.on;
    const bool gatedOut = gated && index != gate_.pattern;
    for (int i = 0; i < kRandomizerInstruments; ++i) {
        if (gatedOut || (gated && !(gate_.value(i, step) < randomizerThreshold(i)))) {
            continue;
        }
        const StepFlags flags = pattern.step(i, step);
        if (flamEvent) {
            if (flags.flam) {
                sink_.triggerStepAccented(i, flags.accent, totalAccent);
            }
        } else if (flags.note) {
            sink_.triggerStep(i, flags.accent, totalAccent);
        } else if (flags.flam) {
            sink_.triggerStepPlain(i, flags.accent, totalAccent);
        }
    }
}

// --- Randomizer gate ----------------------------------------------------------------------------

void PatternSequencer::setRandomizerThreshold(int instrument, float threshold) {
    if (instrument >= 0 && instrument < kRandomizerInstruments) {
        thresholds_[static_cast<std::size_t>(instrument)] = threshold;
    }
}

float PatternSequencer::randomizerThreshold(int instrument) const {
    if (instrument < 0 || instrument >= kRandomizerInstruments) {
        return 0.0f;
    }
    return thresholds_[static_cast<std::size_t>(instrument)];
}

// --- Patterns -----------------------------------------------------------------------------------

std::unique_ptr<PatternBank> PatternSequencer::replaceBank(std::unique_ptr<PatternBank> bank) {
    if (bank != nullptr) {
        bank_.swap(bank);
    }
    return bank;
}

void PatternSequencer::replacePattern(int index, const Pattern& pattern) {
    if (isValidPattern(index)) {
        (*bank_)[index] = pattern;
    }
}

void PatternSequencer::writeStep(int index, int row, int step, int code) {
    if (isValidPattern(index)) {
        (*bank_)[index].setStep(row, step, code);
    }
}

// --- MIDI ---------------------------------------------------------------------------------------

void PatternSequencer::queueEvent(const TimedMidiEvent& event) {
    // Data bytes have the top bit clear; a message that breaks this is not MIDI.
    if ((event.bytes[1] & 0x80) != 0 || (event.bytes[2] & 0x80) != 0) {
        return;
    }
    const int h = event.bytes[0] & 0xF0;
    const bool note = h == 0x80 || h == 0x90;
    const bool allNotesOff = h == 0xB0 && event.bytes[1] == kAllNotesOff;
    if (note || allNotesOff) {
        queue_.push(event.bytes, event.delta);
    }
}

void PatternSequencer::patternKey(int pattern, bool noteOn, int velocity) {
    if (isValidPattern(pattern)) {
        handlePatternKey(pattern, noteOn, std::clamp(velocity, 0, 127));
    }
}

void PatternSequencer::handleMidiEvent(const TimedMidiEvent& event) {
    const int h = event.bytes[0] & 0xF0;
    const int d1 = event.bytes[1] & 0x7F;
    const int d2 = event.bytes[2] & 0x7F;
    const bool noteOn = h == 0x90 && d2 > 0;
    const bool noteOff = h == 0x80 || (h == 0x90 && d2 == 0);
    if (noteOn || noteOff) {
        if (d1 >= kFirstPatternKey && d1 <= kLastPatternKey) {
            handlePatternKey(d1 - kFirstPatternKey, noteOn, d2);
        } else if (noteOn && d1 == kMidiStartNote) {
            midiStart();
        }
    } else if (h == 0xB0 && d1 == kAllNotesOff) {
        midiStop();
    }
}

void PatternSequencer::restartNotePlayer(int pattern) {
    noteArmed_ = 1.0;
    notePosition_ = 0.0;
    noteStepCountdown_ = -1;
    // The pending flam hit belonged to the old position; the restarted pattern schedules its own.
    noteFlamCountdown_ = -1;
    notePhase_ = kPhaseNone;
    noteRestart_ = true;
    startNote(pattern);
    refreshStepLengths();
}

void PatternSequencer::handlePatternKey(int pattern, bool noteOn, int velocity) {
    switch (latchedMode_) {
    case 1: // normal: a pattern plays while its key is held
        if (noteOn) {
            heldKeys_ = notePattern() == pattern ? heldKeys_ + 1 : 1;
            restartNotePlayer(pattern);
        } else if (notePattern() == pattern && heldKeys_ > 0) {
            // A release without a counted press changes nothing, so it cannot leave the pattern
            // needing one more release than there are keys.
            if (--heldKeys_ == 0) {
                stopNote();
            }
        }
        break;
    case 2: // free: a firm key starts a pattern, the release of a soft one stops it
        if (noteOn) {
            if (velocity < host_.freeModeThreshold()) {
                freeModeStop_ = true;
            } else {
                freeModeStop_ = false;
                restartNotePlayer(pattern);
            }
        } else if (freeModeStop_) {
            stopNote();
            freeModeStop_ = false;
        }
        break;
    default: // chain: keys choose the range, a second held key extends it
        if (noteOn) {
            if (chainKeyHeld_) {
                extendRange(pattern);
            } else {
                firstChainKey_ = pattern;
                setRange(pattern, pattern);
            }
            chainKeyHeld_ = true;
            rangeMovedByKey_ = true;
        } else if (pattern == firstChainKey_) {
            chainKeyHeld_ = false;
        }
        break;
    }
}

void PatternSequencer::midiStart() {
    midiStartFlag_ = true;
    if (!isChainRunning()) {
        chainArmed_ = 1.0;
        // While the host plays on external sync the chain keeps the host's position, which the
        // next block start would copy in anyway; a start at 0 would put the first steps off the
        // host's grid for as long as the block lasts.
        chainPosition_ = latchedSync_ == 1 && hostPlaying_ ? hostPosition_ : 0.0;
        chainStepCountdown_ = -1;
        chainFlamCountdown_ = -1;
        chainPhase_ = kPhaseNone;
        startChain(rangeFrom(), false);
        refreshStepLengths();
    }
}

void PatternSequencer::midiStop() {
    midiStartFlag_ = false;
    rememberChainStop();
    saveChainPosition();
    stopPlayers();
    chainPhase_ = kPhaseNone;
    notePhase_ = kPhaseNone;
    heldKeys_ = 0;
    chainKeyHeld_ = false;
}

} // namespace vorpalix
