// The bundled host's own logic, driven with an in-process fake plug-in: loading and its errors,
// callback routing, buffers, processing calls and the plug-in's lifecycle.

#include "PluginHost.h"
#include "support/FakePlugin.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <sndfile.h>

#include <barrier>
#include <cstring>
#include <thread>

namespace vorpalix::host {
namespace {

using testing::FakePlugin;

LoadResult loadFake(HostOptions options = {}) {
    FakePlugin::nextConfig() = {};
    return PluginHost::fromEntry(&FakePlugin::entry, std::move(options));
}

// A library that surely exists and has no VST entry point: the one holding libsndfile.
std::string libraryWithoutEntryPoint() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&sf_version_string), &info) == 0 || !info.dli_fname)
        return {};
    return info.dli_fname;
}

// --- Loading ------------------------------------------------------------------------------------

TEST(PluginHostLoading, MissingFileIsReportedAsSuch) {
    const LoadResult result = PluginHost::load("/nonexistent/folder/plugin.so");
    EXPECT_FALSE(result);
    EXPECT_EQ(result.error, LoadError::FileNotFound);
    EXPECT_NE(result.message.find("/nonexistent/folder/plugin.so"), std::string::npos);
    EXPECT_EQ(result.message.find('\n'), std::string::npos);
}

TEST(PluginHostLoading, FolderAndEmptyPathAreNotPluginFiles) {
    testing::TempFolder folder;
    EXPECT_EQ(PluginHost::load(folder.path().string()).error, LoadError::FileNotFound);
    EXPECT_EQ(PluginHost::load("").error, LoadError::FileNotFound);
}

TEST(PluginHostLoading, FileThatIsNoLibraryIsNotLoadable) {
    testing::TempFolder folder;
    const std::string path = folder.write("broken.so", "this is not an ELF file\n");
    const LoadResult result = PluginHost::load(path);
    EXPECT_EQ(result.error, LoadError::NotLoadable);
    EXPECT_NE(result.message.find(path), std::string::npos);
    EXPECT_EQ(result.message.find('\n'), std::string::npos);
}

TEST(PluginHostLoading, TruncatedLibraryIsNotLoadable) {
    testing::TempFolder folder;
    const std::string source = libraryWithoutEntryPoint();
    ASSERT_FALSE(source.empty());
    // The first 200 bytes of a real shared object: a valid ELF header with nothing behind it.
    std::FILE* in = std::fopen(source.c_str(), "rb");
    ASSERT_NE(in, nullptr);
    std::string head(200, '\0');
    head.resize(std::fread(head.data(), 1, head.size(), in));
    std::fclose(in);
    const std::string path = folder.write("truncated.so", head);
    EXPECT_EQ(PluginHost::load(path).error, LoadError::NotLoadable);
}

TEST(PluginHostLoading, LibraryWithoutEntryPointIsRejected) {
    const std::string path = libraryWithoutEntryPoint();
    ASSERT_FALSE(path.empty());
    const LoadResult result = PluginHost::load(path);
    EXPECT_EQ(result.error, LoadError::NoEntryPoint);
    EXPECT_NE(result.message.find("VSTPluginMain"), std::string::npos);
}

TEST(PluginHostLoading, EntryThatReturnsNullIsRejected) {
    FakePlugin::nextConfig() = {};
    FakePlugin::nextConfig().returnNull = true;
    const int before = FakePlugin::alive();
    const LoadResult result = PluginHost::fromEntry(&FakePlugin::entry);
    EXPECT_EQ(result.error, LoadError::EntryReturnedNull);
    EXPECT_FALSE(result.message.empty());
    EXPECT_EQ(FakePlugin::alive(), before);
}

TEST(PluginHostLoading, HostAnsweringVersionZeroGetsNoPlugin) {
    HostOptions options;
    options.versionAnswer = 0;
    EXPECT_EQ(loadFake(options).error, LoadError::EntryReturnedNull);
}

