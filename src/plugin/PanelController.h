#pragma once

// The narrow interface through which the panel (the editor object and its window) works the
// plug-in; the panel holds this, never the plug-in object. It sets parameters and tells the host,
// sends commands to the audio thread, reads snapshots of parameter values and playback, and
// edits the user-interface thread's copies of the patterns, the presets and the controller map.
//
// Every operation that sends something to the audio thread returns false, changing nothing,
// when the command queue was full; the panel may try again later. Nothing blocks.
//
// Threads: user-interface thread only.

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "sequencer/EditingHost.h"
#include "state/StateModel.h"

namespace vorpalix {

class ControllerMap;
class ParameterTable;
class PresetBank;

// The editing host part (EditingHost) gives the patterns as the user-interface thread holds
// them, their changes (replace a pattern, write a step, a pattern amount, the randomizer),
// playback as last published, the chained range and auditions; PatternEditing works on it.
class PanelController : public EditingHost {
public:
    // --- Parameters (host parameters 0..85) ------------------------------------------------
    virtual const ParameterTable& parameters() const = 0;
    // The current value (the last one set, from whichever thread).
    virtual float parameterValue(int index) const = 0;
    // Sets a value as the host's setParameter does and tells the host, for automation.
    virtual void setParameterFromPanel(int index, float value) = 0;
    // Tells the host that the user starts or ends a gesture on a parameter.
    virtual void beginEdit(int index) = 0;
    virtual void endEdit(int index) = 0;
    // The parameters set since the last call, from any thread; bit i of word w is 64w + i.
    virtual std::array<std::uint64_t, 2> takeChangedParameters() = 0;

    // --- Sequencer ----------------------------------------------------------------------------
    virtual const SequencerSettings& sequencerSettings() const = 0;
    virtual bool setSequencerState(bool on) = 0;
    virtual bool setSequencerSync(int sync) = 0;
    virtual bool setSequencerMode(int mode) = 0;
    virtual bool setPatternAttributeStore(bool on) = 0;
    // Play or StopCont (TransportCommand), performed at the next block start.
    virtual bool requestTransport(int command) = 0;
    // A pattern key pressed (on) or released, as MIDI pattern keys: in normal and free mode it
    // starts (and stops) that pattern, in chain mode it chooses the range.
    virtual bool pressPatternKey(int pattern, bool on, int velocity) = 0;
    // Dirty marks of playback, taken (and cleared) by the idle: a step played, the host's
    // transport stopped.
    virtual bool takeStepChanged() = 0;
    virtual bool takeStopped() = 0;

    // --- Patterns: whole banks and files ------------------------------------------------------
    // The whole bank becomes bank, here and in playback (swapped in at one block start).
    virtual bool replaceBank(const PatternBank& bank) = 0;
    // File commands; the loads change nothing when the file cannot be read or has another root.
    virtual bool loadPatternFile(int index, const std::string& fileName) = 0;
    virtual int loadBankFile(const std::string& fileName) = 0;
    virtual bool savePatternFile(int index, const std::string& fileName) const = 0;
    virtual bool saveBankFile(const std::string& fileName) const = 0;

    // --- Presets -------------------------------------------------------------------------------
    // The presets, their selected ones holding the knobs' current values.
    virtual PresetBank& presets() = 0;

    // --- MIDI learn and outputs ---------------------------------------------------------------
    virtual const ControllerMap& controllerMap() const = 0;
    virtual bool setLearnMode(bool on) = 0;
    virtual bool setParameterBeingLearnt(int index) = 0;
    virtual bool learnMode() const = 0;
    virtual int parameterBeingLearnt() const = 0;
    virtual int outputNumber(int instrument) const = 0;
    virtual bool setOutputNumber(int instrument, int slot) = 0;

    // --- Host services --------------------------------------------------------------------------
    // The host's own file selector, when the host answers 1 to "openFileSelector": the chosen
    // path, or "" when the user cancelled. Nothing (nullopt) when the host offers none.
    virtual std::optional<std::string> selectFileWithHost(bool save, const std::string& title,
                                                          const std::string& typeName,
                                                          const std::string& extension) = 0;

    // --- Notifications ------------------------------------------------------------------------
    // Takes what the audio thread reported (learnt controllers, changes of the playing pattern
    // and of the range, stopped transports), brings the copies up to date and tells the editor.
    // The plug-in calls it at every idle and before it reads its copies for the host.
    virtual void pollNotifications() = 0;
};

} // namespace vorpalix
