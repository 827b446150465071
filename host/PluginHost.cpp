#include "PluginHost.h"

#include <dlfcn.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace vorpalix::host {

namespace {

// The host whose plug-in is being created on this thread. The plug-in learns nothing of its
// AEffect's resvd1 before the entry point returns, so callbacks made from inside the entry point
// find their host here.
thread_local PluginHost* tLoadingHost = nullptr;

class LoadingScope {
public:
    explicit LoadingScope(PluginHost* host) : previous_(tLoadingHost) { tLoadingHost = host; }
    ~LoadingScope() { tLoadingHost = previous_; }
    LoadingScope(const LoadingScope&) = delete;
    LoadingScope& operator=(const LoadingScope&) = delete;

private:
    PluginHost* previous_;
};

constexpr char kHostVendor[] = "Vorpalix";
constexpr char kHostProduct[] = "Vorpalix Test Host";
constexpr vst::VstIntPtr kHostVersion = 1000;

LoadResult failure(LoadError error, std::string message) {
    LoadResult result;
    result.error = error;
    result.message = std::move(message);
    return result;
}

std::string hex32(std::uint32_t value) {
    std::array<char, 11> text{};
    text[0] = '0';
    text[1] = 'x';
    for (int i = 0; i < 8; ++i)
        text[2 + i] = "0123456789abcdef"[(value >> (28 - 4 * i)) & 0xF];
    return std::string(text.data(), 10);
}

// Copies a host string into a plug-in buffer of unknown size; hosts give 64 bytes at least.
void copyHostString(void* ptr, const char* text) {
    if (ptr == nullptr)
        return;
    const std::size_t length =
        std::min<std::size_t>(std::strlen(text), vst::kVstMaxVendorStrLen - 1);
    std::memcpy(ptr, text, length);
    static_cast<char*>(ptr)[length] = '\0';
}

} // namespace

std::map<std::string, vst::VstIntPtr, std::less<>> HostOptions::defaultCanDoAnswers() {
    return {
        {"sendVstEvents", 1},      {"sendVstMidiEvent", 1},     {"sendVstTimeInfo", 1},
        {"receiveVstEvents", -1},  {"receiveVstMidiEvent", -1}, {"openFileSelector", -1},
        {"closeFileSelector", -1},
    };
}

PluginHost::PluginHost(HostOptions options) : options_(std::move(options)) {
    transport_.setSampleRate(options_.sampleRate);
    transport_.setQuirks(options_.timeQuirks);
}

LoadResult PluginHost::load(const std::string& path, HostOptions options) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (path.empty() || !fs::is_regular_file(path, ec))
        return failure(LoadError::FileNotFound, "cannot find plug-in file \"" + path + "\"");
    // An absolute path keeps dlopen from searching the library path for a bare file name.
    const std::string absolute = fs::absolute(path, ec).string();
    dlerror();
    void* library = dlopen(absolute.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        const char* reason = dlerror();
        return failure(LoadError::NotLoadable,
                       "cannot load \"" + path + "\": " + (reason ? reason : "unknown reason"));
    }
    void* symbol = dlsym(library, "VSTPluginMain");
    if (symbol == nullptr)
        symbol = dlsym(library, "main");
    if (symbol == nullptr) {
        dlclose(library);
        return failure(LoadError::NoEntryPoint,
                       "\"" + path + "\" has no VSTPluginMain or main entry point");
    }
    auto entry = reinterpret_cast<vst::PluginEntryProc>(symbol);
    return create(entry, library, std::move(options), "\"" + path + "\"");
}

LoadResult PluginHost::fromEntry(vst::PluginEntryProc entry, HostOptions options) {
    if (entry == nullptr)
        return failure(LoadError::NoEntryPoint, "no entry function given");
    return create(entry, nullptr, std::move(options), "the entry function");
}