TEST(PluginHostLoading, RecordWithBadMagicIsRejectedWithoutTouchingIt) {
    FakePlugin::nextConfig() = {};
    FakePlugin::nextConfig().magic = vst::fourCharCode('N', 'o', 'p', 'e');
    const LoadResult result = PluginHost::fromEntry(&FakePlugin::entry);
    EXPECT_EQ(result.error, LoadError::BadMagic);
    EXPECT_NE(result.message.find("magic"), std::string::npos);
    FakePlugin* plugin = FakePlugin::last();
    ASSERT_NE(plugin, nullptr);
    EXPECT_TRUE(plugin->opcodes.empty()) << "no dispatcher call, not even effClose";
    EXPECT_EQ(plugin->effect.resvd1, 0);
    plugin->effect.dispatcher(&plugin->effect, vst::effClose, 0, 0, nullptr, 0.0f);
}

TEST(PluginHostLoading, NullEntryFunctionIsAnError) {
    EXPECT_EQ(PluginHost::fromEntry(nullptr).error, LoadError::NoEntryPoint);
}

TEST(PluginHostLoading, SuccessfulLoadOwnsResvd1AndReportsNoError) {
    const LoadResult result = loadFake();
    ASSERT_TRUE(result);
    EXPECT_EQ(result.error, LoadError::None);
    EXPECT_TRUE(result.message.empty());
    EXPECT_EQ(result.host->effect().resvd1, reinterpret_cast<vst::VstIntPtr>(result.host.get()));
    EXPECT_EQ(FakePlugin::last()->versionAnswer, 2400);
    EXPECT_EQ(result.host->uniqueIdText(), "Fake");
}

// --- Callbacks ----------------------------------------------------------------------------------

TEST(PluginHostCallbacks, CallsFromInsideTheEntryPointReachTheLoadingHost) {
    vst::VstIntPtr rate = 0;
    vst::VstIntPtr block = 0;
    vst::VstIntPtr canDo = 0;
    FakePlugin::nextConfig() = {};
    FakePlugin::nextConfig().duringEntry = [&](vst::HostCallback host) {
        rate = host(nullptr, vst::audioMasterGetSampleRate, 0, 0, nullptr, 0.0f);
        block = host(nullptr, vst::audioMasterGetBlockSize, 0, 0, nullptr, 0.0f);
        char query[] = "sendVstTimeInfo";
        canDo = host(nullptr, vst::audioMasterCanDo, 0, 0, query, 0.0f);
        host(nullptr, vst::audioMasterWantMidi, 0, 1, nullptr, 0.0f);
    };
    HostOptions options;
    options.sampleRate = 48000.0;
    options.blockSize = 333;
    LoadResult result = PluginHost::fromEntry(&FakePlugin::entry, options);
    ASSERT_TRUE(result);
    EXPECT_EQ(rate, 48000);
    EXPECT_EQ(block, 333);
    EXPECT_EQ(canDo, 1);
    EXPECT_EQ(result.host->wantMidiCount(), 1);

    const auto calls = result.host->calls();
    ASSERT_EQ(calls.size(), 5u); // version, rate, block size, canDo, want MIDI
    for (const auto& call : calls) {
        EXPECT_TRUE(call.duringEntry);
        EXPECT_FALSE(call.effectGiven);
    }
    EXPECT_EQ(calls[0].opcode, vst::audioMasterVersion);
    EXPECT_EQ(calls[3].text, "sendVstTimeInfo");
}

TEST(PluginHostCallbacks, HostsLoadingOnTwoThreadsAtOnceEachAnswerTheirOwnPlugin) {
    // Both entry points run at the same time; each must still reach the host loading it.
    std::barrier bothInside(2);
    vst::VstIntPtr seen[2] = {0, 0};
    auto loadOn = [&](int slot, double rate) {
        FakePlugin::nextConfig() = {};
        FakePlugin::nextConfig().duringEntry = [&, slot](vst::HostCallback host) {
            bothInside.arrive_and_wait();
            seen[slot] = host(nullptr, vst::audioMasterGetSampleRate, 0, 0, nullptr, 0.0f);
            bothInside.arrive_and_wait();
        };
        HostOptions options;
        options.sampleRate = rate;
        LoadResult result = PluginHost::fromEntry(&FakePlugin::entry, options);
        EXPECT_TRUE(result);
    };
    std::thread first(loadOn, 0, 22050.0);
    std::thread second(loadOn, 1, 96000.0);
    first.join();
    second.join();
    EXPECT_EQ(seen[0], 22050);
    EXPECT_EQ(seen[1], 96000);
}

