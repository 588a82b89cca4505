// Our navigation: the rules of the program's own navigations, reloads and cache clears, apart
// from the engine. The view tells what happened (asked, started, ended, a clear, a held question)
// and carries out what this decides; what the engine does and reports stays in the view.
#pragma once

#include "host/browser.h"

#include <functional>
#include <optional>

namespace ostrel::web {

class OurNavigation {
public:
    // What the view is to do now.
    struct Decision {
        enum class Step {
            Load,         // make this navigation now (then LoadAsked, if it goes to the engine)
            AskAgainSoon, // AskAgain(attempt), from the event loop
            PollTheClear, // ReloadWhenReady, in a moment: the cache clear goes on
            Reload,       // reload the current page
        };
        Step step;
        host::Request request; // Load
        int attempt = 0;       // AskAgainSoon
    };
    // How a load of the engine's ended, with the facts that the view reads from its address.
    struct LoadEnd {
        enum class How { Stopped, Succeeded, Failed };
        How how;
        bool ours; // at the address of our last navigation
        bool web;  // an address the engine shows itself; any other it refused
    };

    // A displaced navigation of ours is asked for again at most this often.
    static constexpr int kMostAskedAgain = 5;

    // clearGoesOn: whether the cache clear last started is still under way, as far as the engine
    // tells, and not past the time a reload waits for it.
    OurNavigation(std::function<void(const Decision&)> carryOut, std::function<bool()> clearGoesOn);

    void Navigate(const host::Request& asked);
    // Our navigation has gone to the engine now.
    void LoadAsked(bool replacing);
    void LoadStarted();
    // True when the load's document is for the view to show; ReloadWhenReady after it.
    bool LoadEnded(const LoadEnd& end);
    void AskAgain(int attempt);
    void Refresh();
    void ReloadWhenReady();
    // A load in flight is stopped for a cache clear, which is starting.
    void StoppedForAClear();
    void ClearStarted();
    // A question our navigation met cannot go to the user yet: true if it is held for it.
    bool HoldForTheQuestion();
    // The question may go to the user now; lost: the engine was told no, so ours is made again.
    void MayAsk(bool lost);

    bool UnderWay() const { return pending_ != Pending::None; }
    const host::Request& Last() const { return last_; }

private:
    void loadNow(host::Request request);
    bool askAgainIfDisplaced(const LoadEnd& end);
    void endOurNavigation(const LoadEnd& end);
    void endHoldWhenLanded();

    std::function<void(const Decision&)> carryOut_;
    std::function<bool()> clearGoesOn_;
    host::Request last_; // our last navigation, to ask for again and to try again
    enum class Pending { None, Requested, Started };
    Pending pending_ = Pending::None; // a navigation of ours that has not landed yet
    bool replacing_ = false;          // it goes by the page's own location.replace()
    int askedAgain_ = 0;              // times it was asked for again after a page's navigation took its place
    bool reloadWanted_ = false;       // Refresh was asked for and has not reloaded yet
    bool clearing_ = false;           // a cache clear has started and was not yet found over
    std::optional<host::Request> interrupted_; // ours the clear stopped or held back: made once it is over
    // Our navigation that met a question no one could be asked yet (WebPage::questionPutOff): held
    // until the user can be asked, then asking, until it has landed.
    enum class Hold { None, Held, Asking };
    Hold hold_ = Hold::None;
    std::optional<host::Request> queued_; // ours asked for while one is held: made once it has landed
};

} // namespace ostrel::web
