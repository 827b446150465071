// Mouse buttons, modifier keys and key events as the views receive them. One bit set holds
// both the buttons that are down and the modifiers that are held, as the window system reports
// them with every event.
#pragma once

#include <cstdint>

namespace vorpalix::toolkit {

inline constexpr std::uint32_t kLButton = 1u << 0;
inline constexpr std::uint32_t kMButton = 1u << 1;
inline constexpr std::uint32_t kRButton = 1u << 2;
inline constexpr std::uint32_t kShift = 1u << 3;
inline constexpr std::uint32_t kControl = 1u << 4;
inline constexpr std::uint32_t kAlt = 1u << 5;
inline constexpr std::uint32_t kCommand = 1u << 6; // the "super" key under X11
inline constexpr std::uint32_t kButtonMask = kLButton | kMButton | kRButton;
inline constexpr std::uint32_t kModifierMask = kShift | kControl | kAlt | kCommand;

enum class Key { Character, Return, Escape, Backspace, Delete, Left, Right, Home, End, Tab, Other };

struct KeyEvent {
    Key key = Key::Other;
    char32_t character = 0; // the typed character when key is Key::Character
    std::uint32_t modifiers = 0;

    static KeyEvent ofCharacter(char32_t c, std::uint32_t modifiers = 0) {
        return {Key::Character, c, modifiers};
    }
    static KeyEvent ofKey(Key k, std::uint32_t modifiers = 0) { return {k, 0, modifiers}; }
};

} // namespace vorpalix::toolkit
