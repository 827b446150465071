#include "NumberParsing.h"

#include <charconv>
#include <cmath>

namespace vorpalix::host {

bool parseDouble(std::string_view text, double& value) {
    if (text.empty())
        return false;
    double parsed = 0.0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(parsed))
        return false;
    value = parsed;
    return true;
}

bool parseInt(std::string_view text, std::int64_t& value) {
    if (text.empty())
        return false;
    std::int64_t parsed = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (ec != std::errc() || end != text.data() + text.size())
        return false;
    value = parsed;
    return true;
}

} // namespace vorpalix::host