LoadResult PluginHost::create(vst::PluginEntryProc entry, void* library, HostOptions options,
                              const std::string& name) {
    std::unique_ptr<PluginHost> host(new PluginHost(std::move(options)));
    vst::AEffect* effect = nullptr;
    {
        LoadingScope scope(host.get());
        effect = entry(&PluginHost::hostCallback);
    }
    if (effect == nullptr) {
        if (library != nullptr)
            dlclose(library);
        return failure(LoadError::EntryReturnedNull,
                       "the entry point of " + name + " returned no plug-in");
    }
    if (effect->magic != vst::kEffectMagic) {
        // Not a plug-in record: touch nothing in it, not even effClose.
        if (library != nullptr)
            dlclose(library);
        return failure(LoadError::BadMagic, name + " returned a record with the bad magic number " +
                                                hex32(static_cast<std::uint32_t>(effect->magic)));
    }
    host->effect_ = effect;
    host->library_ = library;
    host->loading_ = false;
    effect->resvd1 = reinterpret_cast<vst::VstIntPtr>(host.get());
    LoadResult result;
    result.host = std::move(host);
    return result;
}

PluginHost::~PluginHost() {
    close();
}

void PluginHost::close() {
    if (effect_ != nullptr) {
        if (resumed_)
            suspend();
        effect_->dispatcher(effect_, vst::effClose, 0, 0, nullptr, 0.0f);
        effect_ = nullptr;
    }
    if (library_ != nullptr) {
        dlclose(library_);
        library_ = nullptr;
    }
}

std::string PluginHost::uniqueIdText() const {
    const auto id = static_cast<std::uint32_t>(effect_->uniqueID);
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const auto c = static_cast<char>((id >> shift) & 0xFF);
        if (c < 0x20 || c > 0x7E)
            return hex32(id);
        text.push_back(c);
    }
    return text;
}

// --- Lifecycle ------------------------------------------------------------------------------

void PluginHost::start() {
    open();
    setSampleRate(options_.sampleRate);
    setBlockSize(options_.blockSize);
    resume();
}

void PluginHost::open() {
    dispatch(vst::effOpen);
    opened_ = true;
}

void PluginHost::resume() {
    dispatch(vst::effMainsChanged, 0, 1);
    resumed_ = true;
}

void PluginHost::suspend() {
    dispatch(vst::effMainsChanged, 0, 0);
    resumed_ = false;
}

void PluginHost::setSampleRate(double rate) {
    options_.sampleRate = rate;
    transport_.setSampleRate(rate);
    dispatch(vst::effSetSampleRate, 0, 0, nullptr, static_cast<float>(rate));
}

void PluginHost::setBlockSize(int frames) {
    options_.blockSize = frames;
    dispatch(vst::effSetBlockSize, 0, frames);
}

// --- Dispatcher helpers ---------------------------------------------------------------------

vst::VstIntPtr PluginHost::dispatch(vst::VstInt32 opcode, vst::VstInt32 index, vst::VstIntPtr value,
                                    void* ptr, float opt) {
    return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
}

std::string PluginHost::readString(vst::VstInt32 opcode, int index) {
    std::array<char, 256> buffer{};
    dispatch(opcode, index, 0, buffer.data());
    return std::string(buffer.data(), strnlen(buffer.data(), buffer.size()));
}

std::string PluginHost::effectName() {
    return readString(vst::effGetEffectName, 0);
}
std::string PluginHost::vendorString() {
    return readString(vst::effGetVendorString, 0);
}
std::string PluginHost::productString() {
    return readString(vst::effGetProductString, 0);
}
vst::VstIntPtr PluginHost::vendorVersion() {
    return dispatch(vst::effGetVendorVersion);
}
vst::VstIntPtr PluginHost::vstVersion() {
    return dispatch(vst::effGetVstVersion);
}
vst::VstIntPtr PluginHost::category() {
    return dispatch(vst::effGetPlugCategory);
}

vst::VstIntPtr PluginHost::canDo(const std::string& capability) {
    std::string text = capability; // the plug-in gets a writable, terminated copy
    return dispatch(vst::effCanDo, 0, 0, text.data());
}

std::string PluginHost::parameterName(int index) {
    return readString(vst::effGetParamName, index);
}
std::string PluginHost::parameterLabel(int index) {
    return readString(vst::effGetParamLabel, index);
}
std::string PluginHost::parameterDisplay(int index) {
    return readString(vst::effGetParamDisplay, index);
}

