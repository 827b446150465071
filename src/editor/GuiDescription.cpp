#include "editor/GuiDescription.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <limits>
#include <optional>

#include "state/XmlDocument.h"

namespace vorpalix {
namespace {

constexpr std::array<std::string_view, 11> kClassNames = {
    "COnOffButton",    "CKickButton",       "CNStateButton", "CAnimKnob",
    "CVerticalSwitch", "CHorizontalSwitch", "CMovieBitmap",  "CExMovieBitmap",
    "CBitmapDisplay",  "CTextLabel",        "CTextEdit"};

constexpr std::array<std::string_view, 8> kFontTokens = {
    "kSystemFont",      "kNormalFontVeryBig", "kNormalFontBig",       "kNormalFont",
    "kNormalFontSmall", "kNormalFontSmaller", "kNormalFontVerySmall", "kSymbolFont"};

// Cuts text to the longest prefix of at most `limit` bytes that ends on a character boundary.
std::string cut(std::string text, std::size_t limit) {
    if (text.size() <= limit) {
        return text;
    }
    std::size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
        --end;
    }
    text.resize(end);
    return text;
}

// The text of an attribute, cut to the layout's text limit.
std::optional<std::string> textAttribute(const xmlNode* node, const char* name) {
    auto value = attribute(node, name);
    if (value) {
        *value = cut(std::move(*value), GuiDescription::kMaxTextLength);
    }
    return value;
}

// Reads an integer attribute into `target`, keeping the previous value when it does not parse.
void readInt(const xmlNode* node, const char* name, int& target) {
    if (const auto value = readIntAttribute(node, name)) {
        target = *value;
    }
}

// posX + offset + ofsX, computed wide and held in the 32-bit range.
std::int32_t place(int position, int offset, int extra) {
    const long long sum = static_cast<long long>(position) + offset + extra;
    return static_cast<std::int32_t>(std::clamp<long long>(
        sum, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

std::int32_t extend(std::int32_t start, int size) {
    return place(start, size, 0);
}

// "#" and hexadecimal digits: red in bits 16..23, green 8..15, blue 0..7.
std::optional<std::array<std::uint8_t, 4>> parseColour(std::string_view text) {
    if (text.empty() || text.front() != '#') {
        return std::nullopt;
    }
    text.remove_prefix(1);
    std::uint32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (error != std::errc{} || end == text.data()) {
        return std::nullopt;
    }
    return std::array<std::uint8_t, 4>{static_cast<std::uint8_t>(value >> 16),
                                       static_cast<std::uint8_t>(value >> 8),
                                       static_cast<std::uint8_t>(value), 255};
}

} // namespace

int controlKindOfClassName(std::string_view className) {
    for (std::size_t i = 0; i < kClassNames.size(); ++i) {
        if (kClassNames[i] == className) {
            return static_cast<int>(i) + 1;
        }
    }
    return 0;
}

int fontIndexOfToken(std::string_view token) {
    for (std::size_t i = 0; i < kFontTokens.size(); ++i) {
        if (kFontTokens[i] == token) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

void GuiDescription::parse(const xmlNode* gui, const TagLookup& tagOfName) {
    if (!isElement(gui, "GUI")) {
        return;
    }
    int offsetX = 0;
    int offsetY = 0;
    readInt(gui, "offsetX", offsetX);
    readInt(gui, "offsetY", offsetY);

    for (const xmlNode* entry : elementChildren(gui)) {
        if (!isElement(entry, "control")) {
            continue;
        }
        const std::string name = textAttribute(entry, "name").value_or("");
        const int kind = controlKindOfClassName(textAttribute(entry, "class").value_or(""));
        if (kind == 0) {
            continue;
        }
        int posX = 0, posY = 0, ofsX = 0, ofsY = 0, width = 0, height = 0, frames = 0, resID = 0;
        readInt(entry, "posX", posX);
        readInt(entry, "posY", posY);
        readInt(entry, "ofsX", ofsX);
        readInt(entry, "ofsY", ofsY);
        readInt(entry, "width", width);
        readInt(entry, "height", height);
        readInt(entry, "frames", frames);
        readInt(entry, "resID", resID);

        ControlDescriptor d;
        d.kind = static_cast<ControlKind>(kind);
        d.rect.left = place(posX, offsetX, ofsX);
        d.rect.top = place(posY, offsetY, ofsY);
        d.rect.right = extend(d.rect.left, width);
        d.rect.bottom = extend(d.rect.top, height);
        d.tag = tagOfName ? tagOfName(name) : -1;
        d.bitmapId = resID;
        d.frames = frames;

        switch (d.kind) {
        case ControlKind::NStateButton: {
            const auto mode = attribute(entry, "mode");
            if (mode == "onPress") {
                d.mode = 0;
            } else if (mode == "onRelease") {
                d.mode = 1;
            }
            const auto real = attribute(entry, "realButton");
            if (real == "true") {
                d.realButton = true;
            } else if (real == "false") {
                d.realButton = false;
            }
            d.states = d.realButton ? frames / 2 : frames;
            break;
        }
        case ControlKind::BitmapDisplay:
            readInt(entry, "chars", d.chars);
            readInt(entry, "fonts", d.fonts);
            break;
        case ControlKind::TextLabel:
        case ControlKind::TextEdit: {
            if (d.kind == ControlKind::TextLabel) {
                d.tag = -1;
            }
            d.bitmapId = 0;
            if (const auto token = attribute(entry, "font")) {
                const int font = fontIndexOfToken(*token);
                d.font = font >= 0 ? font : d.font;
            }
            d.text = textAttribute(entry, "text").value_or("");
            if (const auto colour = attribute(entry, "fontcolor")) {
                d.fontColour = parseColour(*colour).value_or(d.fontColour);
            }
            break;
        }
        default:
            break;
        }
        table_.insert_or_assign(name, std::move(d));
        names_.push_back(name);
    }
}

const ControlDescriptor* GuiDescription::find(std::string_view name) const {
    const auto it = table_.find(name);
    return it == table_.end() ? nullptr : &it->second;
}

void GuiDescription::clear() {
    table_.clear();
    names_.clear();
}

} // namespace vorpalix
