// Written from the HID Usage Tables (keyboard/keypad page 0x07, consumer page 0x0C, generic desktop
// system controls 0x81-0x83) and the key names of linux/input-event-codes.h.

#include "platform/linux/UsageTables.h"

#include <linux/input-event-codes.h>

#include <array>

namespace keylume::platform {

namespace {

struct Row {
    std::uint16_t page;
    std::uint16_t usage;
    std::uint16_t key;
    bool preferred;  // the usage a shared key code maps back to
};

constexpr std::uint16_t K = 7;
constexpr std::uint16_t C = 12;
constexpr std::uint16_t D = 1;

constexpr Row kRows[] = {
    {K, 0x04, KEY_A, true},
    {K, 0x05, KEY_B, true},
    {K, 0x06, KEY_C, true},
    {K, 0x07, KEY_D, true},
    {K, 0x08, KEY_E, true},
    {K, 0x09, KEY_F, true},
    {K, 0x0A, KEY_G, true},
    {K, 0x0B, KEY_H, true},
    {K, 0x0C, KEY_I, true},
    {K, 0x0D, KEY_J, true},
    {K, 0x0E, KEY_K, true},
    {K, 0x0F, KEY_L, true},
    {K, 0x10, KEY_M, true},
    {K, 0x11, KEY_N, true},
    {K, 0x12, KEY_O, true},
    {K, 0x13, KEY_P, true},
    {K, 0x14, KEY_Q, true},
    {K, 0x15, KEY_R, true},
    {K, 0x16, KEY_S, true},
    {K, 0x17, KEY_T, true},
    {K, 0x18, KEY_U, true},
    {K, 0x19, KEY_V, true},
    {K, 0x1A, KEY_W, true},
    {K, 0x1B, KEY_X, true},
    {K, 0x1C, KEY_Y, true},
    {K, 0x1D, KEY_Z, true},
    {K, 0x1E, KEY_1, true},
    {K, 0x1F, KEY_2, true},
    {K, 0x20, KEY_3, true},
    {K, 0x21, KEY_4, true},
    {K, 0x22, KEY_5, true},
    {K, 0x23, KEY_6, true},
    {K, 0x24, KEY_7, true},
    {K, 0x25, KEY_8, true},
    {K, 0x26, KEY_9, true},
    {K, 0x27, KEY_0, true},
    {K, 0x28, KEY_ENTER, true},
    {K, 0x29, KEY_ESC, true},
    {K, 0x2A, KEY_BACKSPACE, true},
    {K, 0x2B, KEY_TAB, true},
    {K, 0x2C, KEY_SPACE, true},
    {K, 0x2D, KEY_MINUS, true},
    {K, 0x2E, KEY_EQUAL, true},
    {K, 0x2F, KEY_LEFTBRACE, true},
    {K, 0x30, KEY_RIGHTBRACE, true},
    {K, 0x31, KEY_BACKSLASH, true},
    // 0x32 (non-US # and ~) has no key code of its own: Linux reports it as KEY_BACKSLASH.
    {K, 0x33, KEY_SEMICOLON, true},
    {K, 0x34, KEY_APOSTROPHE, true},
    {K, 0x35, KEY_GRAVE, true},
    {K, 0x36, KEY_COMMA, true},
    {K, 0x37, KEY_DOT, true},
    {K, 0x38, KEY_SLASH, true},
    {K, 0x39, KEY_CAPSLOCK, true},
    {K, 0x3A, KEY_F1, true},
    {K, 0x3B, KEY_F2, true},
    {K, 0x3C, KEY_F3, true},
    {K, 0x3D, KEY_F4, true},
    {K, 0x3E, KEY_F5, true},
    {K, 0x3F, KEY_F6, true},
    {K, 0x40, KEY_F7, true},
    {K, 0x41, KEY_F8, true},
    {K, 0x42, KEY_F9, true},
    {K, 0x43, KEY_F10, true},
    {K, 0x44, KEY_F11, true},
    {K, 0x45, KEY_F12, true},
    {K, 0x46, KEY_SYSRQ, true},
    {K, 0x47, KEY_SCROLLLOCK, true},
    {K, 0x48, KEY_PAUSE, true},
    {K, 0x49, KEY_INSERT, true},
    {K, 0x4A, KEY_HOME, true},
    {K, 0x4B, KEY_PAGEUP, true},
    {K, 0x4C, KEY_DELETE, true},
    {K, 0x4D, KEY_END, true},
    {K, 0x4E, KEY_PAGEDOWN, true},
    {K, 0x4F, KEY_RIGHT, true},
    {K, 0x50, KEY_LEFT, true},
    {K, 0x51, KEY_DOWN, true},
    {K, 0x52, KEY_UP, true},
    {K, 0x53, KEY_NUMLOCK, true},
    {K, 0x54, KEY_KPSLASH, true},
    {K, 0x55, KEY_KPASTERISK, true},
    {K, 0x56, KEY_KPMINUS, true},
    {K, 0x57, KEY_KPPLUS, true},
    {K, 0x58, KEY_KPENTER, true},
    {K, 0x59, KEY_KP1, true},
    {K, 0x5A, KEY_KP2, true},
    {K, 0x5B, KEY_KP3, true},
    {K, 0x5C, KEY_KP4, true},
    {K, 0x5D, KEY_KP5, true},
    {K, 0x5E, KEY_KP6, true},
    {K, 0x5F, KEY_KP7, true},
    {K, 0x60, KEY_KP8, true},
    {K, 0x61, KEY_KP9, true},
    {K, 0x62, KEY_KP0, true},
    {K, 0x63, KEY_KPDOT, true},
    {K, 0x64, KEY_102ND, true},
    {K, 0x65, KEY_COMPOSE, true},
    {K, 0x66, KEY_POWER, false},
    {K, 0x67, KEY_KPEQUAL, true},
    {K, 0x68, KEY_F13, true},
    {K, 0x69, KEY_F14, true},
    {K, 0x6A, KEY_F15, true},
    {K, 0x6B, KEY_F16, true},
    {K, 0x6C, KEY_F17, true},
    {K, 0x6D, KEY_F18, true},
    {K, 0x6E, KEY_F19, true},
    {K, 0x6F, KEY_F20, true},
    {K, 0x70, KEY_F21, true},
    {K, 0x71, KEY_F22, true},
    {K, 0x72, KEY_F23, true},
    {K, 0x73, KEY_F24, true},
    {K, 0x74, KEY_OPEN, true},
    {K, 0x75, KEY_HELP, true},
    {K, 0x76, KEY_PROPS, true},
    {K, 0x77, KEY_FRONT, true},
    {K, 0x78, KEY_STOP, false},
    {K, 0x79, KEY_AGAIN, true},
    {K, 0x7A, KEY_UNDO, true},
    {K, 0x7B, KEY_CUT, true},
    {K, 0x7C, KEY_COPY, true},
    {K, 0x7D, KEY_PASTE, true},
    {K, 0x7E, KEY_FIND, true},
    {K, 0x7F, KEY_MUTE, false},
    {K, 0x80, KEY_VOLUMEUP, false},
    {K, 0x81, KEY_VOLUMEDOWN, false},
    {K, 0x85, KEY_KPCOMMA, true},
    {K, 0x87, KEY_RO, true},
    {K, 0x88, KEY_KATAKANAHIRAGANA, true},
    {K, 0x89, KEY_YEN, true},
    {K, 0x8A, KEY_HENKAN, true},
    {K, 0x8B, KEY_MUHENKAN, true},
    {K, 0x8C, KEY_KPJPCOMMA, true},
    {K, 0x90, KEY_HANGEUL, true},
    {K, 0x91, KEY_HANJA, true},
    {K, 0x92, KEY_KATAKANA, true},
    {K, 0x93, KEY_HIRAGANA, true},
    {K, 0x94, KEY_ZENKAKUHANKAKU, true},
    {K, 0x99, KEY_ALTERASE, true},
    {K, 0x9B, KEY_CANCEL, true},
    {K, 0x9C, KEY_CLEAR, true},
    {K, 0xE0, KEY_LEFTCTRL, true},
    {K, 0xE1, KEY_LEFTSHIFT, true},
    {K, 0xE2, KEY_LEFTALT, true},
    {K, 0xE3, KEY_LEFTMETA, true},
    {K, 0xE4, KEY_RIGHTCTRL, true},
    {K, 0xE5, KEY_RIGHTSHIFT, true},
    {K, 0xE6, KEY_RIGHTALT, true},
    {K, 0xE7, KEY_RIGHTMETA, true},

    {C, 0x6F, KEY_BRIGHTNESSUP, true},
    {C, 0x70, KEY_BRIGHTNESSDOWN, true},
    {C, 0xB0, KEY_PLAYCD, true},
    {C, 0xB1, KEY_PAUSECD, true},
    {C, 0xB3, KEY_FASTFORWARD, true},
    {C, 0xB4, KEY_REWIND, true},
    {C, 0xB5, KEY_NEXTSONG, true},
    {C, 0xB6, KEY_PREVIOUSSONG, true},
    {C, 0xB7, KEY_STOPCD, true},
    {C, 0xB8, KEY_EJECTCD, true},
    {C, 0xCD, KEY_PLAYPAUSE, true},
    {C, 0xE2, KEY_MUTE, true},
    {C, 0xE5, KEY_BASSBOOST, true},
    {C, 0xE9, KEY_VOLUMEUP, true},
    {C, 0xEA, KEY_VOLUMEDOWN, true},
    {C, 0x183, KEY_CONFIG, true},
    {C, 0x18A, KEY_MAIL, true},
    {C, 0x192, KEY_CALC, true},
    {C, 0x194, KEY_FILE, true},
    {C, 0x196, KEY_WWW, true},
    {C, 0x221, KEY_SEARCH, true},
    {C, 0x223, KEY_HOMEPAGE, true},
    {C, 0x224, KEY_BACK, true},
    {C, 0x225, KEY_FORWARD, true},
    {C, 0x226, KEY_STOP, true},
    {C, 0x227, KEY_REFRESH, true},
    {C, 0x22A, KEY_BOOKMARKS, true},

    {D, 0x81, KEY_POWER, true},
    {D, 0x82, KEY_SLEEP, true},
    {D, 0x83, KEY_WAKEUP, true},
};

constexpr std::array<std::uint16_t, 8> kMouseButtons = {
    BTN_LEFT, BTN_RIGHT, BTN_MIDDLE, BTN_SIDE, BTN_EXTRA, BTN_FORWARD, BTN_BACK, BTN_TASK,
};

}  // namespace

std::optional<std::uint16_t> KeyCodeOfUsage(HidUsage usage) {
    for (const Row& row : kRows) {
        if (row.page == usage.page && row.usage == usage.usage)
            return row.key;
    }
    return std::nullopt;
}

std::optional<HidUsage> UsageOfKeyCode(std::uint16_t keyCode) {
    for (const Row& row : kRows) {
        if (row.key == keyCode && row.preferred)
            return HidUsage{row.page, row.usage};
    }
    return std::nullopt;
}

std::span<const std::uint16_t, 8> MouseButtonCodes() {
    return kMouseButtons;
}

}  // namespace keylume::platform
