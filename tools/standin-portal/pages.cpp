#include "pages.h"

#include "downloadpattern.h"

#include <algorithm>
#include <cstdio>

namespace standin {

namespace {

int hex_value(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Length of the well-formed UTF-8 sequence starting at s[i], or 0. Overlong
// forms, surrogates and code points above U+10FFFF count as malformed.
std::size_t utf8_length(std::string_view s, std::size_t i)
{
    const auto c = static_cast<unsigned char>(s[i]);
    if (c < 0x80)
        return 1;
    std::size_t n = 0;
    unsigned char lo = 0x80, hi = 0xBF;
    if (c >= 0xC2 && c <= 0xDF) {
        n = 2;
    } else if (c == 0xE0) {
        n = 3, lo = 0xA0;
    } else if ((c >= 0xE1 && c <= 0xEC) || c == 0xEE || c == 0xEF) {
        n = 3;
    } else if (c == 0xED) {
        n = 3, hi = 0x9F;
    } else if (c == 0xF0) {
        n = 4, lo = 0x90;
    } else if (c >= 0xF1 && c <= 0xF3) {
        n = 4;
    } else if (c == 0xF4) {
        n = 4, hi = 0x8F;
    } else {
        return 0;
    }
    if (i + n > s.size())
        return 0;
    const auto c1 = static_cast<unsigned char>(s[i + 1]);
    if (c1 < lo || c1 > hi)
        return 0;
    for (std::size_t k = 2; k < n; ++k) {
        const auto ck = static_cast<unsigned char>(s[i + k]);
        if (ck < 0x80 || ck > 0xBF)
            return 0;
    }
    return n;
}

std::string byte_code(const char* fmt, unsigned char c)
{
    char buf[8];
    std::snprintf(buf, sizeof buf, fmt, c);
    return buf;
}

// For attribute values that must arrive unchanged, such as a URL a test asked for: html_escape's
// red \xNN markers would end the attribute, so control characters become character references
// and a byte that is not UTF-8 becomes U+FFFD, as the browser would read it anyway.
std::string attribute_escape(std::string_view in)
{
    std::string out;
    out.reserve(in.size() + in.size() / 8);
    for (std::size_t i = 0; i < in.size();) {
        const auto c = static_cast<unsigned char>(in[i]);
        const std::size_t n = utf8_length(in, i);
        if (n == 0 || c == 0) {
            out += "&#xFFFD;";
            ++i;
            continue;
        }
        if (c < 0x20 || c == 0x7f) {
            out += byte_code("&#x%02X;", c);
        } else if (c == '&') {
            out += "&amp;";
        } else if (c == '<') {
            out += "&lt;";
        } else if (c == '>') {
            out += "&gt;";
        } else if (c == '"') {
            out += "&quot;";
        } else if (c == '\'') {
            out += "&#39;";
        } else {
            out.append(in.data() + i, n);
        }
        i += n;
    }
    return out;
}

// A quoted JavaScript string literal that is safe inside <script>: nothing in it can end the
// script element ("</script>", "<!--"), the string, or the line (U+2028 and U+2029 end a line in
// older engines).
std::string script_string(std::string_view in)
{
    const std::string json = json_escape(in);
    std::string out = "\"";
    for (std::size_t i = 0; i < json.size(); ++i) {
        const char c = json[i];
        if (c == '<') {
            out += "\\u003c";
        } else if (c == '>') {
            out += "\\u003e";
        } else if (c == '&') {
            out += "\\u0026";
        } else if (c == '\'') {
            out += "\\u0027";
        } else if (json.compare(i, 3, "\xE2\x80\xA8") == 0 || json.compare(i, 3, "\xE2\x80\xA9") == 0) {
            out += json[i + 2] == '\xA8' ? "\\u2028" : "\\u2029";
            i += 2;
        } else {
            out += c;
        }
    }
    out += '"';
    return out;
}

// A script run from a zero-delay timer after the load event, so that the load itself completes
// before the page starts misbehaving.
std::string after_load(std::string_view script, long delay_ms = 0)
{
    return "<script>window.addEventListener(\"load\", function () {\n"
           "  setTimeout(function () {\n    " +
           std::string(script) + "\n  }, " + std::to_string(delay_ms) + ");\n});</script>";
}

// A synchronous GET of /hostile/reached?STAGE: in the log, a test in another process sees how far a
// hostile page got, even one that then blocks or loops for ever.
std::string reached(std::string_view stage_expression)
{
    return "try { var r = new XMLHttpRequest(); r.open('GET', '/hostile/reached?' + " +
           std::string(stage_expression) + ", false); r.send(); } catch (e) {}";
}

// The size of every link a test clicks: big enough to hit, stacked one below the other.
const char* const kClickable = "display:block;width:400px;height:30px;margin:8px";

std::string clickable_link(std::string_view id, std::string_view href, std::string_view text,
                           std::string_view extra = {})
{
    std::string out = "<a id=\"" + attribute_escape(id) + "\" style=\"" + kClickable + "\" href=\"" +
                      attribute_escape(href) + "\"";
    if (!extra.empty())
        out += " " + std::string(extra);
    return out + ">" + html_escape(text) + "</a>\n";
}

const char* const kStyle = R"(<style>
body{font-family:system-ui,-apple-system,"Segoe UI",sans-serif;margin:1.5em 2em;color:#1d2733;background:#f6f7f9}
h1{font-size:1.35em;margin:0 0 .2em}
p.sub{margin:0 0 1.2em;color:#5b6776}
h2{font-size:1em;margin:1.4em 0 .4em;color:#3b4a5a}
table{border-collapse:collapse;background:#fff;min-width:28em;max-width:100%}
th,td{border:1px solid #d3d9e0;padding:.3em .7em;text-align:left;vertical-align:top}
td{font-family:ui-monospace,"DejaVu Sans Mono",monospace;font-size:.9em;word-break:break-all;white-space:pre-wrap}
th{background:#eceff3;font-weight:600;white-space:nowrap}
thead th{background:#dde3ea}
pre{background:#fff;border:1px solid #d3d9e0;padding:.6em .8em;white-space:pre-wrap;word-break:break-all;margin:0}
.none{color:#8893a0;font-style:italic}
.raw{color:#b3261e}
</style>)";

std::string page(std::string_view title, std::string_view body, std::string_view head_extra = {})
{
    std::string out;
    out.reserve(2048 + body.size());
    out += "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">\n";
    out += "<title>";
    out += html_escape(title);
    out += "</title>\n";
    out += kStyle;
    out += head_extra;
    out += "\n</head><body>\n";
    out += body;
    out += "</body></html>\n";
    return out;
}

std::string heading(std::string_view text, std::string_view sub = {})
{
    std::string out = "<h1>" + html_escape(text) + "</h1>\n";
    if (!sub.empty())
        out += "<p class=\"sub\">" + html_escape(sub) + "</p>\n";
    return out;
}

std::string pairs_table(const Pairs& pairs, std::string_view left, std::string_view right)
{
    if (pairs.empty())
        return "<p class=\"none\">none</p>\n";
    std::string out = "<table><thead><tr><th>";
    out += left;
    out += "</th><th>";
    out += right;
    out += "</th></tr></thead><tbody>\n";
    for (const auto& [name, value] : pairs) {
        out += "<tr><th>" + html_escape(name) + "</th><td>" + html_escape(value) + "</td></tr>\n";
    }
    out += "</tbody></table>\n";
    return out;
}

std::string request_table(const Arrival& a)
{
    Pairs rows{{"Method", a.method},
               {"Path", a.path},
               {"Target", a.target},
               {"Port", std::to_string(a.port)},
               {"Roles", a.roles}};
    std::string out = "<table><tbody>\n";
    for (const auto& [name, value] : rows) {
        out += "<tr><th>" + html_escape(name) + "</th><td>" + html_escape(value) + "</td></tr>\n";
    }
    out += "</tbody></table>\n";
    return out;
}

bool is_form(const Arrival& a)
{
    return starts_with_ci(a.content_type, "application/x-www-form-urlencoded");
}

// The part of a page that reports the request; shared by every page a person
// may look at so that any destination shows what the shell sent.
std::string arrival_sections(const Arrival& a)
{
    std::string out = "<h2>Request</h2>\n" + request_table(a);
    out += "<h2>Query parameters</h2>\n";
    out += pairs_table(split_form(a.query), "Name", "Value");
    const bool has_body = a.body && !a.body->empty();
    const bool body_method = a.method == "POST" || a.method == "PUT" || a.method == "PATCH";
    if (is_form(a) && (has_body || body_method)) {
        out += "<h2>Form fields</h2>\n";
        out += pairs_table(split_form(a.body ? *a.body : std::string()), "Name", "Value");
    }
    if (has_body || body_method) {
        const std::size_t n = a.body ? a.body->size() : 0;
        out += "<h2>Body (" + std::to_string(n) + (n == 1 ? " byte" : " bytes") + ")</h2>\n";
        if (has_body)
            out += "<pre>" + html_escape(*a.body) + "</pre>\n";
        else
            out += "<p class=\"none\">empty</p>\n";
    }
    out += "<h2>Headers</h2>\n";
    out += pairs_table(a.headers, "Name", "Value");
    return out;
}

} // namespace

bool equal_ci(std::string_view a, std::string_view b)
{
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i]))
            return false;
    return true;
}

bool starts_with_ci(std::string_view s, std::string_view prefix)
{
    return s.size() >= prefix.size() && equal_ci(s.substr(0, prefix.size()), prefix);
}

bool all_digits(std::string_view s)
{
    if (s.empty())
        return false;
    for (const char c : s)
        if (c < '0' || c > '9')
            return false;
    return true;
}

long leading_number(std::string_view s, long cap)
{
    long n = 0;
    for (const char c : s) {
        if (c < '0' || c > '9')
            break;
        n = std::min(cap, n * 10 + (c - '0'));
    }
    return n;
}

std::string percent_decode(std::string_view in, bool plus_is_space)
{
    std::string out;
    out.reserve(in.size());
    for (std::size_t i = 0; i < in.size(); ++i) {
        const char c = in[i];
        if (c == '%' && i + 2 < in.size()) {
            const int hi = hex_value(in[i + 1]);
            const int lo = hex_value(in[i + 2]);
            if (hi >= 0 && lo >= 0) {
                out += static_cast<char>(hi * 16 + lo);
                i += 2;
                continue;
            }
        }
        out += (c == '+' && plus_is_space) ? ' ' : c;
    }
    return out;
}

std::string percent_encode(std::string_view in)
{
    std::string out;
    out.reserve(in.size() * 3);
    for (const char ch : in) {
        const auto c = static_cast<unsigned char>(ch);
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
            c == '.' || c == '_' || c == '~')
            out += ch;
        else
            out += byte_code("%%%02X", c);
    }
    return out;
}

Pairs split_form(std::string_view encoded)
{
    Pairs out;
    std::size_t pos = 0;
    while (pos <= encoded.size()) {
        std::size_t amp = encoded.find('&', pos);
        if (amp == std::string_view::npos)
            amp = encoded.size();
        const std::string_view item = encoded.substr(pos, amp - pos);
        if (!item.empty()) {
            const std::size_t eq = item.find('=');
            if (eq == std::string_view::npos)
                out.emplace_back(percent_decode(item, true), std::string());
            else
                out.emplace_back(percent_decode(item.substr(0, eq), true),
                                 percent_decode(item.substr(eq + 1), true));
        }
        pos = amp + 1;
    }
    return out;
}

bool form_value(std::string_view encoded, std::string_view name, std::string& value)
{
    for (auto& [k, v] : split_form(encoded)) {
        if (k == name) {
            value = std::move(v);
            return true;
        }
    }
    return false;
}

std::string html_escape(std::string_view in)
{
    std::string out;
    out.reserve(in.size() + in.size() / 8);
    for (std::size_t i = 0; i < in.size();) {
        const auto c = static_cast<unsigned char>(in[i]);
        const std::size_t n = utf8_length(in, i);
        if (n == 0 || (c < 0x20 && c != '\t' && c != '\n') || c == 0x7f) {
            out += "<span class=\"raw\">" + byte_code("\\x%02X", c) + "</span>";
            ++i;
            continue;
        }
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            out.append(in.data() + i, n);
        }
        i += n;
    }
    return out;
}

std::string json_escape(std::string_view in)
{
    std::string out;
    out.reserve(in.size() + 8);
    for (std::size_t i = 0; i < in.size();) {
        const auto c = static_cast<unsigned char>(in[i]);
        const std::size_t n = utf8_length(in, i);
        if (n == 0) {
            out += byte_code("\\u%04x", c);
            ++i;
            continue;
        }
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20)
                out += byte_code("\\u%04x", c);
            else
                out.append(in.data() + i, n);
        }
        i += n;
    }
    return out;
}

std::string generic_page(const Arrival& a)
{
    const std::string title = "Stand-in: " + a.roles;
    return page(title, heading(title, "Loopback stand-in portal on port " + std::to_string(a.port)) +
                           arrival_sections(a));
}

std::string gateway_page(const std::string& role, int status, const Arrival& a)
{
    const std::string title = "Stand-in gateway " + role;
    std::string body = heading(title, "Gateway page answered with status " + std::to_string(status));
    body += "<h2>Query</h2>\n";
    if (a.query.empty())
        body += "<p class=\"none\">none</p>\n";
    else
        body += "<pre>" + html_escape(a.query) + "</pre>\n";
    body += arrival_sections(a);
    return page(title, body);
}

std::string frames_page(const Arrival& a)
{
    const std::string title = "Stand-in frames: " + a.roles;
    std::string body = heading(title, "Two child frames, each a separate "
                                      "document load");
    body += "<iframe id=\"frame-a\" name=\"a\" src=\"/frame/a\" "
            "style=\"width:45%;height:8em;border:1px solid #99a\"></iframe>\n";
    body += "<iframe id=\"frame-b\" name=\"b\" src=\"/frame/b\" "
            "style=\"width:45%;height:8em;border:1px solid #99a\"></iframe>\n";
    return page(title, body);
}

std::string frame_page(const Arrival& a, char which)
{
    const std::string title = std::string("Stand-in frame ") + which;
    return page(title, heading(title, "Served by " + a.roles));
}

std::string cached_page(const Arrival& a, unsigned long long served)
{
    const std::string title = "Stand-in cached: " + a.roles;
    std::string body = heading(title, "Cacheable for an hour");
    body += "<p>Served by the server <span id=\"served\" data-served=\"" + std::to_string(served) + "\">" +
            std::to_string(served) + "</span> time" + (served == 1 ? "" : "s") + ".</p>\n";
    body += "<!-- cached-served-count: " + std::to_string(served) + " -->\n";
    return page(title, body);
}

std::string status_page(const Arrival& a, int code)
{
    const std::string title = "Stand-in status " + std::to_string(code);
    return page(title, heading(title, "Served by " + a.roles));
}

std::string alert_page(const Arrival& a)
{
    const std::string title = "Stand-in alert: " + a.roles;
    return page(title, heading(title, "This page raises a JavaScript alert"),
                "<script>window.addEventListener(\"load\", function () "
                "{ alert(\"stand-in alert\"); });</script>");
}

std::string reader_page(const Arrival& a)
{
    const std::string title = "Stand-in reader: " + a.roles;
    return page(title,
                heading(title, "A page as a screen reader meets it") +
                    "<h2>Polis</h2>\n<form><label for=\"naam\">Naam</label> <input id=\"naam\"></form>\n"
                    "<h2>Premies</h2>\n<table><tr><th>Jaar</th><th>Premie</th></tr>"
                    "<tr><td>2026</td><td>120</td></tr></table>\n",
                "<script>window.addEventListener(\"load\", function () {\n"
                "  var naam = document.getElementById(\"naam\");\n"
                "  naam.focus();\n"
                "  naam.addEventListener(\"input\", function () {\n"
                "    alert(\"stand-in alert\");\n"
                "    location.href = \"/files/big.bin?kb=1\";\n"
                "  }, {once: true});\n"
                "});</script>");
}

std::string beforeunload_page(const Arrival& a)
{
    const std::string title = "Stand-in beforeunload: " + a.roles;
    // Chromium only asks the user when the page has had a user gesture, so the
    // page invites a click.
    return page(title,
                heading(title, "Leaving this page triggers a beforeunload prompt") +
                    "<p>Click anywhere on this page before navigating away; browsers "
                    "skip the prompt for pages the user never interacted with.</p>\n",
                "<script>window.addEventListener(\"beforeunload\", function (e) {\n"
                "  var msg = \"stand-in beforeunload\";\n"
                "  e.preventDefault();\n"
                "  e.returnValue = msg;\n"
                "  return msg;\n"
                "});</script>");
}

std::string downloads_page(const Arrival& a)
{
    const std::string title = "Stand-in downloads: " + a.roles;
    std::string body = heading(title, "Each link answers with Content-Disposition: attachment");
    using downloads::kPolicyPdf, downloads::kUnknownBin;
    const auto link = [](std::string_view id, std::string_view path, std::string_view name,
                         const std::string& what) {
        return "<li><a id=\"" + std::string(id) + "\" href=\"" + std::string(path) + "\">" +
               std::string(name) + "</a> (" + what + ")</li>\n";
    };
    body += "<ul>\n" +
            link("attachment", kPolicyPdf.path, kPolicyPdf.name,
                 "application/pdf, " + std::to_string(kPolicyPdf.size) + " bytes, with Content-Length") +
            link("ica", "/files/launch.ica", "launch.ica", "application/x-ica, a Citrix launch file") +
            link("unknown", kUnknownBin.path, kUnknownBin.name,
                 "application/octet-stream, " + std::to_string(kUnknownBin.size) +
                     " bytes, chunked, no Content-Length") +
            "</ul>\n";
    return page(title, body);
}

std::string popup_page(const Arrival& a)
{
    const std::string title = "Stand-in popup: " + a.roles;
    std::string body = heading(title, "Two ways for a page to open another window");
    body += "<p><a id=\"blank\" href=\"/popup/target\" target=\"_blank\">Open the target in a "
            "new window (target=_blank)</a></p>\n"
            "<p><button id=\"open\" type=\"button\" onclick=\"window.open('/popup/target', "
            "'ostrelpopup', 'width=400,height=300')\">Open the target with window.open</button></p>\n";
    return page(title, body);
}

std::string popup_target_page(const Arrival& a, std::string_view cookie)
{
    const std::string title = "Stand-in popup target";
    std::string body = heading(title, "Served by " + a.roles);
    body += "<h2>Cookie header</h2>\n<p id=\"cookie\">" + html_escape(cookie) + "</p>\n";
    body += "<p><button id=\"close\" type=\"button\" onclick=\"window.close()\">Close this "
            "window</button></p>\n";
    return page(title, body);
}

std::string login_page(const Arrival& a, unsigned long long session)
{
    const std::string title = "Stand-in login: " + a.roles;
    std::string body = heading(title, "A session cookie was set for the whole origin");
    body += "<p>Session <span id=\"session\">" + std::to_string(session) + "</span> started.</p>\n";
    return page(title, body);
}

std::string auth_page(const Arrival& a, bool admitted)
{
    if (admitted) {
        const std::string title = "Stand-in auth: " + a.roles;
        return page(title, heading(title, "Signed in with HTTP basic authentication") +
                               "<p id=\"welcome\">Welcome</p>\n");
    }
    const std::string title = "Stand-in auth required: " + a.roles;
    return page(title, heading(title, "401: HTTP basic authentication required"));
}

std::string print_page(const Arrival& a)
{
    const std::string title = "Stand-in print: " + a.roles;
    return page(title,
                heading(title, "This page asks to be printed on a click of its button") +
                    "<button id=\"print\" style=\"" + kClickable + "\" onclick=\"window.print()\">Afdrukken</button>");
}

std::string keys_page(const Arrival& a)
{
    const std::string title = "Stand-in keys: " + a.roles;
    return page(title,
                heading(title) +
                    "<input id=\"a\" style=\"position:absolute;left:20px;top:20px;width:200px;height:30px\">"
                    "<input id=\"b\" style=\"position:absolute;left:20px;top:70px;width:200px;height:30px\">"
                    "<button id=\"c\" style=\"position:absolute;left:20px;top:120px\">Verstuur</button>",
                "<script>function note(e) { fetch('/keylog?' + new URLSearchParams({type: e.type,"
                " id: e.target.id || '', key: e.key || '', value: e.target.value || ''})).catch(() => {}); }"
                " addEventListener('keydown', note, true); addEventListener('input', note, true);"
                " addEventListener('load', () => requestAnimationFrame(() => { " + reached("'shown'") +
                    " }));</script>");
}

std::string crash_page(const Arrival& a)
{
    // The title is fixed: the renderer is killed from outside, and the test
    // recognises the page it had loaded by this title alone.
    return page("Stand-in crash page",
                heading("Stand-in crash page", "Served by " + a.roles) +
                    "<p>A page whose renderer is about to be ended from outside.</p>\n");
}

std::string bench_page(std::string_view image_path)
{
    // Plain markup, no style sheet: the page should cost the engine the same in every browser.
    std::string out = "<!DOCTYPE html>\n<html lang=\"nl\"><head><meta charset=\"utf-8\">\n"
                      "<title>Stand-in bench page</title>\n"
                      "<script>document.addEventListener(\"keydown\", function (e) {\n"
                      "  if (e.key === \"p\")\n"
                      "    window.open(\"/bench/popup\", \"_blank\", \"width=400,height=300\");\n"
                      "  if (e.key === \"h\")\n"
                      "    for (;;) {}\n"
                      "  if (e.key === \"f\")\n"
                      "    location.href = \"/hostile/frames?src=about:blank&n=10000\";\n"
                      "});</script>\n"
                      "</head><body>\n<h1>Stand-in bench page</h1>\n";
    out += "<p><img src=\"" + html_escape(image_path) + "\" width=\"32\" height=\"32\" alt=\"\"></p>\n";
    const std::string_view sentences[] = {
        "The intermediary opens the portal every morning and keeps it open all day. ",
        "Policies, claims and the documents that go with them are all one click away. ",
        "Nothing on this page is fetched besides the one small picture above. ",
        "Each paragraph repeats the same few sentences so that the page weighs about five kilobytes. ",
    };
    for (int n = 1; out.size() < 4900; ++n) {
        out += "<p>" + std::to_string(n) + ". ";
        for (auto s : sentences)
            out += s;
        out += "</p>\n";
    }
    out += "</body></html>\n";
    return out;
}

std::string bench_popup_page()
{
    return "<!DOCTYPE html>\n<html lang=\"nl\"><head><meta charset=\"utf-8\">\n"
           "<title>Stand-in bench popup</title>\n"
           "<script>window.addEventListener(\"load\", function () {\n"
           "  setTimeout(function () { window.close(); }, 300);\n"
           "});</script>\n"
           "</head><body><p>This window closes itself.</p></body></html>\n";
}

std::string error_page(const Arrival& a, int code, std::string_view why)
{
    const std::string title = "Stand-in: " + a.roles;
    return page(title, heading(title, std::to_string(code) + ": " + std::string(why)) + arrival_sections(a));
}

std::string hostile_frames_page(const Arrival& a, std::string_view src, long count)
{
    const std::string title = "Stand-in hostile frames";
    std::string body = heading(title, std::to_string(count) + " hidden frame" + (count == 1 ? "" : "s") +
                                          " loading " + std::string(src));
    const std::string frame =
        "<iframe style=\"display:none\" src=\"" + attribute_escape(src) + "\"></iframe>\n";
    for (long i = 0; i < count; ++i)
        body += frame;
    body += "<p>Served by " + html_escape(a.roles) + "</p>\n";
    return page(title, body);
}

std::string hostile_downloads_page(const Arrival& a, std::string_view base)
{
    const std::string title = "Stand-in hostile downloads";
    std::string body = heading(title, "Hidden frames start downloads as the page loads, without a click");
    body += "<ul>\n";
    for (const char* name :
         {"evil.ica", "evil.desktop", "page.html", "script.sh", "noext", "launch.ica", "wfclient.ica"}) {
        const std::string href = std::string(base) + "/files/" + name;
        body += "<li>" + html_escape(href) + "<iframe style=\"display:none\" src=\"" +
                attribute_escape(href) + "\"></iframe></li>\n";
    }
    body += "</ul>\n<p>Served by " + html_escape(a.roles) + "</p>\n";
    // Once the frames are there, one more whose name is this load's own: a test that sees it saved
    // knows the page's load has brought all it will.
    return page(title, body,
                after_load("var f = document.createElement('iframe'); f.style.display = 'none';"
                           " f.src = '/files/named?name=after-load-' + Date.now() + '.txt';"
                           " document.body.appendChild(f);"));
}

std::string hostile_navigate_page(const Arrival& a, std::string_view to, long count, long every_ms)
{
    const std::string title = "Stand-in hostile navigate";
    const std::string body =
        heading(title, "Once loaded, goes to " + std::string(to) + " " + std::to_string(count) + " time" +
                           (count == 1 ? "" : "s") + ", every " + std::to_string(every_ms) + " ms") +
        "<p>Served by " + html_escape(a.roles) + "</p>\n";
    const std::string script = "<script>window.addEventListener(\"load\", function () {\n"
                               "  var to = " +
                               script_string(to) + ";\n  var left = " + std::to_string(count) +
                               ";\n"
                               "  if (left <= 0)\n"
                               "    return;\n"
                               "  var timer = setInterval(function () {\n"
                               "    if (--left <= 0)\n"
                               "      clearInterval(timer);\n"
                               "    location.href = to;\n"
                               "    if (left <= 0) {\n"
                               "      document.title += ' (done)';\n      " +
                               reached("'navigated'") +
                               "\n    }\n"
                               "  }, " +
                               std::to_string(every_ms) + ");\n});</script>";
    return page(title, body, script);
}

std::string hostile_links_page(const Arrival& a, std::string_view base)
{
    const std::string title = "Stand-in hostile links";
    std::string body =
        heading(title, "Links to schemes and places no page should open unasked (" + a.roles + ")");
    body += clickable_link("mailto", "mailto:info@example.nl", "Mail info@example.nl");
    body += clickable_link("custom", "ostrel-test:hello", "ostrel-test:hello");
    body += clickable_link("msdt", "ms-msdt:-id%20PCWDiagnostic", "ms-msdt:-id PCWDiagnostic");
    body += clickable_link("excel", "ms-excel:ofe|u|" + std::string(base) + "/files/evil.xlsm",
                           "ms-excel:ofe|u|.../evil.xlsm");
    body += clickable_link("rtl", "mailto:%E2%80%AEfdp.exe@x", "x@exe.pdf");
    body += clickable_link("share", "smb://share.example/tools/start.desktop", "smb://share.example/tools/start.desktop");
    body += clickable_link("search", "search-ms:query=secret", "search-ms:query=secret");
    body += clickable_link("ftp", "ftp://ftp.example.nl/pub/file.txt", "ftp://ftp.example.nl/pub/file.txt");
    body += clickable_link("scripted", "#", "Script goes to ostrel-test:scripted",
                           "onclick=\"location.href='ostrel-test:scripted'; return false;\"");
    body += clickable_link("timer", "#", "Script goes to ostrel-test:timer 300 ms after the click",
                           "onclick=\"setTimeout(function () { location.href='ostrel-test:timer'; document.title += ' (timer)'; "
                           "}, 300); "
                           "return false;\"");
    body += clickable_link("redirect", std::string(base) + "/redirect?to=ostrel-test%3Aredirected",
                           "Redirect to ostrel-test:redirected");
    body += clickable_link("blank", "ostrel-test:blank", "ostrel-test:blank in a new window",
                           "target=\"_blank\"");
    body += clickable_link("page", std::string(base) + "/popup/target", "An ordinary page");
    body += "<iframe id=\"frame\" title=\"Frame with a link\" src=\"" + attribute_escape(base) +
            "/hostile/linkframe\" style=\"width:400px;height:80px;border:1px solid #99a\"></iframe>\n";
    return page(title, body);
}

std::string hostile_link_page(const Arrival& a, std::string_view to)
{
    const std::string title = "Stand-in link";
    return page(title, heading(title, "A link on a page of " + a.roles) + clickable_link("link", to, to));
}

std::string hostile_linkframe_page(const Arrival& a)
{
    // No heading: the link has to show within the 80 pixels of its frame.
    return page(
        "Stand-in link frame",
        clickable_link("framelink", "ostrel-test:framed", "ostrel-test:framed in a frame (" + a.roles + ")"),
        "<style>body{margin:0;overflow:hidden}</style>");
}

std::string hostile_alerts_page(const Arrival& a)
{
    const std::string title = "Stand-in hostile alerts";
    return page(
        title,
        heading(title, "Once loaded, raises one alert after the other, without end (" + a.roles + ")"),
        after_load("for (var i = 1; ; ++i) { if (i % 10 == 1) { " + reached("'alerts=' + (i - 1)") +
                   " } alert('Melding ' + i); }"));
}

// Registers a service worker that would answer every page of the origin itself.
std::string hostile_worker_page(const Arrival& a)
{
    const std::string title = "Stand-in hostile worker";
    return page(title, heading(title, "Once loaded, registers /hostile/sw.js for the origin (" + a.roles + ")"),
                after_load("navigator.serviceWorker.register('/hostile/sw.js', {scope: '/'})"
                           ".then(function () { " + reached("'worker=registered'") + " },"
                           " function () { " + reached("'worker=refused'") + " });"));
}

// Tells the origin's quota, what it uses and how many Cache API caches it has, then stores mb megabytes of noise, one at a time, in IndexedDB and the
// Cache API in turn, telling each tenth and where the engine said no.
std::string hostile_storage_page(const Arrival& a, long mb)
{
    const std::string title = "Stand-in hostile storage";
    return page(
        title, heading(title, "Once loaded, stores " + std::to_string(mb) + " MB (" + a.roles + ")"),
        after_load("var n = 0, db;"
                   " function noise() { var b = new Uint8Array(1 << 20);"
                   "  for (var i = 0; i < b.length; i += 65536) crypto.getRandomValues(b.subarray(i, i + 65536));"
                   "  return b; }"
                   " function full(e) { " + reached("'storage=full at ' + n") + " }"
                   " function next() { if (n % 10 == 0 || n >= " + std::to_string(mb) + ") { " + reached("'stored=' + n") + " }"
                   "  if (n >= " + std::to_string(mb) + ") return;"
                   "  var k = n++;"
                   "  if (k % 2) caches.open('c').then(function (c) {"
                   "   return c.put('/noise/' + k, new Response(noise())); }).then(next, full);"
                   "  else { var t = db.transaction('s', 'readwrite'); t.objectStore('s').put(noise(), k);"
                   "   t.oncomplete = next; t.onabort = full; } }"
                   " navigator.storage.estimate().then(function (e) {"
                   "  caches.keys().then(function (names) {"
                   "   " + reached("'quota=' + e.quota + ' usage=' + e.usage + ' caches=' + names.length") + ";"
                   "   var open = indexedDB.open('noise', 1);"
                   "   open.onupgradeneeded = function () { open.result.createObjectStore('s'); };"
                   "   open.onsuccess = function () { db = open.result; next(); }; }); });"));
}

// A question that comes back 50 ms after each answer, from the user's click on "go" on: a frame
// that asks for /auth's login again, or print() again. The print loop also runs from the load on.
std::string hostile_loop_page(const Arrival& a, bool print)
{
    const std::string title = std::string("Stand-in hostile ") + (print ? "print" : "login") + " loop";
    const std::string go =
        print ? "function go() { if (++n % 10 == 0) { " + reached("'prints=' + n") +
                    " } print(); setTimeout(go, 50); }"
              : "function go() { var f = document.createElement('iframe'); f.onload = function () {"
                " if (++n % 10 == 0) { " +
                    reached("'logins=' + n") +
                    " } setTimeout(function () { f.src = '/auth?loop=' + n; }, 50); };"
                    " f.src = '/auth?loop=0'; document.body.appendChild(f); }";
    return page(title,
                heading(title, "Asks again 50 ms after each answer (" + a.roles + ")") +
                    "<button id=\"go\" style=\"" + kClickable + "\" onclick=\"go()\">Start</button>"
                    "<script>var n = 0; " + go + "</script>" + (print ? after_load("go();") : ""));
}

std::string hostile_confirm_page(const Arrival& a, bool prompt)
{
    const std::string title = "Stand-in hostile confirm";
    return page(title,
                heading(title, std::string("Once loaded, asks ") + (prompt ? "prompt()" : "confirm()") +
                                   " and shows the answer in the title (" + a.roles + ")"),
                after_load(prompt ? "document.title = 'prompt:' + prompt('Naam?', 'standaard');"
                                  : "document.title = 'confirm:' + confirm('Doorgaan?');"));
}

std::string hostile_hang_page(const Arrival& a, long after_ms, long busy_ms)
{
    const std::string title = "Stand-in hostile hang";
    const std::string how = busy_ms > 0 ? "for " + std::to_string(busy_ms) + " ms" : std::string("for ever");
    return page(title,
                heading(title, "Its script loops " + how + " " + std::to_string(after_ms) +
                                   " ms after loading (" + a.roles + ")"),
                after_load("document.title += ' (looping)';\n    " + reached("'looping'") + "\n    " +
                               (busy_ms > 0 ? "var end = Date.now() + " + std::to_string(busy_ms) +
                                                  "; while (Date.now() < end) {}"
                                            : std::string("for (;;) {}")),
                           after_ms));
}

std::string hostile_popups_page(const Arrival& a, std::string_view base, long count)
{
    const std::string title = "Stand-in hostile popups";
    return page(title,
                heading(title, "Once loaded, opens " + std::to_string(count) + " window" +
                                   (count == 1 ? "" : "s") + " without a click (" + a.roles + ")"),
                after_load("for (var i = 1; i <= " + std::to_string(count) + "; ++i)\n      window.open(" +
                           script_string(std::string(base) + "/popup/target?i=") +
                           " + i, 'w' + i, 'width=300,height=200');\n    " + reached("'opened'")));
}

std::string hostile_bigpopup_page(const Arrival& a, std::string_view base)
{
    const std::string title = "Stand-in hostile big popup";
    return page(title, heading(title, "Once loaded, opens a window larger than any screen (" + a.roles + ")"),
                after_load("window.open(" + script_string(std::string(base) + "/hostile/cover") +
                           ", 'big', 'left=0,top=0,width=5000,height=5000');"));
}

std::string hostile_cover_page(const Arrival& a)
{
    // Dressed as a sign-in page: a window that covers the screen and asks for credentials.
    return page(
        "Stand-in hostile cover",
        "<h1 lang=\"nl\">Log opnieuw in</h1>\n<p class=\"sub\">A window that moves and grows to cover "
        "the screen, then calls itself the program and takes the focus and the top left corner every "
        "100 ms (" +
            html_escape(a.roles) + ")</p>\n",
        "<script>window.addEventListener(\"load\", function () {\n"
        "  window.moveTo(-50, -50);\n"
        "  window.resizeTo(5000, 5000);\n"
        "  setTimeout(function () {\n"
        "    window.moveTo(-50, -50);\n"
        "    window.resizeTo(6000, 6000);\n"
        "    document.title = 'Ostrel Web 6.9';\n"
        "    var n = 0;\n"
        "    setInterval(function () { focus(); moveTo(0, 0);\n"
        "      if (++n % 10 == 0) { " + reached("'covered=' + n") + " } }, 100);\n"
        "  }, 500);\n"
        "});</script>");
}

std::string hostile_names_page(const Arrival& a, std::string_view base)
{
    const std::string title = "Stand-in hostile names";
    std::string body = heading(title, "Downloads whose names are no fit file names (" + a.roles + ")");
    std::string e_acute_200;
    for (int i = 0; i < 200; ++i)
        e_acute_200 += "\xC3\xA9";
    const struct {
        const char* id;
        const char* text;
        std::string name;
    } named[] = {
        {"cd-newline", "Content-Disposition name with a newline", "line1\nline2.txt"},
        {"cd-control", "Content-Disposition name with control characters", "a\001b\033c.txt"},
        {"cd-long", "Content-Disposition name of 304 characters", std::string(300, 'a') + ".pdf"},
        {"cd-long-utf8", "Content-Disposition name of 404 bytes of UTF-8", e_acute_200 + ".pdf"},
        {"cd-slashes", "Content-Disposition name ..\\..\\evil.txt", "..\\..\\evil.txt"},
        {"cd-slashes2", "Content-Disposition name ../../evil2.txt", "../../evil2.txt"},
    };
    for (const auto& n : named)
        body +=
            clickable_link(n.id, std::string(base) + "/files/named?name=" + percent_encode(n.name), n.text);
    const std::string file = std::string(base) + "/files/big.bin?kb=1";
    body += clickable_link("dl-newline", file, "download attribute with a newline");
    body += clickable_link("dl-long", file, "download attribute of 304 characters");
    // Set from script, so the names are exactly these strings, whatever the HTML parser would
    // have made of them in markup.
    body +=
        "<script>\ndocument.getElementById(\"dl-newline\").download = " + script_string("line1\nline2.txt") +
        ";\ndocument.getElementById(\"dl-long\").download = " +
        script_string(std::string(300, 'b') + ".txt") + ";\n</script>\n";
    return page(title, body);
}

} // namespace standin
