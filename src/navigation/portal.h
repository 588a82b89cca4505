// The portal requests that carry the versions, and the Citrix Receiver version they report.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ostrel::host {
class Browser;
class CurrentUserRegistry;
} // namespace ostrel::host

namespace ostrel::navigation {

// The installed Citrix Receiver's display version, or empty when none is installed. Read anew at
// every use. Throws RegistryError when the value is not a string or cannot be read.
std::string CitrixReceiverVersion(host::CurrentUserRegistry& registry);

// What a version POST found of Citrix Receiver, as the service desk is told.
struct CitrixLookup {
    enum class Outcome { NotYet, Found, NoneFound, Unreadable };
    Outcome outcome = Outcome::NotYet;
    std::string text; // Found: the version; Unreadable: why
};

std::string PortalBaseUrl();
// The portal base URL followed directly by "?version=6.9".
std::string VersionStampedPortalUrl();

// "version=6.9&citrixversion=<citrix version>".
std::string FullVersionFormBody(std::string_view citrixVersion);
// "version=6.9".
std::string ShortVersionFormBody();
// One byte per character of the body, no terminator.
std::vector<std::uint8_t> PostDataArray(std::string_view body);
// The one header field of a form POST: Content-Type: application/x-www-form-urlencoded.
std::pair<std::string, std::string> FormContentType();

class PortalRequests {
public:
    PortalRequests(host::Browser& browser, host::CurrentUserRegistry& registry)
        : browser_(browser), registry_(registry)
    {
    }

    // A form POST to the portal; with the Citrix Receiver version only when asked.
    void PostVersionData(bool includeCitrixVersion);
    // Told what each POST with the Citrix Receiver version found, before it is sent.
    void SetOnCitrixLookup(std::function<void(const CitrixLookup&)> told)
    {
        onCitrixLookup_ = std::move(told);
    }
    // retry: what trying again means if the page cannot be reached (empty: asking for it again).
    void OpenVersionStampedPortalPage(int flags, std::function<void()> retry = {});

private:
    std::string lookUpCitrixVersion();

    host::Browser& browser_;
    host::CurrentUserRegistry& registry_;
    std::function<void(const CitrixLookup&)> onCitrixLookup_;
};

} // namespace ostrel::navigation
