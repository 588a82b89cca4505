// Who asks. Whatever a page would make happen outside itself (a file opened, a program's link, an
// address handed to the desktop) asks this one place, and the answer has the same parts on every
// path: is it the insurer's (one of the compiled-in hosts: the page that asks and, after its
// redirects, where the thing comes from), and did the user act (a click or key of their own a
// moment ago, counted once). A question of ours that is open holds the program's shortcuts.
#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QUrl>

#include <functional>

namespace ostrel::web {

class Trust {
public:
    explicit Trust(QList<QUrl> insurerOrigins) : insurer_(std::move(insurerOrigins)) {}

    // True for an address on one of the insurer's origins (scheme, host and port).
    bool IsInsurers(const QUrl& url) const;

    // The user's own click or key, as the window system (or a screen reader) delivered it; a
    // page's script never gets here.
    void UserActed();
    // The user's latest act, when it came within kActMs and nothing has been done for it yet;
    // 0 when there is none.
    quint64 RecentAct() const;
    // True, once per act: one act of the user's stands for one thing outside the page.
    bool TakeAct(quint64 act);
    // As long as the engine's own user activation lasts.
    static constexpr int kActMs = 5000;

    // True while a modal window of ours (a login, a certificate, the print or file dialog, the
    // error box, a question before quitting) or a menu is open. The program's message dialog is
    // none: its shortcuts work on behind it, as the program has always done.
    static bool QuestionOpen();
    // Runs fn at once when no question is open; otherwise cancels the open one (a window of ours,
    // then a page's dialog over its page) and runs fn from the event loop once it has gone: never
    // inside the engine's own wait for an answer, which a navigation would pull the ground from under.
    static void AfterQuestions(QObject* context, std::function<void()> fn);

private:
    QList<QUrl> insurer_;
    QElapsedTimer lastAct_;
    quint64 acts_ = 0;  // the user's acts so far
    quint64 taken_ = 0; // the latest act that something was done for
};

} // namespace ostrel::web
