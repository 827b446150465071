// The fixed-capacity MIDI note queue: order, delta bookkeeping, floods.

#include "sequencer/MidiEventQueue.h"

#include <gtest/gtest.h>

#include <vector>

namespace vorpalix {
namespace {

const std::uint8_t kNote[4] = {0x90, 60, 100, 0};

std::uint8_t keyOf(const TimedMidiEvent& e) {
    return e.bytes[1];
}

void push(MidiEventQueue& q, std::uint8_t key, std::int32_t delta) {
    const std::uint8_t bytes[4] = {0x90, key, 100, 0};
    EXPECT_TRUE(q.push(bytes, delta));
}

TEST(MidiEventQueue, SmallestDeltaIgnoresAndDropsNegativeDeltas) {
    MidiEventQueue q;
    EXPECT_EQ(q.smallestDelta(), -1);
    push(q, 1, 40);
    push(q, 2, -5);
    push(q, 3, 12);
    EXPECT_EQ(q.smallestDelta(), 12);
    EXPECT_EQ(q.size(), 2u);
}

TEST(MidiEventQueue, ExpiryHandlesDueEventsInQueueOrderAndKeepsTheRest) {
    MidiEventQueue q;
    push(q, 1, 30);
    push(q, 2, 10);
    push(q, 3, 10);
    push(q, 4, 25);
    ASSERT_EQ(q.smallestDelta(), 10);
    std::vector<int> handled;
    const auto record = [&](const TimedMidiEvent& e) { handled.push_back(keyOf(e)); };
    EXPECT_EQ(q.expire(10, record), 15); // 25 - 10
    EXPECT_EQ(handled, (std::vector<int>{2, 3}));
    EXPECT_EQ(q.size(), 2u);
    handled.clear();
    EXPECT_EQ(q.expire(15, record), 5); // 30 - 10 - 15
    EXPECT_EQ(handled, (std::vector<int>{4}));
    handled.clear();
    EXPECT_EQ(q.expire(5, record), -1);
    EXPECT_EQ(handled, (std::vector<int>{1}));
    EXPECT_TRUE(q.empty());
}

TEST(MidiEventQueue, EventsOverrunByAnExpiryAreRemovedUnhandled) {
    MidiEventQueue q;
    push(q, 1, 3);
    push(q, 2, 8);
    std::vector<int> handled;
    EXPECT_EQ(q.expire(5, [&](const TimedMidiEvent& e) { handled.push_back(keyOf(e)); }), 3);
    EXPECT_TRUE(handled.empty());
    EXPECT_EQ(q.size(), 1u);
}

TEST(MidiEventQueue, AFloodFillsTheQueueAndDropsTheRestWithoutHarm) {
    MidiEventQueue q;
    ASSERT_GE(MidiEventQueue::kCapacity, 4096u);
    std::size_t accepted = 0;
    for (int i = 0; i < 10000; ++i) {
        accepted += q.push(kNote, i) ? 1 : 0;
    }
    EXPECT_EQ(accepted, MidiEventQueue::kCapacity);
    EXPECT_EQ(q.size(), MidiEventQueue::kCapacity);
    EXPECT_EQ(q.droppedCount(), 10000 - MidiEventQueue::kCapacity);
    // The queued ones still come out in order, and space is free again afterwards.
    ASSERT_EQ(q.smallestDelta(), 0);
    int handled = 0;
    const auto count = [&](const TimedMidiEvent& e) {
        EXPECT_EQ(e.delta, 0);
        ++handled;
    };
    std::int32_t next = q.expire(0, count);
    std::int32_t elapsed = 0;
    while (next > 0) {
        elapsed = next;
        next = q.expire(elapsed, count);
    }
    EXPECT_EQ(handled, static_cast<int>(MidiEventQueue::kCapacity));
    EXPECT_TRUE(q.push(kNote, 0));
}

TEST(MidiEventQueue, ExtremeDeltasDoNotOverflow) {
    MidiEventQueue q;
    push(q, 1, INT32_MAX);
    push(q, 2, 0);
    ASSERT_EQ(q.smallestDelta(), 0);
    int handled = 0;
    EXPECT_EQ(q.expire(0, [&](const TimedMidiEvent&) { ++handled; }), INT32_MAX);
    EXPECT_EQ(handled, 1);
}

} // namespace
} // namespace vorpalix
