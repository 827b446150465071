#pragma once

// The panel layout read from the settings document's GUI element: for every control name, the
// class that draws it, where it sits, its bitmap and its class's extras. The editor asks for a
// fixed list of names and builds each control that the layout describes.

#include <libxml/tree.h>

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace vorpalix {

// The eleven control classes a layout can name, in the numbering the layout format uses.
enum class ControlKind : int {
    OnOffButton = 1,
    KickButton = 2,
    NStateButton = 3,
    AnimKnob = 4,
    VerticalSwitch = 5,
    HorizontalSwitch = 6,
    MovieBitmap = 7,
    ExMovieBitmap = 8,
    BitmapDisplay = 9,
    TextLabel = 10,
    TextEdit = 11,
};

// The class of a "class" attribute value, or 0 when it names no known class.
int controlKindOfClassName(std::string_view className);

// The standard font index of a "font" token (0..7), or -1 for an unknown token.
int fontIndexOfToken(std::string_view token);

struct ControlRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;

    std::int32_t width() const { return right - left; }
    std::int32_t height() const { return bottom - top; }
};

// One described control.
struct ControlDescriptor {
    ControlKind kind = ControlKind::KickButton;
    ControlRect rect;
    int tag = -1;     // parameter index bound by name, -1 for none (and for every text label)
    int bitmapId = 0; // 0 for text labels and text fields
    int frames = 0;
    // Multi-state buttons: states is frames / 2 for real buttons (a pressed and a released image
    // per state), else frames; mode 0 acts on press, 1 on release.
    int states = 0;
    int mode = 0;
    bool realButton = true;
    // Bitmap-font displays.
    int fonts = 0;
    int chars = 0;
    // Text labels and text fields.
    std::string text;                                     // at most kMaxTextLength bytes
    int font = 3;                                         // kNormalFont
    std::array<std::uint8_t, 4> fontColour{0, 0, 0, 255}; // red, green, blue, alpha
};

class GuiDescription {
public:
    // Names, class names and texts longer than this are cut (never inside a UTF-8 sequence).
    static constexpr std::size_t kMaxTextLength = 255;

    // Maps a control name to the index of the parameter of that exact name, or -1.
    using TagLookup = std::function<int(std::string_view name)>;

    // UI thread. Reads a GUI element and adds its control entries to the table; an entry whose
    // name is already known replaces the earlier one. Any other node (or nullptr) is ignored.
    void parse(const xmlNode* gui, const TagLookup& tagOfName);

    // The description of a control name, or nullptr.
    const ControlDescriptor* find(std::string_view name) const;
    // Every parsed name in the order read (a replaced name appears again).
    const std::vector<std::string>& names() const { return names_; }
    std::size_t size() const { return table_.size(); }
    void clear();

private:
    std::map<std::string, ControlDescriptor, std::less<>> table_;
    std::vector<std::string> names_;
};

} // namespace vorpalix
