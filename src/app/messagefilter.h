// The application message filter: every input event passes here before anything else sees it.
// It turns the release of five function keys into clicks on header buttons, keeps close requests
// away from the browser's inner windows, and gives Tab, Enter and four editing keys to the page.
#pragma once

#include "base/control.h"

#include <cstdint>
#include <deque>
#include <optional>
#include <span>

namespace ostrel::app {

// A message, as far as the filter looks at it.
struct Message {
    enum class Kind { KeyDown, KeyUp, SysKeyDown, SysKeyUp, Close, Other };
    Kind kind = Kind::Other;
    int virtualKey = 0;
    bool extendedKey = false;     // the cursor block and Delete, not the numeric keypad
    bool targetInBrowser = false; // aimed at one of the browser's inner windows
};

struct FilterResult {
    std::optional<Control> click; // the button whose click runs, if any
    bool handled = false;   // nothing else gets the message
    bool nullified = false; // a close request that must close nothing
    bool forwardToBrowser = false;
};

struct Shortcut {
    int virtualKey;
    Control button;
    bool offInCompactMode;
};

inline constexpr int VK_TAB = 9, VK_RETURN = 13, VK_BACK = 8, VK_LEFT = 37, VK_RIGHT = 39, VK_DELETE = 46;
inline constexpr int VK_F2 = 113, VK_F4 = 115, VK_F5 = 116, VK_F11 = 122, VK_F12 = 123;

// In the order the filter tests them.
inline constexpr Shortcut kShortcuts[] = {
    {VK_F12, Control::btnCalculator, false}, {VK_F2, Control::BtnOWS, true},
    {VK_F4, Control::BtnBestanden, true},    {VK_F5, Control::BtnOstrelWeb, false},
    {VK_F11, Control::btnTeamviewer, false},
};
inline constexpr int kPlainBrowserKeys[] = {VK_TAB, VK_RETURN};
inline constexpr int kExtendedBrowserKeys[] = {VK_BACK, VK_LEFT, VK_RIGHT, VK_DELETE};

FilterResult FilterMessage(const Message& message, bool compactMode);

// What any browser offers besides: keys (and the mouse's side buttons) taken before the page, so
// that they work wherever the focus is. Stop only while a page is loading: otherwise Escape is the
// page's.
// NextPane is F6: from the page into the header and back.
enum class BrowserAction { Print, ZoomIn, ZoomOut, ZoomReset, Find, Back, Forward, Stop, NextPane };

struct BrowserKey {
    int virtualKey;
    bool ctrl, alt; // Shift does not matter ("+" is Shift and "=" on many keyboards)
    BrowserAction action;
};

inline constexpr int VK_XBUTTON1 = 5, VK_XBUTTON2 = 6, VK_ESCAPE = 27, VK_0 = 0x30, VK_F = 0x46, VK_P = 0x50;
inline constexpr int VK_F6 = 117;
inline constexpr int VK_ADD = 0x6B, VK_SUBTRACT = 0x6D, VK_OEM_PLUS = 0xBB, VK_OEM_MINUS = 0xBD;

inline constexpr BrowserKey kBrowserKeys[] = {
    {VK_P, true, false, BrowserAction::Print},
    {VK_OEM_PLUS, true, false, BrowserAction::ZoomIn},
    {VK_ADD, true, false, BrowserAction::ZoomIn},
    {VK_OEM_MINUS, true, false, BrowserAction::ZoomOut},
    {VK_SUBTRACT, true, false, BrowserAction::ZoomOut},
    {VK_0, true, false, BrowserAction::ZoomReset},
    {VK_F, true, false, BrowserAction::Find},
    {VK_LEFT, false, true, BrowserAction::Back},
    {VK_RIGHT, false, true, BrowserAction::Forward},
    {VK_XBUTTON1, false, false, BrowserAction::Back},
    {VK_XBUTTON2, false, false, BrowserAction::Forward},
    {VK_ESCAPE, false, false, BrowserAction::Stop},
    {VK_F6, false, false, BrowserAction::NextPane},
};

// The action of a key pressed (or a mouse button) with these modifiers, if it has one.
std::optional<BrowserAction> BrowserKeyAction(int virtualKey, bool ctrl, bool alt);

// A key comes to the filter more than once. The engine hands a key that the page left alone back to
// the browser's parent as a copy; and while an assistive technology listens to events (a screen
// reader does), Qt's accessibility bridge swallows every key, lets the technology hear it, then posts
// a copy to where the key was going. Neither copy is spontaneous, so that tells them nothing apart: the
// engine's hand-back is the one that comes to the browser's parent after the same key went to the page. Every
// other delivery is the key's first, the one that counts.
class KeyDeliveries {
public:
    struct Key {
        int type = 0; // press or release
        int key = 0;
        int modifiers = 0;
        std::uint32_t scanCode = 0;
        std::uint32_t virtualKey = 0;
        bool operator==(const Key&) const = default;
    };
    // A hand-back comes within milliseconds of the key; one this late is some other key.
    static constexpr std::int64_t kHandBackWithinMs = 1000;

    // The key went to the page: the engine may hand it back.
    void SentToPage(const Key& key, std::int64_t nowMs);
    // True for the engine's hand-back of a key that went to the page (each such key once).
    bool HandBack(const Key& key, std::int64_t nowMs);

private:
    std::deque<std::pair<Key, std::int64_t>> sentToPage_; // the latest few, oldest first
};

} // namespace ostrel::app
