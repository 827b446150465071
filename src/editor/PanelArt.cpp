#include "editor/PanelArt.h"

#include <string>

#include "resources/EmbeddedResources.h"
#include "toolkit/Bitmap.h"

namespace vorpalix {

std::span<const std::uint8_t> panelBitmapBytes(int resourceId) {
    if (resourceId <= 0)
        return {};
    return findResource("bitmap" + std::to_string(resourceId));
}

void usePanelArt() {
    toolkit::setResourceLoader(&panelBitmapBytes);
}

} // namespace vorpalix
