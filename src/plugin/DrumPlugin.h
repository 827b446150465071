#pragma once

#include <array>
#include <atomic>
#include <memory>
#include <string>

#include "plugin/AudioEffect.h"
#include "plugin/HitReport.h"
#include "plugin/OutputConfig.h"
#include "state/ControllerMap.h"
#include "state/ParameterTable.h"

typedef struct _xmlNode xmlNode;

namespace vorpalix {

class DrumEngine;
class PatternEditing;
class PatternSequencer;
class PanelEditor;
class PresetBank;

// Sequencer modes and sync sources.
enum SequencerMode : int { kModeChain = 0, kModeNormal = 1, kModeFree = 2 };
enum SequencerSync : int { kSyncInternal = 0, kSyncExternal = 1 };
enum TransportCommand : int { kTransportNone = 0, kTransportPlay = 1, kTransportStopCont = 2 };

inline constexpr vst::VstInt32 kUniqueId = vst::fourCharCode('V', 'R', 'P', 'Z');
inline constexpr vst::VstInt32 kVendorVersion = 1030;
inline constexpr int kNumKnobs = 48;     // instrument knobs 0..47
inline constexpr int kNumMixValues = 38; // main knobs, mute, solo, thresholds 48..85

// Parameter indices the plug-in acts on itself.
enum ParameterIndex : int {
    kParamTempo = 48,
    kParamVolume = 49,
    kParamFlam = 50,
    kParamShuffle = 51,
    kParamTotalAccent = 52,
    kParamFirstThreshold = 75,
};

// The instrument as the host sees it: parameters, programs, pins, processing and MIDI. Owns the
// engine, the sequencer, the presets, the controller map and the output configuration.
//
// Threads: the host's UI or automation thread calls the dispatcher and setParameter; the audio
// thread calls processEvents and the processing calls. Values that cross from the UI side to the
// audio side are single atomics read at block start. Engine parameter changes are posted as
// atomic values with a dirty mask and applied by the audio thread at the next block start, so
// the engine is only ever touched by one thread at a time.
class DrumPlugin : public AudioEffect {
public:
    explicit DrumPlugin(vst::HostCallback host);
    ~DrumPlugin() override;

    // Audio thread. No allocation, no locks.
    void processReplacing(float** inputs, float** outputs, vst::VstInt32 frames) override;
    // Audio thread. No allocation, no locks.
    void process(float** inputs, float** outputs, vst::VstInt32 frames) override;
    // Any thread. NaN is ignored; other values are clamped to 0..1 first.
    void setParameter(vst::VstInt32 index, float value) override;
    // Any thread.
    float getParameter(vst::VstInt32 index) override;
    // UI thread; the hit report query (effVendorSpecific, kHitReportIndex) on the audio thread.
    vst::VstIntPtr dispatcher(vst::VstInt32 opcode, vst::VstInt32 index, vst::VstIntPtr value,
                              void* ptr, float opt) override;
    // Audio thread: the sequenced hits of the current block.
    HitReport& hitReport() { return hitReport_; }

    // --- Operations used by the editor, the documents and MIDI ---------------------------------
    // UI thread. Requested sequencer controls, latched by the next block.
    void setSequencerState(bool on);
    void setSequencerSync(int sync);
    void setSequencerMode(int mode);
    void requestTransport(int command);
    // UI thread. Output slot of instrument i (both 0..10; others ignored).
    void setOutputNumber(int instrument, int slot);
    // UI thread. A direct hit performed at the start of the next block.
    void requestAudition(int instrument, float velocity);
    // Unconditional setters used by pattern attributes (audio thread) and the knobs.
    void setShuffle(float value);
    void setFlam(float value);
    void setTotalAccentLevel(float value);

    bool sequencerState() const { return requestedState_.load(std::memory_order_relaxed); }
    int sequencerSync() const { return requestedSync_.load(std::memory_order_relaxed); }
    int sequencerMode() const { return requestedMode_.load(std::memory_order_relaxed); }
    int outputNumber(int instrument) const;
    double internalTempo() const { return internalTempo_.load(std::memory_order_relaxed); }
    double shuffle() const { return shuffle_.load(std::memory_order_relaxed); }
    double flam() const { return flam_.load(std::memory_order_relaxed); }
    // Audio thread: takes the one-shot transport command and resets it to none.
    int takeTransportCommand() { return transportCommand_.exchange(0, std::memory_order_relaxed); }
    // Audio thread: the host's time record for the filter, or null.
    const vst::VstTimeInfo* hostTime(vst::VstInt32 filter);
    // The plug-in's sample rate (updated at block start after a host change).
    double sampleRate() const { return engineRate_; }

