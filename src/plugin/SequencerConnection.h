#pragma once

// What connects the pattern sequencer to the plug-in on the audio thread: the values it plays
// with (requested controls, tempo, amounts, the pattern attribute store, the free-mode
// threshold, the transport commands sent since the last block), the host's transport, and the
// engine that sounds its steps. Commands and parameter changes set these values at block start;
// the sequencer reads them during the block.
//
// Threads: audio thread only (the processor owns both objects).

#include <array>
#include <cstddef>
#include <cstdint>

#include "plugin/HitReport.h"
#include "plugin/ThreadChannels.h"
#include "sequencer/SequencerHost.h"

namespace vorpalix {

class AudioEffect;
class DrumEngine;

class SequencerConnection final : public SequencerHost {
public:
    SequencerConnection(AudioEffect& effect, DrumEngine& engine, ThreadChannels& channels);

    SequencerControls requestedControls() override { return controls_; }
    int takeTransportCommand() override;
    TransportInfo transport() override;
    double sampleRate() override { return sampleRate_; }
    double internalTempo() override { return internalTempo_; }
    double shuffle() override { return shuffle_; }
    double flam() override { return flam_; }
    bool patternAttributeStore() override { return attributeStore_; }
    // Knob values 0..1 of the amounts; the total accent reaches the engine at once, so that a
    // step event that applies its pattern's total accent sounds with it.
    void setShuffle(float value) override;
    void setFlam(float value) override;
    void setTotalAccentLevel(float value) override;
    int freeModeThreshold() override { return freeModeThreshold_; }
    void playingPatternChanged(int pattern) override;
    void rangeChanged(int from, int to) override;
    void transportStopped() override;

    // The values as set last.
    const SequencerControls& controls() const { return controls_; }
    bool attributeStore() const { return attributeStore_; }
    double tempo() const { return internalTempo_; }
    double shuffleFraction() const { return shuffle_; }
    double flamFraction() const { return flam_; }
    int threshold() const { return freeModeThreshold_; }

    // Set by the processor at block start.
    void setControls(const SequencerControls& controls) { controls_ = controls; }
    void setAttributeStore(bool on) { attributeStore_ = on; }
    void setFreeModeThreshold(int level);
    void setSampleRate(double rate) { sampleRate_ = rate; }
    // The Tempo knob value 0..1: 30 to 303 BPM in steps of 0.1.
    void setTempoKnob(float value);
    // Queues a transport command for the sequencer's next block start; false when full.
    bool queueTransportCommand(int command);
    // The sequence number of the last command applied, sent back with every notification.
    void setLastSequence(std::uint32_t sequence) { lastSequence_ = sequence; }
    std::uint32_t lastSequence() const { return lastSequence_; }
    // Sends a notification to the user-interface thread; when its queue is full the notification
    // is dropped and the user-interface thread told to read playback afresh.
    void notify(NotificationType type, int a = 0, int b = 0);

private:
    AudioEffect& effect_;
    DrumEngine& engine_;
    ThreadChannels& channels_;

    SequencerControls controls_;
    bool attributeStore_ = true;
    int freeModeThreshold_ = 100;
    double sampleRate_ = 44100.0;
    double internalTempo_ = 120.0;
    double shuffle_ = 0.0;
    double flam_ = 0.121;
    std::uint32_t lastSequence_ = 0;

    std::array<int, ThreadChannels::kCommandCapacity> transportCommands_{};
    std::size_t transportHead_ = 0;
    std::size_t transportCount_ = 0;
};

// The sequencer's step triggers, played by the engine.
class EngineTriggerSink final : public StepTriggerSink {
public:
    EngineTriggerSink(DrumEngine& engine, HitReport& hits) : engine_(engine), hits_(hits) {}
    void triggerStep(int i, bool accent, bool ta) override;
    void triggerStepPlain(int i, bool accent, bool ta) override;
    void triggerStepAccented(int i, bool accent, bool ta) override;

private:
    DrumEngine& engine_;
    HitReport& hits_;
};

} // namespace vorpalix
