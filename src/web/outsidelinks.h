// Links for other programs: mailto:, ftp:, and any other scheme the engine does not show itself.
// A page hands one to the desktop only for a link the user clicked himself, and only after he has
// said yes to "Deze link openen met ...?" (or to that scheme earlier in the session). Schemes that
// run code or search the disk are never handed over. The insurer's own pages keep what the program
// has always done for them: their top-level document going to an ftp:// address, which the engine
// cannot show, is handed off to the desktop without a question (navigation/ftphandoff.h).
#pragma once

#include <QHash>
#include <QString>
#include <QUrl>

#include <functional>

class QWebEngineView;

namespace ostrel::web {

class Trust;

class OutsideLinks {
public:
    using Opener = std::function<void(const QUrl&)>;
    // The name of the desktop's program for a scheme; empty when there is none.
    using Namer = std::function<QString(const QString& scheme)>;

    // open: what the user said yes to; handOff: an ftp:// address of the insurer's page.
    OutsideLinks(Trust& trust, Opener open, Opener handOff, Namer name)
        : trust_(trust), open_(std::move(open)), handOff_(std::move(handOff)), name_(std::move(name))
    {
    }

    // True for an address only the desktop can open: the engine cannot load ftp:// at all.
    static bool DesktopOnly(const QUrl& url);
    // The top-level document of the page at asker goes to url by itself: handed off (and true)
    // when it is an ftp:// address and the page is the insurer's.
    bool HandOff(const QUrl& url, const QUrl& asker);

    // A link the user clicked in the view's page: said no to, opened, or asked about over the page.
    void Clicked(QWebEngineView* view, const QUrl& url);

    // True for a scheme that is never handed to the desktop.
    static bool Denied(const QString& scheme);

private:
    Trust& trust_;
    Opener open_;
    Opener handOff_;
    Namer name_;
    QHash<QString, bool> remembered_; // scheme -> open, for this session
};

} // namespace ostrel::web
