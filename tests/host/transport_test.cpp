// The host transport: positions per block, the time record's flags and the odd-host quirks.

#include "PluginHost.h"
#include "Transport.h"
#include "support/FakePlugin.h"

#include <gtest/gtest.h>

#include <cmath>

namespace vorpalix::host {
namespace {

using testing::FakePlugin;

constexpr vst::VstInt32 kBlockRequest =
    vst::kVstPpqPosValid | vst::kVstTempoValid | vst::kVstTransportPlaying; // 0x602

std::unique_ptr<PluginHost> loadFake(HostOptions options = {}) {
    FakePlugin::nextConfig() = {};
    LoadResult loaded = PluginHost::fromEntry(&FakePlugin::entry, std::move(options));
    EXPECT_TRUE(loaded) << loaded.message;
    return std::move(loaded.host);
}

struct PpqCase {
    double rate;
    double tempo;
    int block;
    double ppqPerBlock; // worked out by hand: block * tempo / (60 * rate)
};

TEST(TransportThroughHost, EachBlockSeesThePositionOfItsFirstFrame) {
    const PpqCase cases[] = {
        {44100.0, 120.0, 441, 0.02},
        {48000.0, 90.0, 480, 0.015},
        {96000.0, 150.0, 64, 0.001666666666666667},
        {44100.0, 133.0, 1, 0.0000502645502645503},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.rate) + " Hz " + std::to_string(c.tempo) + " BPM");
        HostOptions options;
        options.sampleRate = c.rate;
        auto host = loadFake(options);
        host->start();
        host->transport().setTempo(c.tempo);
        host->transport().setPlaying(true);
        host->render(static_cast<std::int64_t>(c.block) * 50, c.block);

        const auto& blocks = FakePlugin::last()->blocks;
        ASSERT_EQ(blocks.size(), 50u);
        for (std::size_t k = 0; k < blocks.size(); ++k) {
            ASSERT_TRUE(blocks[k].time.has_value());
            const vst::VstTimeInfo& t = *blocks[k].time;
            EXPECT_NEAR(t.ppqPos, static_cast<double>(k) * c.ppqPerBlock, 1e-9) << "block " << k;
            EXPECT_DOUBLE_EQ(t.samplePos, static_cast<double>(k) * c.block);
            EXPECT_DOUBLE_EQ(t.tempo, c.tempo);
            EXPECT_DOUBLE_EQ(t.sampleRate, c.rate);
            EXPECT_TRUE(t.flags & vst::kVstTransportPlaying);
            EXPECT_TRUE(t.flags & vst::kVstPpqPosValid);
            EXPECT_TRUE(t.flags & vst::kVstTempoValid);
        }
    }
}

TEST(TransportThroughHost, StoppedTransportStandsStill) {
    auto host = loadFake();
    host->transport().locate(1000.0);
    host->render(1024, 256);
    for (const auto& block : FakePlugin::last()->blocks) {
        ASSERT_TRUE(block.time.has_value());
        EXPECT_DOUBLE_EQ(block.time->samplePos, 1000.0);
        EXPECT_FALSE(block.time->flags & vst::kVstTransportPlaying);
    }
    EXPECT_EQ(host->streamPosition(), 1024) << "the stream moves on even while stopped";
}

TEST(TransportThroughHost, ZeroFrameBlockDoesNotMoveTheTransport) {
    auto host = loadFake();
    host->transport().setPlaying(true);
    host->processBlock(100);
    host->processBlock(0);
    host->processBlock(10);
    const auto& blocks = FakePlugin::last()->blocks;
    ASSERT_EQ(blocks.size(), 3u);
    EXPECT_DOUBLE_EQ(blocks[1].time->samplePos, 100.0);
    EXPECT_DOUBLE_EQ(blocks[2].time->samplePos, 100.0);
    EXPECT_EQ(blocks[1].frames, 0);
}

