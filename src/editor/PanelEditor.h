#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "plugin/PanelController.h"
#include "plugin/PluginEditor.h"
#include "sequencer/PatternEditing.h"
#include "state/XmlDocument.h"

namespace vorpalix {

// The editor object. It lives as long as the plug-in and owns what the panel edits: the edit
// state with the pattern editing operations, which change the controller's copy of the patterns
// and send every change to playback, and the panel layout read from the settings document. The
// window that shows the panel is built from that layout when the host opens the editor; until
// then the object keeps the state, so documents and chunks can read and write it. It reaches the
// plug-in only through its PanelController.
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
    // Keeps a copy of a GUI element (the panel layout); a later one replaces it.
    void setPanelDescription(const xmlNode* gui) override;
    PatternEditing* editing() override { return &editing_; }
    void notify(const Notification& notification) override;
    // Every display is redrawn at the next idle (after a chunk or a loaded file).
    void refreshDisplays() override { refreshAll_ = true; }

    // The kept layout's root element, or null.
    const xmlNode* panelDescription() const { return description_.root(); }
    // Number of `control` elements in the kept layout.
    int controlCount() const;

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
    PanelController& controller_;
    PatternEditing editing_;
    XmlDocument description_;
    int learnt_ = -1;
    bool learnChanged_ = false;
    bool patternChanged_ = false;
    bool transportStopped_ = false;
    bool refreshAll_ = false;
};

// The factory the module's entry hands to the plug-in.
std::unique_ptr<PluginEditor> createPanelEditor(PanelController& controller);

} // namespace vorpalix
