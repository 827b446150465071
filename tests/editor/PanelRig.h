// The panel of an in-process plug-in, open in a headless window: clicks and drags on named
// controls, an injected clock, and idles that run as the host's effEditIdle does (after a block,
// so that the audio thread has taken the commands the panel sent).
#pragma once

#include <gtest/gtest.h>

#include "editor/BitmapDisplay.h"
#include "editor/NStateButton.h"
#include "editor/PanelEditor.h"
#include "editor/PanelWindow.h"
#include "plugin/PluginTestSupport.h"
#include "toolkit/Frame.h"
#include "toolkit/HeadlessBackend.h"
#include "toolkit/TextLabel.h"

namespace vorpalix::test {

struct PanelRig {
    PanelRig() {
        editor().setHeadless(true);
        opened = plugin().dispatcher(vst::effEditOpen, 0, 0, nullptr, 0.0f) != 0;
    }
    ~PanelRig() { plugin().dispatcher(vst::effEditClose, 0, 0, nullptr, 0.0f); }

    DrumPlugin& plugin() { return *direct.plugin; }
    PanelEditor& editor() { return static_cast<PanelEditor&>(*direct.plugin->editor()); }
    PanelController& controller() { return direct.plugin->controller(); }
    PatternEditing& editing() { return *editor().editing(); }
    PanelWindow& window() { return *editor().window(); }
    const PanelControls& controls() { return window().controls(); }
    toolkit::HeadlessBackend& screen() { return *editor().headlessBackend(); }
    toolkit::Control& control(int key) {
        toolkit::Control* c = controls().control(key);
        EXPECT_NE(c, nullptr) << "no control " << key;
        return *c;
    }
    CNStateButton& button(int key) { return *controls().get<CNStateButton>(key); }

    toolkit::Point centre(int key) {
        const toolkit::Rect r = controls().view(key)->getAbsoluteRect();
        return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    }
    // A click in the middle of a control, then an idle.
    void click(int key, std::uint32_t modifiers = 0) {
        screen().click(centre(key), modifiers);
        idle();
    }
    void clickAt(toolkit::View& view, std::uint32_t modifiers = 0) {
        const toolkit::Rect r = view.getAbsoluteRect();
        screen().click({(r.left + r.right) / 2, (r.top + r.bottom) / 2}, modifiers);
        idle();
    }
    // A control that reports a value as if the user had set it, with the mouse released.
    void report(int key, float value) {
        toolkit::Control& c = control(key);
        c.setValue(value);
        window().valueChanged(c);
    }
    // One block for the audio thread, the clock moved on, one host idle.
    void idle(std::uint32_t milliseconds = 20) {
        direct.processEmptyBlock();
        screen().advance(milliseconds);
        plugin().dispatcher(vst::effEditIdle, 0, 0, nullptr, 0.0f);
    }
    void writeMode(bool on) {
        if ((control(kTagWriteMode).getValue() > 0.5f) != on)
            click(kTagWriteMode);
        ASSERT_EQ(editing().state().writeMode, on);
    }
    std::string displayText() {
        auto* display = controls().get<CBitmapDisplay>(kKeyPatternNameDisplay);
        std::string text;
        for (int i = 0; i < display->getChars(); ++i)
            text.push_back(static_cast<char>(32 + display->glyphAt(i)));
        return text;
    }

    DirectPlugin direct;
    bool opened = false;
};

} // namespace vorpalix::test
