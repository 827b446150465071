#pragma once

// Builds the panel's controls into a toolkit frame: every control of the creation list that the
// GUI description holds, of the described class at the described place, bound to its tag; then
// the preset browser and the About box (kept out of the frame until shown as its modal view), and
// the ranges of the tempo digits. The result gives the controls by key: a described control by
// its tag (the index of the parameter whose name it bears), the few without a tag by their own
// key.
// UI thread only.

#include <array>
#include <functional>
#include <memory>

#include "editor/GuiDescription.h"
#include "editor/PanelTags.h"
#include "toolkit/Control.h"
#include "toolkit/ViewContainer.h"

namespace vorpalix {

namespace toolkit {
class Frame;
class TextEdit;
class TextLabel;
} // namespace toolkit

class CBitmapDisplay;
class CExMovieBitmap;
class CNStateButton;

// Keys of the controls that bear no parameter name.
enum PanelKey : int {
    kKeyFirstScaleLed = kNumNamedControls, // Fast 3/4, Slow 3/4, Fast 4/4, Slow 4/4 (scales 0..3)
    kKeyPatternNameDisplay = kKeyFirstScaleLed + 4,
    kKeyLearnLabel,
    kKeyLeftScrew,
    kKeyRightScrew,
    kNumPanelKeys,
};

// The key under which a control of this name and tag is kept, or -1.
int panelKeyOf(std::string_view name, int tag);

struct PanelControls {
    // The described controls; null where the description lacks the name.
    std::array<toolkit::View*, kNumPanelKeys> byKey{};
    int createdCount = 0;

    // The preset browser and the About box with their controls (not in the frame).
    std::unique_ptr<toolkit::ViewContainer> presetBrowser;
    std::array<CNStateButton*, kNumPresetSlots> presetSlots{};
    std::array<toolkit::TextEdit*, kNumPresetSlots> presetNames{};
    std::array<CNStateButton*, kNumInstruments> instrumentTabs{};
    std::unique_ptr<toolkit::ViewContainer> aboutBox;
    toolkit::TextLabel* versionLabel = nullptr;

    toolkit::View* view(int key) const {
        return key >= 0 && key < kNumPanelKeys ? byKey[static_cast<std::size_t>(key)] : nullptr;
    }
    // The control of a key when it is of class T, else null.
    template <class T> T* get(int key) const { return dynamic_cast<T*>(view(key)); }
    toolkit::Control* control(int key) const { return get<toolkit::Control>(key); }
};

struct PanelBuildInputs {
    const GuiDescription& description;
    // Hears every control that has a tag; controls without one report to nobody.
    toolkit::ControlListener* listener = nullptr;
    // The current value of a parameter index (0 for indices that are no host parameter).
    std::function<float(int index)> parameterValue;
    int vendorVersion = 0;
};

// Builds one described control (not yet added anywhere), or null for a kind it cannot build.
std::unique_ptr<toolkit::View> createPanelControl(const ControlDescriptor& descriptor,
                                                  toolkit::ControlListener* listener,
                                                  const std::function<float(int)>& valueOf);

// Adds every described control to the frame in creation order and builds both overlays.
PanelControls buildPanel(toolkit::Frame& frame, const PanelBuildInputs& inputs);

} // namespace vorpalix
