#include <gtest/gtest.h>

#include <cairo.h>

#include <filesystem>
#include <string>
#include <vector>

#include "ToolkitTestSupport.h"
#include "support/TempFolder.h"
#include "toolkit/AnimKnob.h"
#include "toolkit/EditorBase.h"
#include "toolkit/KickButton.h"
#include "toolkit/MovieBitmap.h"
#include "toolkit/OnOffButton.h"
#include "toolkit/Switch.h"
#include "toolkit/TextEdit.h"
#include "toolkit/TextLabel.h"

namespace vorpalix::test {
namespace {

using namespace toolkit;

cairo_status_t appendBytes(void* closure, const unsigned char* data, unsigned int length) {
    static_cast<std::vector<std::uint8_t>*>(closure)->insert(
        static_cast<std::vector<std::uint8_t>*>(closure)->end(), data, data + length);
    return CAIRO_STATUS_SUCCESS;
}

TEST(ToolkitBitmaps, LoadThroughTheRegisteredLoaderSharedByIdAndEmptyWhenUnknown) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 4, 6);
    std::vector<std::uint8_t> png;
    ASSERT_EQ(cairo_surface_write_to_png_stream(surface, appendBytes, &png), CAIRO_STATUS_SUCCESS);
    cairo_surface_destroy(surface);
    const std::vector<std::uint8_t> garbage{0x89, 'P', 'N', 'G', 1, 2, 3};
    int calls = 0;
    setResourceLoader([&](int id) -> std::span<const std::uint8_t> {
        ++calls;
        if (id == 7)
            return png;
        if (id == 9)
            return garbage;
        return {};
    });

    auto first = Bitmap::load(7);
    auto second = Bitmap::load(7);
    EXPECT_EQ(first->getWidth(), 4);
    EXPECT_EQ(first->getHeight(), 6);
    EXPECT_EQ(first->frameCount(2), 3);
    EXPECT_EQ(first.get(), second.get());
    EXPECT_EQ(calls, 1);

    for (int id : {8, 9}) {
        auto missing = Bitmap::load(id);
        ASSERT_NE(missing, nullptr);
        EXPECT_TRUE(missing->isEmpty());
        EXPECT_EQ(missing->getWidth(), 0);
    }
    // A control over an empty bitmap draws nothing: the frame's black stays.
    HeadlessPanel panel;
    panel.frame.add<AnimKnob>(Rect::ofSize(10, 10, 20, 20), nullptr, 0, 31, 20, Bitmap::load(8));
    panel.frame.idle();
    EXPECT_EQ(panel.pixel(15, 15), 0u);

    // An editor given its background by id knows its size from the header alone and decodes the
    // picture only when it opens.
    int width = 0;
    int height = 0;
    EXPECT_TRUE(Bitmap::readSize(7, width, height));
    EXPECT_EQ(width, 4);
    EXPECT_EQ(height, 6);
    EXPECT_FALSE(Bitmap::readSize(9, width, height));
    EXPECT_FALSE(Bitmap::readSize(8, width, height));
    first.reset();
    second.reset();
    calls = 0;
    EditorBase editor;
    editor.setHeadless(true);
    editor.setBackgroundId(7);
    EXPECT_EQ(editor.getRect(), Rect::ofSize(0, 0, 4, 6));
    EXPECT_EQ(calls, 1);
    ASSERT_TRUE(editor.open(nullptr));
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(editor.getFrame()->getBackground()->getWidth(), 4);
    editor.close();
    editor.setBackgroundId(9);
    EXPECT_TRUE(editor.getRect().isEmpty());
    setResourceLoader({});
}

