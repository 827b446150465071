#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace vorpalix {

// One file compiled into the plug-in module (the settings document, the waveforms).
struct EmbeddedResource {
    const char* name;
    const unsigned char* begin;
    const unsigned char* end;
};

// The table of embedded resources, ended by an entry whose name is null.
extern const EmbeddedResource kEmbeddedResources[];

// Any thread: the data is constant. The bytes of the embedded resource with this name, or an
// empty span when there is none.
std::span<const std::uint8_t> findResource(std::string_view name);

} // namespace vorpalix