TEST(TransportThroughHost, NullQuirkGivesThePluginNoRecord) {
    HostOptions options;
    options.timeQuirks.answerNull = true;
    auto host = loadFake(options);
    host->transport().setPlaying(true);
    host->render(512, 256);
    for (const auto& block : FakePlugin::last()->blocks)
        EXPECT_FALSE(block.time.has_value());
}

TEST(Transport, TempoChangeKeepsThePpqPositionContinuous) {
    Transport transport;
    transport.setSampleRate(44100.0);
    transport.setTempo(120.0);
    transport.setPlaying(true);
    transport.advance(44100); // one second at 120 BPM: 2 beats
    EXPECT_DOUBLE_EQ(transport.ppqPosition(), 2.0);
    transport.setTempo(60.0);
    EXPECT_DOUBLE_EQ(transport.ppqPosition(), 2.0);
    transport.advance(22050); // half a second at 60 BPM: half a beat
    EXPECT_DOUBLE_EQ(transport.ppqPosition(), 2.5);
    EXPECT_DOUBLE_EQ(transport.samplePosition(), 66150.0);
}

TEST(Transport, LocateSetsBothPositions) {
    Transport transport;
    transport.setSampleRate(48000.0);
    transport.setTempo(100.0);
    transport.locate(72000.0); // 1.5 s at 100 BPM = 2.5 beats
    EXPECT_DOUBLE_EQ(transport.ppqPosition(), 2.5);
    EXPECT_DOUBLE_EQ(transport.samplesPerBeat(), 28800.0);
}

TEST(Transport, AnswerHonoursTheRequestMask) {
    Transport transport;
    transport.setPlaying(true);
    transport.locate(44100.0 * 3); // 6 beats at 120 BPM

    const vst::VstTimeInfo* basic = transport.answer(kBlockRequest);
    ASSERT_NE(basic, nullptr);
    EXPECT_EQ(basic->flags & (vst::kVstBarsValid | vst::kVstTimeSigValid), 0);
    EXPECT_DOUBLE_EQ(basic->ppqPos, 6.0);

    const vst::VstTimeInfo* bars = transport.answer(vst::kVstBarsValid | vst::kVstTimeSigValid);
    ASSERT_NE(bars, nullptr);
    EXPECT_TRUE(bars->flags & vst::kVstBarsValid);
    EXPECT_DOUBLE_EQ(bars->barStartPos, 4.0);
    EXPECT_EQ(bars->timeSigNumerator, 4);
    EXPECT_EQ(bars->timeSigDenominator, 4);
    EXPECT_FALSE(bars->flags & vst::kVstPpqPosValid);
    EXPECT_FALSE(bars->flags & vst::kVstTempoValid);
    EXPECT_TRUE(bars->flags & vst::kVstTransportPlaying) << "transport bits ignore the mask";
}

TEST(Transport, BarStartFollowsTheTimeSignature) {
    Transport transport;
    transport.setTimeSignature(3, 4); // 3 quarter notes per bar
    transport.locate(7.0 * transport.samplesPerBeat());
    EXPECT_DOUBLE_EQ(transport.answer(vst::kVstBarsValid)->barStartPos, 6.0);
    transport.setTimeSignature(6, 8); // 3 quarter notes per bar as well
    EXPECT_DOUBLE_EQ(transport.answer(vst::kVstBarsValid)->barStartPos, 6.0);
    transport.setTimeSignature(7, 8); // 3.5 quarter notes per bar
    EXPECT_DOUBLE_EQ(transport.answer(vst::kVstBarsValid)->barStartPos, 7.0);
}

