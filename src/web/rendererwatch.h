// The renderer watch: a page whose script never ends holds its renderer, and with it every
// navigation done in the page (a no-history navigation is the page's own location.replace()) or
// committed to it: the header would do nothing. While our navigation is under way the renderer is
// asked a question every kPingMs; one that has answered none for kUnresponsiveMs is hung. (One
// answer alone proves nothing: it may come just before the page's script starts its loop.)
#pragma once

#include "host/browser.h"
#include "host/pause.h"

#include <QElapsedTimer>
#include <QObject>

#include <functional>

namespace ostrel::web {

class OurNavigation;
class WebPage;

class RendererWatch final : public QObject {
public:
    // Our navigation has not got through after this long and the page's renderer has not answered
    // meanwhile: it is hung, not busy, and is ended, and the navigation made afresh. (A renderer
    // answered within 0.2 s at worst on any page of the stand-in, with both cores taken by other
    // work; a page whose script keeps it a second or two is busy, not hung.)
    static constexpr int kUnresponsiveMs = 5000;
    static constexpr int kPingMs = 500;

    // navigate: makes our navigation afresh once the hung renderer has been ended; pause: the
    // program's, which outlives this.
    RendererWatch(WebPage* page, const OurNavigation& ours, host::Pause& pause,
                  std::function<void(const host::Request&)> navigate);

    // Our navigation begins now: watched in place of any before it, until it has landed.
    void Watch();

private:
    void ping(int watch);
    void endAnUnresponsivePage();

    WebPage* page_;
    const OurNavigation& ours_;
    host::Pause& pause_;
    std::function<void(const host::Request&)> navigate_;
    int watches_ = 0;          // our navigations so far, each watched while it is under way
    QElapsedTimer lastAnswer_; // since the renderer last answered, or our navigation began
    qint64 watchedRenderer_ = 0;
};

} // namespace ostrel::web
