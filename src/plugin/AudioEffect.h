#pragma once

#include <cstdint>

#include "plugin/VstInterface.h"

namespace vorpalix {

// The plug-in side of the VST 2.4 interface: owns the AEffect record that the host sees and
// turns the host's calls into virtual operations with neutral defaults. A concrete instrument
// overrides what it supports.
class AudioEffect {
public:
    AudioEffect(vst::HostCallback host, int numPrograms, int numParams);
    virtual ~AudioEffect() = default;

    AudioEffect(const AudioEffect&) = delete;
    AudioEffect& operator=(const AudioEffect&) = delete;

    vst::AEffect* aeffect() { return &effect_; }
    static AudioEffect* fromAEffect(vst::AEffect* effect) {
        return static_cast<AudioEffect*>(effect->object);
    }

    // Any thread (the audio thread asks for the time, the user-interface thread automates).
    // Calls the host back; 0 when there is no host.
    vst::VstIntPtr callHost(vst::VstInt32 opcode, vst::VstInt32 index = 0, vst::VstIntPtr value = 0,
                            void* ptr = nullptr, float opt = 0.0f);

    // User-interface thread (effProcessEvents: the audio thread). The dispatcher: decodes the
    // opcode and calls the operations below.
    virtual vst::VstIntPtr dispatcher(vst::VstInt32 opcode, vst::VstInt32 index,
                                      vst::VstIntPtr value, void* ptr, float opt);

    // Audio thread. No allocation, no locks.
    virtual void processReplacing(float** inputs, float** outputs, vst::VstInt32 frames) = 0;
    // Audio thread. No allocation, no locks. Adds to what the buffers hold.
    virtual void process(float** inputs, float** outputs, vst::VstInt32 frames) = 0;
    // Any thread (host automation, UI, or the audio thread through MIDI controllers).
    virtual void setParameter(vst::VstInt32 index, float value) = 0;
    // Any thread.
    virtual float getParameter(vst::VstInt32 index) = 0;

protected:
    // Every operation below comes from the dispatcher, on the host's user-interface thread,
    // except processEvents, which the audio thread calls just before the block the events belong
    // to (no allocation, no locks). setSampleRate and setBlockSize come while the host keeps the
    // instrument suspended.
    virtual void open() {}
    virtual void close() {}
    virtual void suspend() {}
    virtual void resume() {}
    virtual void setSampleRate(float rate) { sampleRate_ = rate; }
    virtual void setBlockSize(vst::VstInt32 size) { blockSize_ = size; }
    virtual void setProgram(vst::VstInt32 program) { currentProgram_ = program; }
    virtual vst::VstInt32 getProgram() { return currentProgram_; }
    virtual void setProgramName(const char*) {}
    virtual void getProgramName(char* name) { name[0] = 0; }
    virtual void getParameterLabel(vst::VstInt32, char*) {}
    virtual void getParameterDisplay(vst::VstInt32, char*) {}
    virtual void getParameterName(vst::VstInt32, char*) {}
    virtual vst::VstInt32 getChunk(void**, bool) { return 0; }
    virtual vst::VstInt32 setChunk(void*, vst::VstInt32, bool) { return 0; }
    virtual vst::VstInt32 processEvents(vst::VstEvents*) { return 0; }
    virtual bool getOutputProperties(vst::VstInt32, vst::VstPinProperties*) { return false; }
    virtual vst::VstInt32 getPlugCategory() { return vst::kPlugCategUnknown; }
    virtual bool getEffectName(char*) { return false; }
    virtual bool getVendorString(char*) { return false; }
    virtual bool getProductString(char*) { return false; }
    virtual vst::VstInt32 getVendorVersion() { return 0; }
    virtual vst::VstInt32 getVstVersion() { return 2400; }
    virtual vst::VstInt32 canDo(const char*) { return 0; }
    // Editor opcodes; an instrument with a panel overrides these.
    virtual vst::VstIntPtr editorOpcode(vst::VstInt32, vst::VstInt32, vst::VstIntPtr, void*,
                                        float) {
        return 0;
    }
    // effVendorSpecific: requests of the plug-in's own tools; 0 for anything unknown.
    virtual vst::VstIntPtr vendorSpecific(vst::VstInt32, vst::VstIntPtr, void*, float) { return 0; }

    vst::HostCallback host_;
    vst::AEffect effect_{};
    float sampleRate_ = 44100.0f;
    vst::VstInt32 blockSize_ = 1024;
    vst::VstInt32 currentProgram_ = 0;
};

} // namespace vorpalix
