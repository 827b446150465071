#pragma once

// The user-interface-thread half of the plug-in: the parameter table, the presets, the settings
// documents and the chunk, and the copies of everything the audio thread plays with (sequencer
// settings, output slots, the pattern bank, the controller map, MIDI learn), each changed here
// first and then sent to the audio thread as a command. It is the panel's PanelController.
//
// Threads: the user-interface thread owns the controller and everything in it. It reaches the
// audio thread only through the channels: commands go out, retired banks and notifications come
// back. Each copy is kept in step with what was sent: a change the command queue refuses is not
// made, and a report of the audio thread about something a later command replaces is ignored.

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "plugin/PanelController.h"
#include "plugin/ThreadChannels.h"
#include "presets/PresetBank.h"
#include "sequencer/PatternBank.h"
#include "state/ControllerMap.h"
#include "state/ParameterTable.h"
#include "state/StateModel.h"

namespace vorpalix {

class AudioEffect;
class PluginEditor;
class PluginProcessor;

class PluginController final : public PanelController, private PresetHost, private ParameterValues {
public:
    PluginController(AudioEffect& effect, ThreadChannels& channels, std::string pluginDirectory);
    ~PluginController() override;
    PluginController(const PluginController&) = delete;
    PluginController& operator=(const PluginController&) = delete;

    // Connections made once while the plug-in is built: the processor (read for playback, and
    // stood in for while no block can run) and the editor object (may stay null).
    void attachProcessor(PluginProcessor* processor) { processor_ = processor; }
    void attachEditor(PluginEditor* editor) { editor_ = editor; }
    // Set by the plug-in: true while the host keeps it suspended (before the first resume
    // included), so that no block runs and a full command queue may be applied here.
    void setSuspended(bool suspended) { suspended_ = suspended; }

    // --- Documents --------------------------------------------------------------------------
    // Applies the settings document embedded in the module; then the user file beside it.
    void applyEmbeddedSettings();
    void applyUserSettingsFile();
    // Applies a settings document's root: the embedded one in full, a user file only for its
    // controller map and user settings; then sends the whole state.
    void applySettingsDocument(const xmlNode* root, bool embedded);
    // The chunk of the whole state, kept until the next call; empty when memory runs out.
    const std::string& writeChunk();
    // Applies a chunk and sends the whole state; false when the block is not a chunk.
    bool applyChunk(std::span<const std::uint8_t> block);
    // Values 0..47 sent again (the host's program change).
    void sendKnobValues();
    const OutputConfig& outputConfig() const { return outputConfig_; }

    // The commands sent since the plug-in was made that the queue refused.
    std::uint64_t refusedCommands() const { return refused_; }
    // Only while no block can run (the plug-in's destruction): drops every waiting command,
    // freeing the banks they carry, and frees the retired banks.
    void discardPendingCommands();

    // --- PanelController ---------------------------------------------------------------------
    const ParameterTable& parameters() const override { return table_; }
    float parameterValue(int index) const override;
    void setParameterFromPanel(int index, float value) override;
    void beginEdit(int index) override;
    void endEdit(int index) override;
    std::array<std::uint64_t, 2> takeChangedParameters() override;

    const SequencerSettings& sequencerSettings() const override { return settings_; }
    bool setSequencerState(bool on) override;
    bool setSequencerSync(int sync) override;
    bool setSequencerMode(int mode) override;
    bool setPatternAttributeStore(bool on) override;
    bool requestTransport(int command) override;
    bool pressPatternKey(int pattern, bool on, int velocity) override;
    bool takeStepChanged() override;
    bool takeStopped() override;

    bool replaceBank(const PatternBank& bank) override;
    bool loadPatternFile(int index, const std::string& fileName) override;
    int loadBankFile(const std::string& fileName) override;
    bool savePatternFile(int index, const std::string& fileName) const override;
    bool saveBankFile(const std::string& fileName) const override;

    PresetBank& presets() override;

    const ControllerMap& controllerMap() const override { return controllers_; }
    bool setLearnMode(bool on) override;
    bool setParameterBeingLearnt(int index) override;
    bool learnMode() const override { return learnMode_; }
    int parameterBeingLearnt() const override { return learning_; }
    int outputNumber(int instrument) const override;
    bool setOutputNumber(int instrument, int slot) override;

    std::optional<std::string> selectFileWithHost(bool save, const std::string& title,
                                                  const std::string& typeName,
                                                  const std::string& extension) override;

    void pollNotifications() override;

    // --- EditingHost --------------------------------------------------------------------------
    const PatternBank& patterns() const override { return *patterns_; }
    bool replacePattern(int index, const Pattern& pattern) override;
    bool writeStep(int index, int row, int step, int code) override;
    bool setPatternAmount(int index, PatternAttribute attribute, float value,
                          bool toPlayback) override;
    bool sendRandomizer(const RandomizerGate& gate, int index, const Pattern* pattern) override;
    float randomizerThreshold(int instrument) const override;
    PlaybackView playback() const override;
    bool setRange(int from, int to) override;
    bool extendRange(int pattern) override;
    bool patternAttributeStore() const override { return settings_.attributeStore; }
    bool requestAudition(int instrument, float velocity) override;

private:
    // PresetHost and ParameterValues: the parameter path of the user-interface thread.
    float knobValue(int index) const override;
    std::uint64_t takeKnobChanges() override;
    void setKnobValue(int index, float value) override;
    float defaultValue(int index) const override;
    float value(int index) const override;
    void setValue(int index, float value) override;

    StateModel model();
    // Sends a command; false when the queue is full (see PluginProcessor for the stand-in while
    // suspended).
    bool send(AudioCommand command);
    bool sendControls(const SequencerControls& controls);
    bool push(const AudioCommand& command);
    void reclaimRetiredBanks();
    // Documents change the model between these two: values go to the parameter store for the
    // whole state, which is then sent as one command (or, when the queue is full, as soon as
    // there is room).
    void beginWholeState();
    void commitWholeState();
    bool sendWholeState();

    AudioEffect& effect_;
    ThreadChannels& channels_;
    PluginProcessor* processor_ = nullptr;
    PluginEditor* editor_ = nullptr;
    bool suspended_ = true;
    std::string pluginDirectory_;

    ParameterTable table_;
    SequencerSettings settings_;
    std::array<int, kNumInstruments> slots_{};
    OutputConfig outputConfig_;
    std::unique_ptr<PatternBank> patterns_;
    PresetBank presets_;
    ControllerMap controllers_;
    bool learnMode_ = false;
    int learning_ = -1;

    // Command sequence numbers: the last one sent, and the last one that set the range, the
    // controller map and MIDI learn (reports sent before these were applied are out of date).
    std::uint32_t sequence_ = 0;
    std::uint32_t rangeSequence_ = 0;
    std::uint32_t mapSequence_ = 0;
    std::uint32_t learnSequence_ = 0;
    std::uint64_t refused_ = 0;

    bool stagingWholeState_ = false;
    bool wholeStatePending_ = false;
    bool rangeRead_ = false;
    std::string chunk_;
};

} // namespace vorpalix
