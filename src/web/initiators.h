// Who asked for each navigation: the origin of the page or frame that started it (none for the
// program's own loads). A download is a navigation whose answer is a file, so this tells which page
// asked for a download; the engine's download request itself does not. It also refuses every
// service worker's script, the profile's one request rule.
#pragma once

#include <QUrl>
#include <QWebEngineUrlRequestInterceptor>

#include <deque>
#include <utility>

namespace ostrel::web {

class NavigationInitiators final : public QWebEngineUrlRequestInterceptor {
    Q_OBJECT
public:
    using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;

    // Runs on the GUI thread for every request of the profile's pages; keeps the navigations'.
    void interceptRequest(QWebEngineUrlRequestInfo& info) override;

    // The origin that asked for the latest navigation to url (also the target of a redirect), or
    // an empty address when none is known.
    QUrl InitiatorOf(const QUrl& url) const;
    // Whether the latest navigation to url was a frame's, not a page's.
    bool InFrame(const QUrl& url) const;

private:
    struct Navigation {
        QUrl url;
        QUrl initiator;
        bool inFrame = false;
    };
    const Navigation* latest(const QUrl& url) const;

    static constexpr std::size_t kRemembered = 64;
    std::deque<Navigation> recent_; // newest last
};

} // namespace ostrel::web
