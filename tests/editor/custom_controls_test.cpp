#include <gtest/gtest.h>

#include <array>
#include <string>

#include "editor/BitmapDisplay.h"
#include "editor/ExMovieBitmap.h"
#include "editor/NStateButton.h"
#include "toolkit/ToolkitTestSupport.h"

namespace vorpalix::test {
namespace {

using namespace toolkit;

// A step button: 6 states with pressed images (12 frames of 20 pixels).
CNStateButton* addStepButton(HeadlessPanel& panel, int mode) {
    return panel.frame.add<CNStateButton>(Rect::ofSize(10, 10, 20, 20), &panel.listener, 111, 20,
                                          stripBitmap(20, 20, 12), Point{}, 6, mode, true);
}

TEST(NStateButton, RealButtonShowsPressedImageWhileHeldAndReleasedImageAfter) {
    HeadlessPanel panel;
    CNStateButton* step = addStepButton(panel, CNStateButton::kOnPress);
    step->setValue(0.8f); // state 4
    step->setCycling(false);
    panel.window().mouseDown({15, 15});
    panel.frame.idle();
    EXPECT_EQ(panel.pixel(15, 15), frameColor(9));
    panel.window().mouseUp({15, 15});
    panel.frame.idle();
    EXPECT_EQ(panel.pixel(15, 15), frameColor(8));
    EXPECT_EQ(panel.listener.notes.size(), 1u); // notified at the press even without cycling

    // Cycling: the press moves at once to state 5 and shows its pressed image.
    step->setCycling(true);
    panel.window().mouseDown({15, 15});
    EXPECT_FLOAT_EQ(step->getValue(), 1.0f);
    EXPECT_TRUE(panel.listener.notes.back().leftHeld);
    panel.frame.idle();
    EXPECT_EQ(panel.pixel(15, 15), frameColor(11));
    panel.window().mouseUp({15, 15});
    EXPECT_EQ(panel.listener.notes.size(), 2u);
    EXPECT_EQ(panel.listener.begins, 2);
    EXPECT_EQ(panel.listener.ends, 2);

    // Forced image: state 2's images whatever the value.
    step->setForcedImage(2);
    panel.frame.idle();
    EXPECT_EQ(panel.pixel(15, 15), frameColor(4));
}

TEST(NStateButton, ClicksFollowTheNextStateTable) {
    HeadlessPanel panel;
    CNStateButton* step = addStepButton(panel, CNStateButton::kOnPress);
    const std::array<int, 6> table{0, 0, 0, 4, 5, 3};
    step->setNextStateTable(table);
    step->setValue(0.6f);
    std::string visited;
    for (int i = 0; i < 4; ++i) {
        panel.window().click({15, 15});
        visited += std::to_string(step->getState());
    }
    EXPECT_EQ(visited, "4534");
    for (int from : {0, 1, 2}) {
        step->setValue(static_cast<float>(from) * 0.2f);
        panel.window().click({15, 15});
        EXPECT_EQ(step->getState(), 0) << "from state " << from;
    }
    step->resetNextStateTable();
    step->setValue(1.0f);
    panel.window().click({15, 15});
    EXPECT_EQ(step->getState(), 0);
}

TEST(NStateButton, OnReleaseActsOnlyWhenReleasedInside) {
    HeadlessPanel panel;
    CNStateButton* mode = addStepButton(panel, CNStateButton::kOnRelease);
    mode->setValue(0.2f); // state 1
    panel.window().mouseDown({15, 15});
    panel.frame.idle();
    EXPECT_EQ(panel.pixel(15, 15), frameColor(3)); // pressed image, not yet advanced
    panel.window().mouseMove({29, 29});            // the edge still counts as inside
    EXPECT_TRUE(mode->isInside());
    panel.window().mouseMove({60, 60});
    panel.frame.idle();
    EXPECT_EQ(panel.pixel(15, 15), frameColor(2));
    panel.window().mouseUp({60, 60});
    EXPECT_FLOAT_EQ(mode->getValue(), 0.2f);
    EXPECT_TRUE(panel.listener.notes.empty());
    EXPECT_EQ(panel.listener.ends, 1);

    panel.window().click({15, 15});
    EXPECT_FLOAT_EQ(mode->getValue(), 0.4f);
    ASSERT_EQ(panel.listener.notes.size(), 1u);
    EXPECT_FALSE(panel.listener.notes[0].leftHeld);
}

TEST(NStateButton, BlinkShowsTheBlinkImageAfterTheOnPartOfEachPeriodAndEndsAfterItsDuration) {
    HeadlessPanel panel;
    auto* select = panel.frame.add<CNStateButton>(Rect::ofSize(10, 10, 20, 20), &panel.listener,
                                                  127, 20, stripBitmap(20, 20, 2), Point{}, 2,
                                                  CNStateButton::kOnPress, false);
    select->setValue(1.0f);
    const std::uint32_t start = 5000;
    panel.window().setTicks(start);
    select->startBlink(250, 125, CNStateButton::kBlinkForever, 0);
    const std::array<std::pair<std::uint32_t, int>, 8> expected{
        {{0, 1}, {250, 1}, {251, 0}, {374, 0}, {375, 1}, {625, 1}, {626, 0}, {750, 1}}};
    for (const auto& [elapsed, image] : expected) {
        panel.window().setTicks(start + elapsed);
        select->blinkTick();
        EXPECT_EQ(select->currentImage(), image) << "at " << elapsed << " ms";
        panel.frame.idle();
        EXPECT_EQ(panel.pixel(15, 15), frameColor(image)) << "at " << elapsed << " ms";
    }
    // Within a phase nothing is redrawn.
    panel.window().setTicks(start + 760);
    select->blinkTick();
    EXPECT_EQ(panel.frame.redraw(), 0u);

    // 40 on, 100 off for 1250 ms: still running at 1250, over at the first tick after it.
    select->startBlink(40, 100, 1250, 0);
    panel.window().setTicks(start + 760 + 1250);
    select->blinkTick();
    EXPECT_TRUE(select->isBlinking());
    EXPECT_EQ(select->currentImage(), 0);
    panel.frame.idle();
    panel.window().advance(1);
    select->blinkTick();
    EXPECT_FALSE(select->isBlinking());
    EXPECT_EQ(panel.frame.redraw(), 1u);
    EXPECT_EQ(panel.pixel(15, 15), frameColor(1));

    // Both parts 0 ms long: no division by zero, the normal image stays.
    select->startBlink(0, 0, CNStateButton::kBlinkForever, 0);
    panel.window().advance(7);
    select->blinkTick();
    EXPECT_EQ(select->currentImage(), 1);
}

TEST(NStateButton, StatesAndTableEntriesStayWithinTheTable) {
    HeadlessPanel panel;
    auto* few = panel.frame.add<CNStateButton>(Rect::ofSize(0, 0, 10, 10), &panel.listener, 1, 10,
                                               stripBitmap(10, 10, 2), Point{}, 1,
                                               CNStateButton::kOnPress, false);
    auto* many = panel.frame.add<CNStateButton>(Rect::ofSize(20, 0, 10, 10), &panel.listener, 2, 10,
                                                stripBitmap(10, 10, 40), Point{}, 40,
                                                CNStateButton::kOnPress, false);
    EXPECT_EQ(few->getStates(), 2);
    EXPECT_DOUBLE_EQ(few->getStep(), 1.0);
    EXPECT_EQ(many->getStates(), 16);
    panel.window().click({5, 5});
    EXPECT_FLOAT_EQ(few->getValue(), 1.0f);

    // A value far outside the range and a table that points outside it still give real states.
    const std::array<int, 16> wild{99, -5, 99, -5, 99, -5, 99, -5, 99, -5, 99, -5, 99, -5, 99, -5};
    many->setNextStateTable(wild);
    many->setValue(40.0f);
    panel.window().click({25, 5});
    EXPECT_EQ(many->getState(), 0); // from 15, entry -5
    panel.window().click({25, 5});
    EXPECT_EQ(many->getState(), 15); // from 0, entry 99
    panel.frame.idle();
    EXPECT_EQ(panel.pixel(25, 5), frameColor(15));
}

TEST(ExMovieBitmap, LitLedBlinksToItsBlinkValueAndStopsAfterItsDuration) {
    HeadlessPanel panel;
    auto* led = panel.frame.add<CExMovieBitmap>(Rect::ofSize(10, 10, 10, 10), nullptr, -1, 2, 10,
                                                stripBitmap(10, 10, 2));
    led->setValue(1.0f);
    panel.window().setTicks(2000);
    led->startBlink(250, 125, 1250, 0.0f);
    panel.frame.idle();
    EXPECT_EQ(panel.pixel(15, 15), frameColor(1));
    panel.window().setTicks(2251);
    led->blinkTick();
    panel.frame.idle();
    EXPECT_EQ(panel.pixel(15, 15), frameColor(0));
    panel.window().setTicks(2375);
    led->blinkTick();
    EXPECT_EQ(led->currentImage(), 1);
    panel.window().setTicks(3251);
    led->blinkTick();
    EXPECT_FALSE(led->isBlinking());
    panel.frame.idle();
    EXPECT_EQ(panel.pixel(15, 15), frameColor(1));
    // Values above 1 show the last frame; an unlit LED shows frame 0 whatever the blink.
    led->setValue(3.0f);
    EXPECT_EQ(led->currentImage(), 1);
    led->setValue(0.0f);
    led->startBlink(100, 100, CExMovieBitmap::kBlinkForever, 1.0f);
    panel.window().advance(150);
    led->blinkTick();
    EXPECT_EQ(led->currentImage(), 0);
}

TEST(BitmapDisplay, ShowsTextAsGlyphsCutToItsCellsAndBlanksUnknownCharacters) {
    HeadlessPanel panel;
    // 96 glyphs of 7 x 1 pixels: glyph g is filled with frameColor(g).
    auto* display = panel.frame.add<CBitmapDisplay>(Rect::ofSize(20, 30, 126, 9), nullptr,
                                                    stripBitmap(7, 1, 96), 96, 18, nullptr, -1);
    ASSERT_EQ(display->getChars(), 18);
    EXPECT_EQ(display->getGlyphHeight(), 1);
    display->setText("AB");
    EXPECT_EQ(display->glyphAt(0), 33);
    EXPECT_EQ(display->glyphAt(1), 34);
    for (int i = 2; i < 18; ++i)
        EXPECT_EQ(display->glyphAt(i), 0) << "cell " << i;
    panel.frame.idle();
    EXPECT_EQ(panel.pixel(20 + 3, 30), frameColor(33));
    EXPECT_EQ(panel.pixel(20 + 7 + 3, 30), frameColor(34));
    EXPECT_EQ(panel.pixel(20 + 14 + 3, 30), frameColor(0));

    display->setText("0123456789abcdefghXYZ");
    EXPECT_EQ(display->glyphAt(17), 'h' - 32);
    display->setText(std::string("~\x7f\x1f\xc3\xa9", 5));
    EXPECT_EQ(display->glyphAt(0), '~' - 32);
    EXPECT_EQ(display->glyphAt(1), 95);
    for (int i = 2; i < 5; ++i)
        EXPECT_EQ(display->glyphAt(i), 0) << "cell " << i;

    // More cells than the display holds are cut to 128; no glyphs at all draw nothing.
    auto* wide = panel.frame.add<CBitmapDisplay>(Rect::ofSize(0, 60, 200, 9), nullptr,
                                                 stripBitmap(1, 1, 96), 96, 500, nullptr, -1);
    EXPECT_EQ(wide->getChars(), 128);
    wide->setText(std::string(300, 'z'));
    EXPECT_EQ(wide->glyphAt(127), 'z' - 32);
    auto* bare = panel.frame.add<CBitmapDisplay>(Rect::ofSize(0, 80, 20, 9), nullptr, nullptr, 0, 4,
                                                 nullptr, -1);
    bare->setText("AB");
    panel.frame.idle();
    EXPECT_EQ(bare->getChars(), 4);
}

} // namespace
} // namespace vorpalix::test
