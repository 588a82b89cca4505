// The test process's browser profile and proxies, made as the program's entry makes its own: after
// the application object, and gone before it. They are made when a test first asks for them, so
// that a test run in its own process may set the proxy setting up before the engine reads it.
#pragma once

#include "host/proxies.h"
#include "host/tokenpin.h"
#include "web/browserprofile.h"
#include "web/logindialog.h"

#include <optional>

namespace ostrel::testing {

class TestProfile {
public:
    TestProfile() { current() = this; }
    ~TestProfile() { current() = nullptr; }
    TestProfile(const TestProfile&) = delete;
    TestProfile& operator=(const TestProfile&) = delete;

    static web::BrowserProfile& Get() { return made().profile; }
    static host::Proxies& Proxies() { return made().proxies; }
    // Whether the engine has started in this process (and so read the proxy setting).
    static bool Started() { return current()->made_.has_value(); }

private:
    struct Made {
        Made() { host::AnswerTokenPins(&web::LoginDialog::AskForPin); }
        host::Proxies proxies{host::ReadProxySetting(), &host::FetchProxyScript};
        web::BrowserProfile profile{proxies};
    };
    static Made& made()
    {
        std::optional<Made>& made = current()->made_;
        if (!made)
            made.emplace();
        return *made;
    }
    static TestProfile*& current()
    {
        static TestProfile* made = nullptr;
        return made;
    }
    std::optional<Made> made_;
};

} // namespace ostrel::testing