TEST(ToolkitControls, KnobDragFollowsVerticalMovementLinearly) {
    HeadlessPanel panel;
    Frame::setKnobMode(kLinearMode);
    auto* knob = panel.frame.add<AnimKnob>(Rect::ofSize(10, 10, 30, 30), &panel.listener, 5, 31, 30,
                                           stripBitmap(30, 30, 31));
    const int range = AnimKnob::kLinearRange;

    panel.window().drag({25, 25}, {25, 25 - range / 4}, 5);
    EXPECT_NEAR(knob->getValue(), 0.25f, 1e-6);
    ASSERT_FALSE(panel.listener.notes.empty());
    EXPECT_NEAR(panel.listener.notes.back().value, 0.25f, 1e-6);
    EXPECT_EQ(panel.listener.notes.back().tag, 5);
    EXPECT_EQ(panel.listener.begins, 1);
    EXPECT_EQ(panel.listener.ends, 1);

    // Down again by an eighth, then far beyond the top: the value stops at the maximum.
    panel.window().drag({25, 25}, {25, 25 + range / 8}, 3);
    EXPECT_NEAR(knob->getValue(), 0.125f, 1e-6);
    panel.window().drag({25, 25}, {25, 25 - 5 * range}, 3);
    EXPECT_FLOAT_EQ(knob->getValue(), 1.0f);
    // With Shift the same movement moves ten times less.
    panel.window().drag({25, 25}, {25, 25 + range / 2}, 3, kShift);
    EXPECT_NEAR(knob->getValue(), 0.95f, 1e-6);

    // Value v shows frame floor(v * 30).
    knob->setValue(0.5f);
    panel.frame.idle();
    EXPECT_EQ(panel.pixel(25, 25), frameColor(15));
    knob->setValue(29.0f / 30.0f);
    panel.frame.idle();
    EXPECT_EQ(panel.pixel(25, 25), frameColor(29));
}

TEST(ToolkitControls, KickButtonReportsPressAndReleaseAndDraggingAwayCancels) {
    HeadlessPanel panel;
    auto* kick = panel.frame.add<KickButton>(Rect::ofSize(10, 10, 20, 20), &panel.listener, 3, 20,
                                             stripBitmap(20, 20, 2));
    panel.window().mouseDown({15, 15});
    EXPECT_FLOAT_EQ(kick->getValue(), 1.0f);
    panel.frame.idle();
    EXPECT_EQ(panel.pixel(15, 15), frameColor(1));
    panel.window().mouseUp({15, 15});
    EXPECT_FLOAT_EQ(kick->getValue(), 0.0f);
    panel.frame.idle();
    EXPECT_EQ(panel.pixel(15, 15), frameColor(0));
    ASSERT_EQ(panel.listener.notes.size(), 2u);
    EXPECT_FLOAT_EQ(panel.listener.notes[0].value, 1.0f);
    EXPECT_TRUE(panel.listener.notes[0].leftHeld);
    EXPECT_FLOAT_EQ(panel.listener.notes[1].value, 0.0f);
    EXPECT_FALSE(panel.listener.notes[1].leftHeld);

    // Pressed, dragged off and released outside: back to 0 while held, nothing at release.
    panel.listener.notes.clear();
    panel.window().drag({15, 15}, {80, 80}, 2);
    EXPECT_FLOAT_EQ(kick->getValue(), 0.0f);
    ASSERT_EQ(panel.listener.notes.size(), 2u);
    EXPECT_TRUE(panel.listener.notes[1].leftHeld);
    EXPECT_EQ(panel.listener.begins, panel.listener.ends);
}

