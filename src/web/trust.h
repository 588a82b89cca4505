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

class QWidget;

#include <functional>

namespace ostrel::host {
class Pause;
}

namespace ostrel::web {

class NavigationInitiators;

// An address's site as one text, "scheme://host:port", the scheme's default port told: two
// addresses are of one site when theirs are equal.
QString OriginOf(const QUrl& url);

class Trust {
public:
    // initiators: who asked for each navigation of the profile's pages (which page a download came
    // from); pause: the program's. Both outlive this.
    Trust(QList<QUrl> insurerOrigins, const NavigationInitiators& initiators, const host::Pause& pause)
        : insurer_(std::move(insurerOrigins)), initiators_(initiators), pause_(pause)
    {
    }

    // Who is asking.
    struct Asker {
        QUrl page; // the page or frame that asks
        QUrl from; // where what it asks for finally comes from (after redirects); empty: nothing
        const QWidget* view = nullptr; // where a question for it would show; none: it shows no question
    };
    struct Answer {
        bool otherSitesFrame = false; // (a download) a frame brought it from another site than the page's
        bool insurers =
            false; // the page, and where the thing comes from if it comes from anywhere, are the insurer's
        quint64 act = 0; // the user's act it may stand for: a click or key of theirs within kActMs that
                         // nothing was done for yet (TakeAct), else 0
        bool questionOpen = false; // a question of ours is open (QuestionOpen)
        bool mayAsk =
            false; // a question may go to the user now: the view's window is on the screen and
                   // the program is not in a pause (the start-up's shows its window after its pause)
    };
    Answer Ask(const Asker& asker) const;
    // For a download: the page that asked is the one whose navigation brought the file; page: the
    // page it came to, when known.
    Answer AskForDownload(const QUrl& url, const QUrl& page = {}) const;

    // The user's own click or key, as the window system (or a screen reader) delivered it; a
    // page's script never gets here.
    void UserActed();
    // True, once per act: one act of the user's stands for one thing outside the page.
    bool TakeAct(quint64 act);
    // The program takes the page elsewhere: no act of the user's so far stands for anything more.
    void EndActs() { taken_ = acts_; }
    // As long as the engine's own user activation lasts.
    static constexpr int kActMs = 5000;

    // True while a modal window of ours (a proxy's login, a certificate, the file dialog, the
    // error box, a question before quitting) or a menu is open. The program's message dialog is
    // none: its shortcuts work on behind it, as the program has always done.
    static bool QuestionOpen();
    // Runs fn at once when no question is open; otherwise cancels the open one (a window of ours,
    // then a page's dialog over its page) and runs fn from the event loop once it has gone: never
    // inside the engine's own wait for an answer, which a navigation would pull the ground from under.
    static void AfterQuestions(QObject* context, std::function<void()> fn);

private:
    // True for an address on one of the insurer's origins (scheme, host and port).
    bool isInsurers(const QUrl& url) const;

    QList<QUrl> insurer_;
    const NavigationInitiators& initiators_;
    const host::Pause& pause_;
    QElapsedTimer lastAct_;
    quint64 acts_ = 0;  // the user's acts so far
    quint64 taken_ = 0; // the latest act that something was done for
};

} // namespace ostrel::web
