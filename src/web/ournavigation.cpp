#include "web/ournavigation.h"

#include <utility>

namespace ostrel::web {

OurNavigation::OurNavigation(std::function<void(const Decision&)> carryOut, std::function<bool()> clearGoesOn)
    : carryOut_(std::move(carryOut)), clearGoesOn_(std::move(clearGoesOn))
{
}

void OurNavigation::Navigate(const host::Request& asked)
{
    askedAgain_ = 0;
    if (hold_ != Hold::None) {
        queued_ = asked;
        return;
    }
    if (clearing_) {
        // A load made while the cache is emptied never ends either: it goes once the clear is over,
        // in the place of the reload that may be waiting for it.
        interrupted_ = asked;
        ReloadWhenReady();
        return;
    }
    loadNow(asked);
}

void OurNavigation::loadNow(host::Request request)
{
    last_ = request;
    carryOut_({Decision::Step::Load, std::move(request), 0});
}

void OurNavigation::LoadAsked(bool replacing)
{
    pending_ = Pending::Requested;
    replacing_ = replacing;
    reloadWanted_ = false; // a reload asked for before this navigation was for the page it leaves
}

void OurNavigation::LoadStarted()
{
    if (pending_ == Pending::Requested)
        pending_ = Pending::Started;
}

bool OurNavigation::LoadEnded(const LoadEnd& end)
{
    if (askAgainIfDisplaced(end))
        return false;
    endOurNavigation(end);
    if (end.how == LoadEnd::How::Stopped) {
        endHoldWhenLanded();
        ReloadWhenReady();
        return false;
    }
    if (hold_ == Hold::Held)
        return false; // what the user is not asked yet is no answer: nothing to show for it
    // On a busy machine a load's failure can be told after our next navigation was asked for
    // (the start-up's POST, after its pause): our page for it would take that one's place.
    if (pending_ == Pending::Requested && end.how == LoadEnd::How::Failed)
        return false;
    endHoldWhenLanded();
    return true;
}

// A page's script that goes to another program's address while our navigation is on its way takes
// its place in the engine, which then ends, refused, and leaves the page where it was: ours is asked
// for again, a few times at most, so that a header click is not lost to such a page.
bool OurNavigation::askAgainIfDisplaced(const LoadEnd& end)
{
    if (pending_ != Pending::Started || end.web || askedAgain_ >= kMostAskedAgain || end.ours)
        return false;
    pending_ = Pending::Requested;
    carryOut_({Decision::Step::AskAgainSoon, {}, ++askedAgain_}); // not from inside the engine's report
    return true;
}

void OurNavigation::AskAgain(int attempt)
{
    if (askedAgain_ == attempt && pending_ == Pending::Requested)
        loadNow(last_);
}

// Our navigation has ended with the load that started after it, or, for a load of ours that cut
// another short and brought nothing, with the one end the engine reports, under its address.
void OurNavigation::endOurNavigation(const LoadEnd& end)
{
    if (pending_ == Pending::Started || (pending_ == Pending::Requested && !replacing_ && end.ours))
        pending_ = Pending::None;
}

// A reload while the cache is being emptied can hang for ever, and a reload before the page we
// navigated to has ended cancels it and reloads the page being left. So the reload is made once
// both are over, without holding up the window meanwhile; a navigation of ours that comes first
// takes its place.
void OurNavigation::Refresh()
{
    reloadWanted_ = true;
    ReloadWhenReady();
}

void OurNavigation::ReloadWhenReady()
{
    if (!reloadWanted_ && !interrupted_)
        return;
    if (clearing_) {
        if (clearGoesOn_()) {
            carryOut_({Decision::Step::PollTheClear, {}, 0});
            return;
        }
        clearing_ = false;
    }
    if (interrupted_) { // asked for again as it was, which is the reload
        Navigate(*std::exchange(interrupted_, std::nullopt));
        return;
    }
    if (pending_ != Pending::None || hold_ != Hold::None)
        return; // the end of our navigation, or of the one held, asks again
    reloadWanted_ = false;
    carryOut_({Decision::Step::Reload, {}, 0});
}

// Our own navigation that the clear stops is asked for again once the clear is over, as it was (a
// POST as a POST, without a history entry where it had none); one of the page's own, whose form
// data we never saw, stays stopped.
void OurNavigation::StoppedForAClear()
{
    if (pending_ != Pending::None)
        interrupted_ = last_;
}

void OurNavigation::ClearStarted()
{
    clearing_ = true;
}

// A login or certificate asked for while our navigation was under way and no question could go to
// the user (the start-up's POST, before its window is there): that navigation is held, and ours that
// come meanwhile (the start-up's page) wait for it. Once the user can be asked, the question comes
// (a certificate the engine still waits for), or the navigation is made again (a login the engine
// had to be told no), and what waited goes once it has landed: the portal gets its versions, then
// the page, each once.
bool OurNavigation::HoldForTheQuestion()
{
    if (hold_ != Hold::None || pending_ == Pending::None)
        return false;
    hold_ = Hold::Held; // ours that come meanwhile wait: last_ stays the one held
    return true;
}

void OurNavigation::MayAsk(bool lost)
{
    hold_ = Hold::Asking; // a certificate is asked by the page itself
    if (lost)
        loadNow(last_);
    endHoldWhenLanded();
}

void OurNavigation::endHoldWhenLanded()
{
    if (hold_ != Hold::Asking || pending_ != Pending::None)
        return;
    hold_ = Hold::None;
    if (queued_)
        loadNow(*std::exchange(queued_, std::nullopt));
    else
        ReloadWhenReady();
}

} // namespace ostrel::web