TEST(ToolkitControls, OnOffButtonTogglesAndSwitchesTakeThePositionUnderThePointer) {
    HeadlessPanel panel;
    auto* onOff = panel.frame.add<OnOffButton>(Rect::ofSize(0, 0, 10, 10), &panel.listener, 1,
                                               stripBitmap(10, 10, 2));
    auto* horizontal = panel.frame.add<HorizontalSwitch>(
        Rect::ofSize(20, 0, 30, 10), &panel.listener, 2, 3, 10, 3, stripBitmap(30, 10, 3));
    auto* vertical = panel.frame.add<VerticalSwitch>(Rect::ofSize(60, 0, 10, 40), &panel.listener,
                                                     3, 4, 40, 4, stripBitmap(10, 40, 4));
    panel.window().click({5, 5});
    EXPECT_FLOAT_EQ(onOff->getValue(), 1.0f);
    panel.window().click({5, 5});
    EXPECT_FLOAT_EQ(onOff->getValue(), 0.0f);

    panel.window().click({45, 5});
    EXPECT_FLOAT_EQ(horizontal->getValue(), 1.0f);
    panel.window().click({35, 5});
    EXPECT_FLOAT_EQ(horizontal->getValue(), 0.5f);
    panel.frame.idle();
    EXPECT_EQ(panel.pixel(25, 5), frameColor(1));

    panel.window().click({65, 25}); // third quarter from the top
    EXPECT_NEAR(vertical->getValue(), 2.0f / 3.0f, 1e-6);
    panel.window().drag({65, 25}, {65, 2});
    EXPECT_FLOAT_EQ(vertical->getValue(), 0.0f);
}

TEST(ToolkitControls, TextEditCommitsOnEnterAndRestoresOnEscape) {
    HeadlessPanel panel;
    auto* edit = panel.frame.add<TextEdit>(Rect::ofSize(10, 10, 100, 15), &panel.listener, 145,
                                           "Pattern Name");
    panel.window().click({20, 15});
    ASSERT_EQ(panel.frame.getFocusView(), edit);
    EXPECT_TRUE(edit->isEditing());
    for (int i = 0; i < 4; ++i)
        panel.window().key(KeyEvent::ofKey(Key::Backspace));
    panel.window().type("Tune");
    EXPECT_EQ(edit->getEditText(), "Pattern Tune");
    EXPECT_EQ(edit->getText(), "Pattern Name");
    EXPECT_TRUE(panel.listener.notes.empty());
    panel.window().key(KeyEvent::ofKey(Key::Return));
    EXPECT_EQ(edit->getText(), "Pattern Tune");
    EXPECT_EQ(panel.frame.getFocusView(), nullptr);
    ASSERT_EQ(panel.listener.notes.size(), 1u);
    EXPECT_EQ(panel.listener.notes[0].tag, 145);

    panel.window().click({20, 15});
    panel.window().type(" and more");
    panel.window().key(KeyEvent::ofKey(Key::Escape));
    EXPECT_EQ(edit->getText(), "Pattern Tune");
    EXPECT_FALSE(edit->isEditing());
    EXPECT_EQ(panel.listener.notes.size(), 1u);

    // A click elsewhere commits like Enter; texts stay within 255 bytes.
    panel.window().click({20, 15});
    panel.window().type(std::string(300, 'x'));
    panel.window().click({150, 80});
    EXPECT_EQ(edit->getText(), "Pattern Tune" + std::string(255 - 12, 'x'));
    EXPECT_EQ(panel.listener.notes.size(), 2u);
}

