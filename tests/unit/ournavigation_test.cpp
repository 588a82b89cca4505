// Our navigation's rules as a table: what the view tells, in order, and what it is told to do.
#include "web/ournavigation.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <sstream>
#include <tuple>

namespace ostrel::web {
namespace {

using How = OurNavigation::LoadEnd::How;

// Plays the view: a load goes to the engine at once, a document that ends is shown. "event@url";
// mailto is an address the engine refuses, ask@lost a held login the engine was told no.
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
        if (decision.step == OurNavigation::Decision::Step::AskAgainSoon)
            attempt_ = decision.attempt;
        if (decision.step == OurNavigation::Decision::Step::Load)
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
        {"ask", [this](Url url) { nav_.MayAsk(url == "lost"); }},
        {"soon", [this](Url) { nav_.AskAgain(attempt_); }},
    };
};

TEST(OurNavigation, decidesAsTheTableSays)
{
    const std::string displaced = "start fail@mailto soon ";
    const std::tuple<const char*, std::string, const char*> rows[] = {
        {"a refresh waits for ours to land", "go@a refresh start end@a", "load a show reload"},
        {"a refresh waits for the clear", "go@a start end@a clear refresh cleared", "load a show poll reload"},
        {"ours in a clear takes the reload's place", "clear refresh go@b cleared start end@b", "poll poll load b show"},
        {"a reload asked before ours was for the page it left", "go@a refresh go@b start end@b", "load a load b show"},
        {"ours that a clear stopped is made again after it", "go@a start clear stop@a cleared", "load a poll load a"},
        {"ours stopped with nothing has landed", "go@a stop@a refresh", "load a reload"},
        {"unless it goes by location.replace()", "replace@a stop@a refresh", "load a"},
        {"a failure told after our next is not shown", "go@a start go@b fail@a start end@b", "load a load b show"},
        {"a displaced navigation is asked again at most 5 times",
         "go@a " + displaced + displaced + displaced + displaced + displaced + "start fail@mailto",
         "load a again load a again load a again load a again load a again load a show"},
        {"asking again is for the one displaced", "go@a start fail@mailto go@b soon", "load a again load b"},
        {"a held one queues the last asked until it lands", "go@a start hold go@b go@c ask end@a",
         "load a held load c show"},
        {"a held login is made again", "go@a start hold fail@a ask@lost start end@a", "load a held load a show"},
        {"nothing is held without ours under way", "go@a start end@a hold refresh", "load a show reload"},
    };
    for (const auto& [what, script, told] : rows)
        EXPECT_EQ(Script().Run(script), told) << what;
}

} // namespace
} // namespace ostrel::web
