#include "routes.h"

#include <chrono>
#include <cstdint>
#include <string_view>
#include <utility>

namespace standin {

namespace {

constexpr int kSlowCapMs = 10000;
// ostrel:secret, the only credentials /auth accepts.
constexpr std::string_view kAuthCredentials = "b3N0cmVsOnNlY3JldA==";
// agent:portaal, what the portal takes with --portal-login: another login than /auth's, so that a
// browser that signed in there has not signed in here.
constexpr std::string_view kPortalCredentials = "YWdlbnQ6cG9ydGFhbA==";

const Role& gateway_role(const Exchange& x)
{
    if (x.addressed)
        return *x.addressed;
    for (const Role* r : x.roles)
        if (r->vpn_status || r->vpn_hang)
            return *r;
    for (const Role* r : x.roles)
        if (r->name.rfind("gateway", 0) == 0)
            return *r;
    return *x.roles.front();
}

void serve_gateway(Shutdown& shutdown, const Exchange& x)
{
    httplib::Response& res = x.res;
    const Role& role = gateway_role(x);
    if (role.vpn_hang) {
        // The connection stays open without an answer so the shell's probe has
        // to time out. Only shutdown ends the wait, and by then the socket is
        // being shut down, so this 503 normally never reaches the client.
        shutdown.wait();
        res.status = 503;
        res.set_content("shutting down\n", "text/plain; charset=utf-8");
        return;
    }
    const int status = role.vpn_status ? role.vpn_status : 200;
    res.status = status;
    res.set_content(gateway_page(role.name, status, x.a), kHtml);
}

// /status/N
void serve_status(const Exchange& x)
{
    const std::string_view code_text = x.rest;
    const int code =
        code_text.size() <= 3 && all_digits(code_text) ? static_cast<int>(leading_number(code_text, 999)) : 0;
    if (code <= 100 || code >= 600)
        return x.refuse(400, "/status/N needs 100 < N < 600");
    x.res.status = code;
    // These statuses must not carry a body.
    if (code < 200 || code == 204 || code == 304)
        return;
    x.res.set_content(status_page(x.a, code), kHtml);
}

// /proxy.pac?via=HOST:PORT: an office's proxy script, which sends the names under kantoor.test
// through that proxy and the rest direct.
void serve_proxy_script(const Exchange& x)
{
    std::string via;
    if (!form_value(x.a.query, "via", via) ||
        via.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789.-:") != std::string::npos)
        return x.refuse(400, "/proxy.pac needs ?via=HOST:PORT");
    x.res.set_content("function FindProxyForURL(url, host) {\n"
                      "    if (dnsDomainIs(host, \".kantoor.test\") && !isPlainHostName(host))\n"
                      "        return \"PROXY " + via + "; DIRECT\";\n"
                      "    return \"DIRECT\";\n"
                      "}\n",
                      "application/x-ns-proxy-autoconfig");
}

void serve_redirect(const Exchange& x)
{
    std::string to;
    if (!form_value(x.a.query, "to", to) || to.empty())
        return x.refuse(400, "/redirect needs ?to=URL");
    if (to.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos)
        return x.refuse(400, "redirect target contains CR, LF or NUL");
    httplib::Response& res = x.res;
    res.status = 302;
    res.set_header("Location", to);
    res.set_content("<!DOCTYPE html><meta charset=\"utf-8\"><title>Redirect"
                    "</title><p>Redirecting to <a href=\"" +
                        html_escape(to) + "\">" + html_escape(to) + "</a></p>\n",
                    kHtml);
}

// A real PNG of a few KB without an image library: a 32 x 32 colour gradient, its pixels in one
// stored (uncompressed) deflate block, with the CRCs and the checksum the format asks for.
std::string bench_png()
{
    constexpr int kSide = 32;
    std::string raw;
    for (int y = 0; y < kSide; ++y) {
        raw += '\0'; // no filter on this row
        for (int x = 0; x < kSide; ++x) {
            raw += static_cast<char>(x * 8);
            raw += static_cast<char>(y * 8);
            raw += static_cast<char>(160);
        }
    }
    const auto be32 = [](std::uint32_t v) {
        return std::string{static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
                           static_cast<char>(v)};
    };
    const auto crc32 = [](std::string_view bytes) {
        std::uint32_t c = 0xFFFFFFFFu;
        for (unsigned char b : bytes) {
            c ^= b;
            for (int k = 0; k < 8; ++k)
                c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
        }
        return ~c;
    };
    const auto chunk = [&](std::string_view type, const std::string& data) {
        const std::string typed = std::string(type) + data;
        return be32(static_cast<std::uint32_t>(data.size())) + typed + be32(crc32(typed));
    };
    std::uint32_t a = 1, b = 0; // Adler-32 of the raw bytes
    for (unsigned char c : raw) {
        a = (a + c) % 65521;
        b = (b + a) % 65521;
    }
    // The zlib header, then one final stored block: its length and the length's complement, each
    // little-endian.
    const auto len = static_cast<std::uint16_t>(raw.size());
    std::string zlib = "\x78\x01\x01";
    for (const std::uint16_t v : {len, static_cast<std::uint16_t>(~len)}) {
        zlib += static_cast<char>(v & 0xFF);
        zlib += static_cast<char>(v >> 8);
    }
    zlib += raw + be32((b << 16) | a);
    const std::string header = be32(kSide) + be32(kSide) + std::string{8, 2, 0, 0, 0}; // 8-bit RGB
    return std::string("\x89PNG\r\n\x1a\n", 8) + chunk("IHDR", header) + chunk("IDAT", zlib) +
           chunk("IEND", "");
}

bool signed_in(const httplib::Request& req, std::string_view credentials = kAuthCredentials)
{
    const std::string header = req.get_header_value("Authorization");
    std::string_view given = header;
    if (!starts_with_ci(given, "Basic "))
        return false;
    given.remove_prefix(6);
    while (!given.empty() && given.front() == ' ')
        given.remove_prefix(1);
    return given == credentials;
}

void serve_auth(const Exchange& x, std::string_view credentials = kAuthCredentials,
                const char* realm = "Ostrel")
{
    const bool admitted = signed_in(x.req, credentials);
    if (!admitted) {
        x.res.status = 401;
        x.res.set_header("WWW-Authenticate", std::string("Basic realm=\"") + realm + '"');
    }
    x.res.set_content(auth_page(x.a, admitted), kHtml);
}

// /slow?ms=N: the generic page, N ms late.
void serve_slow_page(Shutdown& shutdown, const Exchange& x)
{
    std::string ms;
    form_value(x.a.query, "ms", ms);
    shutdown.wait_for(std::chrono::milliseconds(leading_number(ms, kSlowCapMs)));
    x.res.set_content(generic_page(x.a), kHtml);
}

void serve_cached(Counters& counters, const Exchange& x)
{
    x.res.set_content(cached_page(x.a, ++counters.cached_served), kHtml);
}

void serve_login(Counters& counters, const Exchange& x)
{
    const auto session = ++counters.sessions;
    x.res.set_header("Set-Cookie", "ostrelsession=" + std::to_string(session) + "; Path=/");
    x.res.set_content(login_page(x.a, session), kHtml);
}

void serve_popup_target(const Exchange& x)
{
    x.res.set_content(popup_target_page(x.a, x.req.get_header_value("Cookie")), kHtml);
}

void serve_hostile_confirm(const Exchange& x)
{
    std::string ask;
    if (!form_value(x.a.query, "ask", ask) || ask.empty() || ask == "confirm")
        x.res.set_content(hostile_confirm_page(x.a, false), kHtml);
    else if (ask == "prompt")
        x.res.set_content(hostile_confirm_page(x.a, true), kHtml);
    else
        x.refuse(400, "/hostile/confirm asks confirm or prompt");
}

// A handler that answers with the page `make` makes of what arrived.
Handler page(std::string (*make)(const Arrival&))
{
    return [make](const Exchange& x) { x.res.set_content(make(x.a), kHtml); };
}

// Likewise for a page whose links stay below the role's path.
Handler page_below(std::string (*make)(const Arrival&, std::string_view base))
{
    return [make](const Exchange& x) { x.res.set_content(make(x.a, x.base()), kHtml); };
}

// A handler that answers with a page of `make` that needs the query parameter `name`, and refuses
// the request when it is missing or empty.
Handler page_of(std::string_view name, std::string why,
                std::function<std::string(const Exchange&, const std::string&)> make)
{
    return [name, why = std::move(why), make = std::move(make)](const Exchange& x) {
        std::string value;
        if (!form_value(x.a.query, name, value) || value.empty())
            return x.refuse(400, why);
        x.res.set_content(make(x, value), kHtml);
    };
}

// --portal-at: the portal's "/" answers from elsewhere.
Handler portal_elsewhere(std::string to)
{
    return [to = std::move(to)](const Exchange& x) {
        x.res.status = 307; // the method and body go along
        x.res.set_header("Location", to + (x.a.query.empty() ? "" : "?" + x.a.query));
    };
}

// --start-page: the version-stamped portal page is another page of the stand-in's.
Handler start_page(std::string path)
{
    return [path = std::move(path)](const Exchange& x) {
        x.res.status = 302;
        x.res.set_header("Location", std::string(x.base()) + path);
    };
}

bool for_portal(const Exchange& x)
{
    return x.for_portal();
}

// The start-up's page (a GET with the version in its query), not its POST.
bool version_stamped_portal_page(const Exchange& x)
{
    return x.req.method == "GET" && !x.a.query.empty() && x.for_portal();
}

// What the portal's "/" is when the command line says: elsewhere, behind a login, a start page of
// its own, the bench page; then, with a window, anyone's "/". In this order, before the rest.
std::vector<Route> start_routes(const Options& o)
{
    std::vector<Route> t;
    if (!o.portal_at.empty())
        t.push_back({.path = "/", .answer = portal_elsewhere(o.portal_at), .when = for_portal});
    if (o.portal_login)
        t.push_back(
            {.path = "/",
             .answer = [](const Exchange& x) { serve_auth(x, kPortalCredentials, "Ostrel portaal"); },
             .when =
                 [](const Exchange& x) { return x.for_portal() && !signed_in(x.req, kPortalCredentials); }});
    if (!o.start_page.empty())
        t.push_back({.path = "/", .answer = start_page(o.start_page), .when = version_stamped_portal_page});
    if (o.bench_page) {
        t.push_back(
            {.path = "/",
             .answer = [](const Exchange& x) { x.res.set_content(bench_page("/bench/image.png"), kHtml); },
             .when = for_portal});
        t.push_back({.path = "/bench/image.png", .answer = [png = bench_png()](const Exchange& x) {
                         x.res.set_content(png, "image/png");
                     }});
        t.push_back({.path = "/bench/popup",
                     .answer = [](const Exchange& x) { x.res.set_content(bench_popup_page(), kHtml); }});
    }
    if (o.open_window)
        t.push_back({.path = "/", .answer = [](const Exchange& x) {
                         x.res.set_content(generic_page(x.a) +
                                               "<script>window.open('/popup/target', 'ostrelpopup', "
                                               "'width=400,height=300')</script>\n",
                                           kHtml);
                     }});
    return t;
}

} // namespace

std::vector<Route> PageRoutes(const Options& o, Shutdown& shutdown, Counters& counters)
{
    std::vector<Route> t = start_routes(o);
    t.insert(
        t.end(),
        {
            {"/vpn/index.html", [&shutdown](const Exchange& x) { serve_gateway(shutdown, x); }},
            {"/frames", page(frames_page)},
            {"/frame/a", [](const Exchange& x) { x.res.set_content(frame_page(x.a, 'a'), kHtml); }},
            {"/frame/b", [](const Exchange& x) { x.res.set_content(frame_page(x.a, 'b'), kHtml); }},
            {"/slow", [&shutdown](const Exchange& x) { serve_slow_page(shutdown, x); }},
            {"/cached", [&counters](const Exchange& x) { serve_cached(counters, x); }},
            {"/status/", serve_status, Route::Match::Prefix},
            {"/redirect", serve_redirect},
            {"/proxy.pac", serve_proxy_script},
            {"/alert", page(alert_page)},
            {"/reader", page(reader_page)},
            {"/beforeunload", page(beforeunload_page)},
            {"/downloads", page(downloads_page)},
            {"/popup", page(popup_page)},
            {"/popup/target", serve_popup_target},
            {"/login", [&counters](const Exchange& x) { serve_login(counters, x); }},
            // A loop's realm is in UTF-8, as a server would send it.
            {"/auth",
             [](const Exchange& x) {
                 const bool loop = x.a.query.find("loop") != std::string::npos;
                 serve_auth(x, kAuthCredentials, loop ? "Zo\xc3\xab\xe2\x80\x99s portaal" : "Ostrel");
             }},
            {"/print", page(print_page)},
            {"/keys", page(keys_page)},
            {"/crash", page(crash_page)},
            // What no page should get to do to the user. "reached" is such a page telling the log how
            // far its script got (pages.cpp: reached).
            {"/hostile/reached", [](const Exchange& x) { x.res.status = 204; }},
            {"/hostile/frames", page_of("src", "/hostile/frames needs ?src=URL",
                                        [](const Exchange& x, const std::string& src) {
                                            return hostile_frames_page(x.a, src, x.query_number("n", 1, 10000));
                                        })},
            {"/hostile/downloads", page_below(hostile_downloads_page)},
            {"/hostile/navigate", page_of("to", "/hostile/navigate needs ?to=URL",
                                          [](const Exchange& x, const std::string& to) {
                                              return hostile_navigate_page(
                                                  x.a, to, x.query_number("n", 1, 1000),
                                                  x.query_number("every", 50, 60000));
                                          })},
            {"/hostile/links", page_below(hostile_links_page)},
            {"/hostile/link",
             page_of("to", "/hostile/link needs ?to=URL",
                     [](const Exchange& x, const std::string& to) { return hostile_link_page(x.a, to); })},
            {"/hostile/linkframe", page(hostile_linkframe_page)},
            {"/hostile/alerts", page(hostile_alerts_page)},
            {"/hostile/confirm", serve_hostile_confirm},
            {"/hostile/worker", page(hostile_worker_page)},
            {"/hostile/storage",
             [](const Exchange& x) {
                 x.res.set_content(hostile_storage_page(x.a, x.query_number("mb", 100, 4096)), kHtml);
             }},
            {"/hostile/sw.js",
             [](const Exchange& x) {
                 x.res.set_header("Service-Worker-Allowed", "/");
                 x.res.set_content("self.addEventListener('fetch', function (e) {"
                                   " e.respondWith(new Response('<title>Taken over</title>',"
                                   " {headers: {'Content-Type': 'text/html'}})); });",
                                   "text/javascript");
             }},
            {"/hostile/loop",
             [](const Exchange& x) {
                 std::string ask;
                 form_value(x.a.query, "ask", ask);
                 x.res.set_content(hostile_loop_page(x.a, ask == "print"), kHtml);
             }},
            {"/hostile/hang",
             [](const Exchange& x) {
                 x.res.set_content(hostile_hang_page(x.a, x.query_number("after", 200, 60000),
                                                     x.query_number("busy", 0, 60000)),
                                   kHtml);
             }},
            {"/hostile/popups",
             [](const Exchange& x) {
                 x.res.set_content(hostile_popups_page(x.a, x.base(), x.query_number("n", 10, 200)), kHtml);
             }},
            {"/hostile/bigpopup", page_below(hostile_bigpopup_page)},
            {"/hostile/cover", page(hostile_cover_page)},
            {"/hostile/names", page_below(hostile_names_page)},
        });
    return t;
}

} // namespace standin
