// Text helpers and HTML pages of the stand-in portal.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace standin {

using Pairs = std::vector<std::pair<std::string, std::string>>;

// Decodes %XX escapes; a malformed escape is kept literally rather than
// rejected, because the pages are meant to show whatever arrived.
std::string percent_decode(std::string_view in, bool plus_is_space);

// Percent-encodes every byte outside A-Za-z0-9 and "-._~", so that the result
// is safe in a query value and in an RFC 5987 header parameter alike.
std::string percent_encode(std::string_view in);

// Splits "a=1&b=&c" into ordered, decoded pairs (application/
// x-www-form-urlencoded rules, '+' is a space). Empty segments are skipped;
// a segment without '=' yields an empty value.
Pairs split_form(std::string_view encoded);

// First value of `name` in an encoded query, decoded; false if absent.
bool form_value(std::string_view encoded, std::string_view name, std::string& value);

// ASCII letters compared without their case.
bool equal_ci(std::string_view a, std::string_view b);
bool starts_with_ci(std::string_view s, std::string_view prefix);

// True for one or more decimal digits and nothing else.
bool all_digits(std::string_view s);

// Leading decimal digits of s, saturating at cap; 0 when there are none.
long leading_number(std::string_view s, long cap);

// Escapes for HTML text and attribute values. Bytes that are not valid UTF-8
// and control characters other than tab/newline are shown as \xNN.
std::string html_escape(std::string_view in);

// Escapes for a JSON string body (without the quotes). Valid UTF-8 passes
// through; a byte that is not part of a valid UTF-8 sequence is written as
// \u00XX, i.e. read as Latin-1.
std::string json_escape(std::string_view in);

// What arrived with one request, prepared for display.
struct Arrival {
    int port = 0;
    std::string roles; // all roles served on the port, ", "-separated
    std::string method;
    std::string path;   // as decoded by cpp-httplib
    std::string target; // raw request target
    std::string query;  // raw query string, without '?'
    std::string content_type;
    const std::string* body = nullptr;
    Pairs headers; // names as received; repeated headers joined with ", "
    std::string client; // over TLS, the subject of the certificate the client sent, if any
};

std::string generic_page(const Arrival& a);
std::string gateway_page(const std::string& role, int status, const Arrival& a);
std::string frames_page(const Arrival& a);
std::string frame_page(const Arrival& a, char which);
std::string cached_page(const Arrival& a, unsigned long long served);
std::string status_page(const Arrival& a, int code);
std::string alert_page(const Arrival& a);
std::string reader_page(const Arrival& a);
std::string beforeunload_page(const Arrival& a);
std::string downloads_page(const Arrival& a);
std::string popup_page(const Arrival& a);
// `cookie` is the raw Cookie header of the request, shown so a test can see
// whether a window the page opened shares the opener's session.
std::string popup_target_page(const Arrival& a, std::string_view cookie);
std::string login_page(const Arrival& a, unsigned long long session);
std::string auth_page(const Arrival& a, bool admitted);
std::string print_page(const Arrival& a);
std::string keys_page(const Arrival& a);
std::string crash_page(const Arrival& a);
// For timing page loads: about 5 KB of plain text with exactly one image, `image_path`, whose
// request marks the page as loaded; the key "p" opens /bench/popup in a window of its own.
std::string bench_page(std::string_view image_path);
// Closes itself 300 ms after it has loaded.
std::string bench_popup_page();
std::string error_page(const Arrival& a, int code, std::string_view why);

// Hostile pages: most do on their own, without a click, what a page should not be able to do to
// the user. `base` is the path of the role the request came in under ("" at the root); the
// pages' links stay below it.
std::string hostile_frames_page(const Arrival& a, std::string_view src, long count);
std::string hostile_downloads_page(const Arrival& a, std::string_view base);
std::string hostile_navigate_page(const Arrival& a, std::string_view to, long count, long every_ms);
// Links to the places a click should not take the user unasked, and one inside a frame.
std::string hostile_links_page(const Arrival& a, std::string_view base);
std::string hostile_linkframe_page(const Arrival& a);
// One link, id "link", to `to`: what the user clicks on a page of this origin.
std::string hostile_link_page(const Arrival& a, std::string_view to);
std::string hostile_alerts_page(const Arrival& a);
std::string hostile_loop_page(const Arrival& a, bool print);
std::string hostile_worker_page(const Arrival& a);
std::string hostile_storage_page(const Arrival& a, long mb);
// `prompt` false asks confirm(), true asks prompt(); the answer ends up in the title.
std::string hostile_confirm_page(const Arrival& a, bool prompt);
// busy_ms: how long the script runs; 0: for ever.
std::string hostile_hang_page(const Arrival& a, long after_ms, long busy_ms);
std::string hostile_popups_page(const Arrival& a, std::string_view base, long count);
std::string hostile_bigpopup_page(const Arrival& a, std::string_view base);
std::string hostile_cover_page(const Arrival& a);
// Downloads whose suggested names are not fit for a file name.
std::string hostile_names_page(const Arrival& a, std::string_view base);

} // namespace standin
