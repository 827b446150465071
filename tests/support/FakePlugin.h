#pragma once

#include "plugin/VstInterface.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace vorpalix::testing {

// How the next FakePlugin created on this thread looks and behaves.
struct FakePluginConfig {
    int numInputs = 0;
    int numOutputs = 2;
    int numParams = 4;
    vst::VstInt32 flags = vst::effFlagsCanReplacing | vst::effFlagsIsSynth;
    vst::VstInt32 magic = vst::kEffectMagic;
    bool returnNull = false;          // the entry point gives no plug-in
    bool giveUpWithoutVersion = true; // like real plug-ins: null when audioMasterVersion is 0
    // Run inside the entry point after the version query and before the AEffect is returned.
    std::function<void(vst::HostCallback)> duringEntry;
};

// What the fake saw in one processing call.
struct FakeBlock {
    int frames = 0;
    bool replacing = true;
    bool inputsNull = false;
    std::vector<float*> outputPointers;
    std::optional<vst::VstTimeInfo> time; // the host's answer to a 0x602 time request
    vst::VstIntPtr hostSampleRate = 0;    // audioMasterGetSampleRate asked during the block
};

// One effProcessEvents call: the events (copied) and the number of processing calls before it.
struct FakeEventList {
    std::size_t beforeBlock = 0;
    std::vector<vst::VstMidiEvent> events;
};

// A tiny in-process VST 2.4 plug-in for testing the host: it records every dispatcher call,
// event list and processing call, and writes a recognisable signal: channel ch, stream frame n
// holds ch + 1 + n / 1000 (added to the buffer in `process`, stored in `processReplacing`).
class FakePlugin {
public:
    // The entry function, shaped like VSTPluginMain.
    static vst::AEffect* entry(vst::HostCallback host);
    // Configuration for the next plug-in created on this thread.
    static FakePluginConfig& nextConfig();
    // The plug-in most recently created on this thread (null after it was closed).
    static FakePlugin* last();
    // Number of fake plug-ins created and not yet closed (all threads).
    static int alive();
    // The dispatcher opcodes of the last plug-in closed on this thread, effClose included, and
    // whether it was still resumed when effClose came.
    static const std::vector<vst::VstInt32>& closedOpcodes();
    static bool closedWhileResumed();
    // The value the fake writes for stream frame n of channel ch.
    static float signal(int channel, long long frame);

    vst::AEffect effect{};
    vst::HostCallback host = nullptr;
    // Answers the host gave during the entry point.
    vst::VstIntPtr versionAnswer = 0;
    std::vector<vst::VstInt32> opcodes;    // every dispatcher opcode, in order
    std::vector<FakeEventList> eventLists; // one per effProcessEvents
    std::vector<FakeBlock> blocks;
    float sampleRate = 0.0f;
    vst::VstIntPtr blockSize = 0;
    bool resumed = false;
    long long framesDone = 0;
    std::vector<float> parameters;
    std::vector<unsigned char> receivedChunk; // the bytes of the last effSetChunk
    vst::VstIntPtr receivedChunkIndex = -1;

private:
    explicit FakePlugin(const FakePluginConfig& config, vst::HostCallback host);
    ~FakePlugin();
    static FakePlugin* self(vst::AEffect* effect);
    static vst::VstIntPtr dispatcher(vst::AEffect* effect, vst::VstInt32 opcode,
                                     vst::VstInt32 index, vst::VstIntPtr value, void* ptr,
                                     float opt);
    static void processReplacing(vst::AEffect* effect, float** inputs, float** outputs,
                                 vst::VstInt32 frames);
    static void process(vst::AEffect* effect, float** inputs, float** outputs,
                        vst::VstInt32 frames);
    static void setParameter(vst::AEffect* effect, vst::VstInt32 index, float value);
    static float getParameter(vst::AEffect* effect, vst::VstInt32 index);
    void run(float** inputs, float** outputs, int frames, bool replacing);
};

} // namespace vorpalix::testing
