#pragma once

#include <cstdint>
#include <string_view>

namespace vorpalix::host {

// Whole-text number readers for command lines and event files. They use std::from_chars, so the
// result never depends on the locale; the entire text must be the number, with no sign '+',
// no spaces and (for doubles) a finite value.
bool parseDouble(std::string_view text, double& value);
bool parseInt(std::string_view text, std::int64_t& value);

} // namespace vorpalix::host
