#pragma once

// The open panel: the controls built from the layout description into the editor's frame, what
// each of them does when the user moves it, and the refreshes that make every LED, digit and
// label show the plug-in's state. It exists only while the host has the editor open; the edit
// state and the modes it shows live in the editor object (PanelEditor) and survive it.
//
// It reaches the plug-in only through the editor object's PanelController: parameters are set
// through the host-notifying path, pattern, preset and sequencer changes go out as commands, and
// playback is read from the last published snapshot. It never touches the plug-in object.
//
// Threads: user-interface thread only.

#include <cstdint>
#include <string>

#include "editor/FileDialog.h"
#include "editor/PanelBuilder.h"
#include "toolkit/Control.h"

namespace vorpalix {

namespace toolkit {
class Frame;
}

class PanelController;
class PanelEditor;
class PatternEditing;
struct PlaybackView;

class PanelWindow final : public toolkit::ControlListener {
public:
    // Builds every described control into the frame and brings the whole panel up to date.
    PanelWindow(PanelEditor& editor, toolkit::Frame& frame);
    ~PanelWindow() override;
    PanelWindow(const PanelWindow&) = delete;
    PanelWindow& operator=(const PanelWindow&) = delete;

    const PanelControls& controls() const { return controls_; }
    toolkit::Frame& frame() { return frame_; }

    // Called after the frame's own idle (which drew what was dirty): parameter changes from the
    // host, MIDI and presets, time-outs, blinking and the refreshes playback asks for.
    void idle();
    // Every display recomputed from the current state (at open, after a chunk or a loaded file).
    void fullRefresh();

    // A host parameter changed outside the panel: its control shows the value. Sends nothing.
    void parameterChanged(int index, float value);

    // --- toolkit::ControlListener -----------------------------------------------------------
    void valueChanged(toolkit::Control& control) override;
    void beginEdit(toolkit::Control& control) override;
    void endEdit(toolkit::Control& control) override;

private:
    struct Click {
        bool held = false; // the left button is still down
        bool control = false;
        bool released() const { return !held; }
    };

    void handleAlways(toolkit::Control& control, int tag, float value, Click click);
    void handleWhileSequencerOn(toolkit::Control& control, int tag, float value, Click click);
    void stepClicked(int step, float value, Click click);
    void tempoDigitsChanged();
    void soloOrMuteGroupClicked(int first, int tag, float value);
    void fileCommand(FileCommand command);

    // Modes and what they change on the panel.
    void applyWriteMode(bool on);
    void applyRandomizerMode(bool on);
    void showRandomizerMode(bool on);
    void applyRescaleMode(bool on, bool apply);
    void stopRescaleBlink();
    void enableSequencerButtons();
    void retagAttributeKnobs();
    void showLevelKnob(int instrument, bool threshold);
    void selectRow(int row);
    void selectPresetInstrument(int instrument);
    void showModal(toolkit::View* view);

    // Displays.
    void refreshModeButtons();
    void refreshSelectLeds();
    void refreshStepTables();
    void refreshStepLeds();
    void refreshDigits();
    void refreshScaleLeds();
    void refreshPatternName();
    void refreshAttributeKnobs();
    void refreshOutputNumbers();
    void refreshPresetDisplay();
    void refreshLearnLabel();
    void refreshAfterPatternChange();
    void refreshAfterSequencerModeChange();

    // Helpers.
    bool sequencerOn() const;
    int sequencerMode() const;
    // The pattern the sequencer calls current, or -1.
    int currentPattern() const;
    // Outside chain mode with no current pattern and write mode off the pattern displays go blank.
    bool nothingToShow() const;
    double internalTempo() const;
    void setValue(int key, float value);
    float valueOf(int key) const;
    CNStateButton* button(int key) const;
    std::uint32_t now() const;

    PanelEditor& editor_;
    PanelController& controller_;
    PatternEditing& editing_;
    toolkit::Frame& frame_;
    PanelControls controls_;

    std::uint32_t lastTempoChange_ = 0;
    bool tempoChanged_ = false; // no tempo change yet: the digits are outside every window
    std::uint32_t lastLearnTouch_ = 0;
    bool tempoShown_ = false;
    bool patternAttributesShown_ = false;
};

} // namespace vorpalix
