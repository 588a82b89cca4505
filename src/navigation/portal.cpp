#include "navigation/portal.h"

#include "base/errors.h"
#include "base/version.h"
#include "host/browser.h"
#include "host/registry.h"
#include "navigation/addresses.h"
#include "navigation/formencode.h"

#include <iostream>

namespace ostrel::navigation {

namespace {
constexpr std::string_view kCitrixInstallKey =
    "\\SOFTWARE\\Citrix\\Receiver\\InstallDetect\\{A9852000-047D-11DD-95FF-0800200C9A66}";
constexpr std::string_view kDisplayVersion = "DisplayVersion";

std::string quoted(std::string_view pattern, std::string_view name)
{
    return std::string(pattern) + "'" + std::string(name) + "'";
}
} // namespace

std::string CitrixReceiverVersion(host::CurrentUserRegistry& registry)
{
    std::unique_ptr<host::RegistryKey> key;
    try {
        key = registry.OpenKeyReadOnly(std::string(kCitrixInstallKey));
    } catch (const RegistryError& error) {
        // A store that cannot be read holds no Receiver that can be found, as a key that cannot be
        // opened: the destinations that carry the version still open, with an empty one.
        std::cerr << "ostrel-web: the Citrix Receiver version cannot be looked up: " << error.what() << '\n';
        return {};
    }
    if (!key)
        return {};
    const host::RegValueRead value = key->ReadValue(std::string(kDisplayVersion));
    switch (value.status) {
    case host::RegValueRead::Status::Absent:
        return {};
    case host::RegValueRead::Status::Unreadable:
        throw RegistryError(quoted("Failed to get data for ", kDisplayVersion));
    case host::RegValueRead::Status::Ok:
        break;
    }
    if (value.data.empty())
        return {};
    const auto type = static_cast<host::RegType>(value.type);
    if (type != host::RegType::Sz && type != host::RegType::ExpandSz)
        throw RegistryError(quoted("Invalid data type for ", kDisplayVersion));
    // Up to the first NUL; an expandable string is sent as stored, its %references unexpanded.
    return value.data.substr(0, value.data.find('\0'));
}

std::string PortalBaseUrl()
{
    return std::string(addresses::kPortalUrl);
}

std::string VersionStampedPortalUrl()
{
    return PortalBaseUrl() + "?version=" + std::string(kApplicationVersion);
}

std::string ShortVersionFormBody()
{
    return "version=" + std::string(kApplicationVersion);
}

std::string FullVersionFormBody(std::string_view citrixVersion)
{
    return ShortVersionFormBody() + "&citrixversion=" + FormEncode(citrixVersion);
}

std::vector<std::uint8_t> PostDataArray(std::string_view body)
{
    return {body.begin(), body.end()};
}

std::pair<std::string, std::string> FormContentType()
{
    return {"Content-Type", "application/x-www-form-urlencoded"};
}

void PortalRequests::PostVersionData(bool includeCitrixVersion)
{
    const std::string body =
        includeCitrixVersion ? FullVersionFormBody(lookUpCitrixVersion()) : ShortVersionFormBody();
    browser_.Navigate(host::Request{PortalBaseUrl(), 0, PostDataArray(body), {FormContentType()}, {}});
}

// The version for a POST, and what was found told.
std::string PortalRequests::lookUpCitrixVersion()
{
    using enum CitrixLookup::Outcome;
    const auto tell = [this](const CitrixLookup& lookup) {
        if (onCitrixLookup_)
            onCitrixLookup_(lookup);
    };
    try {
        std::string version = CitrixReceiverVersion(registry_);
        tell({version.empty() ? NoneFound : Found, version});
        return version;
    } catch (const RegistryError& error) {
        tell({Unreadable, error.what()});
        throw;
    }
}

void PortalRequests::OpenVersionStampedPortalPage(int flags, std::function<void()> retry)
{
    browser_.Navigate(host::Request{VersionStampedPortalUrl(), flags, {}, {}, std::move(retry)});
}

} // namespace ostrel::navigation
