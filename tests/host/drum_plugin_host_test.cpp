// The built vorpalix.so as a host sees it: identity, pins, parameter names, capabilities,
// programs, and the replacing and accumulating processing calls.

#include "support/HostFixture.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>

namespace vorpalix::testing {
namespace {

using host::HostOptions;
using host::PluginHost;

constexpr int kOutputs = 24;

class DrumPluginAsSeenByHost : public HostFixture {};

TEST_F(DrumPluginAsSeenByHost, ReportsItsIdentity) {
    PluginHost& h = host();
    EXPECT_EQ(h.uniqueIdText(), "VRPZ");
    EXPECT_EQ(h.uniqueId(), ('V' << 24) | ('R' << 16) | ('P' << 8) | 'Z');
    EXPECT_EQ(h.effectName(), "Vorpalix");
    EXPECT_EQ(h.productString(), "Vorpalix");
    EXPECT_EQ(h.vendorString(), "Quillmoor Audio Software");
    EXPECT_EQ(h.vendorVersion(), 1030);
    EXPECT_EQ(h.vstVersion(), 2400);
    EXPECT_EQ(h.category(), 2); // synth
    EXPECT_EQ(h.effect().version, 1);
    EXPECT_EQ(h.effect().magic, vst::kEffectMagic);
    EXPECT_EQ(h.numInputs(), 0);
    EXPECT_EQ(h.numOutputs(), kOutputs);
    EXPECT_EQ(h.numParams(), 86);
    EXPECT_EQ(h.numPrograms(), 1);
    EXPECT_TRUE(h.flags() & vst::effFlagsIsSynth);
    EXPECT_TRUE(h.flags() & vst::effFlagsCanReplacing);
    EXPECT_TRUE(h.flags() & vst::effFlagsProgramChunks);
    EXPECT_FALSE(h.flags() & vst::effFlagsCanDoubleReplacing);
    EXPECT_NE(h.effect().process, nullptr);
    EXPECT_NE(h.effect().processReplacing, nullptr);
    EXPECT_NE(h.effect().process, h.effect().processReplacing)
        << "some hosts use processReplacing only when the two differ";
}

TEST_F(DrumPluginAsSeenByHost, HasMasterPairAndElevenStereoInstrumentPairs) {
    for (int pin = 0; pin < kOutputs; ++pin) {
        SCOPED_TRACE("pin " + std::to_string(pin));
        const auto properties = host().outputProperties(pin);
        ASSERT_TRUE(properties.has_value());
        const std::string expected =
            pin < 2 ? "VX Master" : "VRPLX " + std::to_string((pin - 2) / 2 + 1);
        EXPECT_STREQ(properties->label, expected.c_str());
        EXPECT_EQ(properties->flags, vst::kVstPinIsActive | vst::kVstPinIsStereo);
        EXPECT_EQ(properties->shortLabel[0], '\0');
    }
    EXPECT_FALSE(host().outputProperties(kOutputs).has_value());
    EXPECT_FALSE(host().outputProperties(-1).has_value());
    EXPECT_FALSE(host().outputProperties(1000).has_value());
    EXPECT_FALSE(host().inputProperties(0).has_value());
}

TEST_F(DrumPluginAsSeenByHost, ParameterNamesAreTheEightCharacterHostNames) {
    EXPECT_EQ(host().parameterName(0), "BD Level");
    EXPECT_EQ(host().parameterName(1), "BD Tune ");
    EXPECT_EQ(host().parameterName(3), "BD Attck");
    EXPECT_EQ(host().parameterName(5), "BD TuneD");
    EXPECT_EQ(host().parameterName(35), "HC Revrb");
    EXPECT_EQ(host().parameterName(48), "Tempo   ");
    EXPECT_EQ(host().parameterName(52), "T.Accent");
    for (int i = 0; i < 86; ++i) {
        const std::string name = host().parameterName(i);
        EXPECT_FALSE(name.empty()) << i;
        EXPECT_LE(name.size(), 8u) << i;
        EXPECT_NE(name, "no name") << i;
        EXPECT_EQ(host().parameterLabel(i), "") << i;
    }
}

TEST_F(DrumPluginAsSeenByHost, NameQueriesWriteNoMoreThanNineBytesAndNothingOutOfRange) {
    for (const int opcode : {vst::effGetParamName, vst::effGetParamLabel}) {
        for (const int index : {-1, 86, 193, 100000}) {
            std::array<char, 64> buffer;
            buffer.fill('\x55');
            host().dispatch(opcode, index, 0, buffer.data());
            for (const char c : buffer)
                ASSERT_EQ(c, '\x55') << "opcode " << opcode << " index " << index;
        }
        for (int index = 0; index < 86; ++index) {
            std::array<char, 64> buffer;
            buffer.fill('\x55');
            host().dispatch(opcode, index, 0, buffer.data());
            for (std::size_t i = 9; i < buffer.size(); ++i)
                ASSERT_EQ(buffer[i], '\x55') << "opcode " << opcode << " index " << index;
            ASSERT_NE(std::memchr(buffer.data(), '\0', 9), nullptr) << "terminated";
        }
    }
}

TEST_F(DrumPluginAsSeenByHost, AnswersCapabilityQueriesExactly) {
    const std::pair<const char*, int> answers[] = {
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
        {"2in2out", 0},
        {"8in8out", 0},
        {"midiProgramNames", -1},
        {"conformsToWindowRules", 0},
        {"bypass", -1},
        {"receiveVstMidiEvents", 0},
        {"ReceiveVstEvents", 0},
        {"receiveVstEvents ", 0},
        {"", 0},
        {"hasCockosExtensions", 0},
    };
    for (const auto& [query, expected] : answers)
        EXPECT_EQ(host().canDo(query), expected) << '"' << query << '"';
}

TEST_F(DrumPluginAsSeenByHost, HasOneProgramThatKeepsTheKnobs) {
    EXPECT_EQ(host().program(), 0);
    EXPECT_EQ(host().programName(), "Default");
    std::array<float, 48> knobs{};
    for (int i = 0; i < 48; ++i) {
        knobs[static_cast<std::size_t>(i)] = 0.02f * static_cast<float>(i) + 0.01f;
        host().setParameter(i, knobs[static_cast<std::size_t>(i)]);
    }
    host().setProgram(1);
    EXPECT_EQ(host().program(), 0) << "program 1 does not exist";
    host().setProgram(0);
    EXPECT_EQ(host().program(), 0);
    for (int i = 0; i < 48; ++i)
        EXPECT_FLOAT_EQ(host().getParameter(i), knobs[static_cast<std::size_t>(i)]) << i;
}

TEST_F(DrumPluginAsSeenByHost, AsksForTimeOncePerBlockWithTheUsualMask) {
    host().clearCalls();
    const int blocks[] = {256, 0, 1, 1000, 37};
    for (const int frames : blocks)
        host().processBlock(frames);
    std::size_t timeCalls = 0;
    for (const auto& call : host().calls()) {
        if (call.opcode != vst::audioMasterGetTime)
            continue;
        ++timeCalls;
        EXPECT_EQ(call.value, 0x602);
        EXPECT_TRUE(call.effectGiven);
    }
    EXPECT_EQ(timeCalls, std::size(blocks)) << "a 0-frame block still reads the host time";
}

// --- Silence and accumulation -------------------------------------------------------------------

class SilentDrumPlugin : public HostFixture {
protected:
    HostOptions hostOptions() const override {
        HostOptions options;
        options.prefill = 0.5f; // anything not written stays 0.5
        return options;
    }
};

TEST_F(SilentDrumPlugin, ReplacingWritesZeroToEveryChannelAndFrame) {
    for (const int block : {1, 64, 256, 1000}) {
        SCOPED_TRACE("block " + std::to_string(block));
        render(3000, block);
        ASSERT_EQ(rendered_.size(), static_cast<std::size_t>(kOutputs));
        for (int ch = 0; ch < kOutputs; ++ch) {
            ASSERT_EQ(channel(ch).size(), 3000u);
            EXPECT_EQ(firstNonZeroSample(ch), -1) << "channel " << ch;
        }
    }
}

TEST_F(SilentDrumPlugin, ZeroFrameBlockIsHarmless) {
    ASSERT_TRUE(host().processBlock(0));
    render(512, 128);
    for (int ch = 0; ch < kOutputs; ++ch)
        EXPECT_EQ(firstNonZeroSample(ch), -1) << "channel " << ch;
}

class AccumulatingDrumPlugin : public HostFixture {
protected:
    HostOptions hostOptions() const override {
        HostOptions options;
        options.accumulate = true;
        options.prefill = 1.0f;
        return options;
    }
};

TEST_F(AccumulatingDrumPlugin, ProcessAddsSilenceOntoWhatTheBuffersHold) {
    render(2048, 256);
    ASSERT_EQ(rendered_.size(), static_cast<std::size_t>(kOutputs));
    for (int ch = 0; ch < kOutputs; ++ch)
        for (const float s : channel(ch))
            ASSERT_EQ(s, 1.0f) << "channel " << ch;
}

class DrumPluginWithAliasedOutputs : public HostFixture {
protected:
    HostOptions hostOptions() const override {
        HostOptions options;
        options.aliasOutputs = true;
        options.prefill = 0.25f;
        return options;
    }
};

TEST_F(DrumPluginWithAliasedOutputs, SharedBufferEndsUpSilent) {
    render(1024, 256);
    EXPECT_EQ(firstNonZeroSample(0), -1);
}

// --- Creation and host answers ------------------------------------------------------------------

TEST(DrumPluginCreation, AsksVersionFirstAndWantsMidiAtCreationAndResume) {
    auto plugin = loadVorpalix({}, false);
    ASSERT_TRUE(plugin);
    const auto calls = plugin->calls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.front().opcode, vst::audioMasterVersion);
    EXPECT_TRUE(calls.front().duringEntry);
    EXPECT_EQ(plugin->wantMidiCount(), 1);
    plugin->start();
    EXPECT_EQ(plugin->wantMidiCount(), 2);
}

TEST(DrumPluginCreation, GivesNoPluginToAHostReportingNoVersion) {
    HostOptions options;
    options.versionAnswer = 0;
    const host::LoadResult result = PluginHost::load(VORPALIX_PLUGIN_PATH, options);
    EXPECT_EQ(result.error, host::LoadError::EntryReturnedNull);
}

TEST(DrumPluginCreation, RunsOnItsOwnClockWhenTheHostGivesNoTime) {
    HostOptions options;
    options.timeQuirks.answerNull = true;
    options.prefill = 0.5f;
    auto plugin = loadVorpalix(options);
    ASSERT_TRUE(plugin);
    plugin->transport().setPlaying(true);
    const auto out = plugin->render(4096, 256);
    ASSERT_EQ(out.size(), static_cast<std::size_t>(kOutputs));
    // Without a time record no transport start is seen, so nothing plays.
    for (const auto& ch : out)
        EXPECT_EQ(firstNonZeroSample(ch), -1);
}

TEST(DrumPluginCreation, TwoInstancesLiveSideBySide) {
    auto first = loadVorpalix();
    auto second = loadVorpalix();
    ASSERT_TRUE(first && second);
    EXPECT_NE(&first->effect(), &second->effect());
    first->setParameter(3, 0.9f);
    second->setParameter(3, 0.1f);
    EXPECT_FLOAT_EQ(first->getParameter(3), 0.9f);
    EXPECT_FLOAT_EQ(second->getParameter(3), 0.1f);
    first.reset();
    second->render(512, 256);
    EXPECT_FLOAT_EQ(second->getParameter(3), 0.1f);
}

} // namespace
} // namespace vorpalix::testing
