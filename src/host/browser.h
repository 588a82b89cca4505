// What the program asks of its embedded browser. The Qt WebEngine view implements it
// (webenginebrowser.h); tests fake it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace ostrel::host {

// Navigation flags.
inline constexpr int navNoHistory = 2;       // the new page replaces the current history entry
inline constexpr int navNoReadFromCache = 4; // fetched from the server, never from the cache

// A navigation as the program asks for it.
struct Request {
    std::string url;
    int flags = 0;                  // navNoHistory, navNoReadFromCache
    std::vector<std::uint8_t> body; // not empty: an HTTP POST of exactly these bytes
    std::vector<std::pair<std::string, std::string>> headers; // extra header fields, in this order
    // What trying again means when the page could not be reached; empty: this request once more.
    std::function<void()> retry;
};

class Browser {
public:
    // topLevel is false for a frame's document; url is the address of the document that completed.
    using DocumentCompleteHandler = std::function<void(bool topLevel, const std::string& url)>;
    using OutsideAddressHandler = std::function<void(const std::string& url)>;

    virtual ~Browser() = default;

    // Returns once the browser has taken the navigation; does not wait for the page.
    virtual void Navigate(const Request& request) = 0;
    void Navigate(const std::string& url, int flags = 0) { Navigate(Request{url, flags, {}, {}, {}}); }
    // Reloads the current document, once a navigation of ours under way and a cache clear have
    // ended; a navigation of ours asked for before that takes the reload's place.
    virtual void Refresh2() = 0;
    // Empties the browser's cache of temporary files (asynchronously; Refresh2 waits for it).
    virtual void ClearCache() = 0;

    // While silent, the browser shows none of its own dialog boxes.
    virtual void SetSilent(bool silent) = 0;
    virtual bool Silent() const = 0;

    // The address of the document in the top-level frame.
    virtual std::string DocumentUrl() const = 0;

    // Raised for every document that finishes loading, frames included; a load that was stopped
    // or cancelled is no document.
    virtual void SetOnDocumentComplete(DocumentCompleteHandler handler) = 0;
    // Raised for a top-level address that the browser cannot open itself (ftp://), once per
    // request, instead of loading it.
    virtual void SetOnOutsideAddress(OutsideAddressHandler handler) = 0;
    // Raised instead when a page of the insurer's takes its top-level document to such an address
    // by itself (its script's or a link's navigation).
    virtual void SetOnPageOutsideAddress(OutsideAddressHandler handler) = 0;
};

} // namespace ostrel::host