    // MIDI learn.
    void setLearnMode(bool on);
    bool learnMode() const { return learnMode_.load(std::memory_order_relaxed); }
    void setParameterBeingLearnt(int index) { learnt_.store(index, std::memory_order_relaxed); }
    int parameterBeingLearnt() const { return learnt_.load(std::memory_order_relaxed); }
    int freeModeThreshold() const { return freeModeThreshold_; }
    // The pattern attribute store: while on, each pattern's own flam, shuffle and total accent
    // drive playback and the three knobs edit the pattern instead.
    bool patternAttributeStore() const { return attributeStore_.load(std::memory_order_relaxed); }
    void setPatternAttributeStore(bool on) { attributeStore_.store(on, std::memory_order_relaxed); }
    void setFreeModeThreshold(int level);

    const ParameterTable& parameters() const { return parameters_; }
    ControllerMap& controllerMap() { return controllers_; }
    const ControllerMap& controllerMap() const { return controllers_; }
    const OutputConfig& outputConfig() const { return outputConfig_; }
    DrumEngine& engine() { return *engine_; }
    PatternSequencer& sequencer() { return *sequencer_; }
    PresetBank& presets() { return *presets_; }
    PanelEditor& editor() { return *editor_; }
    const std::string& pluginDirectory() const { return pluginDirectory_; }

    // Applies the settings document embedded in the module; then the user file beside it.
    void applyEmbeddedSettings();
    void applyUserSettingsFile();
    // Applies a settings document's root: the embedded one in full, a user file only for its
    // controller map and user settings.
    void applySettingsDocument(const xmlNode* root, bool embedded);
    void readUserSettings(const xmlNode* element);

    // The editor's edit state (edited pattern and row, write, tap, flam, last step and auto
    // follow modes). The settings document and the chunk read and write it while it is
    // attached; the editor attaches it for its lifetime and detaches it with nullptr.
    // UI thread.
    void attachPatternEditing(PatternEditing* editing) { patternEditing_ = editing; }
    PatternEditing* patternEditing() const { return patternEditing_; }

    using AudioEffect::setProgram;

protected:
    void resume() override;
    void setSampleRate(float rate) override;
    void setProgram(vst::VstInt32 program) override;
    void getProgramName(char* name) override;
    void getParameterLabel(vst::VstInt32 index, char* text) override;
    void getParameterName(vst::VstInt32 index, char* text) override;
    vst::VstInt32 processEvents(vst::VstEvents* events) override;
    bool getOutputProperties(vst::VstInt32 index, vst::VstPinProperties* properties) override;
    vst::VstInt32 getPlugCategory() override { return vst::kPlugCategSynth; }
    bool getEffectName(char* name) override;
    bool getVendorString(char* text) override;
    bool getProductString(char* text) override;
    vst::VstInt32 getVendorVersion() override { return kVendorVersion; }
    vst::VstInt32 canDo(const char* text) override;
    // UI thread. The whole state as an XML block, kept until the next call; 0 for a program.
    vst::VstInt32 getChunk(void** data, bool isPreset) override;
    // UI thread, while audio may run. Applies a block written by getChunk; returns 1.
    vst::VstInt32 setChunk(void* data, vst::VstInt32 size, bool isPreset) override;

private:
    void processBlock(float** outputs, vst::VstInt32 frames, bool replacing);
    void applyPendingEngineChanges();
    void sendKnobValues();

    ParameterTable parameters_;
    ControllerMap controllers_;
    std::string pluginDirectory_;

    std::unique_ptr<DrumEngine> engine_;
    std::unique_ptr<PatternSequencer> sequencer_;
    std::unique_ptr<PresetBank> presets_;
    // Created after the parts it edits and destroyed before them.
    std::unique_ptr<PanelEditor> editor_;

    // Current parameter values: knobs 0..47 and mix/mode values 48..85.
    std::array<std::atomic<float>, kNumHostParameters> values_{};

    // Engine parameter changes posted by setParameter and applied at block start.
    std::array<std::atomic<float>, 75> engineValues_{};
    std::array<std::atomic<std::uint64_t>, 2> engineDirty_{};
    std::atomic<float> totalAccentValue_{0.0f};
    std::atomic<bool> totalAccentDirty_{false};
    std::atomic<float> requestedRate_{44100.0f};
    double engineRate_ = 44100.0;

    OutputConfig outputConfig_;
    std::array<std::atomic<int>, 11> outputSlots_{};
    std::array<int, 11> blockSlots_{};

    std::atomic<bool> requestedState_{true};
    std::atomic<int> requestedSync_{kSyncExternal};
    std::atomic<int> requestedMode_{kModeChain};
    std::atomic<int> transportCommand_{kTransportNone};

    std::atomic<double> internalTempo_{120.0};
    std::atomic<double> shuffle_{0.0};
    std::atomic<double> flam_{0.121};

    std::atomic<bool> auditionPending_{false};
    std::atomic<int> auditionInstrument_{0};
    std::atomic<float> auditionVelocity_{0.0f};

    std::atomic<bool> attributeStore_{true};
    std::atomic<bool> learnMode_{false};
    std::atomic<int> learnt_{-1};
    int freeModeThreshold_ = 100;

    PatternEditing* patternEditing_ = nullptr;
    HitReport hitReport_;
    std::string chunk_; // the block handed out by the last getChunk
};

} // namespace vorpalix
