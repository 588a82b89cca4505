#include "options.h"

#include "pages.h"

#include <algorithm>
#include <string_view>
#include <utility>

namespace standin {

const char kUsage[] =
    "usage: ostrel-standin [--log FILE] [--status ROLE=CODE]... [--open-window]\n"
    "                      [--bench-page] [--portal-login] [--start-page PATH]\n"
    "                      [--https ROLE=PORT... --cert FILE --key FILE [--client-ca FILE]]\n"
    "                      ROLE=ORIGIN...\n"
    "\n"
    "  ROLE=ORIGIN         serve ROLE at ORIGIN, e.g. portal=http://127.0.0.1:47101\n"
    "                      (host 127.0.0.1 or localhost, explicit port, optional path)\n"
    "  --status ROLE=CODE  status of /vpn/index.html on ROLE's port: 101..599, or\n"
    "                      'hang' to accept and never answer (default 200)\n"
    "  --https ROLE=PORT   also serve the pages over TLS at https://127.0.0.1:PORT\n"
    "                      as ROLE; needs --cert and --key\n"
    "  --cert FILE         PEM certificate (chain) for every --https port\n"
    "  --key FILE          PEM private key of that certificate, unencrypted\n"
    "  --client-ca FILE    every --https port asks for a client certificate and\n"
    "                      takes only one issued by the PEM CA in FILE\n"
    "  --log FILE          append one JSON line per request to FILE (default stderr)\n"
    "  --open-window       the page at \"/\" opens /popup/target in a window of its own\n"
    "  --bench-page        the portal's \"/\" is a 5 KB page with one image,\n"
    "                      /bench/image.png, for timing page loads; its key \"p\"\n"
    "                      opens /bench/popup, which closes itself\n"
    "  --portal-login      the portal's \"/\" (POST and GET) asks for a login: agent:portaal\n"
    "  --start-page PATH   the portal's version-stamped page (GET \"/\" with a query)\n"
    "                      redirects to PATH, e.g. one of the /hostile/ pages\n"
    "  --portal-at URL     the portal's \"/\" (POST and GET) answers 307 to URL with the\n"
    "                      request's query, e.g. an --https port that asks for a certificate\n";

namespace {

[[noreturn]] void usage_error(const std::string& msg)
{
    throw UsageError(msg);
}

bool valid_role_name(std::string_view s)
{
    return !s.empty() && std::all_of(s.begin(), s.end(),
                                     [](char c) { return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'); });
}

// A port: -1 when the text is not a number of at most five digits, 0 when it is not 1..65535.
int port_number(std::string_view text)
{
    if (text.size() > 5 || !all_digits(text))
        return -1;
    const auto port = static_cast<int>(leading_number(text, 99999));
    return port >= 1 && port <= 65535 ? port : 0;
}

// NAME=VALUE of a role's argument: the role with its name, and the value; form names what was expected.
std::pair<Role, std::string_view> split_role(std::string_view arg, std::string_view form)
{
    const auto eq = arg.find('=');
    if (eq == std::string_view::npos)
        usage_error("expected " + std::string(form) + ", got '" + std::string(arg) + "'");
    Role role;
    role.name = std::string(arg.substr(0, eq));
    if (!valid_role_name(role.name))
        usage_error("role name '" + role.name + "' must match [a-z0-9]+");
    return {std::move(role), arg.substr(eq + 1)};
}

Role parse_role(std::string_view arg)
{
    auto split = split_role(arg, "ROLE=ORIGIN");
    Role role = std::move(split.first);
    const std::string origin(split.second);
    const auto bad = [&](const std::string& why) {
        usage_error("origin '" + origin + "' for role " + role.name + ": " + why);
    };
    std::string_view rest = origin;
    if (rest.size() < 7 || !equal_ci(rest.substr(0, 7), "http://"))
        bad("must start with http://");
    rest.remove_prefix(7);
    const auto host_end = rest.find_first_of(":/");
    const std::string_view host = rest.substr(0, host_end);
    if (!equal_ci(host, "127.0.0.1") && !equal_ci(host, "localhost"))
        bad("host must be 127.0.0.1 or localhost; the stand-in only listens on "
            "loopback");
    if (host_end == std::string_view::npos || rest[host_end] != ':')
        bad("an explicit port is required");
    rest.remove_prefix(host_end + 1);
    const auto port_end = rest.find('/');
    role.port = port_number(rest.substr(0, port_end));
    if (role.port < 0)
        bad("port must be a number");
    if (role.port == 0)
        bad("port must be 1..65535");
    std::string_view path = port_end == std::string_view::npos ? std::string_view() : rest.substr(port_end);
    if (path.find_first_of("?#") != std::string_view::npos)
        bad("query and fragment are not allowed");
    while (!path.empty() && path.back() == '/')
        path.remove_suffix(1);
    role.prefix = std::string(path);
    return role;
}

// --https ROLE=PORT: TLS is only ever offered on 127.0.0.1, so a port is all
// there is to say.
Role parse_tls_role(std::string_view arg)
{
    auto split = split_role(arg, "--https ROLE=PORT");
    Role role = std::move(split.first);
    role.port = port_number(split.second);
    if (role.port < 0)
        usage_error("--https " + std::string(arg) + ": PORT must be a number");
    if (role.port == 0)
        usage_error("--https " + std::string(arg) + ": PORT must be 1..65535");
    return role;
}

// Applies to the role of that name on plain HTTP and on HTTPS alike.
void apply_status(std::vector<Role>& roles, std::vector<Role>& tls_roles, std::string_view arg)
{
    const auto eq = arg.find('=');
    if (eq == std::string_view::npos)
        usage_error("expected --status ROLE=CODE, got '" + std::string(arg) + "'");
    const std::string_view name = arg.substr(0, eq);
    const std::string_view code = arg.substr(eq + 1);
    std::vector<Role*> named;
    for (auto* list : {&roles, &tls_roles})
        for (Role& r : *list)
            if (r.name == name)
                named.push_back(&r);
    if (named.empty())
        usage_error("--status names role '" + std::string(name) +
                    "' which is not served (give it as ROLE=ORIGIN)");
    if (code == "hang") {
        for (Role* r : named) {
            r->vpn_hang = true;
            r->vpn_status = 0;
        }
        return;
    }
    const int n = code.size() <= 3 && all_digits(code) ? static_cast<int>(leading_number(code, 999)) : 0;
    if (n <= 100 || n >= 600)
        usage_error("--status " + std::string(arg) + ": CODE must be 101..599 or 'hang'");
    for (Role* r : named) {
        r->vpn_hang = false;
        r->vpn_status = n;
    }
}

bool has_line_break_or_nul(std::string_view s)
{
    return s.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

} // namespace

Options ParseOptions(int argc, const char* const* argv)
{
    Options o;
    std::vector<std::string> statuses;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const auto value = [&](std::string_view opt) -> std::string {
            if (arg.size() > opt.size() && arg[opt.size()] == '=')
                return std::string(arg.substr(opt.size() + 1));
            if (i + 1 >= argc)
                usage_error(std::string(opt) + " needs a value");
            return argv[++i];
        };
        // The option alone, or followed by "=VALUE".
        const auto is = [&](std::string_view opt) {
            return arg == opt ||
                   (arg.size() > opt.size() && arg.substr(0, opt.size()) == opt && arg[opt.size()] == '=');
        };
        if (arg == "-h" || arg == "--help") {
            o.help = true;
            return o;
        } else if (is("--log")) {
            o.log_path = value("--log");
        } else if (is("--status")) {
            statuses.push_back(value("--status"));
        } else if (is("--https")) {
            Role r = parse_tls_role(value("--https"));
            for (const Role& other : o.tls_roles)
                if (other.name == r.name)
                    usage_error("--https role '" + r.name + "' given twice");
            o.tls_roles.push_back(std::move(r));
        } else if (arg == "--open-window") {
            o.open_window = true;
        } else if (arg == "--bench-page") {
            o.bench_page = true;
        } else if (arg == "--portal-login") {
            o.portal_login = true;
        } else if (is("--start-page")) {
            o.start_page = value("--start-page");
            if (o.start_page.empty() || o.start_page.front() != '/' || has_line_break_or_nul(o.start_page))
                usage_error("--start-page needs a path that starts with /");
        } else if (is("--portal-at")) {
            o.portal_at = value("--portal-at");
            if (has_line_break_or_nul(o.portal_at))
                usage_error("--portal-at needs a URL");
        } else if (is("--cert")) {
            o.cert_path = value("--cert");
        } else if (is("--key")) {
            o.key_path = value("--key");
        } else if (is("--client-ca")) {
            o.client_ca_path = value("--client-ca");
        } else if (!arg.empty() && arg[0] == '-') {
            usage_error("unknown option '" + std::string(arg) + "'");
        } else {
            Role r = parse_role(arg);
            for (const Role& other : o.roles)
                if (other.name == r.name)
                    usage_error("role '" + r.name + "' given twice");
            o.roles.push_back(std::move(r));
        }
    }
    if (o.roles.empty() && o.tls_roles.empty())
        usage_error("no ROLE=ORIGIN given");
    if (!o.tls_roles.empty() && (!o.cert_path || !o.key_path))
        usage_error("--https needs --cert FILE and --key FILE");
    if (o.tls_roles.empty() && (o.cert_path || o.key_path || o.client_ca_path))
        usage_error("--cert, --key and --client-ca are only used with --https ROLE=PORT");
    for (Role& t : o.tls_roles) {
        for (const Role& r : o.roles) {
            if (r.port == t.port)
                usage_error("--https port " + std::to_string(t.port) +
                            " is already served over HTTP by role " + r.name);
            // The same role over TLS answers below the same path.
            if (r.name == t.name)
                t.prefix = r.prefix;
        }
    }
    for (const auto& s : statuses)
        apply_status(o.roles, o.tls_roles, s);
    return o;
}

} // namespace standin
