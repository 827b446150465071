#include "plugin/DrumPlugin.h"

#include <cmath>
#include <cstring>
#include <string>

#include "plugin/ModulePath.h"

namespace vorpalix {

namespace {

constexpr const char* kEffectName = "Vorpalix";
constexpr const char* kVendorName = "Quillmoor Audio Software";
constexpr const char* kProductName = "Vorpalix";

void copyText(char* destination, const char* source, std::size_t capacity) {
    std::strncpy(destination, source, capacity - 1);
    destination[capacity - 1] = 0;
}

} // namespace

DrumPlugin::DrumPlugin(vst::HostCallback host, EditorFactory editorFactory)
    : AudioEffect(host, 1, kNumHostParameters),
      controller_(std::make_unique<PluginController>(*this, channels_, moduleDirectory())) {
    // The editor object exists from here on; its window is made only when the host opens it.
    if (editorFactory != nullptr) {
        editor_ = editorFactory(*controller_);
        controller_->attachEditor(editor_.get());
    }

    controller_->applyEmbeddedSettings();
    controller_->applyUserSettingsFile();

    processor_ = std::make_unique<PluginProcessor>(*this, channels_, controller_->outputConfig());
    controller_->attachProcessor(processor_.get());
    // No block has run yet, so the state the documents gave is applied here, on the thread
    // that builds the plug-in.
    processor_->applyCommands();
    processor_->applyParameterChanges();
    controller_->pollNotifications();

    effect_.flags |= vst::effFlagsProgramChunks | vst::effFlagsIsSynth | vst::effFlagsCanReplacing;
    if (editor_ != nullptr && editor_->hasWindow()) {
        effect_.flags |= vst::effFlagsHasEditor;
    }
    effect_.numInputs = 0;
    effect_.numOutputs = controller_->outputConfig().outputCount();
    effect_.uniqueID = kUniqueId;
    currentProgram_ = 0;
    callHost(vst::audioMasterWantMidi, 0, 1);
}

DrumPlugin::~DrumPlugin() {
    // The host has stopped processing: nothing runs on the audio thread any more.
    editor_.reset();
    controller_->attachEditor(nullptr);
    controller_->discardPendingCommands();
}

// --- Audio --------------------------------------------------------------------------------------

void DrumPlugin::processReplacing(float** /*inputs*/, float** outputs, vst::VstInt32 frames) {
    processor_->processBlock(outputs, frames, true);
}

void DrumPlugin::process(float** /*inputs*/, float** outputs, vst::VstInt32 frames) {
    processor_->processBlock(outputs, frames, false);
}

vst::VstInt32 DrumPlugin::processEvents(vst::VstEvents* events) {
    processor_->processEvents(events);
    return 1;
}

// --- Parameters ---------------------------------------------------------------------------------

void DrumPlugin::setParameter(vst::VstInt32 index, float value) {
    channels_.parameters.set(index, value);
}

vst::VstIntPtr DrumPlugin::dispatcher(vst::VstInt32 opcode, vst::VstInt32 index,
                                      vst::VstIntPtr value, void* ptr, float opt) {
    if (opcode == vst::effVendorSpecific && index == vst::kHitReportIndex) {
        return processor_->hitReport().answer(static_cast<vst::HitReportQuery*>(ptr)) ? 1 : 0;
    }
    return AudioEffect::dispatcher(opcode, index, value, ptr, opt);
}

float DrumPlugin::getParameter(vst::VstInt32 index) {
    return channels_.parameters.value(index);
}

void DrumPlugin::setProgram(vst::VstInt32 program) {
    if (program != 0) {
        return;
    }
    currentProgram_ = 0;
    controller_->sendKnobValues();
}

void DrumPlugin::getProgramName(char* name) {
    copyText(name, "Default", vst::kVstMaxProgNameLen);
}

void DrumPlugin::getParameterName(vst::VstInt32 index, char* text) {
    controller_->parameters().getParameterName(index, text);
}

void DrumPlugin::getParameterLabel(vst::VstInt32 index, char* text) {
    controller_->parameters().getParameterLabel(index, text);
}

// --- Host queries -------------------------------------------------------------------------------

void DrumPlugin::resume() {
    controller_->setSuspended(false);
    callHost(vst::audioMasterWantMidi, 0, 1);
}

void DrumPlugin::suspend() {
    controller_->setSuspended(true);
}

void DrumPlugin::setSampleRate(float rate) {
    AudioEffect::setSampleRate(rate);
    // A rate the voices cannot work with (zero, negative, not a number) is ignored; the engine
    // takes the new rate at the next block start.
    if (!(rate >= 1000.0f && rate <= 1.0e6f)) {
        return;
    }
    channels_.requestedRate.store(rate, std::memory_order_release);
}

vst::VstInt32 DrumPlugin::getChunk(void** data, bool isPreset) {
    if (isPreset || data == nullptr) {
        return 0;
    }
    const std::string& chunk = controller_->writeChunk();
    if (chunk.empty()) {
        *data = nullptr;
        return 0;
    }
    *data = const_cast<char*>(chunk.data());
    return static_cast<vst::VstInt32>(chunk.size());
}

vst::VstInt32 DrumPlugin::setChunk(void* data, vst::VstInt32 size, bool isPreset) {
    if (isPreset) {
        return 1;
    }
    if (data != nullptr && size > 0) {
        controller_->applyChunk(std::span<const std::uint8_t>(
            static_cast<const std::uint8_t*>(data), static_cast<std::size_t>(size)));
    }
    return 1;
}

vst::VstIntPtr DrumPlugin::editorOpcode(vst::VstInt32 opcode, vst::VstInt32 /*index*/,
                                        vst::VstIntPtr /*value*/, void* ptr, float /*opt*/) {
    switch (opcode) {
    case vst::effEditIdle:
        controller_->pollNotifications();
        if (editor_ != nullptr) {
            editor_->idle();
        }
        return 0;
    case vst::effEditGetRect: {
        int width = 0;
        int height = 0;
        if (editor_ == nullptr || ptr == nullptr || !editor_->windowSize(width, height)) {
            return 0;
        }
        editorRect_ = {0, 0, static_cast<std::int16_t>(height), static_cast<std::int16_t>(width)};
        *static_cast<vst::ERect**>(ptr) = &editorRect_;
        return 1;
    }
    case vst::effEditOpen:
        return editor_ != nullptr && editor_->open(ptr);
    case vst::effEditClose:
        if (editor_ != nullptr) {
            editor_->close();
        }
        return 0;
    default:
        return 0;
    }
}

vst::VstIntPtr DrumPlugin::vendorSpecific(vst::VstInt32 index, vst::VstIntPtr /*value*/, void* ptr,
                                          float /*opt*/) {
    if (index != kPanelScreenshotOpcode || ptr == nullptr || editor_ == nullptr) {
        return 0;
    }
    controller_->pollNotifications();
    return editor_->writeScreenshot(*static_cast<const PanelScreenshotRequest*>(ptr)) ? 1 : 0;
}

bool DrumPlugin::getOutputProperties(vst::VstInt32 index, vst::VstPinProperties* properties) {
    const OutputConfig& outputConfig = controller_->outputConfig();
    const int m = outputConfig.masterChannels();
    bool stereo = false;
    char label[vst::kVstMaxLabelLen] = {};
    if (index >= 0 && index < m) {
        copyText(label, "VX Master", sizeof label);
        stereo = outputConfig.masterStereo;
    } else {
        const int k = index - m;
        if (k < 0 || k >= outputConfig.instrumentChannels()) {
            return false;
        }
        const int number = outputConfig.instrumentsStereo ? k / 2 + 1 : k + 1;
        std::string text = "VRPLX " + std::to_string(number);
        copyText(label, text.c_str(), sizeof label);
        stereo = outputConfig.instrumentsStereo;
    }
    std::memcpy(properties->label, label, sizeof label);
    properties->flags = vst::kVstPinIsActive | (stereo ? vst::kVstPinIsStereo : 0);
    return true;
}

bool DrumPlugin::getEffectName(char* name) {
    copyText(name, kEffectName, vst::kVstMaxEffectNameLen);
    return true;
}

bool DrumPlugin::getVendorString(char* text) {
    copyText(text, kVendorName, vst::kVstMaxVendorStrLen);
    return true;
}

bool DrumPlugin::getProductString(char* text) {
    copyText(text, kProductName, vst::kVstMaxProductStrLen);
    return true;
}

vst::VstInt32 DrumPlugin::canDo(const char* text) {
    struct Answer {
        const char* query;
        vst::VstInt32 answer;
    };
    static constexpr Answer kAnswers[] = {
        {"sendVstEvents", -1},
        {"sendVstMidiEvent", -1},
        {"sendVstTimeInfo", -1},
        {"receiveVstEvents", 1},
        {"receiveVstMidiEvent", 1},
        {"receiveVstTimeInfo", 1},
        {"offline", 0},
        {"plugAsChannelInsert", 0},
        {"plugAsSend", 0},
        {"mixDryWet", 0},
        {"noRealTime", 0},
        {"multipass", 0},
        {"metapass", 0},
        {"1in1out", 0},
        {"1in2out", 0},
        {"2in1out", 0},
        {"2in2out", 0},
        {"2in4out", 0},
        {"4in2out", 0},
        {"4in4out", 0},
        {"4in8out", 0},
        {"8in4out", 0},
        {"8in8out", 0},
        {"midiProgramNames", -1},
        {"conformsToWindowRules", 0},
        {"bypass", -1},
    };
    for (const Answer& a : kAnswers) {
        if (std::strcmp(text, a.query) == 0) {
            return a.answer;
        }
    }
    return 0;
}

} // namespace vorpalix
