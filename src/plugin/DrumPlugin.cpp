#include "plugin/DrumPlugin.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "dsp/DrumEngine.h"
#include "editor/PanelEditor.h"
#include "plugin/ModulePath.h"
#include "presets/PresetBank.h"
#include "sequencer/PatternSequencer.h"

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

DrumPlugin::DrumPlugin(vst::HostCallback host)
    : AudioEffect(host, 1, kNumHostParameters), pluginDirectory_(moduleDirectory()) {
    for (auto& v : values_) {
        v.store(0.0f, std::memory_order_relaxed);
    }
    for (auto& v : engineValues_) {
        v.store(0.0f, std::memory_order_relaxed);
    }

    engine_ = std::make_unique<DrumEngine>();
    sequencer_ = std::make_unique<PatternSequencer>(*this, *engine_);
    presets_ = std::make_unique<PresetBank>(*this);

    for (int i = 0; i < 11; ++i) {
        outputSlots_[i].store(i, std::memory_order_relaxed);
    }
    setSequencerState(true);
    setSequencerMode(kModeChain);
    setSequencerSync(kSyncExternal);

    effect_.flags |= vst::effFlagsProgramChunks | vst::effFlagsIsSynth | vst::effFlagsCanReplacing;
    effect_.numInputs = 0;
    effect_.uniqueID = kUniqueId;

    // The editor object exists from here on; its window is made only when the host opens it.
    editor_ = std::make_unique<PanelEditor>(*this);

    applyEmbeddedSettings();
    applyUserSettingsFile();

    // The flam, shuffle and total accent defaults were first sent while the pattern attribute
    // store was still on, so they did not take effect; send them again now that the document has
    // set the store's real state.
    for (int index : {kParamFlam, kParamShuffle, kParamTotalAccent}) {
        setParameter(index, values_[index].load(std::memory_order_relaxed));
    }

    effect_.numOutputs = outputConfig_.outputCount();
    currentProgram_ = 0;
    sendKnobValues();
    callHost(vst::audioMasterWantMidi, 0, 1);
}

DrumPlugin::~DrumPlugin() = default;

// --- Parameters ---------------------------------------------------------------------------------

void DrumPlugin::setParameter(vst::VstInt32 index, float value) {
    if (std::isnan(value) || index < 0 || index >= kNumHostParameters) {
        return;
    }
    value = std::clamp(value, 0.0f, 1.0f);
    values_[index].store(value, std::memory_order_relaxed);
    if (index < kNumKnobs) {
        presets_->setPresetValue(index, value);
    }

    const bool knobsApply = sequencerState() && !patternAttributeStore();
    switch (index) {
    case kParamTempo: {
        const double bpm = std::round((static_cast<double>(value) * 273.0 + 30.0) * 10.0) * 0.1;
        internalTempo_.store(bpm, std::memory_order_relaxed);
        break;
    }
    case kParamFlam:
        if (knobsApply) {
            setFlam(value);
        }
        break;
    case kParamShuffle:
        if (knobsApply) {
            setShuffle(value);
        }
        break;
    case kParamTotalAccent:
        if (knobsApply) {
            setTotalAccentLevel(value);
        }
        break;
    default:
        break;
    }

    if (index < static_cast<int>(engineValues_.size())) {
        engineValues_[index].store(value, std::memory_order_relaxed);
        engineDirty_[index / 64].fetch_or(std::uint64_t{1} << (index % 64),
                                          std::memory_order_release);
    }

    // The sequencer's parameter hook: 75..85 are the randomizer thresholds.
    sequencer_->parameterChanged(index, value);

    if (editor_) {
        editor_->parameterChanged(index);
    }
}

vst::VstIntPtr DrumPlugin::dispatcher(vst::VstInt32 opcode, vst::VstInt32 index,
                                      vst::VstIntPtr value, void* ptr, float opt) {
    if (opcode == vst::effVendorSpecific && index == kHitReportIndex) {
        return hitReport_.answer(static_cast<HitReportQuery*>(ptr)) ? 1 : 0;
    }
    return AudioEffect::dispatcher(opcode, index, value, ptr, opt);
}

float DrumPlugin::getParameter(vst::VstInt32 index) {
    if (index < 0 || index >= kNumHostParameters) {
        return 0.0f;
    }
    return values_[index].load(std::memory_order_relaxed);
}

void DrumPlugin::sendKnobValues() {
    for (int i = 0; i < kNumKnobs; ++i) {
        setParameter(i, values_[i].load(std::memory_order_relaxed));
    }
}

