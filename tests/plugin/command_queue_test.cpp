// The queue from the user-interface thread to the audio thread: fixed capacity, order kept,
// nothing accepted ever lost, a full queue reported to the caller, and the copies the interface
// keeps never ahead of what it could send.

#include <gtest/gtest.h>

#include <thread>

#include "PluginTestSupport.h"
#include "plugin/SpscQueue.h"

namespace vorpalix::test {
namespace {

TEST(SpscQueue, KeepsOrderAndRefusesWhenFullWithoutLosingAnything) {
    SpscQueue<int> queue(3);
    EXPECT_EQ(queue.freeSpace(), 3u);
    EXPECT_TRUE(queue.push(1));
    EXPECT_TRUE(queue.push(2));
    EXPECT_TRUE(queue.push(3));
    EXPECT_FALSE(queue.push(4));
    EXPECT_EQ(queue.freeSpace(), 0u);
    int item = 0;
    ASSERT_TRUE(queue.pop(item));
    EXPECT_EQ(item, 1);
    EXPECT_TRUE(queue.push(5)); // the storage wraps around
    for (int expected : {2, 3, 5}) {
        ASSERT_NE(queue.front(), nullptr);
        EXPECT_EQ(*queue.front(), expected);
        queue.pop();
    }
    EXPECT_EQ(queue.front(), nullptr);
    EXPECT_FALSE(queue.pop(item));
}

TEST(SpscQueue, AProducerAndAConsumerThreadPassEveryItemInOrder) {
    constexpr int kItems = 200000;
    SpscQueue<int> queue(64);
    std::thread producer([&queue] {
        for (int i = 0; i < kItems;) {
            i += queue.push(i) ? 1 : 0;
        }
    });
    int next = 0;
    int item = 0;
    bool inOrder = true;
    while (next < kItems) {
        if (queue.pop(item)) {
            inOrder = inOrder && item == next;
            ++next;
        }
    }
    producer.join();
    EXPECT_TRUE(inOrder);
}

TEST(CommandQueue, AuditionsSentBeforeOneBlockAllSound) {
    DirectPlugin p;
    ASSERT_TRUE(p.plugin->controller().requestAudition(kBD, 0.5f));
    ASSERT_TRUE(p.plugin->controller().requestAudition(kCR, 0.5f));
    p.processEmptyBlock();
    EXPECT_TRUE(p.plugin->processor().engine().isPlaying(kBD));
    EXPECT_TRUE(p.plugin->processor().engine().isPlaying(kCR));
}

TEST(CommandQueue, AFullQueueIsReportedAndEveryAcceptedCommandStillArrives) {
    DirectPlugin p;
    PluginController& controller = p.plugin->controller();
    std::size_t accepted = 0;
    while (controller.requestAudition(static_cast<int>(accepted % kNumInstruments), 0.5f)) {
        ++accepted;
        ASSERT_LE(accepted, ThreadChannels::kCommandCapacity);
    }
    EXPECT_EQ(accepted, ThreadChannels::kCommandCapacity);

    // A pattern edit the queue refuses leaves the interface's copy as it was.
    Pattern changed = controller.patterns()[5];
    changed.setStep(kSD, 3, kStepNote);
    const Pattern before = controller.patterns()[5];
    EXPECT_FALSE(controller.replacePattern(5, changed));
    EXPECT_TRUE(controller.patterns()[5] == before);
    EXPECT_EQ(controller.refusedCommands(), 2u);

    p.processEmptyBlock();
    for (int i = 0; i < kNumInstruments; ++i) {
        EXPECT_TRUE(p.plugin->processor().engine().isPlaying(i)) << "instrument " << i;
    }
    ASSERT_TRUE(controller.replacePattern(5, changed));
    p.processEmptyBlock();
    EXPECT_TRUE(p.plugin->processor().sequencer().patterns()[5] == changed);
}

TEST(CommandQueue, WhileSuspendedTheInterfaceThreadAppliesAFullQueueItself) {
    DirectPlugin p;
    p.plugin->dispatcher(vst::effMainsChanged, 0, 0, nullptr, 0.0f);
    PluginController& controller = p.plugin->controller();
    Pattern pattern;
    for (int i = 0; i < 3 * static_cast<int>(ThreadChannels::kCommandCapacity); ++i) {
        pattern.setStep(kBD, i % kPatternSteps, kStepNote);
        ASSERT_TRUE(controller.replacePattern(i % kPatternCount, pattern)) << "edit " << i;
    }
    EXPECT_EQ(controller.refusedCommands(), 0u);
    p.plugin->dispatcher(vst::effMainsChanged, 0, 1, nullptr, 0.0f);
    p.processEmptyBlock();
    EXPECT_TRUE(p.plugin->processor().sequencer().patterns() == controller.patterns());
}

} // namespace
} // namespace vorpalix::test
