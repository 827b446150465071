#include "FakePlugin.h"

#include <algorithm>
#include <atomic>
#include <cstring>

namespace vorpalix::testing {

namespace {
thread_local FakePluginConfig tNextConfig;
thread_local FakePlugin* tLast = nullptr;
thread_local std::vector<vst::VstInt32> tClosedOpcodes;
thread_local bool tClosedWhileResumed = false;
std::atomic<int> gAlive{0};

void copyText(void* ptr, const char* text) {
    std::strcpy(static_cast<char*>(ptr), text);
}
} // namespace

FakePluginConfig& FakePlugin::nextConfig() {
    return tNextConfig;
}
FakePlugin* FakePlugin::last() {
    return tLast;
}
int FakePlugin::alive() {
    return gAlive.load();
}
const std::vector<vst::VstInt32>& FakePlugin::closedOpcodes() {
    return tClosedOpcodes;
}
bool FakePlugin::closedWhileResumed() {
    return tClosedWhileResumed;
}

float FakePlugin::signal(int channel, long long frame) {
    return static_cast<float>(channel + 1) + static_cast<float>(frame) / 1000.0f;
}

vst::AEffect* FakePlugin::entry(vst::HostCallback host) {
    const FakePluginConfig config = tNextConfig;
    const vst::VstIntPtr version = host(nullptr, vst::audioMasterVersion, 0, 0, nullptr, 0.0f);
    if (config.duringEntry)
        config.duringEntry(host);
    if (config.returnNull || (config.giveUpWithoutVersion && version == 0))
        return nullptr;
    auto* plugin = new FakePlugin(config, host);
    plugin->versionAnswer = version;
    tLast = plugin;
    return &plugin->effect;
}

FakePlugin::FakePlugin(const FakePluginConfig& config, vst::HostCallback hostCallback)
    : host(hostCallback) {
    effect.magic = config.magic;
    effect.dispatcher = &FakePlugin::dispatcher;
    effect.process = &FakePlugin::process;
    effect.processReplacing = &FakePlugin::processReplacing;
    effect.setParameter = &FakePlugin::setParameter;
    effect.getParameter = &FakePlugin::getParameter;
    effect.numPrograms = 1;
    effect.numParams = config.numParams;
    effect.numInputs = config.numInputs;
    effect.numOutputs = config.numOutputs;
    effect.flags = config.flags;
    effect.object = this;
    effect.uniqueID = vst::fourCharCode('F', 'a', 'k', 'e');
    effect.version = 7;
    parameters.assign(static_cast<std::size_t>(std::max(config.numParams, 0)), 0.0f);
    ++gAlive;
}

FakePlugin::~FakePlugin() {
    if (tLast == this)
        tLast = nullptr;
    --gAlive;
}

FakePlugin* FakePlugin::self(vst::AEffect* effect) {
    return static_cast<FakePlugin*>(effect->object);
}

vst::VstIntPtr FakePlugin::dispatcher(vst::AEffect* effect, vst::VstInt32 opcode,
                                      vst::VstInt32 index, vst::VstIntPtr value, void* ptr,
                                      float opt) {
    FakePlugin* plugin = self(effect);
    plugin->opcodes.push_back(opcode);
    switch (opcode) {
    case vst::effClose:
        tClosedOpcodes = plugin->opcodes;
        tClosedWhileResumed = plugin->resumed;
        delete plugin;
        return 1;
    case vst::effSetSampleRate:
        plugin->sampleRate = opt;
        return 0;
    case vst::effSetBlockSize:
        plugin->blockSize = value;
        return 0;
    case vst::effMainsChanged:
        plugin->resumed = value != 0;
        return 0;
    case vst::effProcessEvents: {
        const auto* list = static_cast<const vst::VstEvents*>(ptr);
        FakeEventList copy;
        copy.beforeBlock = plugin->blocks.size();
        for (int i = 0; i < list->numEvents; ++i) {
            vst::VstMidiEvent event{};
            std::memcpy(&event, list->events[i], sizeof event);
            copy.events.push_back(event);
        }
        plugin->eventLists.push_back(std::move(copy));
        return 1;
    }
    case vst::effGetEffectName:
        copyText(ptr, "Fake");
        return 1;
    case vst::effGetVendorString:
        copyText(ptr, "Test Vendor");
        return 1;
    case vst::effGetProductString:
        copyText(ptr, "Fake Product");
        return 1;
    case vst::effGetVendorVersion:
        return 42;
    case vst::effGetVstVersion:
        return 2400;
    case vst::effGetPlugCategory:
        return vst::kPlugCategSynth;
    case vst::effGetParamName:
        if (index >= 0 && index < effect->numParams)
            copyText(ptr, ("Param " + std::to_string(index)).c_str());
        return 0;
    case vst::effGetParamLabel:
        if (index >= 0 && index < effect->numParams)
            copyText(ptr, "dB");
        return 0;
    case vst::effGetOutputProperties: {
        if (index < 0 || index >= effect->numOutputs)
            return 0;
        auto* properties = static_cast<vst::VstPinProperties*>(ptr);
        copyText(properties->label, ("Out/" + std::to_string(index)).c_str());
        properties->flags = vst::kVstPinIsActive;
        return 1;
    }
    case vst::effCanDo:
        return std::strcmp(static_cast<const char*>(ptr), "receiveVstEvents") == 0 ? 1 : -1;
    case vst::effGetChunk: {
        static const char kChunk[] = "chunk-bytes";
        *static_cast<const void**>(ptr) = kChunk;
        return index == 0 ? static_cast<vst::VstIntPtr>(sizeof kChunk) : 0;
    }
    case vst::effSetChunk: {
        const auto* bytes = static_cast<const unsigned char*>(ptr);
        plugin->receivedChunk.assign(bytes, bytes + value);
        plugin->receivedChunkIndex = index;
        return 1;
    }
    default:
        return 0;
    }
}

void FakePlugin::run(float** inputs, float** outputs, int frames, bool replacing) {
    FakeBlock block;
    block.frames = frames;
    block.replacing = replacing;
    block.inputsNull = inputs == nullptr;
    for (int ch = 0; ch < effect.numOutputs; ++ch)
        block.outputPointers.push_back(outputs[ch]);
    const auto* time = reinterpret_cast<const vst::VstTimeInfo*>(
        host(&effect, vst::audioMasterGetTime, 0, 0x602, nullptr, 0.0f));
    if (time != nullptr)
        block.time = *time;
    block.hostSampleRate = host(&effect, vst::audioMasterGetSampleRate, 0, 0, nullptr, 0.0f);
    for (int ch = 0; ch < effect.numOutputs; ++ch) {
        for (int i = 0; i < frames; ++i) {
            const float value = signal(ch, framesDone + i);
            if (replacing)
                outputs[ch][i] = value;
            else
                outputs[ch][i] += value;
        }
    }
    framesDone += frames > 0 ? frames : 0;
    blocks.push_back(std::move(block));
}

void FakePlugin::processReplacing(vst::AEffect* effect, float** inputs, float** outputs,
                                  vst::VstInt32 frames) {
    self(effect)->run(inputs, outputs, frames, true);
}

void FakePlugin::process(vst::AEffect* effect, float** inputs, float** outputs,
                         vst::VstInt32 frames) {
    self(effect)->run(inputs, outputs, frames, false);
}

void FakePlugin::setParameter(vst::AEffect* effect, vst::VstInt32 index, float value) {
    FakePlugin* plugin = self(effect);
    if (index >= 0 && index < static_cast<int>(plugin->parameters.size()))
        plugin->parameters[static_cast<std::size_t>(index)] = value;
}

float FakePlugin::getParameter(vst::AEffect* effect, vst::VstInt32 index) {
    FakePlugin* plugin = self(effect);
    if (index >= 0 && index < static_cast<int>(plugin->parameters.size()))
        return plugin->parameters[static_cast<std::size_t>(index)];
    return 0.0f;
}

} // namespace vorpalix::testing
