#include "app/messagefilter.h"

#include <algorithm>

namespace ostrel::app {

namespace {
template <std::size_t N>
bool contains(const int (&keys)[N], int key)
{
    return std::find(std::begin(keys), std::end(keys), key) != std::end(keys);
}
} // namespace

FilterResult FilterMessage(const Message& message, bool compactMode)
{
    FilterResult result;
    if (message.kind == Message::Kind::KeyUp) {
        for (const Shortcut& shortcut : kShortcuts)
            if (message.virtualKey == shortcut.virtualKey && !(shortcut.offInCompactMode && compactMode)) {
                result.click = shortcut.button;
                result.handled = true;
            }
    }
    if (!message.targetInBrowser)
        return result;
    if (message.kind == Message::Kind::Close) {
        result.nullified = true;
        return result;
    }
    if (message.kind == Message::Kind::Other)
        return result;
    if (contains(kPlainBrowserKeys, message.virtualKey) ||
        (contains(kExtendedBrowserKeys, message.virtualKey) && message.extendedKey)) {
        // Offered to the page, and never to the window's own keyboard handling, taken or not.
        result.forwardToBrowser = true;
        result.handled = true;
    }
    return result;
}

std::optional<BrowserAction> BrowserKeyAction(int virtualKey, bool ctrl, bool alt)
{
    for (const BrowserKey& key : kBrowserKeys)
        if (key.virtualKey == virtualKey && key.ctrl == ctrl && key.alt == alt)
            return key.action;
    return std::nullopt;
}

void KeyDeliveries::SentToPage(const Key& key, std::int64_t nowMs)
{
    constexpr std::size_t kRemembered = 16;
    if (sentToPage_.size() == kRemembered)
        sentToPage_.pop_front();
    sentToPage_.emplace_back(key, nowMs);
}

bool KeyDeliveries::HandBack(const Key& key, std::int64_t nowMs)
{
    while (!sentToPage_.empty() && nowMs - sentToPage_.front().second > kHandBackWithinMs)
        sentToPage_.pop_front();
    const auto found =
        std::find_if(sentToPage_.begin(), sentToPage_.end(),
                     [&](const std::pair<Key, std::int64_t>& sent) { return sent.first == key; });
    if (found == sentToPage_.end())
        return false;
    sentToPage_.erase(found);
    return true;
}

} // namespace ostrel::app