TEST(PluginHostCallbacks, LaterCallsFindTheirHostThroughTheEffect) {
    HostOptions slow;
    slow.sampleRate = 32000.0;
    HostOptions fast;
    fast.sampleRate = 88200.0;
    LoadResult a = loadFake(slow);
    FakePlugin* pluginA = FakePlugin::last();
    LoadResult b = loadFake(fast);
    FakePlugin* pluginB = FakePlugin::last();
    ASSERT_TRUE(a && b);
    a.host->processBlock(16);
    b.host->processBlock(16);
    EXPECT_EQ(pluginA->blocks.at(0).hostSampleRate, 32000);
    EXPECT_EQ(pluginB->blocks.at(0).hostSampleRate, 88200);

    pluginA->host(&pluginA->effect, vst::audioMasterAutomate, 3, 0, nullptr, 0.25f);
    pluginB->host(&pluginB->effect, vst::audioMasterAutomate, 1, 0, nullptr, 0.75f);
    ASSERT_EQ(a.host->automations().size(), 1u);
    EXPECT_EQ(a.host->automations()[0].index, 3);
    EXPECT_FLOAT_EQ(a.host->automations()[0].value, 0.25f);
    ASSERT_EQ(b.host->automations().size(), 1u);
    EXPECT_EQ(b.host->automations()[0].index, 1);
    EXPECT_FALSE(a.host->calls().back().duringEntry);
}

TEST(PluginHostCallbacks, CanDoAnswersComeFromTheConfiguredSet) {
    HostOptions options;
    options.canDoAnswers["openFileSelector"] = 1;
    options.unknownCanDoAnswer = -1;
    LoadResult result = loadFake(options);
    ASSERT_TRUE(result);
    FakePlugin* plugin = FakePlugin::last();
    auto ask = [&](const char* text) {
        std::string copy = text;
        return plugin->host(&plugin->effect, vst::audioMasterCanDo, 0, 0, copy.data(), 0.0f);
    };
    EXPECT_EQ(ask("openFileSelector"), 1);
    EXPECT_EQ(ask("sendVstEvents"), 1);
    EXPECT_EQ(ask("receiveVstMidiEvent"), -1);
    EXPECT_EQ(ask("SendVstEvents"), -1) << "comparison is exact";
    EXPECT_EQ(ask("somethingElse"), -1);
    EXPECT_EQ(plugin->host(&plugin->effect, vst::audioMasterCanDo, 0, 0, nullptr, 0.0f), 0);
}

TEST(PluginHostCallbacks, HostIdentityAndVersionAreAnswered) {
    LoadResult result = loadFake();
    ASSERT_TRUE(result);
    FakePlugin* plugin = FakePlugin::last();
    // A buffer larger than the nominal 64 bytes, filled to see how much the host writes.
    char vendor[256];
    std::memset(vendor, 'x', sizeof vendor);
    EXPECT_EQ(plugin->host(&plugin->effect, vst::audioMasterGetVendorString, 0, 0, vendor, 0.f), 1);
    EXPECT_STREQ(vendor, "Vorpalix");
    char product[256] = {};
    plugin->host(&plugin->effect, vst::audioMasterGetProductString, 0, 0, product, 0.f);
    EXPECT_GT(std::strlen(product), 0u);
    EXPECT_LT(std::strlen(product), 64u);
    EXPECT_EQ(plugin->host(&plugin->effect, vst::audioMasterVersion, 0, 0, nullptr, 0.f), 2400);
    EXPECT_EQ(plugin->host(&plugin->effect, vst::audioMasterGetVendorString, 0, 0, nullptr, 0.f), 1)
        << "a null buffer is survived";
}

TEST(PluginHostCallbacks, ProcessLevelTellsProcessingFromOtherCalls) {
    LoadResult result = loadFake();
    ASSERT_TRUE(result);
    FakePlugin* plugin = FakePlugin::last();
    EXPECT_EQ(
        plugin->host(&plugin->effect, vst::audioMasterGetCurrentProcessLevel, 0, 0, nullptr, 0.f),
        1);
}