void PluginHost::setParameter(int index, float value) {
    effect_->setParameter(effect_, index, value);
}

float PluginHost::getParameter(int index) {
    return effect_->getParameter(effect_, index);
}

void PluginHost::setProgram(int program) {
    dispatch(vst::effSetProgram, 0, program);
}
int PluginHost::program() {
    return static_cast<int>(dispatch(vst::effGetProgram));
}
std::string PluginHost::programName() {
    return readString(vst::effGetProgramName, 0);
}

std::optional<vst::VstPinProperties> PluginHost::outputProperties(int pin) {
    vst::VstPinProperties properties{};
    if (dispatch(vst::effGetOutputProperties, pin, 0, &properties) == 0)
        return std::nullopt;
    return properties;
}

std::optional<vst::VstPinProperties> PluginHost::inputProperties(int pin) {
    vst::VstPinProperties properties{};
    if (dispatch(vst::effGetInputProperties, pin, 0, &properties) == 0)
        return std::nullopt;
    return properties;
}

std::vector<std::uint8_t> PluginHost::getChunk(bool programOnly) {
    void* data = nullptr;
    const vst::VstIntPtr size = dispatch(vst::effGetChunk, programOnly ? 1 : 0, 0, &data);
    if (size <= 0 || data == nullptr)
        return {};
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    return std::vector<std::uint8_t>(bytes, bytes + size);
}

vst::VstIntPtr PluginHost::setChunk(std::span<const std::uint8_t> data, bool programOnly) {
    // The plug-in gets its own host-owned copy that lives only for the call, as in real hosts.
    std::vector<std::uint8_t> copy(data.begin(), data.end());
    return dispatch(vst::effSetChunk, programOnly ? 1 : 0, static_cast<vst::VstIntPtr>(copy.size()),
                    copy.empty() ? nullptr : copy.data());
}

// --- MIDI and processing ----------------------------------------------------------------------

void PluginHost::scheduleMidi(std::int64_t sampleTime, MidiMessage message) {
    events_.schedule(sampleTime, message);
}

void PluginHost::scheduleRawMidi(std::int32_t deltaFrames, MidiMessage message) {
    events_.scheduleRaw(deltaFrames, message);
}

void PluginHost::prepareBuffers(int frames) {
    const int outputs = std::max(effect_->numOutputs, 0);
    const int inputs = std::max(effect_->numInputs, 0);
    const std::size_t length = static_cast<std::size_t>(std::max(frames, 1));
    // The buffers and the pointer lists are rebuilt only when the plug-in's pins change or a
    // block is longer than any before, as a DAW keeps its buffers from block to block.
    if (outputBuffers_.size() != static_cast<std::size_t>(outputs) ||
        inputBuffers_.size() != static_cast<std::size_t>(inputs) || length > bufferFrames_) {
        bufferFrames_ = std::max(bufferFrames_, length);
        outputBuffers_.resize(static_cast<std::size_t>(outputs));
        for (auto& buffer : outputBuffers_)
            buffer.resize(bufferFrames_);
        inputBuffers_.resize(static_cast<std::size_t>(inputs));
        for (auto& buffer : inputBuffers_)
            buffer.resize(bufferFrames_);

        outputPointers_.resize(outputBuffers_.size());
        for (std::size_t ch = 0; ch < outputBuffers_.size(); ++ch) {
            const std::size_t source = options_.aliasOutputs ? 0 : ch;
            outputPointers_[ch] = outputBuffers_[source].data();
        }
        inputPointers_.resize(inputBuffers_.size());
        for (std::size_t ch = 0; ch < inputBuffers_.size(); ++ch)
            inputPointers_[ch] = inputBuffers_[ch].data();
    }
    for (auto& buffer : inputBuffers_)
        std::fill(buffer.begin(), buffer.end(), 0.0f);

    const std::optional<float> fill =
        options_.prefill ? options_.prefill
                         : (options_.accumulate ? std::optional(0.0f) : std::nullopt);
    if (!fill)
        return;
    // Zeros are written as bytes, several times faster than a float-by-float fill.
    const bool zeroBits = std::bit_cast<std::uint32_t>(*fill) == 0;
    for (auto& buffer : outputBuffers_) {
        if (zeroBits)
            std::memset(buffer.data(), 0, length * sizeof(float));
        else
            std::fill_n(buffer.begin(), length, *fill);
    }
}

