// Our navigation's rules as a table: what the view tells, in order, and what it is told to do.
#include "web/ournavigation.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <sstream>

namespace ostrel::web {
namespace {

using Step = OurNavigation::Decision::Step;
using How = OurNavigation::LoadEnd::How;

// Plays the view: a load goes to the engine at once, a document that ends is shown. "event@url"
// (mailto: an address the engine refuses); relogin: the held login was refused; soon: the asking
// again that was put off.
class Script {
public:
    std::string Run(const std::string& script)
    {
        std::istringstream events(script);
        for (std::string event; events >> event;) {
            const auto at = event.find('@');
            events_.at(event.substr(0, at))(at == std::string::npos ? "" : event.substr(at + 1));
        }
        return told_.substr(1);
    }

private:
    using Url = const std::string&;
    void carryOut(const OurNavigation::Decision& decision)
    {
        const char* told[] = {" load ", " again", " poll", " reload"};
        told_ += told[static_cast<int>(decision.step)] + decision.request.url;
        if (decision.step == Step::AskAgainSoon)
            attempt_ = decision.attempt;
        if (decision.step == Step::Load)
            nav_.LoadAsked(decision.request.flags & host::navNoHistory);
    }
    void ended(How how, Url url)
    {
        if (nav_.LoadEnded({how, url == nav_.Last().url, url != "mailto"})) {
            told_ += " show";
            nav_.ReloadWhenReady();
        }
    }

    std::string told_;
    bool clearing_ = false;
    int attempt_ = 0;
    OurNavigation nav_{[this](const auto& decision) { carryOut(decision); }, [this] { return clearing_; }};
    const std::map<std::string, std::function<void(Url)>> events_{
        {"go", [this](Url url) { nav_.Navigate({url, 0, {}, {}, {}}); }},
        {"replace", [this](Url url) { nav_.Navigate({url, host::navNoHistory, {}, {}, {}}); }},
        {"start", [this](Url) { nav_.LoadStarted(); }},
        {"stop", [this](Url url) { ended(How::Stopped, url); }},
        {"end", [this](Url url) { ended(How::Succeeded, url); }},
        {"fail", [this](Url url) { ended(How::Failed, url); }},
        {"refresh", [this](Url) { nav_.Refresh(); }},
        {"clear", [this](Url) { clearing_ = true, nav_.StoppedForAClear(), nav_.ClearStarted(); }},
        {"cleared", [this](Url) { clearing_ = false, nav_.ReloadWhenReady(); }},
        {"hold", [this](Url) { told_ += nav_.HoldForTheQuestion() ? " held" : ""; }},
        {"ask", [this](Url) { nav_.MayAsk(false); }},
        {"relogin", [this](Url) { nav_.MayAsk(true); }},
        {"soon", [this](Url) { nav_.AskAgain(attempt_); }},
    };
};

TEST(OurNavigation, decidesAsTheTableSays)
{
    const std::string displaced = "start fail@mailto soon ";
    const struct {
        const char* what;
        std::string script;
        const char* told;
    } rows[] = {
        {"a refresh reloads once our navigation has landed", "go@a refresh start end@a", "load a show reload"},
        {"a refresh during a clear reloads once the clear is over", "go@a start end@a clear refresh cleared",
         "load a show poll reload"},
        {"a navigation during a clear replaces the waiting reload", "clear refresh go@b cleared start end@b",
         "poll poll load b show"},
        {"a reload asked before our navigation was for the page it left", "go@a refresh go@b start end@b",
         "load a load b show"},
        {"ours that a clear stopped is made again once it is over", "go@a start clear stop@a cleared",
         "load a poll load a"},
        {"a stopped load of ours that brought nothing has landed", "go@a stop@a refresh", "load a reload"},
        {"one that goes by location.replace() has not", "replace@a stop@a refresh", "load a"},
        {"a failure told after our next navigation shows nothing", "go@a start go@b fail@a start end@b",
         "load a load b show"},
        {"a displaced navigation is asked again at most 5 times",
         "go@a " + displaced + displaced + displaced + displaced + displaced + "start fail@mailto",
         "load a again load a again load a again load a again load a again load a show"},
        {"asking again is for the navigation displaced", "go@a start fail@mailto go@b soon", "load a again load b"},
        {"a held navigation queues the last one asked until it has landed",
         "go@a start hold go@b go@c ask end@a", "load a held load c show"},
        {"a held login is made again once the user can be asked", "go@a start hold fail@a relogin start end@a",
         "load a held load a show"},
        {"nothing is held without a navigation of ours", "go@a start end@a hold refresh", "load a show reload"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(Script().Run(row.script), row.told) << row.what;
}

} // namespace
} // namespace ostrel::web
