#pragma once

// The parts of the panel's layout that the editor fixes itself rather than reading from the GUI
// description: which controls it asks for and in what order (also their drawing order), where the
// two overlay panels sit, the ranges of the tempo digits and the About box's version text.

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "toolkit/Geometry.h"

namespace vorpalix {

// The 187 control names the editor builds, in creation order.
const std::vector<std::string>& panelCreationOrder();

// Bitmaps the editor uses besides those the description names.
enum PanelBitmap : int {
    kBitmapBackground = 100,
    kBitmapAboutBox = 752,
    kBitmapAboutClose = 760,
    kBitmapBrowserClose = 912,
    kBitmapBrowserUp = 913,
    kBitmapBrowserDown = 914,
    kBitmapPresetSlot = 915,
    kBitmapPresetBrowser = 920,
    kBitmapBrowserLoad = 921,
    kBitmapBrowserSave = 922,
    kBitmapFirstInstrumentTab = 930, // 930..940, BD..RD
};

// The preset browser: centred in the frame, then moved up by 124 pixels (integer division, so
// on a background as small as the browser it starts 124 pixels above the frame's top).
toolkit::Rect presetBrowserRect(const toolkit::Rect& frame, int width, int height);
// The About box: centred in the frame.
toolkit::Rect aboutBoxRect(const toolkit::Rect& frame, int width, int height);

// A push button of the preset browser, in the browser's own coordinates.
struct BrowserButton {
    int tag;
    int bitmap;
    toolkit::Rect rect;
};
const std::array<BrowserButton, 9>& presetBrowserButtons();
// Preset slot i (0..31): eight rows in four columns; its name field; instrument tab k (0..10).
toolkit::Rect presetSlotRect(int slot);
toolkit::Rect presetNameRect(int slot);
toolkit::Rect instrumentTabRect(int instrument);

// The About box's close button and version label, in the box's coordinates.
inline constexpr toolkit::Rect kAboutCloseRect{255, 10, 270, 35};
inline constexpr toolkit::Rect kAboutVersionRect{8, 36, 52, 47};
// "v.1.0.3" for version 1030: thousands, hundreds and tens.
std::string versionText(int vendorVersion);

// The value range of a tempo digit while it is dragged: 0..9 (hundreds 0..3) and never the
// blank, the letters or the sign frames.
struct DigitRange {
    int tag;
    float min;
    float max;
};
const std::array<DigitRange, 4>& tempoDigitRanges();

} // namespace vorpalix
