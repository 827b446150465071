#pragma once

// The audio-thread half of the plug-in: the engine with its voices, the sequencer with the live
// patterns and its players, the live controller map with MIDI learn, the output routing and the
// values playback works with. It renders the blocks and takes the host's MIDI events.
//
// Threads: the audio thread owns the processor and everything in it. The user-interface thread
// never calls it while the host processes audio; it sends commands through the channels, which
// the processor applies at the start of the next block (applyCommands), and it reads only the
// published playback snapshot. Before the host has started processing, and while it keeps the
// plug-in suspended, no block runs; then the dispatcher thread stands in for the audio thread
// and may apply the waiting commands itself (DrumPlugin does so when the queue is full).

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "dsp/DrumEngine.h"
#include "plugin/HitReport.h"
#include "plugin/SequencerConnection.h"
#include "plugin/ThreadChannels.h"
#include "plugin/VstInterface.h"
#include "sequencer/PatternSequencer.h"
#include "state/ControllerMap.h"
#include "state/OutputConfig.h"

namespace vorpalix {

class AudioEffect;

class PluginProcessor {
public:
    // The output configuration is fixed for the processor's life.
    PluginProcessor(AudioEffect& effect, ThreadChannels& channels, const OutputConfig& outputs);
    ~PluginProcessor();
    PluginProcessor(const PluginProcessor&) = delete;
    PluginProcessor& operator=(const PluginProcessor&) = delete;

    // Audio thread. No allocation, no locks. One block: waiting commands, parameter changes,
    // then the frames (added to the buffers, or replacing them).
    void processBlock(float** outputs, vst::VstInt32 frames, bool replacing);
    // Audio thread. No allocation, no locks. Controllers through the live map (or learnt), notes
    // and All Notes Off to the sequencer.
    void processEvents(const vst::VstEvents* events);
    // Audio thread (or the dispatcher thread while no block can run). No allocation, no locks.
    // Applies every waiting command in order; commands whose retired bank could not be handed
    // back wait for the next call.
    void applyCommands();
    // Audio thread (or the dispatcher thread while no block can run). Applies every parameter
    // value marked since the last call.
    void applyParameterChanges();

    // Read access for the plug-in's own queries and for tests; call only where no block runs
    // at the same time (the audio thread itself, or while the host does not process).
    const DrumEngine& engine() const { return *engine_; }
    const PatternSequencer& sequencer() const { return *sequencer_; }
    const ControllerMap& controllerMap() const { return controllers_; }
    const SequencerConnection& connection() const { return connection_; }
    int outputNumber(int instrument) const;
    double sampleRate() const { return engineRate_; }
    bool learnMode() const { return learnMode_; }
    int parameterBeingLearnt() const { return learning_; }

    // Audio thread (between blocks): the sequenced hits of the last block.
    const HitReport& hitReport() const { return hitReport_; }

    // Any thread: playback as last published at a block end.
    PlaybackSnapshot& playback() { return sequencer_->snapshot(); }

private:
    struct Audition {
        int instrument;
        float velocity;
    };

    bool applyCommand(const AudioCommand& command);
    void applyParameter(int index, float value);
    void retire(PatternBank* bank);
    void applySampleRate();
    bool knobsDriveAmounts() const;

    AudioEffect& effect_;
    ThreadChannels& channels_;
    const OutputConfig outputConfig_;

    std::unique_ptr<DrumEngine> engine_;
    SequencerConnection connection_;
    HitReport hitReport_; // the sequenced hits of the last block, for hosts that ask
    EngineTriggerSink sink_;
    std::unique_ptr<PatternSequencer> sequencer_;

    ControllerMap controllers_;
    bool learnMode_ = false;
    int learning_ = -1;

    std::array<int, kNumInstruments> blockSlots_{};
    double engineRate_ = 44100.0;

    // Auditions sent since the last block, played at its start in the order they came.
    std::array<Audition, ThreadChannels::kCommandCapacity> auditions_{};
    std::size_t auditionCount_ = 0;
};

} // namespace vorpalix
