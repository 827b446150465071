#pragma once

#include "EventScheduler.h"
#include "Transport.h"
#include "plugin/VstInterface.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vorpalix::host {

// Why a plug-in could not be created.
enum class LoadError {
    None,
    FileNotFound,      // no such file
    NotLoadable,       // the dynamic loader refused it
    NoEntryPoint,      // neither VSTPluginMain nor main
    EntryReturnedNull, // the entry point gave no AEffect
    BadMagic,          // the AEffect does not start with 'VstP'
};

// The host's configuration. Everything here can also be changed after loading.
struct HostOptions {
    double sampleRate = 44100.0;
    int blockSize = 256;                 // announced maximum block size
    vst::VstIntPtr versionAnswer = 2400; // answer to audioMasterVersion (0 emulates an old host)
    // Answers to audioMasterCanDo; strings not listed get unknownCanDoAnswer.
    std::map<std::string, vst::VstIntPtr, std::less<>> canDoAnswers = defaultCanDoAnswers();
    vst::VstIntPtr unknownCanDoAnswer = 0;
    bool accumulate = false;   // call `process` instead of `processReplacing`
    bool aliasOutputs = false; // hand every output pointer the same buffer
    // Value written into every output buffer before each block. Unset: the buffers are cleared
    // before `process` (which adds into them) and reused as they are for `processReplacing`, as a
    // DAW reuses its block buffers.
    std::optional<float> prefill;
    bool sendEmptyEventLists = false; // call effProcessEvents also for blocks without events
    bool recordCalls = true;          // keep the log of every host callback
    // Keep every audioMasterAutomate report (under the call-log lock). A live host that lets
    // the plug-in call back from its audio thread turns this off, so no callback ever locks.
    bool keepAutomations = true;
    Transport::Quirks timeQuirks; // applied at every time request
    // The host's file selector (answer "openFileSelector" with 1 to offer it): the path the user
    // "chooses", "" for a cancel; none, and the selector refuses every request.
    std::optional<std::string> fileSelectorAnswer;

    static std::map<std::string, vst::VstIntPtr, std::less<>> defaultCanDoAnswers();
};

// One call the plug-in made to the host callback.
struct HostCall {
    vst::VstInt32 opcode = 0;
    vst::VstInt32 index = 0;
    vst::VstIntPtr value = 0;
    float opt = 0.0f;
    std::string text;         // the capability string of audioMasterCanDo
    bool duringEntry = false; // made while the entry point was still running
    bool effectGiven = false; // the AEffect pointer was not null
};

// One audioMasterAutomate report.
struct Automation {
    int index = 0;
    float value = 0.0f;
};

// Audio of every output channel, one vector per channel.
using ChannelBuffers = std::vector<std::vector<float>>;

class PluginHost;

// The outcome of loading: a host with a live plug-in, or the reason there is none.
struct LoadResult {
    std::unique_ptr<PluginHost> host;
    LoadError error = LoadError::None;
    std::string message; // one line, empty on success

    explicit operator bool() const { return host != nullptr; }
};

// A small VST 2.4 host: loads a plug-in, answers its callbacks, feeds it MIDI with exact sample
// offsets, runs a transport and processes blocks of any size. Single-threaded: every call,
// including processing, happens on the thread that owns the host.
class PluginHost {
public:
    // Loads the library at `path` (dlopen) and creates the plug-in through VSTPluginMain, or
    // `main` if that is missing.
    static LoadResult load(const std::string& path, HostOptions options = {});
    // Creates the plug-in through an entry function that is already in this process.
    static LoadResult fromEntry(vst::PluginEntryProc entry, HostOptions options = {});

    // Suspends a resumed plug-in, sends effClose and unloads the library.
    ~PluginHost();
    PluginHost(const PluginHost&) = delete;
    PluginHost& operator=(const PluginHost&) = delete;

    // --- The plug-in record ---------------------------------------------------------------
    vst::AEffect& effect() { return *effect_; }
    int numInputs() const { return effect_->numInputs; }
    int numOutputs() const { return effect_->numOutputs; }
    int numParams() const { return effect_->numParams; }
    int numPrograms() const { return effect_->numPrograms; }
    vst::VstInt32 flags() const { return effect_->flags; }
    vst::VstInt32 uniqueId() const { return effect_->uniqueID; }
    // The unique ID as its four characters, first letter from the most significant byte.
    std::string uniqueIdText() const;

    // --- Lifecycle ------------------------------------------------------------------------
    // The usual start: effOpen, sample rate, block size, resume.
    void start();
    void open();
    void resume();
    void suspend();
    // Ends the plug-in now (suspend if needed, effClose, unload). Nothing may be called after.
    void close();
    bool isResumed() const { return resumed_; }
    void setSampleRate(double rate);
    void setBlockSize(int frames);
    double sampleRate() const { return options_.sampleRate; }
    int blockSize() const { return options_.blockSize; }

