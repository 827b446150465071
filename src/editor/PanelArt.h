#pragma once

// The panel's bitmaps come from the art embedded in the plug-in module: resource id n is the PNG
// resource "bitmap<n>".

#include <cstdint>
#include <span>

namespace vorpalix {

// The PNG bytes of a panel bitmap id, or an empty span.
std::span<const std::uint8_t> panelBitmapBytes(int resourceId);

// Registers the embedded art as the toolkit's bitmap source (replacing any other source, so that
// a window opened after a test or a second program part changed it still finds its art).
// UI thread.
void usePanelArt();

} // namespace vorpalix
