// The panel layout reader with arbitrary documents: whatever it keeps must be usable by the
// editor (a known class, texts within their limit).

#include "editor/GuiDescription.h"
#include "state/XmlDocument.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vorpalix;
    const XmlDocument document =
        XmlDocument::parseMemory(std::span<const std::uint8_t>(data, size));
    GuiDescription description;
    description.parse(document.root(),
                      [](std::string_view name) { return name.size() == 5 ? 48 : -1; });
    for (const std::string& name : description.names()) {
        const ControlDescriptor* d = description.find(name);
        if (d == nullptr || name.size() > GuiDescription::kMaxTextLength ||
            d->text.size() > GuiDescription::kMaxTextLength || static_cast<int>(d->kind) < 1 ||
            static_cast<int>(d->kind) > 11 || d->font < 0 || d->font > 7) {
            std::abort();
        }
    }
    return 0;
}
