#pragma once

// The commands the user-interface thread sends to the audio thread, and the notifications the
// audio thread sends back. Both are plain values of fixed size, copied through fixed-capacity
// queues (SpscQueue); the audio thread applies every waiting command at the start of a block, in
// the order they were sent.
//
// Whole-state swaps: a command that replaces the whole pattern bank carries a bank the
// user-interface thread built; the audio thread swaps it in by pointer and hands the old bank
// back through the retired-bank queue, so that it is freed on the user-interface thread.

#include <array>
#include <cstdint>

#include "dsp/Instruments.h"
#include "sequencer/EditingHost.h"
#include "sequencer/Pattern.h"
#include "sequencer/PatternBank.h"
#include "sequencer/RandomizerGate.h"
#include "sequencer/SequencerHost.h"
#include "state/ControllerMap.h"
#include "state/StateModel.h"

namespace vorpalix {

enum class CommandType : std::uint8_t {
    Audition,       // a direct hit: instrument, velocity
    Transport,      // a one-shot transport command: Play or StopCont
    Controls,       // the requested sequencer state, sync and mode
    AttributeStore, // the pattern attribute store on or off
    Range,          // the chained range becomes from..to
    ExtendRange,    // the chained range is extended to a pattern
    PatternKey,     // a pattern key pressed or released, as a MIDI pattern key (start pattern)
    ReplacePattern, // one pattern replaced whole
    WriteStep,      // one step written by the step rules
    PatternAmount,  // one amount of a pattern, and of running playback with toPlayback
    Randomizer,     // the randomizer gate, with the randomized pattern when withPattern is set
    ReplaceBank,    // the whole bank swapped in by pointer
    ReplaceState,   // bank, sequencer settings, outputs and controller map as one whole state
    OutputSlot,     // the output slot of one instrument
    Learn,          // MIDI learn: mode and the parameter being learnt
};

struct AuditionCommand {
    int instrument;
    float velocity;
};

struct RangeCommand {
    int from;
    int to;
};

struct PatternKeyCommand {
    int pattern;
    bool on;
    int velocity;
};

struct PatternCommand {
    int index;
    Pattern pattern;
};

struct StepCommand {
    int index;
    int row;
    int step;
    int code;
};

struct AmountCommand {
    int index;
    PatternAttribute attribute;
    float value;
    bool toPlayback;
};

struct RandomizerCommand {
    RandomizerGate gate;
    int index;
    bool withPattern;
    Pattern pattern;
};

struct StateCommand {
    PatternBank* bank; // owned by the command until the audio thread retires it
    SequencerSettings settings;
    bool rangeGiven; // the document named a range: it is set (and the chain's next pattern too)
    std::array<int, kNumInstruments> outputSlots;
    ControllerMap controllers;
};

struct SlotCommand {
    int instrument;
    int slot;
};

struct LearnCommand {
    bool on;
    int parameter;
};

struct AudioCommand {
    CommandType type = CommandType::Audition;
    // Counts the commands the user-interface thread sent; the audio thread tells it back with
    // its notifications, so that a notification about something a later command replaces can
    // be recognised.
    std::uint32_t sequence = 0;
    union {
        AuditionCommand audition;
        int transport;
        SequencerControls controls;
        bool attributeStore;
        RangeCommand range;
        int pattern;
        PatternKeyCommand key;
        PatternCommand replace;
        StepCommand step;
        AmountCommand amount;
        RandomizerCommand randomizer;
        PatternBank* bank; // owned by the command until the audio thread retires it
        StateCommand state;
        SlotCommand slot;
        LearnCommand learn;
    };

    AudioCommand() : audition{0, 0.0f} {}
};

static_assert(sizeof(AudioCommand) <= 1024, "commands are copied through a fixed queue");

enum class NotificationType : std::uint8_t {
    ControllerLearnt,      // a: controller, b: parameter
    PlayingPatternChanged, // a: pattern (-1: none plays)
    RangeChanged,          // a: from, b: to (by MIDI pattern keys)
    TransportStopped,      // the host's transport stopped
};

struct Notification {
    NotificationType type = NotificationType::TransportStopped;
    // The sequence number of the last command the audio thread had applied when it sent this.
    std::uint32_t sequence = 0;
    int a = 0;
    int b = 0;
};

} // namespace vorpalix
