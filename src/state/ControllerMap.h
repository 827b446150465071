#pragma once

// The MIDI controller map: for each of the 128 controller numbers the index of the parameter it
// moves, or -1. The audio thread reads it for every controller message while the UI thread may
// change it (MIDI learn, loading settings or a chunk), so each entry is a relaxed atomic.

#include <libxml/tree.h>

#include <array>
#include <atomic>

namespace vorpalix {

class ParameterTable;

constexpr int kNumControllers = 128;

class ControllerMap {
public:
    // All entries -1.
    ControllerMap();
    ControllerMap(const ControllerMap&) = delete;
    ControllerMap& operator=(const ControllerMap&) = delete;

    // The parameter a controller moves, or -1 (also for controllers outside 0..127).
    // Any thread. No allocation, no locks.
    int parameterOf(int controller) const;

    // Makes controller move parameter. Controllers outside 0..127 are ignored. The lowest entry
    // that held the parameter is cleared first, so a parameter assigned only this way has at
    // most one controller; a controller that moved another parameter simply changes target.
    // A parameter below 0 just clears the controller.
    // Audio thread (MIDI learn) or UI thread. No allocation, no locks.
    void assignController(int controller, int parameter);

    // The lowest controller that moves parameter, or -1.
    // Any thread. No allocation, no locks.
    int controllerOf(int parameter) const;

    // All entries -1. UI thread.
    void clear();

    // Adds the assignments of a MidiCCMap element over the current ones: each assign child
    // whose CC lies in 0..127 and whose param names a known control. Anything else (another
    // element, "-1" entries, unknown names) is skipped. UI thread.
    void readMidiCCMap(const xmlNode* element, const ParameterTable& table);

    // A new, unattached MidiCCMap element with one assign per named host parameter 0..85 in
    // index order; CC is "-1" for a parameter without a controller. The caller links it into a
    // document or frees it. nullptr when memory runs out. UI thread.
    xmlNode* writeMidiCCMap(const ParameterTable& table) const;

private:
    std::array<std::atomic<int>, kNumControllers> entries_;
};

} // namespace vorpalix
