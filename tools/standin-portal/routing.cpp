#include "routing.h"

#include <algorithm>

namespace standin {

namespace {

bool path_under(std::string_view path, std::string_view prefix)
{
    return path.size() >= prefix.size() && path.compare(0, prefix.size(), prefix) == 0 &&
           (path.size() == prefix.size() || path[prefix.size()] == '/');
}

// The role whose origin path the request falls under, if any; lets the
// special pages also be reached below a role's path, like a gateway at
// http://127.0.0.1:P/citrix serving /citrix/vpn/index.html.
const Role* addressed_role(const std::vector<const Role*>& roles, std::string_view path)
{
    const Role* best = nullptr;
    for (const Role* r : roles) {
        if (!r->prefix.empty() && path_under(path, r->prefix) &&
            (!best || r->prefix.size() > best->prefix.size()))
            best = r;
    }
    return best;
}

bool takes(const Route& route, std::string_view path)
{
    return route.match == Route::Match::Exact ? path == route.path : path.starts_with(route.path);
}

} // namespace

std::string_view Exchange::base() const
{
    return addressed ? std::string_view(addressed->prefix) : std::string_view();
}

bool Exchange::for_portal() const
{
    if (addressed)
        return addressed->name == "portal";
    return std::any_of(roles.begin(), roles.end(), [](const Role* r) { return r->name == "portal"; });
}

long Exchange::query_number(std::string_view name, long fallback, long cap) const
{
    std::string value;
    if (!form_value(a.query, name, value) || value.empty() || value[0] < '0' || value[0] > '9')
        return fallback;
    return leading_number(value, cap);
}

void Exchange::refuse(int status, std::string_view why) const
{
    res.status = status;
    res.set_content(error_page(a, status, why), kHtml);
}

void Router::Serve(const std::vector<const Role*>& roles, const httplib::Request& req, const Arrival& a,
                   httplib::Response& res) const
{
    const Role* addressed = addressed_role(roles, req.path);
    std::string_view path = req.path;
    if (addressed) {
        path.remove_prefix(addressed->prefix.size());
        if (path.empty())
            path = "/";
    }
    // Only /cached may be kept; everything else must reach the server each time
    // so the log reflects every navigation.
    res.set_header("Cache-Control", path == "/cached" ? "max-age=3600" : "no-store");

    for (const Route& route : table_) {
        if (!takes(route, path))
            continue;
        const Exchange x{roles, addressed, path, path.substr(route.path.size()), req, a, res};
        if (route.when && !route.when(x))
            continue;
        route.answer(x);
        return;
    }
    res.set_content(generic_page(a), kHtml);
}

} // namespace standin