TEST(PluginHostCallbacks, CallLogCanBeSwitchedOffButAutomationIsStillKept) {
    HostOptions options;
    options.recordCalls = false;
    LoadResult result = loadFake(options);
    ASSERT_TRUE(result);
    result.host->render(1024, 256);
    FakePlugin* plugin = FakePlugin::last();
    plugin->host(&plugin->effect, vst::audioMasterAutomate, 2, 0, nullptr, 0.5f);
    EXPECT_TRUE(result.host->calls().empty());
    EXPECT_EQ(result.host->automations().size(), 1u);
}

// --- Buffers and processing ---------------------------------------------------------------------

TEST(PluginHostProcessing, SynthWithoutInputsGetsANullInputArray) {
    LoadResult result = loadFake();
    ASSERT_TRUE(result);
    result.host->processBlock(32);
    EXPECT_TRUE(FakePlugin::last()->blocks.at(0).inputsNull);

    FakePlugin::nextConfig() = {};
    FakePlugin::nextConfig().numInputs = 2;
    LoadResult effect = PluginHost::fromEntry(&FakePlugin::entry);
    ASSERT_TRUE(effect);
    effect.host->processBlock(32);
    EXPECT_FALSE(FakePlugin::last()->blocks.at(0).inputsNull);
}

TEST(PluginHostProcessing, ReplacingOutputHoldsExactlyWhatThePluginWrote) {
    FakePlugin::nextConfig() = {};
    FakePlugin::nextConfig().numOutputs = 5;
    HostOptions options;
    options.prefill = 0.5f; // must be overwritten everywhere
    LoadResult result = PluginHost::fromEntry(&FakePlugin::entry, options);
    ASSERT_TRUE(result);
    const ChannelBuffers out = result.host->render(1000, 300); // 300, 300, 300, 100
    ASSERT_EQ(out.size(), 5u);
    for (int ch = 0; ch < 5; ++ch) {
        ASSERT_EQ(out[static_cast<std::size_t>(ch)].size(), 1000u);
        for (int n = 0; n < 1000; ++n)
            ASSERT_FLOAT_EQ(out[static_cast<std::size_t>(ch)][static_cast<std::size_t>(n)],
                            FakePlugin::signal(ch, n))
                << "channel " << ch << " frame " << n;
    }
    const auto& blocks = FakePlugin::last()->blocks;
    ASSERT_EQ(blocks.size(), 4u);
    EXPECT_EQ(blocks[3].frames, 100);
    for (const auto& block : blocks)
        EXPECT_TRUE(block.replacing);
}

TEST(PluginHostProcessing, AccumulatingProcessAddsOntoThePrefilledBuffer) {
    HostOptions options;
    options.accumulate = true;
    options.prefill = 1.0f;
    LoadResult result = loadFake(options);
    ASSERT_TRUE(result);
    const ChannelBuffers out = result.host->render(512, 128);
    for (int ch = 0; ch < 2; ++ch)
        for (int n = 0; n < 512; ++n)
            ASSERT_FLOAT_EQ(out[static_cast<std::size_t>(ch)][static_cast<std::size_t>(n)],
                            1.0f + FakePlugin::signal(ch, n));
    for (const auto& block : FakePlugin::last()->blocks)
        EXPECT_FALSE(block.replacing);
}