void DrumPlugin::setProgram(vst::VstInt32 program) {
    if (program != 0) {
        return;
    }
    currentProgram_ = 0;
    sendKnobValues();
}

void DrumPlugin::getProgramName(char* name) {
    copyText(name, "Default", vst::kVstMaxProgNameLen);
}

void DrumPlugin::getParameterName(vst::VstInt32 index, char* text) {
    parameters_.getParameterName(index, text);
}

void DrumPlugin::getParameterLabel(vst::VstInt32 index, char* text) {
    parameters_.getParameterLabel(index, text);
}

// --- Plug-in operations -------------------------------------------------------------------------

void DrumPlugin::setSequencerState(bool on) {
    requestedState_.store(on, std::memory_order_relaxed);
}

void DrumPlugin::setSequencerSync(int sync) {
    requestedSync_.store(sync == kSyncInternal ? kSyncInternal : kSyncExternal,
                         std::memory_order_relaxed);
}

void DrumPlugin::setSequencerMode(int mode) {
    if (mode < kModeChain || mode > kModeFree) {
        mode = kModeChain;
    }
    requestedMode_.store(mode, std::memory_order_relaxed);
    sequencer_->setChainFlag(mode == kModeChain);
}

void DrumPlugin::requestTransport(int command) {
    transportCommand_.store(command, std::memory_order_relaxed);
}

void DrumPlugin::setOutputNumber(int instrument, int slot) {
    if (instrument < 0 || instrument > 10 || slot < 0 || slot > 10) {
        return;
    }
    outputSlots_[instrument].store(slot, std::memory_order_relaxed);
}

int DrumPlugin::outputNumber(int instrument) const {
    if (instrument < 0 || instrument > 10) {
        return -1;
    }
    return outputSlots_[instrument].load(std::memory_order_relaxed);
}

void DrumPlugin::requestAudition(int instrument, float velocity) {
    if (instrument < 0 || instrument > 10 || std::isnan(velocity)) {
        return;
    }
    auditionInstrument_.store(instrument, std::memory_order_relaxed);
    auditionVelocity_.store(velocity, std::memory_order_relaxed);
    auditionPending_.store(true, std::memory_order_release);
}

void DrumPlugin::setShuffle(float value) {
    shuffle_.store(static_cast<double>(value) * 0.8, std::memory_order_relaxed);
}

void DrumPlugin::setFlam(float value) {
    flam_.store(static_cast<double>(value) * 0.262 + 0.121, std::memory_order_relaxed);
}

void DrumPlugin::setTotalAccentLevel(float value) {
    totalAccentValue_.store(value, std::memory_order_relaxed);
    totalAccentDirty_.store(true, std::memory_order_release);
}

void DrumPlugin::setLearnMode(bool on) {
    learnMode_.store(on, std::memory_order_relaxed);
    if (!on) {
        learnt_.store(-1, std::memory_order_relaxed);
    }
}

void DrumPlugin::setFreeModeThreshold(int level) {
    freeModeThreshold_ = std::clamp(level, 0, 127);
}

const vst::VstTimeInfo* DrumPlugin::hostTime(vst::VstInt32 filter) {
    return reinterpret_cast<const vst::VstTimeInfo*>(callHost(vst::audioMasterGetTime, 0, filter));
}

// --- Host queries -------------------------------------------------------------------------------

void DrumPlugin::resume() {
    callHost(vst::audioMasterWantMidi, 0, 1);
}

void DrumPlugin::setSampleRate(float rate) {
    AudioEffect::setSampleRate(rate);
    // A rate the voices cannot work with (zero, negative, not a number) is ignored; the engine
    // takes the new rate at the next block start.
    if (!(rate >= 1000.0f && rate <= 1.0e6f)) {
        return;
    }
    requestedRate_.store(rate, std::memory_order_release);
}

bool DrumPlugin::getOutputProperties(vst::VstInt32 index, vst::VstPinProperties* properties) {
    const int m = outputConfig_.masterChannels();
    bool stereo = false;
    char label[vst::kVstMaxLabelLen] = {};
    if (index >= 0 && index < m) {
        copyText(label, "VX Master", sizeof label);
        stereo = outputConfig_.masterStereo;
    } else {
        const int k = index - m;
        if (k < 0 || k >= outputConfig_.instrumentChannels()) {
            return false;
        }
        const int number = outputConfig_.instrumentsStereo ? k / 2 + 1 : k + 1;
        std::string text = "VRPLX " + std::to_string(number);
        copyText(label, text.c_str(), sizeof label);
        stereo = outputConfig_.instrumentsStereo;
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
