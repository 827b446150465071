#pragma once

// What the pattern sequencer needs from its surroundings: the requested controls, the host's
// transport, the clock and the amounts (SequencerHost) and somewhere to send its hits
// (StepTriggerSink). The plug-in connects them to its own state and the engine; tests connect
// fakes, so that the sequencer's timing can be checked sample by sample on its own.
//
// Every operation is called on the audio thread, from the block routine, and must not allocate,
// lock or block.

namespace vorpalix {

// Sequencer modes, sync sources and the one-shot transport commands of the panel.
enum SequencerMode : int { kModeChain = 0, kModeNormal = 1, kModeFree = 2 };
enum SequencerSync : int { kSyncInternal = 0, kSyncExternal = 1 };
enum TransportCommand : int { kTransportNone = 0, kTransportPlay = 1, kTransportStopCont = 2 };

// The sequencer controls as requested by the editor or the documents; latched at block start.
struct SequencerControls {
    bool state = true;        // the internal sequencer is on
    int sync = kSyncExternal; // kSyncInternal or kSyncExternal (host tempo and position)
    int mode = kModeChain;    // SequencerMode
    bool operator==(const SequencerControls&) const = default;
};

// The host's transport at the start of a block.
struct TransportInfo {
    bool valid = false;         // the host reported its transport at all
    bool playing = false;       // the host's transport runs
    bool positionValid = false; // position holds the song position
    double position = 0.0;      // song position in quarter notes (beats)
    bool tempoValid = false;    // tempo holds the host's tempo
    double tempo = 0.0;         // beats per minute
};

class SequencerHost {
public:
    virtual ~SequencerHost() = default;

    virtual SequencerControls requestedControls() = 0;
    // The next one-shot transport command (TransportCommand), removed by the call;
    // kTransportNone once every command sent since the last block has been taken.
    virtual int takeTransportCommand() = 0;
    // The host's transport for this block.
    virtual TransportInfo transport() = 0;
    virtual double sampleRate() = 0;
    // The internal clock's tempo in BPM.
    virtual double internalTempo() = 0;
    // Shuffle and flam as fractions of a step.
    virtual double shuffle() = 0;
    virtual double flam() = 0;
    // While on, every step and flam event first applies its pattern's own amounts.
    virtual bool patternAttributeStore() = 0;
    // Knob values 0..1 of the pattern amounts, applied unconditionally.
    virtual void setShuffle(float value) = 0;
    virtual void setFlam(float value) = 0;
    virtual void setTotalAccentLevel(float value) = 0;
    // Free mode: note-on velocities at or above this start a pattern.
    virtual int freeModeThreshold() = 0;

    // What playback tells the user interface, at the end of the block in which it happened: the
    // playing pattern changed (-1: none plays), the chained range changed, the host's transport
    // stopped. The default ignores them.
    virtual void playingPatternChanged(int /*pattern*/) {}
    virtual void rangeChanged(int /*from*/, int /*to*/) {}
    virtual void transportStopped() {}
};

// The engine's step triggers: a plain step hit, the plain first hit of a flam step, and the
// louder delayed hit of a flam step (velocities are the engine's business).
class StepTriggerSink {
public:
    virtual ~StepTriggerSink() = default;
    virtual void triggerStep(int instrument, bool accent, bool totalAccent) = 0;
    virtual void triggerStepPlain(int instrument, bool accent, bool totalAccent) = 0;
    virtual void triggerStepAccented(int instrument, bool accent, bool totalAccent) = 0;
};

} // namespace vorpalix