TEST(PluginHostProcessing, OutputsAreSeparateBuffersUnlessAliased) {
    FakePlugin::nextConfig() = {};
    FakePlugin::nextConfig().numOutputs = 4;
    LoadResult separate = PluginHost::fromEntry(&FakePlugin::entry);
    ASSERT_TRUE(separate);
    separate.host->processBlock(64);
    const auto pointers = FakePlugin::last()->blocks.at(0).outputPointers;
    ASSERT_EQ(pointers.size(), 4u);
    for (std::size_t i = 0; i < pointers.size(); ++i)
        for (std::size_t j = i + 1; j < pointers.size(); ++j) {
            EXPECT_NE(pointers[i], pointers[j]);
            // Buffers of one block must not overlap either.
            EXPECT_TRUE(pointers[i] + 64 <= pointers[j] || pointers[j] + 64 <= pointers[i]);
        }

    FakePlugin::nextConfig() = {};
    FakePlugin::nextConfig().numOutputs = 4;
    HostOptions options;
    options.aliasOutputs = true;
    LoadResult aliased = PluginHost::fromEntry(&FakePlugin::entry, options);
    ASSERT_TRUE(aliased);
    aliased.host->processBlock(64);
    const auto shared = FakePlugin::last()->blocks.at(0).outputPointers;
    for (const float* p : shared)
        EXPECT_EQ(p, shared[0]);
    // The last channel written wins in the shared buffer, and every channel reads it.
    for (int ch = 0; ch < 4; ++ch)
        EXPECT_FLOAT_EQ(aliased.host->output(ch)[10], FakePlugin::signal(3, 10));
}

TEST(PluginHostProcessing, ZeroFrameBlockIsPassedOnAndMovesNothing) {
    LoadResult result = loadFake();
    ASSERT_TRUE(result);
    ASSERT_TRUE(result.host->processBlock(0));
    ASSERT_EQ(FakePlugin::last()->blocks.size(), 1u);
    EXPECT_EQ(FakePlugin::last()->blocks[0].frames, 0);
    EXPECT_EQ(result.host->streamPosition(), 0);
    EXPECT_TRUE(result.host->output(0).empty());
}

TEST(PluginHostProcessing, NegativeFrameCountIsRefusedWithoutCallingThePlugin) {
    LoadResult result = loadFake();
    ASSERT_TRUE(result);
    EXPECT_FALSE(result.host->processBlock(-1));
    EXPECT_TRUE(FakePlugin::last()->blocks.empty());
    EXPECT_TRUE(result.host->output(-1).empty());
    EXPECT_TRUE(result.host->output(99).empty());
}

TEST(PluginHostProcessing, BlocksLargerThanAnnouncedAndGrowingBlocksAreServed) {
    LoadResult result = loadFake();
    ASSERT_TRUE(result);
    for (const int frames : {1, 5000, 17, 70000}) {
        ASSERT_TRUE(result.host->processBlock(frames));
        EXPECT_EQ(result.host->output(1).size(), static_cast<std::size_t>(frames));
    }
    EXPECT_EQ(result.host->streamPosition(), 1 + 5000 + 17 + 70000);
}

// --- Lifecycle and dispatcher helpers -----------------------------------------------------------

TEST(PluginHostLifecycle, StartSendsOpenRateBlockSizeAndResumeInThatOrder) {
    HostOptions options;
    options.sampleRate = 96000.0;
    options.blockSize = 128;
    LoadResult result = loadFake(options);
    ASSERT_TRUE(result);
    result.host->start();
    FakePlugin* plugin = FakePlugin::last();
    const std::vector<vst::VstInt32> expected = {vst::effOpen, vst::effSetSampleRate,
                                                 vst::effSetBlockSize, vst::effMainsChanged};
    EXPECT_EQ(plugin->opcodes, expected);
    EXPECT_FLOAT_EQ(plugin->sampleRate, 96000.0f);
    EXPECT_EQ(plugin->blockSize, 128);
    EXPECT_TRUE(plugin->resumed);
    EXPECT_TRUE(result.host->isResumed());
}

TEST(PluginHostLifecycle, DestroyingTheHostSuspendsAndClosesThePlugin) {
    const int before = FakePlugin::alive();
    LoadResult result = loadFake();
    ASSERT_TRUE(result);
    EXPECT_EQ(FakePlugin::alive(), before + 1);
    result.host->start();
    result.host.reset();
    EXPECT_EQ(FakePlugin::alive(), before) << "effClose was sent";
    EXPECT_EQ(FakePlugin::last(), nullptr);
    const auto& opcodes = FakePlugin::closedOpcodes();
    ASSERT_GE(opcodes.size(), 2u);
    EXPECT_EQ(opcodes[opcodes.size() - 2], vst::effMainsChanged);
    EXPECT_EQ(opcodes.back(), vst::effClose);
    EXPECT_FALSE(FakePlugin::closedWhileResumed()) << "suspended before effClose";
}

