// Pairs the user's clicks on links with the navigations they start. Our script in the page reports
// each link the user clicked (a script's click is not trusted, so never reported), and the engine
// asks about the navigation; the two come in either order. A link for another program goes out
// only when both came for the same address within kClickValidMs, once per click.
#pragma once

#include <QList>
#include <QString>
#include <QUrl>

#include <functional>
#include <utility>

namespace ostrel::web {

class LinkClicks {
public:
    // Milliseconds on a steady clock; a test sets its own.
    using Clock = std::function<qint64()>;
    explicit LinkClicks(Clock clock = {});

    // A link the user clicked stands for the navigation it starts this long.
    static constexpr int kClickValidMs = 1000;

    // The user clicked a link to url: true when its navigation came already (and is taken).
    bool Clicked(const QUrl& url);
    // The engine navigates to url: true when the user's click on it came already (and is taken).
    bool Navigated(const QUrl& url);

private:
    using Entries = QList<std::pair<QString, qint64>>; // address, when
    bool pair(Entries& other, Entries& own, const QUrl& url);

    Clock clock_;
    Entries clicked_;   // clicks whose navigation has not come
    Entries navigated_; // navigations whose click has not come
};

} // namespace ostrel::web
