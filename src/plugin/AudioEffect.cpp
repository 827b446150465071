#include "plugin/AudioEffect.h"

#include <cstring>

namespace vorpalix {

namespace {

// The host's entry points into the instrument. Dispatcher: the host's user-interface (or loading)
// thread; effProcessEvents: the audio thread. Processing calls: the audio thread, no allocation,
// no locks. Parameter calls: any thread.
vst::VstIntPtr dispatchTrampoline(vst::AEffect* e, vst::VstInt32 opcode, vst::VstInt32 index,
                                  vst::VstIntPtr value, void* ptr, float opt) {
    AudioEffect* effect = AudioEffect::fromAEffect(e);
    if (effect == nullptr) {
        return 0;
    }
    if (opcode == vst::effClose) {
        effect->dispatcher(opcode, index, value, ptr, opt);
        delete effect;
        return 1;
    }
    return effect->dispatcher(opcode, index, value, ptr, opt);
}

void processTrampoline(vst::AEffect* e, float** inputs, float** outputs, vst::VstInt32 frames) {
    AudioEffect::fromAEffect(e)->process(inputs, outputs, frames);
}

void processReplacingTrampoline(vst::AEffect* e, float** inputs, float** outputs,
                                vst::VstInt32 frames) {
    AudioEffect::fromAEffect(e)->processReplacing(inputs, outputs, frames);
}

void setParameterTrampoline(vst::AEffect* e, vst::VstInt32 index, float value) {
    AudioEffect::fromAEffect(e)->setParameter(index, value);
}

float getParameterTrampoline(vst::AEffect* e, vst::VstInt32 index) {
    return AudioEffect::fromAEffect(e)->getParameter(index);
}

} // namespace

AudioEffect::AudioEffect(vst::HostCallback host, int numPrograms, int numParams) : host_(host) {
    effect_.magic = vst::kEffectMagic;
    effect_.dispatcher = dispatchTrampoline;
    effect_.process = processTrampoline;
    effect_.processReplacing = processReplacingTrampoline;
    effect_.setParameter = setParameterTrampoline;
    effect_.getParameter = getParameterTrampoline;
    effect_.numPrograms = numPrograms;
    effect_.numParams = numParams;
    effect_.numInputs = 0;
    effect_.numOutputs = 2;
    effect_.ioRatio = 1.0f;
    effect_.object = this;
    effect_.version = 1;
}

vst::VstIntPtr AudioEffect::callHost(vst::VstInt32 opcode, vst::VstInt32 index,
                                     vst::VstIntPtr value, void* ptr, float opt) {
    return host_ != nullptr ? host_(&effect_, opcode, index, value, ptr, opt) : 0;
}

vst::VstIntPtr AudioEffect::dispatcher(vst::VstInt32 opcode, vst::VstInt32 index,
                                       vst::VstIntPtr value, void* ptr, float opt) {
    using namespace vst;
    auto* text = static_cast<char*>(ptr);
    switch (opcode) {
    case effOpen:
        open();
        return 0;
    case effClose:
        close();
        return 0;
    case effSetProgram:
        setProgram(static_cast<VstInt32>(value));
        return 0;
    case effGetProgram:
        return getProgram();
    case effSetProgramName:
        if (text != nullptr) {
            setProgramName(text);
        }
        return 0;
    case effGetProgramName:
        if (text != nullptr) {
            getProgramName(text);
        }
        return 0;
    case effGetParamLabel:
        if (text != nullptr) {
            getParameterLabel(index, text);
        }
        return 0;
    case effGetParamDisplay:
        // The buffer is the host's and may hold anything: it always receives a text, empty
        // unless the instrument writes one.
        if (text != nullptr) {
            text[0] = 0;
            getParameterDisplay(index, text);
        }
        return 0;
    case effGetParamName:
        if (text != nullptr) {
            getParameterName(index, text);
        }
        return 0;
    case effSetSampleRate:
        setSampleRate(opt);
        return 0;
    case effSetBlockSize:
        setBlockSize(static_cast<VstInt32>(value));
        return 0;
    case effMainsChanged:
        if (value != 0) {
            resume();
        } else {
            suspend();
        }
        return 0;
    case effEditGetRect:
    case effEditOpen:
    case effEditClose:
    case effEditIdle:
    case effEditKeyDown:
    case effEditKeyUp:
    case effSetEditKnobMode:
        return editorOpcode(opcode, index, value, ptr, opt);
    case effIdentify:
        return fourCharCode('N', 'v', 'E', 'f');
    case effGetChunk:
        return ptr != nullptr ? getChunk(static_cast<void**>(ptr), index != 0) : 0;
    case effSetChunk:
        return setChunk(ptr, static_cast<VstInt32>(value), index != 0);
    case effProcessEvents:
        return processEvents(static_cast<VstEvents*>(ptr));
    case effCanBeAutomated:
        return 1;
    case effGetNumProgramCategories:
        return 1;
    case effGetOutputProperties:
        return ptr != nullptr && getOutputProperties(index, static_cast<VstPinProperties*>(ptr));
    case effGetPlugCategory:
        return getPlugCategory();
    case effSetBlockSizeAndSampleRate:
        // Stores both only; the engine follows effSetSampleRate.
        blockSize_ = static_cast<VstInt32>(value);
        sampleRate_ = opt;
        return 0;
    case effGetEffectName:
        return text != nullptr && getEffectName(text);
    case effGetVendorString:
        return text != nullptr && getVendorString(text);
    case effGetProductString:
        return text != nullptr && getProductString(text);
    case effGetVendorVersion:
        return getVendorVersion();
    case effCanDo:
        return text != nullptr ? canDo(text) : 0;
    case effGetVstVersion:
        return getVstVersion();
    case effGetCurrentMidiProgram:
        return -1;
    case effVendorSpecific:
        return vendorSpecific(index, value, ptr, opt);
    default:
        // Everything else (offline, speaker arrangement, bypass, MIDI program names, tail size,
        // start/stop process, vendor specific, ...) answers 0.
        return 0;
    }
}

} // namespace vorpalix
