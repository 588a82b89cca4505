// The application message filter as a table: message -> click, handled, what reaches the page.
#include "app/messagefilter.h"

#include <gtest/gtest.h>

namespace ostrel::app {
namespace {

using Kind = Message::Kind;

struct Row {
    const char* what;
    Message message;
    bool compact;
    std::optional<Control> click;
    bool handled;
    bool forwarded;
    bool nullified;
};

TEST(MessageFilter, decidesEveryMessageAsTheTableSays)
{
    const Row rows[] = {
        {"F5 released", {Kind::KeyUp, VK_F5, false, false}, false, Control::BtnOstrelWeb, true, false, false},
        {"F5 released in the page", {Kind::KeyUp, VK_F5, false, true}, false, Control::BtnOstrelWeb, true, false, false},
        {"F5 pressed", {Kind::KeyDown, VK_F5, false, true}, false, std::nullopt, false, false, false},
        {"Alt+F5 released", {Kind::SysKeyUp, VK_F5, false, true}, false, std::nullopt, false, false, false},
        {"F12", {Kind::KeyUp, VK_F12, false, false}, true, Control::btnCalculator, true, false, false},
        {"F11 compact", {Kind::KeyUp, VK_F11, false, false}, true, Control::btnTeamviewer, true, false, false},
        {"F2", {Kind::KeyUp, VK_F2, false, false}, false, Control::BtnOWS, true, false, false},
        {"F2 compact", {Kind::KeyUp, VK_F2, false, false}, true, std::nullopt, false, false, false},
        {"F4", {Kind::KeyUp, VK_F4, false, false}, false, Control::BtnBestanden, true, false, false},
        {"F4 compact", {Kind::KeyUp, VK_F4, false, true}, true, std::nullopt, false, false, false},
        {"Tab in page", {Kind::KeyDown, VK_TAB, false, true}, false, std::nullopt, true, true, false},
        {"Enter in page", {Kind::KeyUp, VK_RETURN, false, true}, false, std::nullopt, true, true, false},
        {"Tab outside", {Kind::KeyDown, VK_TAB, false, false}, false, std::nullopt, false, false, false},
        {"Delete in page", {Kind::KeyDown, VK_DELETE, true, true}, false, std::nullopt, true, true, false},
        {"keypad Delete", {Kind::KeyDown, VK_DELETE, false, true}, false, std::nullopt, false, false, false},
        {"Left in page", {Kind::KeyDown, VK_LEFT, true, true}, false, std::nullopt, true, true, false},
        {"keypad Right", {Kind::KeyDown, VK_RIGHT, false, true}, false, std::nullopt, false, false, false},
        {"Backspace", {Kind::KeyDown, VK_BACK, false, true}, false, std::nullopt, false, false, false},
        {"Up", {Kind::KeyDown, 38, true, true}, false, std::nullopt, false, false, false},
        {"Alt+Tab-ish", {Kind::SysKeyDown, VK_TAB, false, true}, false, std::nullopt, true, true, false},
        {"close inner window", {Kind::Close, 0, false, true}, false, std::nullopt, false, false, true},
        {"close main window", {Kind::Close, 0, false, false}, false, std::nullopt, false, false, false},
    };
    for (const Row& row : rows) {
        const FilterResult result = FilterMessage(row.message, row.compact);
        EXPECT_EQ(result.click, row.click) << row.what;
        EXPECT_EQ(result.handled, row.handled) << row.what;
        EXPECT_EQ(result.forwardToBrowser, row.forwarded) << row.what;
        EXPECT_EQ(result.nullified, row.nullified) << row.what;
    }
}

// The engine's hand-back is the copy of a key that went to the page, soon after; anything else,
// the accessibility bridge's copies included, is a key's first delivery.
TEST(KeyDeliveries, onlyTheCopyOfAKeyThatWentToThePageIsAHandBackAndOnlyOnce)
{
    using Key = KeyDeliveries::Key;
    const Key f5Up{7, 0x01000034, 0, 71, 0xffc2};
    const Key f5Down{6, 0x01000034, 0, 71, 0xffc2};
    const Key shiftF5Up{7, 0x01000034, 0x02000000, 71, 0xffc2};
    KeyDeliveries deliveries;
    EXPECT_FALSE(deliveries.HandBack(f5Up, 0)) << "nothing went to the page: a first delivery";
    deliveries.SentToPage(f5Down, 10);
    deliveries.SentToPage(f5Up, 20);
    EXPECT_FALSE(deliveries.HandBack(shiftF5Up, 25)) << "another key";
    EXPECT_TRUE(deliveries.HandBack(f5Up, 25));
    EXPECT_FALSE(deliveries.HandBack(f5Up, 26)) << "each hand-back once";
    EXPECT_TRUE(deliveries.HandBack(f5Down, 30)) << "in any order";
    deliveries.SentToPage(f5Up, 100);
    EXPECT_FALSE(deliveries.HandBack(f5Up, 100 + KeyDeliveries::kHandBackWithinMs + 1))
        << "too late: another key";
}

} // namespace
} // namespace ostrel::app