bool PluginHost::processBlock(int frames) {
    if (frames < 0)
        return false;
    events_.takeBlock(streamPos_, frames, blockEvents_);
    if (!blockEvents_.empty() || options_.sendEmptyEventLists) {
        // VstEvents: count, reserved, then the pointers inline (at least the two declared slots).
        const std::size_t slots = std::max<std::size_t>(blockEvents_.size(), 2);
        eventListStorage_.assign(2 + slots, 0);
        auto* list = reinterpret_cast<vst::VstEvents*>(eventListStorage_.data());
        list->numEvents = static_cast<vst::VstInt32>(blockEvents_.size());
        list->reserved = 0;
        for (std::size_t i = 0; i < blockEvents_.size(); ++i)
            list->events[i] = reinterpret_cast<vst::VstEvent*>(&blockEvents_[i]);
        dispatch(vst::effProcessEvents, 0, 0, list);
    }

    prepareBuffers(frames);
    float** inputs = inputPointers_.empty() ? nullptr : inputPointers_.data();
    float** outputs = outputPointers_.empty() ? nullptr : outputPointers_.data();
    processing_ = true;
    if (options_.accumulate)
        effect_->process(effect_, inputs, outputs, frames);
    else
        effect_->processReplacing(effect_, inputs, outputs, frames);
    processing_ = false;
    lastFrames_ = frames;

    transport_.advance(frames);
    streamPos_ += frames;
    return true;
}

std::span<const float> PluginHost::output(int channel) const {
    if (channel < 0 || channel >= static_cast<int>(outputBuffers_.size()))
        return {};
    const std::size_t source = options_.aliasOutputs ? 0 : static_cast<std::size_t>(channel);
    return std::span<const float>(outputBuffers_[source].data(),
                                  static_cast<std::size_t>(lastFrames_));
}

ChannelBuffers PluginHost::render(std::int64_t frames, int block) {
    ChannelBuffers result(static_cast<std::size_t>(std::max(effect_->numOutputs, 0)));
    if (frames <= 0 || block <= 0)
        return result;
    for (auto& channel : result)
        channel.reserve(static_cast<std::size_t>(frames));
    std::int64_t done = 0;
    while (done < frames) {
        const int n = static_cast<int>(std::min<std::int64_t>(block, frames - done));
        processBlock(n);
        for (std::size_t ch = 0; ch < result.size(); ++ch) {
            const auto samples = output(static_cast<int>(ch));
            result[ch].insert(result[ch].end(), samples.begin(), samples.end());
        }
        done += n;
    }
    return result;
}

// --- Host callback ----------------------------------------------------------------------------

vst::VstIntPtr PluginHost::hostCallback(vst::AEffect* effect, vst::VstInt32 opcode,
                                        vst::VstInt32 index, vst::VstIntPtr value, void* ptr,
                                        float opt) {
    PluginHost* host = nullptr;
    if (effect != nullptr && effect->resvd1 != 0)
        host = reinterpret_cast<PluginHost*>(effect->resvd1);
    else
        host = tLoadingHost;
    if (host == nullptr) {
        // A call no host can be found for: answer like a plain 2.4 host that knows nothing.
        return opcode == vst::audioMasterVersion ? 2400 : 0;
    }
    return host->answer(effect, opcode, index, value, ptr, opt);
}