TEST(ToolkitFrame, RedrawsOnlyDirtyViewsAndRoutesClicksIntoTheModalView) {
    HeadlessPanel panel;
    auto* a = panel.frame.add<MovieBitmap>(Rect::ofSize(0, 0, 10, 10), nullptr, 0, 4, 10,
                                           stripBitmap(10, 10, 4));
    auto* b = panel.frame.add<MovieBitmap>(Rect::ofSize(50, 0, 10, 10), nullptr, 0, 4, 10,
                                           stripBitmap(10, 10, 4));
    auto* label = panel.frame.add<TextLabel>(Rect::ofSize(0, 50, 80, 15), "Learn");
    label->setTransparent(true);
    auto* kick = panel.frame.add<KickButton>(Rect::ofSize(100, 0, 20, 20), &panel.listener, 9, 20,
                                             stripBitmap(20, 20, 2));
    EXPECT_EQ(panel.frame.redraw(), 4u);
    EXPECT_EQ(panel.frame.redraw(), 0u);
    a->setValue(0.0f); // unchanged value: nothing to draw
    panel.frame.idle();
    EXPECT_EQ(panel.frame.getDrawCount(), 4u);

    b->setValue(1.0f);
    EXPECT_EQ(panel.frame.redraw(), 1u);
    EXPECT_EQ(panel.pixel(55, 5), frameColor(3));
    EXPECT_EQ(panel.pixel(5, 5), frameColor(0));
    label->setText("Learn");
    EXPECT_EQ(panel.frame.redraw(), 0u);

    // A modal panel over the kick button takes every click; clicks beside it reach nobody.
    ViewContainer overlay(Rect::ofSize(90, 0, 60, 60), solidBitmap(60, 60, 0x123456));
    auto* close = overlay.add<KickButton>(Rect::ofSize(5, 5, 10, 10), &panel.listener, 260, 10,
                                          stripBitmap(10, 10, 2));
    ASSERT_TRUE(panel.frame.setModalView(&overlay));
    EXPECT_EQ(panel.frame.redraw(), 3u); // the overlay, its button and the kick button below
    EXPECT_EQ(panel.pixel(110, 10), 0x123456u);
    panel.window().click({110, 10});
    panel.window().click({5, 5});
    EXPECT_TRUE(panel.listener.notes.empty());
    panel.window().click({97, 7});
    ASSERT_EQ(panel.listener.notes.size(), 2u);
    EXPECT_EQ(panel.listener.notes[0].tag, 260);
    EXPECT_EQ(close->getValue(), 0.0f);
    panel.frame.setModalView(nullptr);
    panel.frame.idle();
    EXPECT_EQ(panel.pixel(110, 10), frameColor(0));
    panel.window().click({110, 10});
    EXPECT_EQ(panel.listener.notes.back().tag, kick->getTag());
}

TEST(ToolkitFrame, HeadlessPanelWritesAPngFile) {
    testing::TempFolder folder;
    HeadlessPanel panel;
    panel.frame.add<MovieBitmap>(Rect::ofSize(0, 0, 10, 10), nullptr, 0, 1, 10,
                                 stripBitmap(10, 10, 1));
    panel.frame.idle();
    const std::string path = folder.file("panel.png");
    ASSERT_TRUE(panel.window().writePng(path));
    cairo_surface_t* read = cairo_image_surface_create_from_png(path.c_str());
    EXPECT_EQ(cairo_surface_status(read), CAIRO_STATUS_SUCCESS);
    EXPECT_EQ(cairo_image_surface_get_width(read), 200);
    cairo_surface_destroy(read);
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
    EXPECT_FALSE(panel.window().writePng(folder.file("missing/panel.png")));
}

TEST(ToolkitEditor, HeadlessEditorKnowsItsSizeBeforeOpenAndBuildsAFreshFrameEachTime) {
    EditorBase editor;
    editor.setBackground(solidBitmap(120, 80, 0x445566));
    EXPECT_EQ(editor.getRect(), Rect::ofSize(0, 0, 120, 80));
    EXPECT_EQ(editor.getHeadlessBackend(), nullptr);
    editor.setHeadless(true);
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(editor.open(nullptr));
        ASSERT_NE(editor.getHeadlessBackend(), nullptr);
        EXPECT_EQ(editor.getFrame()->getRect(), editor.getRect());
        EXPECT_EQ(editor.getFrame()->getViewCount(), 0);
        editor.getFrame()->add<TextLabel>(Rect::ofSize(0, 0, 10, 10));
        editor.idle();
        EXPECT_EQ(editor.getHeadlessBackend()->pixel(60, 60), 0x445566u);
        editor.close();
        EXPECT_FALSE(editor.isOpen());
        editor.idle(); // closed: nothing to do, nothing to crash
    }
}

} // namespace
} // namespace vorpalix::test
