#pragma once

// The MIDI controller map: for each of the 128 controller numbers the index of the parameter it
// moves, or -1. Plain data: the plug-in keeps the live map on the audio thread, which reads it
// for every controller message and changes it when it learns a controller, and a copy on the
// user-interface thread for the documents and the panel; a whole map travels by value.

#include <libxml/tree.h>

#include <array>

namespace vorpalix {

class ParameterTable;

constexpr int kNumControllers = 128;

class ControllerMap {
public:
    // All entries -1.
    ControllerMap();

    // The parameter a controller moves, or -1 (also for controllers outside 0..127).
    // No allocation, no locks.
    int parameterOf(int controller) const;

    // Makes controller move parameter. Controllers outside 0..127 are ignored. The lowest entry
    // that held the parameter is cleared first, so a parameter assigned only this way has at
    // most one controller; a controller that moved another parameter simply changes target.
    // A parameter below 0 just clears the controller.
    // No allocation, no locks.
    void assignController(int controller, int parameter);

    // The lowest controller that moves parameter, or -1.
    // No allocation, no locks.
    int controllerOf(int parameter) const;

    // All entries -1.
    void clear();

    // Adds the assignments of a MidiCCMap element over the current ones: each assign child
    // whose CC lies in 0..127 and whose param names a known control. Anything else (another
    // element, "-1" entries, unknown names) is skipped.
    void readMidiCCMap(const xmlNode* element, const ParameterTable& table);

    // A new, unattached MidiCCMap element with one assign per named host parameter 0..85 in
    // index order; CC is "-1" for a parameter without a controller. The caller links it into a
    // document or frees it. nullptr when memory runs out.
    xmlNode* writeMidiCCMap(const ParameterTable& table) const;

    bool operator==(const ControllerMap&) const = default;

private:
    std::array<int, kNumControllers> entries_;
};

} // namespace vorpalix
