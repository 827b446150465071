#pragma once

// The panel layout as the settings document describes it: the controls of its GUI element with
// their rectangles in window pixels (offsets applied), and the parameter defaults of its
// VSTParameters element (for the preview picture).

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace panelart {

struct Control {
    std::string name;
    std::string className;
    int x = 0, y = 0, width = 0, height = 0; // window pixels, offsets applied
    int frames = 0;
    int resId = 0;
    int chars = 0;
    int fonts = 0;
    bool realButton = true;
};

struct Layout {
    std::vector<Control> controls;
    std::map<std::string, double> defaults;   // parameter name -> default value
    std::vector<std::string> bassDrumPresets; // factory preset names, for the browser preview
    const Control* find(const std::string& name) const;
};

// Reads the GUI and VSTParameters elements of a settings document. On failure returns nothing
// and sets error to one line.
std::optional<Layout> readLayout(const std::string& path, std::string& error);

} // namespace panelart
