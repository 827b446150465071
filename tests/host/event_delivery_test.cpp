// MIDI delivery by the bundled host: which block an event lands in and with which deltaFrames,
// checked on what an in-process plug-in actually receives.

#include "EventScheduler.h"
#include "PluginHost.h"
#include "support/FakePlugin.h"

#include <gtest/gtest.h>

#include <map>

namespace vorpalix::host {
namespace {

using testing::FakePlugin;

std::unique_ptr<PluginHost> loadFake(HostOptions options = {}) {
    FakePlugin::nextConfig() = {};
    LoadResult loaded = PluginHost::fromEntry(&FakePlugin::entry, std::move(options));
    EXPECT_TRUE(loaded) << loaded.message;
    return std::move(loaded.host);
}

// The stream frame at which each received event took effect: block start + deltaFrames, keyed by
// the note number (each test uses distinct notes).
struct Arrival {
    long long blockStart = 0;
    int blockFrames = 0;
    int delta = 0;
};

std::map<int, Arrival> arrivals(const FakePlugin& plugin) {
    std::map<int, Arrival> found;
    for (const auto& list : plugin.eventLists) {
        long long start = 0;
        for (std::size_t b = 0; b < list.beforeBlock; ++b)
            start += plugin.blocks[b].frames;
        const int frames = plugin.blocks.at(list.beforeBlock).frames;
        for (const auto& event : list.events)
            found[static_cast<unsigned char>(event.midiData[1])] = {start, frames,
                                                                    event.deltaFrames};
    }
    return found;
}

TEST(EventDelivery, EventArrivesInTheBlockHoldingItsFrameAtTheRightOffset) {
    // Times chosen around block edges of every size below.
    const long long times[] = {0, 1, 63, 64, 65, 255, 256, 257, 511, 1000, 4095};
    for (const int block : {1, 7, 64, 256, 1000, 4096}) {
        SCOPED_TRACE("block " + std::to_string(block));
        auto host = loadFake();
        ASSERT_TRUE(host);
        int note = 0;
        for (const long long t : times)
            host->scheduleMidi(t, MidiMessage::noteOn(0, note++, 100));
        host->render(4200, block);
        EXPECT_EQ(host->events().pending(), 0u);

        const auto found = arrivals(*FakePlugin::last());
        ASSERT_EQ(found.size(), std::size(times));
        note = 0;
        for (const long long t : times) {
            const Arrival& a = found.at(note++);
            EXPECT_EQ(a.blockStart + a.delta, t) << "event at frame " << t;
            EXPECT_GE(a.delta, 0);
            EXPECT_LT(a.delta, a.blockFrames) << "event at frame " << t;
        }
    }
}

TEST(EventDelivery, EventsBeyondTheBlockWaitForALaterBlock) {
    auto host = loadFake();
    host->scheduleMidi(300, MidiMessage::noteOn(0, 1, 100));
    host->processBlock(256);
    EXPECT_TRUE(FakePlugin::last()->eventLists.empty());
    EXPECT_EQ(host->events().pending(), 1u);
    host->processBlock(256);
    ASSERT_EQ(FakePlugin::last()->eventLists.size(), 1u);
    EXPECT_EQ(FakePlugin::last()->eventLists[0].events.at(0).deltaFrames, 44);
    EXPECT_EQ(FakePlugin::last()->eventLists[0].beforeBlock, 1u);
}

TEST(EventDelivery, EventsOfOneBlockComeSortedByTimeAndEqualTimesKeepTheirOrder) {
    auto host = loadFake();
    host->scheduleMidi(50, MidiMessage::noteOn(0, 3, 1));
    host->scheduleMidi(10, MidiMessage::noteOn(0, 1, 1));
    host->scheduleMidi(50, MidiMessage::noteOff(0, 4, 0));
    host->scheduleMidi(20, MidiMessage::controlChange(0, 2, 5));
    host->processBlock(128);
    ASSERT_EQ(FakePlugin::last()->eventLists.size(), 1u);
    const auto& events = FakePlugin::last()->eventLists[0].events;
    ASSERT_EQ(events.size(), 4u);
    const int expectedData1[] = {1, 2, 3, 4};
    const int expectedDelta[] = {10, 20, 50, 50};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(events[static_cast<std::size_t>(i)].midiData[1], expectedData1[i]);
        EXPECT_EQ(events[static_cast<std::size_t>(i)].deltaFrames, expectedDelta[i]);
    }
}

TEST(EventDelivery, EventsAreWellFormedMidiEvents) {
    auto host = loadFake();
    host->scheduleMidi(0, MidiMessage::noteOn(0, 60, 100));
    host->scheduleMidi(0, MidiMessage::noteOff(9, 61, 64));
    host->scheduleMidi(0, MidiMessage::controlChange(15, 123, 0));
    host->processBlock(16);
    const auto& events = FakePlugin::last()->eventLists.at(0).events;
    ASSERT_EQ(events.size(), 3u);
    for (const auto& e : events) {
        EXPECT_EQ(e.type, vst::kVstMidiType);
        EXPECT_EQ(e.byteSize, 32);
        EXPECT_EQ(e.flags, 0);
        EXPECT_EQ(e.midiData[3], 0);
    }
    EXPECT_EQ(static_cast<unsigned char>(events[0].midiData[0]), 0x90);
    EXPECT_EQ(events[0].midiData[1], 60);
    EXPECT_EQ(events[0].midiData[2], 100);
    EXPECT_EQ(static_cast<unsigned char>(events[1].midiData[0]), 0x89);
    EXPECT_EQ(static_cast<unsigned char>(events[2].midiData[0]), 0xBF);
    EXPECT_EQ(events[2].midiData[1], 123);
}

TEST(EventDelivery, NoEventListIsSentForBlocksWithoutEventsUnlessAsked) {
    auto quiet = loadFake();
    quiet->render(1024, 256);
    EXPECT_TRUE(FakePlugin::last()->eventLists.empty());

    HostOptions options;
    options.sendEmptyEventLists = true;
    auto chatty = loadFake(options);
    chatty->render(1024, 256);
    ASSERT_EQ(FakePlugin::last()->eventLists.size(), 4u);
    for (const auto& list : FakePlugin::last()->eventLists)
        EXPECT_TRUE(list.events.empty());
}

TEST(EventDelivery, ZeroFrameBlockKeepsEventsDueAtItsPositionForTheNextBlock) {
    auto host = loadFake();
    host->processBlock(100);
    host->scheduleMidi(100, MidiMessage::noteOn(0, 1, 1));
    host->processBlock(0);
    EXPECT_TRUE(FakePlugin::last()->eventLists.empty());
    host->processBlock(10);
    ASSERT_EQ(FakePlugin::last()->eventLists.size(), 1u);
    EXPECT_EQ(FakePlugin::last()->eventLists[0].beforeBlock, 2u);
    EXPECT_EQ(FakePlugin::last()->eventLists[0].events.at(0).deltaFrames, 0);
}

TEST(EventDelivery, LateEventsArriveAtTheStartOfTheNextBlock) {
    auto host = loadFake();
    host->processBlock(500);
    host->scheduleMidi(20, MidiMessage::noteOn(0, 1, 1));
    host->processBlock(64);
    ASSERT_EQ(FakePlugin::last()->eventLists.size(), 1u);
    EXPECT_EQ(FakePlugin::last()->eventLists[0].events.at(0).deltaFrames, 0);
}

TEST(EventDelivery, RawDeltasReachThePluginUnchangedWhateverTheBlockSize) {
    auto host = loadFake();
    host->scheduleRawMidi(1000, MidiMessage::noteOn(0, 1, 1)); // beyond the block
    host->scheduleRawMidi(-5, MidiMessage::noteOn(0, 2, 1));   // before the block
    host->scheduleRawMidi(3, MidiMessage::noteOn(0, 3, 1));
    host->processBlock(0);
    ASSERT_EQ(FakePlugin::last()->eventLists.size(), 1u);
    const auto& events = FakePlugin::last()->eventLists[0].events;
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].deltaFrames, 1000);
    EXPECT_EQ(events[1].deltaFrames, -5);
    EXPECT_EQ(events[2].deltaFrames, 3);
    EXPECT_EQ(host->events().pending(), 0u);
    host->processBlock(64);
    EXPECT_EQ(FakePlugin::last()->eventLists.size(), 1u) << "raw events are delivered once";
}