    // --- Dispatcher helpers ---------------------------------------------------------------
    vst::VstIntPtr dispatch(vst::VstInt32 opcode, vst::VstInt32 index = 0, vst::VstIntPtr value = 0,
                            void* ptr = nullptr, float opt = 0.0f);
    std::string effectName();
    std::string vendorString();
    std::string productString();
    vst::VstIntPtr vendorVersion();
    vst::VstIntPtr vstVersion();
    vst::VstIntPtr category();
    vst::VstIntPtr canDo(const std::string& capability);
    // Name, label and display text of a parameter, read into a zeroed 256-byte buffer.
    std::string parameterName(int index);
    std::string parameterLabel(int index);
    std::string parameterDisplay(int index);
    void setParameter(int index, float value);
    float getParameter(int index);
    void setProgram(int program);
    int program();
    std::string programName();
    std::optional<vst::VstPinProperties> outputProperties(int pin);
    std::optional<vst::VstPinProperties> inputProperties(int pin);
    // A copy of the plug-in's chunk (bank when programOnly is false); empty when it has none.
    std::vector<std::uint8_t> getChunk(bool programOnly = false);
    vst::VstIntPtr setChunk(std::span<const std::uint8_t> data, bool programOnly = false);

    // --- MIDI -----------------------------------------------------------------------------
    // Queues a message for the stream frame `sampleTime` (frames since the first block).
    void scheduleMidi(std::int64_t sampleTime, MidiMessage message);
    // Queues a message for the next block with exactly this deltaFrames.
    void scheduleRawMidi(std::int32_t deltaFrames, MidiMessage message);
    EventScheduler& events() { return events_; }
    // The events handed to the plug-in in the last block.
    const std::vector<vst::VstMidiEvent>& lastBlockEvents() const { return blockEvents_; }

    // --- Processing -----------------------------------------------------------------------
    // Processes one block of `frames` frames (0 allowed): effProcessEvents with the block's
    // events, then processReplacing (or process when accumulating); then the transport and the
    // stream position move on. Returns false for a negative frame count.
    bool processBlock(int frames);
    // The last block's samples of an output channel (aliased outputs all read the same buffer).
    std::span<const float> output(int channel) const;
    // Processes `frames` frames in blocks of at most `block` frames and returns every channel.
    ChannelBuffers render(std::int64_t frames, int block);
    // Frames processed since loading.
    std::int64_t streamPosition() const { return streamPos_; }

    Transport& transport() { return transport_; }
    HostOptions& options() { return options_; }

    // --- What the plug-in asked of the host -----------------------------------------------
    std::vector<HostCall> calls() const;
    std::size_t countCalls(vst::VstInt32 opcode) const;
    void clearCalls();
    std::vector<Automation> automations() const;
    // The titles of the file selector requests the plug-in made, in order.
    std::vector<std::string> fileSelectorTitles() const;
    int wantMidiCount() const { return wantMidiCount_.load(); }
    // The editor size last asked for with audioMasterSizeWindow (width, height), and a count of
    // such requests so that a window can see a new one.
    int sizeRequests() const { return sizeRequests_.load(); }
    std::pair<int, int> requestedSize() const {
        return {requestedWidth_.load(), requestedHeight_.load()};
    }

private:
    PluginHost(HostOptions options);
    static LoadResult create(vst::PluginEntryProc entry, void* library, HostOptions options,
                             const std::string& name);
    // Any thread the plug-in calls from (loading, UI or audio). Finds the host through resvd1, or
    // the thread's loading host while the entry point runs; takes the call-log lock only.
    static vst::VstIntPtr hostCallback(vst::AEffect* effect, vst::VstInt32 opcode,
                                       vst::VstInt32 index, vst::VstIntPtr value, void* ptr,
                                       float opt);
    vst::VstIntPtr answer(vst::AEffect* effect, vst::VstInt32 opcode, vst::VstInt32 index,
                          vst::VstIntPtr value, void* ptr, float opt);
    std::string readString(vst::VstInt32 opcode, int index);
    void prepareBuffers(int frames);

    HostOptions options_;
    vst::AEffect* effect_ = nullptr;
    void* library_ = nullptr;
    bool opened_ = false;
    bool resumed_ = false;
    bool loading_ = true;
    bool processing_ = false;
    std::int64_t streamPos_ = 0;

    Transport transport_;
    EventScheduler events_;
    std::vector<vst::VstMidiEvent> blockEvents_;
    std::vector<vst::VstIntPtr> eventListStorage_; // a VstEvents with its inline pointer array

    std::vector<std::vector<float>> outputBuffers_;
    std::vector<std::vector<float>> inputBuffers_;
    std::vector<float*> outputPointers_;
    std::vector<float*> inputPointers_;
    std::size_t bufferFrames_ = 0; // frames every buffer holds
    int lastFrames_ = 0;

    mutable std::mutex logMutex_;
    std::vector<HostCall> calls_;
    std::vector<Automation> automations_;
    std::vector<std::string> fileSelectorTitles_;
    std::atomic<int> wantMidiCount_{0};
    std::atomic<int> requestedWidth_{0};
    std::atomic<int> requestedHeight_{0};
    std::atomic<int> sizeRequests_{0};
};

} // namespace vorpalix::host
