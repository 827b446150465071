#pragma once

#include <memory>

#include "plugin/AudioEffect.h"
#include "plugin/PluginController.h"
#include "plugin/PluginEditor.h"
#include "plugin/PluginProcessor.h"
#include "plugin/PluginVersion.h"
#include "plugin/ThreadChannels.h"

namespace vorpalix {

inline constexpr vst::VstInt32 kUniqueId = vst::fourCharCode('V', 'R', 'P', 'Z');

// The instrument as the host sees it: parameters, programs, pins, processing, MIDI, the chunk and
// the editor calls. It owns two halves that never share an object: the processor (audio thread:
// engine, sequencer, live patterns) and the controller (user-interface thread: documents,
// presets, the copies the documents and the panel work on), joined only by the channels
// (commands, retired banks, notifications, parameter values).
//
// Threads: the host's audio thread calls processEvents and the processing calls, which go to the
// processor. The host's user-interface thread calls the dispatcher (chunks, editor, sample rate,
// programs), which goes to the controller. setParameter and getParameter may come from any
// thread and touch only the parameter values.
class DrumPlugin : public AudioEffect {
public:
    // Without an editor factory the plug-in has no editor object.
    explicit DrumPlugin(vst::HostCallback host, EditorFactory editorFactory = nullptr);
    ~DrumPlugin() override;

    // Audio thread. No allocation, no locks.
    void processReplacing(float** inputs, float** outputs, vst::VstInt32 frames) override;
    // Audio thread. No allocation, no locks.
    void process(float** inputs, float** outputs, vst::VstInt32 frames) override;
    // Any thread. No allocation, no locks. NaN is ignored; other values are clamped to 0..1.
    // The audio thread applies the value at its next block start.
    void setParameter(vst::VstInt32 index, float value) override;
    // Any thread. No allocation, no locks.
    float getParameter(vst::VstInt32 index) override;
    // UI thread. The hit report query (effVendorSpecific with kHitReportIndex) comes from the
    // thread that processes, between blocks.
    vst::VstIntPtr dispatcher(vst::VstInt32 opcode, vst::VstInt32 index, vst::VstIntPtr value,
                              void* ptr, float opt) override;

    // User-interface thread. The controller: what the panel and the documents work on.
    PluginController& controller() { return *controller_; }
    // The editor object, or null.
    PluginEditor* editor() { return editor_.get(); }
    // Read access to the audio-thread half, for the plug-in's tests; only where no block runs
    // at the same time.
    const PluginProcessor& processor() const { return *processor_; }

    using AudioEffect::setProgram;

protected:
    void resume() override;
    void suspend() override;
    void setSampleRate(float rate) override;
    void setProgram(vst::VstInt32 program) override;
    void getProgramName(char* name) override;
    void getParameterLabel(vst::VstInt32 index, char* text) override;
    void getParameterName(vst::VstInt32 index, char* text) override;
    // Audio thread, just before the block the events belong to. No allocation, no locks.
    vst::VstInt32 processEvents(vst::VstEvents* events) override;
    bool getOutputProperties(vst::VstInt32 index, vst::VstPinProperties* properties) override;
    vst::VstInt32 getPlugCategory() override { return vst::kPlugCategSynth; }
    bool getEffectName(char* name) override;
    bool getVendorString(char* text) override;
    bool getProductString(char* text) override;
    vst::VstInt32 getVendorVersion() override { return kVendorVersion; }
    vst::VstInt32 canDo(const char* text) override;
    // User-interface thread. The whole state as an XML block, kept until the next call; 0 for a
    // program.
    vst::VstInt32 getChunk(void** data, bool isPreset) override;
    // User-interface thread, while audio may run. Applies a block written by getChunk; the
    // audio thread takes the new state whole at a block start. Returns 1.
    vst::VstInt32 setChunk(void* data, vst::VstInt32 size, bool isPreset) override;
    // User-interface thread. The editor calls; idle also takes the audio thread's reports.
    vst::VstIntPtr editorOpcode(vst::VstInt32 opcode, vst::VstInt32 index, vst::VstIntPtr value,
                                void* ptr, float opt) override;
    // User-interface thread. The panel screenshot of the bundled tools (PanelScreenshot.h).
    vst::VstIntPtr vendorSpecific(vst::VstInt32 index, vst::VstIntPtr value, void* ptr,
                                  float opt) override;

private:
    ThreadChannels channels_;
    std::unique_ptr<PluginController> controller_;
    // Created after the controller has read the settings (the output layout is fixed then).
    std::unique_ptr<PluginProcessor> processor_;
    // Created after the controller it works on and destroyed before it.
    std::unique_ptr<PluginEditor> editor_;
    vst::ERect editorRect_{}; // handed to the host by effEditGetRect
};

} // namespace vorpalix