TEST(EventDelivery, ManyEventsInOneBlockAllArrive) {
    // More events than the two slots VstEvents declares.
    auto host = loadFake();
    for (int i = 0; i < 100; ++i)
        host->scheduleMidi(i, MidiMessage::noteOn(0, i, 1));
    host->processBlock(128);
    const auto& events = FakePlugin::last()->eventLists.at(0).events;
    ASSERT_EQ(events.size(), 100u);
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(events[static_cast<std::size_t>(i)].deltaFrames, i);
}

TEST(EventScheduler, DataBytesAndChannelsAreClampedIntoMidiRange) {
    const MidiMessage on = MidiMessage::noteOn(20, 200, -3);
    EXPECT_EQ(on.status, 0x9F);
    EXPECT_EQ(on.data1, 127);
    EXPECT_EQ(on.data2, 0);
    const MidiMessage off = MidiMessage::noteOff(-1, 5, 6);
    EXPECT_EQ(off.status, 0x80);
}

TEST(EventScheduler, ClearDropsEverything) {
    EventScheduler scheduler;
    scheduler.schedule(5, MidiMessage::noteOn(0, 1, 1));
    scheduler.scheduleRaw(5, MidiMessage::noteOn(0, 1, 1));
    EXPECT_EQ(scheduler.pending(), 2u);
    scheduler.clear();
    std::vector<vst::VstMidiEvent> out;
    scheduler.takeBlock(0, 100, out);
    EXPECT_TRUE(out.empty());
}

} // namespace
} // namespace vorpalix::host
