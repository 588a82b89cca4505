// The test process's browser profile and proxy logins, made by its main as the program's entry
// makes its own: after the application object, and gone before it.
#pragma once

#include "host/proxies.h"
#include "web/browserprofile.h"

namespace ostrel::testing {

class TestProfile {
public:
    TestProfile() : proxies_(host::ReadProxySetting(), &host::FetchProxyScript), profile_(proxies_) { current() = this; }
    ~TestProfile() { current() = nullptr; }
    TestProfile(const TestProfile&) = delete;
    TestProfile& operator=(const TestProfile&) = delete;

    static web::BrowserProfile& Get() { return current()->profile_; }
    static host::Proxies& Proxies() { return current()->proxies_; }

private:
    static TestProfile*& current()
    {
        static TestProfile* made = nullptr;
        return made;
    }
    host::Proxies proxies_;
    web::BrowserProfile profile_;
};

} // namespace ostrel::testing