TEST(Transport, ChangedFlagMarksStartsStopsAndJumpsOnly) {
    Transport transport;
    EXPECT_FALSE(transport.answer(kBlockRequest)->flags & vst::kVstTransportChanged);
    transport.setPlaying(true);
    EXPECT_TRUE(transport.answer(kBlockRequest)->flags & vst::kVstTransportChanged);
    transport.advance(256);
    EXPECT_FALSE(transport.answer(kBlockRequest)->flags & vst::kVstTransportChanged);
    transport.locate(0.0);
    EXPECT_TRUE(transport.answer(kBlockRequest)->flags & vst::kVstTransportChanged);
    EXPECT_FALSE(transport.answer(kBlockRequest)->flags & vst::kVstTransportChanged);
    transport.setPlaying(false);
    const vst::VstTimeInfo* stopped = transport.answer(kBlockRequest);
    EXPECT_TRUE(stopped->flags & vst::kVstTransportChanged);
    EXPECT_FALSE(stopped->flags & vst::kVstTransportPlaying);
}

Transport::Quirks quirkWith(bool Transport::Quirks::*flag) {
    Transport::Quirks quirks;
    quirks.*flag = true;
    return quirks;
}

TEST(Transport, QuirksLeaveOutWhatOddHostsLeaveOut) {
    Transport transport;
    transport.setPlaying(true);
    transport.setQuirks(quirkWith(&Transport::Quirks::omitTempo));
    const vst::VstTimeInfo* noTempo = transport.answer(kBlockRequest);
    EXPECT_FALSE(noTempo->flags & vst::kVstTempoValid);
    EXPECT_TRUE(noTempo->flags & vst::kVstPpqPosValid);

    transport.setQuirks(quirkWith(&Transport::Quirks::omitPpq));
    const vst::VstTimeInfo* noPpq = transport.answer(kBlockRequest | vst::kVstBarsValid);
    EXPECT_FALSE(noPpq->flags & vst::kVstPpqPosValid);
    EXPECT_FALSE(noPpq->flags & vst::kVstBarsValid);
    EXPECT_TRUE(noPpq->flags & vst::kVstTempoValid);

    transport.setQuirks(quirkWith(&Transport::Quirks::ignoreMask));
    const vst::VstTimeInfo* all = transport.answer(0);
    EXPECT_TRUE(all->flags & vst::kVstPpqPosValid);
    EXPECT_TRUE(all->flags & vst::kVstTempoValid);
    EXPECT_TRUE(all->flags & vst::kVstTimeSigValid);

    transport.setQuirks(quirkWith(&Transport::Quirks::answerNull));
    EXPECT_EQ(transport.answer(kBlockRequest), nullptr);
}

TEST(Transport, ReportedValuesReplaceTheRealOnesButTheClockRunsOn) {
    Transport transport;
    transport.setPlaying(true);
    transport.setQuirks({.reportedTempo = -1.0, .reportedPpq = std::nan("")});
    const vst::VstTimeInfo* odd = transport.answer(kBlockRequest);
    EXPECT_DOUBLE_EQ(odd->tempo, -1.0);
    EXPECT_TRUE(std::isnan(odd->ppqPos));
    EXPECT_TRUE(odd->flags & vst::kVstTempoValid);
    transport.advance(22050);
    EXPECT_DOUBLE_EQ(transport.ppqPosition(), 1.0) << "the real position follows 120 BPM";
    transport.setQuirks({});
    EXPECT_DOUBLE_EQ(transport.answer(kBlockRequest)->ppqPos, 1.0);
}

TEST(Transport, NonsenseSettingsAreIgnored) {
    Transport transport;
    transport.setTempo(0.0);
    transport.setTempo(-10.0);
    transport.setSampleRate(0.0);
    transport.setTimeSignature(0, 4);
    transport.setTimeSignature(4, -1);
    EXPECT_DOUBLE_EQ(transport.tempo(), 120.0);
    EXPECT_DOUBLE_EQ(transport.sampleRate(), 44100.0);
    EXPECT_EQ(transport.answer(vst::kVstTimeSigValid)->timeSigNumerator, 4);
    transport.setPlaying(true);
    transport.advance(-100);
    EXPECT_DOUBLE_EQ(transport.samplePosition(), 0.0);
}

} // namespace
} // namespace vorpalix::host