vst::VstIntPtr PluginHost::answer(vst::AEffect* effect, vst::VstInt32 opcode, vst::VstInt32 index,
                                  vst::VstIntPtr value, void* ptr, float opt) {
    const bool automation = opcode == vst::audioMasterAutomate && options_.keepAutomations;
    if (options_.recordCalls || automation) {
        std::lock_guard lock(logMutex_);
        if (options_.recordCalls) {
            HostCall call;
            call.opcode = opcode;
            call.index = index;
            call.value = value;
            call.opt = opt;
            call.duringEntry = loading_;
            call.effectGiven = effect != nullptr;
            if (opcode == vst::audioMasterCanDo && ptr != nullptr)
                call.text = static_cast<const char*>(ptr);
            calls_.push_back(std::move(call));
        }
        if (automation)
            automations_.push_back({index, opt});
    }

    switch (opcode) {
    case vst::audioMasterAutomate:
        return 0;
    case vst::audioMasterVersion:
        return options_.versionAnswer;
    case vst::audioMasterWantMidi:
        ++wantMidiCount_;
        return 1;
    case vst::audioMasterGetTime:
        transport_.setQuirks(options_.timeQuirks);
        return reinterpret_cast<vst::VstIntPtr>(
            transport_.answer(static_cast<vst::VstInt32>(value)));
    case vst::audioMasterGetSampleRate:
        return static_cast<vst::VstIntPtr>(options_.sampleRate);
    case vst::audioMasterGetBlockSize:
        return options_.blockSize;
    case vst::audioMasterGetCurrentProcessLevel:
        return processing_ ? 2 : 1; // realtime while processing, user otherwise
    case vst::audioMasterGetVendorString:
        copyHostString(ptr, kHostVendor);
        return 1;
    case vst::audioMasterGetProductString:
        copyHostString(ptr, kHostProduct);
        return 1;
    case vst::audioMasterGetVendorVersion:
        return kHostVersion;
    case vst::audioMasterCanDo: {
        if (ptr == nullptr)
            return 0;
        const auto found = options_.canDoAnswers.find(std::string_view(static_cast<char*>(ptr)));
        return found != options_.canDoAnswers.end() ? found->second : options_.unknownCanDoAnswer;
    }
    case vst::audioMasterSizeWindow:
        if (index <= 0 || value <= 0)
            return 0;
        requestedWidth_.store(index);
        requestedHeight_.store(static_cast<int>(std::min<vst::VstIntPtr>(value, 1 << 15)));
        ++sizeRequests_;
        return 1;
    case vst::audioMasterOpenFileSelector: {
        // The host's file selector, when the options give it an answer: the path is copied
        // into the plug-in's buffer (the only form this host supports).
        auto* select = static_cast<vst::VstFileSelect*>(ptr);
        if (!options_.fileSelectorAnswer || select == nullptr || select->returnPath == nullptr ||
            select->sizeReturnPath <= 0)
            return 0;
        {
            std::lock_guard lock(logMutex_);
            fileSelectorTitles_.emplace_back(select->title,
                                             strnlen(select->title, sizeof select->title));
        }
        if (options_.fileSelectorAnswer->empty())
            return 0; // the user cancelled
        const std::size_t n = std::min(options_.fileSelectorAnswer->size(),
                                       static_cast<std::size_t>(select->sizeReturnPath - 1));
        std::memcpy(select->returnPath, options_.fileSelectorAnswer->data(), n);
        select->returnPath[n] = 0;
        select->reserved = 0;
        return 1;
    }
    case vst::audioMasterCloseFileSelector:
        return ptr != nullptr ? 1 : 0;
    case vst::audioMasterUpdateDisplay:
    case vst::audioMasterBeginEdit:
    case vst::audioMasterEndEdit:
        return 1;
    default:
        return 0;
    }
}

std::vector<std::string> PluginHost::fileSelectorTitles() const {
    std::lock_guard lock(logMutex_);
    return fileSelectorTitles_;
}

std::vector<HostCall> PluginHost::calls() const {
    std::lock_guard lock(logMutex_);
    return calls_;
}

std::size_t PluginHost::countCalls(vst::VstInt32 opcode) const {
    std::lock_guard lock(logMutex_);
    return static_cast<std::size_t>(std::count_if(
        calls_.begin(), calls_.end(), [opcode](const HostCall& c) { return c.opcode == opcode; }));
}

void PluginHost::clearCalls() {
    std::lock_guard lock(logMutex_);
    calls_.clear();
    automations_.clear();
}

std::vector<Automation> PluginHost::automations() const {
    std::lock_guard lock(logMutex_);
    return automations_;
}

} // namespace vorpalix::host
