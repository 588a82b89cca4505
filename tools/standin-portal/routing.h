// The routing table: which handler answers which path, as data, and the one place that walks it.
#pragma once

#include "options.h"
#include "pages.h"

#include <httplib.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace standin {

inline constexpr char kHtml[] = "text/html; charset=utf-8";

// One request as its handler sees it.
struct Exchange {
    const std::vector<const Role*>& roles; // every role served on the port, command-line order
    const Role* addressed;                 // the role whose path the request came in under, if any
    std::string_view path;                 // below that role's path; "/" at least
    std::string_view rest;                 // what follows a Prefix route's path
    const httplib::Request& req;
    const Arrival& a;
    httplib::Response& res;

    // The path of the role the request came in under ("" at the root): the pages' own links, frames
    // and windows stay below it.
    std::string_view base() const;
    // Below the portal's path, or, below no role's path, on a port that serves the portal.
    bool for_portal() const;
    // A count or a duration from the query: `fallback` when the parameter is missing or does not
    // start with a digit, otherwise its leading digits, saturating at cap.
    long query_number(std::string_view name, long fallback, long cap) const;
    // Answers `status` (400, say) with the error page that says why.
    void refuse(int status, std::string_view why) const;
};

using Handler = std::function<void(const Exchange&)>;

struct Route {
    enum class Match { Exact, Prefix };
    std::string path; // the whole path, or its start (Prefix)
    Handler answer;
    Match match = Match::Exact;
    // When set, only the requests it admits; the others go on down the table.
    std::function<bool(const Exchange&)> when = {};
};

class Router {
public:
    explicit Router(std::vector<Route> table) : table_(std::move(table)) {}
    // The first route of the table that takes the request answers it; the generic page (what
    // arrived) when none does. The request's path is taken below the path of the role it came in
    // under, so that every page also answers below a role's path.
    void Serve(const std::vector<const Role*>& roles, const httplib::Request& req, const Arrival& a,
               httplib::Response& res) const;

private:
    std::vector<Route> table_;
};

} // namespace standin
