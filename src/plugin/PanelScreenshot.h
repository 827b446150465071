#pragma once

// A private request of the bundled tools (vorpalix-render --screenshot): the plug-in draws its
// panel without a window, after the given clicks, and writes it as a PNG file. It is sent as
// effVendorSpecific with index kPanelScreenshotOpcode and ptr pointing at the request; the
// plug-in answers 1 when the file was written. Hosts never send it.

#include <cstdint>

#include "plugin/VstInterface.h"

namespace vorpalix {

struct PanelScreenshotRequest {
    const char* path = nullptr;
    const std::int32_t* clicks = nullptr; // x, y pairs in panel pixels, clicked in turn
    std::int32_t clickCount = 0;          // number of pairs
};

inline constexpr vst::VstInt32 kPanelScreenshotOpcode = vst::fourCharCode('V', 'x', 'S', 'c');

} // namespace vorpalix
