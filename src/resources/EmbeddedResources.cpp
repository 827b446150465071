#include "resources/EmbeddedResources.h"

namespace vorpalix {

std::span<const std::uint8_t> findResource(std::string_view name) {
    for (const EmbeddedResource* r = kEmbeddedResources; r->name != nullptr; ++r) {
        if (name == r->name) {
            return {reinterpret_cast<const std::uint8_t*>(r->begin),
                    static_cast<std::size_t>(r->end - r->begin)};
        }
    }
    return {};
}

} // namespace vorpalix
