// Links for other programs: mailto:, ftp:, and any other scheme the engine does not show itself.
// A page hands one to the desktop only for a link the user clicked himself, and only after he has
// said yes to "Deze link openen met ...?" (or to that scheme earlier in the session). Schemes that
// run code or search the disk are never handed over.
#pragma once

#include <QHash>
#include <QString>
#include <QUrl>

#include <functional>

class QWebEngineView;

namespace ostrel::web {

class OutsideLinks {
public:
    using Opener = std::function<void(const QUrl&)>;
    // The name of the desktop's program for a scheme; empty when there is none.
    using Namer = std::function<QString(const QString& scheme)>;

    OutsideLinks(Opener open, Namer name) : open_(std::move(open)), name_(std::move(name)) {}

    // A link the user clicked in the view's page: said no to, opened, or asked about over the page.
    void Clicked(QWebEngineView* view, const QUrl& url);

    // True for a scheme that is never handed to the desktop.
    static bool Denied(const QString& scheme);

private:
    Opener open_;
    Namer name_;
    QHash<QString, bool> remembered_; // scheme -> open, for this session
};

} // namespace ostrel::web
