#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "editor/FileDialog.h"
#include "editor/GuiDescription.h"
#include "plugin/PanelController.h"
#include "plugin/PluginEditor.h"
#include "sequencer/PatternEditing.h"

namespace vorpalix {

namespace toolkit {
class Frame;
class HeadlessBackend;
} // namespace toolkit

class PanelWindow;

// The editor object. It lives as long as the plug-in and owns what the panel edits: the edit
// state with the pattern editing operations, which change the controller's copy of the patterns
// and send every change to playback, and the panel layout read from the settings document. The
// window that shows the panel (PanelWindow) is built from that layout when the host opens the
// editor and destroyed when it closes it; until then the object keeps the state, so documents
// and chunks can read and write it. It reaches the plug-in only through its PanelController.
//
// Threads: user-interface thread only.
class PanelEditor final : public PluginEditor {
public:
    explicit PanelEditor(PanelController& controller);
    ~PanelEditor() override;

    PanelEditor(const PanelEditor&) = delete;
    PanelEditor& operator=(const PanelEditor&) = delete;

    PanelController& controller() { return controller_; }

    // --- PluginEditor -------------------------------------------------------------------------
    // Reads a GUI element (the panel layout) into the description table; entries of a later
    // element add to it and replace those of the same name.
    void setPanelDescription(const xmlNode* gui) override;
    PatternEditing* editing() override { return &editing_; }
    void notify(const Notification& notification) override;
    // Every display is redrawn at the next idle (after a chunk or a loaded file).
    void refreshDisplays() override { refreshAll_ = true; }

    // The host's editor calls: the window is the background's size; it opens as an X11 child
    // window of the host's window (or headless, see setHeadless) and pumps its events at idle.
    bool hasWindow() const override { return true; }
    bool windowSize(int& width, int& height) const override;
    bool open(void* parentWindow) override;
    void close() override;
    void idle() override;
    bool writeScreenshot(const PanelScreenshotRequest& request) override;

    // Windows opened from now on draw without a display (tests, screenshots).
    void setHeadless(bool headless);
    bool isOpen() const { return window_ != nullptr; }
    // The open window and its frame, or null.
    PanelWindow* window() { return window_.get(); }
    toolkit::Frame* frame();
    // The headless window's input and clock, or null.
    toolkit::HeadlessBackend* headlessBackend();

    const GuiDescription& guiDescription() const { return description_; }
    const FileDialogHelper& fileDialogs() const { return dialogs_; }
    int vendorVersion() const;

    // The marks of the host parameters set since the last call (any thread may set them); the
    // window redraws the marked controls at its idle. Bit i of word w is parameter 64w + i.
    std::array<std::uint64_t, 2> takeChangedParameters();

    // The parameter whose learn text changed since the last call, or -1.
    int takeLearnDisplayChange();
    // The learn display's text for a host parameter: its short name, " - " and its controller
    // in three digits ("BD Tune  - 021"), or "..." when no controller moves it.
    std::string learnDisplayText(int parameter) const;

    // True once after the playing pattern changed, or after the host's transport stopped.
    bool takePatternChange();
    bool takeTransportStop();
    bool takeRefreshAll();

private:
    class Shell;

    PanelController& controller_;
    PatternEditing editing_;
    GuiDescription description_;
    FileDialogHelper dialogs_;
    std::unique_ptr<Shell> shell_;
    std::unique_ptr<PanelWindow> window_;
    int learnt_ = -1;
    bool learnChanged_ = false;
    bool patternChanged_ = false;
    bool transportStopped_ = false;
    bool refreshAll_ = false;
};

// The factory the module's entry hands to the plug-in.
std::unique_ptr<PluginEditor> createPanelEditor(PanelController& controller);

} // namespace vorpalix
