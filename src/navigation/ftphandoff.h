// On every completed document (UnsilenceAndHandOff): the silent flag goes off, and a document
// whose address holds "ftp://" is opened once more from the address the top-level frame shows.
#pragma once

#include <string>

namespace ostrel::host {
class Browser;
}

namespace ostrel::navigation {

class FtpHandOff {
public:
    void UnsilenceAndHandOff(host::Browser& browser, const std::string& eventUrl);
    // A page of the insurer's went to an ftp:// address that the browser cannot show: that is the
    // document the hand-off opens once more, where it can be opened, until a document completes.
    void PageWentTo(host::Browser& browser, const std::string& url);
    // True when the previous completion handed off; it keeps a hand-off from following itself.
    bool Guarded() const { return guard_; }

private:
    bool guard_ = false;
};

} // namespace ostrel::navigation
