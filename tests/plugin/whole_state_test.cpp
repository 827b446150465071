// Whole-state swaps and the reports that come back: a chunk reaches playback in one piece at a
// block start while getChunk already reads it; the amount knobs apply after the chunk's state;
// what the audio thread changes on its own (learnt controllers, ranges chosen by MIDI keys,
// playing patterns) reaches the interface's copies and the editor at the idle.

#include <gtest/gtest.h>

#include <string>

#include "PluginTestSupport.h"
#include "editor/PanelEditor.h"

namespace vorpalix::test {
namespace {

std::string chunkOf(DrumPlugin& plugin) {
    void* data = nullptr;
    const auto size = plugin.dispatcher(vst::effGetChunk, 0, 0, &data, 0.0f);
    return std::string(static_cast<const char*>(data), static_cast<std::size_t>(size));
}

void setChunk(DrumPlugin& plugin, std::string text) {
    plugin.dispatcher(vst::effSetChunk, 0, static_cast<vst::VstIntPtr>(text.size()), text.data(),
                      0.0f);
}

void idle(DrumPlugin& plugin) {
    plugin.dispatcher(vst::effEditIdle, 0, 0, nullptr, 0.0f);
}

void sendMidi(DrumPlugin& plugin, std::uint8_t status, std::uint8_t d1, std::uint8_t d2) {
    vst::VstMidiEvent e{};
    e.type = vst::kVstMidiType;
    e.byteSize = sizeof e;
    e.midiData[0] = static_cast<char>(status);
    e.midiData[1] = static_cast<char>(d1);
    e.midiData[2] = static_cast<char>(d2);
    vst::VstEvents list{};
    list.numEvents = 1;
    list.events[0] = reinterpret_cast<vst::VstEvent*>(&e);
    plugin.dispatcher(vst::effProcessEvents, 0, 0, &list, 0.0f);
}

TEST(WholeState, AChunkReachesPlaybackWholeAtTheNextBlockAndIsReadBackAtOnce) {
    DirectPlugin source;
    PatternBank bank = source.plugin->controller().patterns();
    for (int p = 0; p < kPatternCount; ++p) {
        bank[p].setStep(kRS, p % kPatternSteps, kStepNote);
    }
    ASSERT_TRUE(source.plugin->controller().replaceBank(bank));
    const std::string chunk = chunkOf(*source.plugin);

    DirectPlugin target;
    const PatternBank before = target.plugin->processor().sequencer().patterns();
    setChunk(*target.plugin, chunk);
    EXPECT_TRUE(target.plugin->processor().sequencer().patterns() == before)
        << "nothing reaches playback between two blocks";
    EXPECT_EQ(chunkOf(*target.plugin), chunk) << "the chunk is read back before any block";
    target.processEmptyBlock();
    const PatternBank& playing = target.plugin->processor().sequencer().patterns();
    EXPECT_TRUE(playing == target.plugin->controller().patterns());
    for (int p = 0; p < kPatternCount; ++p) {
        EXPECT_EQ(playing[p].formatRow(kRS, false), bank[p].formatRow(kRS, false)) << p;
    }
}

// A chunk that switches the pattern attribute store off (or the sequencer on) brings its own
// Flam, Shuffle and Total Accent into playback, whatever the instance was set to before.
TEST(WholeState, RestoredAmountKnobsApplyAfterTheChunksSequencerState) {
    DirectPlugin source;
    source.plugin->setParameter(kParamFlam, 1.0f);
    source.plugin->setParameter(kParamShuffle, 1.0f);
    source.plugin->setParameter(kParamTotalAccent, 1.0f);
    const std::string chunk = chunkOf(*source.plugin); // store off, sequencer on

    for (const bool storeOn : {true, false}) {
        DirectPlugin target;
        if (storeOn) {
            ASSERT_TRUE(target.plugin->controller().setPatternAttributeStore(true));
        } else {
            ASSERT_TRUE(target.plugin->controller().setSequencerState(false));
        }
        target.processEmptyBlock();
        setChunk(*target.plugin, chunk);
        target.processEmptyBlock();
        const SequencerConnection& playing = target.plugin->processor().connection();
        EXPECT_NEAR(playing.flamFraction(), 0.262 + 0.121, 1e-6) << storeOn;
        EXPECT_NEAR(playing.shuffleFraction(), 0.8, 1e-6) << storeOn;
        EXPECT_NEAR(target.plugin->processor().engine().totalAccent(), 1.0, 1e-6) << storeOn;
    }
}

TEST(Notifications, MidiPatternKeysReachTheInterfacesRangeAtTheIdle) {
    DirectPlugin p;
    sendMidi(*p.plugin, 0x90, 12 + 26, 100); // pattern 26: the chain mode range 26..26
    p.render(64, 64);
    EXPECT_EQ(p.plugin->processor().sequencer().rangeFrom(), 26);
    EXPECT_NE(p.plugin->controller().sequencerSettings().rangeFrom, 26);
    idle(*p.plugin);
    EXPECT_EQ(p.plugin->controller().sequencerSettings().rangeFrom, 26);
    EXPECT_NE(chunkOf(*p.plugin).find("<PatternRange from=\"26\" to=\"26\"/>"), std::string::npos);
}

TEST(Notifications, ARangeSentAfterAMidiKeyStaysInBothCopies) {
    DirectPlugin p;
    sendMidi(*p.plugin, 0x90, 12 + 26, 100);
    p.render(64, 64); // its report waits for the idle
    ASSERT_TRUE(p.plugin->controller().setRange(40, 41));
    idle(*p.plugin); // the report is older than the range just sent
    p.processEmptyBlock();
    EXPECT_EQ(p.plugin->controller().sequencerSettings().rangeFrom, 40);
    EXPECT_EQ(p.plugin->processor().sequencer().rangeFrom(), 40);
}

TEST(Notifications, TheEditorHearsOfPatternChangesAndReportsThatWereLost) {
    DirectPlugin p;
    auto& panel = static_cast<PanelEditor&>(*p.plugin->editor());
    panel.takeRefreshAll();
    p.plugin->controller().setSequencerSync(kSyncInternal);
    p.plugin->controller().requestTransport(kTransportPlay);
    p.render(512, 512);
    EXPECT_FALSE(panel.takePatternChange());
    idle(*p.plugin);
    EXPECT_TRUE(panel.takePatternChange());
    EXPECT_FALSE(panel.takeRefreshAll());

    // More reports than the queue holds, with no idle between: the rest is lost, and the idle
    // redraws everything from playback as it is.
    for (int key = 0; key < 2 * static_cast<int>(ThreadChannels::kNotificationCapacity); ++key) {
        sendMidi(*p.plugin, 0x90, static_cast<std::uint8_t>(12 + key % 12), 100);
        sendMidi(*p.plugin, 0x80, static_cast<std::uint8_t>(12 + key % 12), 0);
        p.render(16, 16);
    }
    idle(*p.plugin);
    EXPECT_TRUE(panel.takeRefreshAll());
    EXPECT_EQ(p.plugin->controller().sequencerSettings().rangeFrom,
              p.plugin->processor().sequencer().rangeFrom());
}

} // namespace
} // namespace vorpalix::test
