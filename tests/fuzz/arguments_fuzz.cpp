// The start-up switches over an arbitrary command line: the input is the program's path and its
// arguments, separated by NUL bytes. Whatever they hold, every caption change appends one of the two
// known suffixes to the caption before it, and the modes follow the suffixes: the browser speaks
// (silent off) exactly when a debug suffix was added, the compact layout is applied once per light
// suffix.
//
// The fakes check each call as it comes instead of logging it (as tests/support/fakes.h does): a
// long command line makes thousands of caption changes, and a log of them all would make every run
// slow.
#include "fuzzrequire.h"
#include "app/startup.h"
#include "app/switches.h"
#include "host/browser.h"
#include "host/process.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

using ostrel::testing::Violated;

using namespace ostrel;

class CheckingWindow final : public app::StartupWindow {
public:
    explicit CheckingWindow(std::string caption) : caption_(std::move(caption)) {}

    void SetCaption(const std::string& caption) override
    {
        if (grownBy(caption, app::kDebugSuffix))
            ++debugSuffixes;
        else if (grownBy(caption, app::kLightSuffix))
            ++lightSuffixes;
        else
            Violated("the caption changed other than by one known suffix");
        caption_ = caption;
    }
    std::string Caption() const override { return caption_; }
    void Maximise() override { Violated("the switches maximised the window"); }
    void Minimise() override { Violated("the switches minimised the window"); }
    void ApplyCompactLayout() override { ++compactLayouts; }
    void ShowIntranetButton() override { Violated("the switches showed the intranet button"); }
    void EnableDiagnostics() override { ++diagnostics; }
    void enableIE8Standard() override { Violated("the switches changed the browser emulation"); }

    std::size_t debugSuffixes = 0;
    std::size_t lightSuffixes = 0;
    std::size_t compactLayouts = 0;
    std::size_t diagnostics = 0;

private:
    bool grownBy(const std::string& caption, std::string_view suffix) const
    {
        return caption.size() == caption_.size() + suffix.size() &&
               std::string_view(caption).substr(0, caption_.size()) == caption_ &&
               std::string_view(caption).substr(caption_.size()) == suffix;
    }

    std::string caption_;
};

class SilentFlagBrowser final : public host::Browser {
public:
    void Navigate(const host::Request&) override { Violated("the switches navigated"); }
    void Refresh2() override { Violated("the switches refreshed"); }
    void ClearCache() override { Violated("the switches cleared the cache"); }
    void SetSilent(bool silent) override { silent_ = silent; }
    bool Silent() const override { return silent_; }
    std::string DocumentUrl() const override { return {}; }
    void SetOnDocumentComplete(DocumentCompleteHandler) override {}
    void SetOnOutsideAddress(OutsideAddressHandler) override {}
    void SetOnPageOutsideAddress(OutsideAddressHandler) override {}

private:
    bool silent_ = true;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    host::ProcessInfo process;
    std::size_t start = input.find('\0');
    process.programPath = std::string(input.substr(0, start));
    while (start != std::string_view::npos) {
        const std::size_t next = input.find('\0', start + 1);
        process.arguments.emplace_back(
            input.substr(start + 1, next == std::string_view::npos ? next : next - start - 1));
        start = next;
    }

    const std::string base = "Ostrel Web 6.9";
    CheckingWindow window(base);
    SilentFlagBrowser browser;
    app::ScanCommandLine(process, window, browser);

    const std::size_t debugs = window.debugSuffixes, lights = window.lightSuffixes;
    REQUIRE(window.compactLayouts == lights);
    REQUIRE(window.diagnostics == debugs);
    REQUIRE(browser.Silent() == (debugs == 0));
    REQUIRE(window.Caption().size() ==
            base.size() + debugs * app::kDebugSuffix.size() + lights * app::kLightSuffix.size());
    // Each of the path and the arguments adds at most one suffix of each kind.
    REQUIRE(debugs <= 1 + process.arguments.size() && lights <= 1 + process.arguments.size());
    return 0;
}