TEST(PluginHostLifecycle, CloseSuspendsFirstAndIsSafeToRepeat) {
    LoadResult result = loadFake();
    ASSERT_TRUE(result);
    result.host->start();
    FakePlugin* plugin = FakePlugin::last();
    const std::size_t before = plugin->opcodes.size();
    result.host->suspend();
    EXPECT_FALSE(plugin->resumed);
    EXPECT_EQ(plugin->opcodes.size(), before + 1);
    const int alive = FakePlugin::alive();
    result.host->close();
    EXPECT_EQ(FakePlugin::alive(), alive - 1);
    EXPECT_EQ(FakePlugin::closedOpcodes().back(), vst::effClose);
    EXPECT_EQ(FakePlugin::closedOpcodes().size(), before + 2) << "no second suspend";
    result.host->close(); // nothing left to close: must not call into freed memory
    EXPECT_EQ(FakePlugin::alive(), alive - 1);
}

TEST(PluginHostLifecycle, DispatcherHelpersReadStringsPinsAndChunks) {
    LoadResult result = loadFake();
    ASSERT_TRUE(result);
    PluginHost& host = *result.host;
    EXPECT_EQ(host.effectName(), "Fake");
    EXPECT_EQ(host.vendorString(), "Test Vendor");
    EXPECT_EQ(host.productString(), "Fake Product");
    EXPECT_EQ(host.vendorVersion(), 42);
    EXPECT_EQ(host.vstVersion(), 2400);
    EXPECT_EQ(host.category(), vst::kPlugCategSynth);
    EXPECT_EQ(host.parameterName(2), "Param 2");
    EXPECT_EQ(host.parameterLabel(0), "dB");
    EXPECT_EQ(host.parameterName(99), "") << "a buffer the plug-in leaves alone reads empty";
    host.setParameter(1, 0.3f);
    EXPECT_FLOAT_EQ(host.getParameter(1), 0.3f);
    EXPECT_EQ(host.canDo("receiveVstEvents"), 1);
    EXPECT_EQ(host.canDo("bypass"), -1);

    const auto pin = host.outputProperties(1);
    ASSERT_TRUE(pin.has_value());
    EXPECT_STREQ(pin->label, "Out/1");
    EXPECT_EQ(pin->flags, vst::kVstPinIsActive);
    EXPECT_FALSE(host.outputProperties(2).has_value());
    EXPECT_FALSE(host.outputProperties(-1).has_value());
    EXPECT_FALSE(host.inputProperties(0).has_value());

    const auto chunk = host.getChunk();
    const std::string expected = "chunk-bytes";
    ASSERT_EQ(chunk.size(), expected.size() + 1);
    EXPECT_EQ(std::string(chunk.begin(), chunk.end() - 1), expected);
    EXPECT_TRUE(host.getChunk(true).empty()) << "size 0 means no chunk";

    const std::vector<std::uint8_t> state = {1, 2, 0, 255, 7};
    EXPECT_EQ(host.setChunk(state, true), 1);
    EXPECT_EQ(FakePlugin::last()->receivedChunkIndex, 1);
    EXPECT_EQ(FakePlugin::last()->receivedChunk,
              std::vector<unsigned char>(state.begin(), state.end()));
    EXPECT_EQ(host.setChunk(state), 1);
    EXPECT_EQ(FakePlugin::last()->receivedChunkIndex, 0);
}

TEST(PluginHostLifecycle, SampleRateChangeReachesPluginTransportAndCallbacks) {
    LoadResult result = loadFake();
    ASSERT_TRUE(result);
    result.host->setSampleRate(22050.0);
    EXPECT_FLOAT_EQ(FakePlugin::last()->sampleRate, 22050.0f);
    EXPECT_DOUBLE_EQ(result.host->transport().sampleRate(), 22050.0);
    result.host->processBlock(8);
    EXPECT_EQ(FakePlugin::last()->blocks.at(0).hostSampleRate, 22050);
    EXPECT_DOUBLE_EQ(FakePlugin::last()->blocks.at(0).time->sampleRate, 22050.0);
}

} // namespace
} // namespace vorpalix::host
