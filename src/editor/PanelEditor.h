#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "state/XmlDocument.h"

namespace vorpalix {

class DrumPlugin;
class PatternEditing;

// The editor object. It lives as long as the plug-in and owns what the panel edits (the edit
// state with the pattern editing operations) and the panel layout read from the settings
// document. The window that shows the panel is built from that layout when the host opens the
// editor; until then the object keeps the state, so documents and chunks can read and write it.
class PanelEditor {
public:
    explicit PanelEditor(DrumPlugin& plugin);
    ~PanelEditor();

    PanelEditor(const PanelEditor&) = delete;
    PanelEditor& operator=(const PanelEditor&) = delete;

    PatternEditing& editing() { return *editing_; }

    // UI thread. Keeps a copy of a GUI element (the panel layout); a later one replaces it.
    void setPanelDescription(const xmlNode* gui);
    // The kept layout's root element, or null.
    const xmlNode* panelDescription() const { return description_.root(); }
    // Number of `control` elements in the kept layout.
    int controlCount() const;

    // Any thread (MIDI controllers arrive on the audio thread). Marks the panel control of a host
    // parameter as moved; the window redraws marked controls at its next idle. No allocation.
    void parameterChanged(int index);
    // UI thread. Takes the marks set since the last call; bit i of word w is parameter 64w + i.
    std::array<std::uint64_t, 2> takeChangedParameters();

    // Audio thread (MIDI learn). The learn display shows this parameter at the next idle.
    void learnDisplayChanged(int parameter) {
        learnt_.store(parameter, std::memory_order_relaxed);
        learnChanged_.store(true, std::memory_order_release);
    }
    // UI thread. The parameter whose learn text changed since the last call, or -1.
    int takeLearnDisplayChange() {
        return learnChanged_.exchange(false, std::memory_order_acquire)
                   ? learnt_.load(std::memory_order_relaxed)
                   : -1;
    }
    // UI thread. The learn display's text for a host parameter: its short name, " - " and its
    // controller in three digits ("BD Tune  - 021"), or "..." when no controller moves it.
    std::string learnDisplayText(int parameter) const;

    // UI thread. Every display is redrawn at the next idle (after a chunk or a loaded file).
    void refreshDisplays() { refreshAll_.store(true, std::memory_order_relaxed); }
    bool takeRefreshAll() { return refreshAll_.exchange(false, std::memory_order_relaxed); }

private:
    DrumPlugin& plugin_;
    std::unique_ptr<PatternEditing> editing_;
    XmlDocument description_;
    std::array<std::atomic<std::uint64_t>, 2> changed_{};
    std::atomic<bool> refreshAll_{false};
    std::atomic<int> learnt_{-1};
    std::atomic<bool> learnChanged_{false};
};

} // namespace vorpalix
