#include "navigation/ftphandoff.h"

#include "host/browser.h"

namespace ostrel::navigation {

void FtpHandOff::UnsilenceAndHandOff(host::Browser& browser, const std::string& eventUrl)
{
    browser.SetSilent(false);
    if (eventUrl.find("ftp://") == std::string::npos || guard_) {
        guard_ = false;
        return;
    }
    // Set before the address is read and the navigation starts, so that a completion raised on the
    // way finds it set.
    guard_ = true;
    std::string target;
    try {
        target = browser.DocumentUrl();
    } catch (...) {
        // An address that cannot be read is no reason to stop: the event's own address will do.
    }
    browser.Navigate(target.empty() ? eventUrl : target);
}

void FtpHandOff::PageWentTo(host::Browser& browser, const std::string& url)
{
    if (guard_)
        return;
    guard_ = true;
    browser.Navigate(url);
}

} // namespace ostrel::navigation
