#include "host/pacscript.h"

#include "host/paclookups.h"

#include <QJSEngine>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace ostrel::host {

namespace {

// A runaway script is stopped after this long; the probe then goes direct, as the engine does
// when its script fails.
constexpr std::chrono::seconds kScriptTime{1};

// The functions every PAC may call, over the two lookups above.
constexpr const char* kHelpers = R"js(
function dnsResolve(h) { var a = __lookups.resolve(String(h)); return a ? a : null; }
function myIpAddress() { return __lookups.myAddress(); }
function isPlainHostName(h) { return h.indexOf('.') < 0; }
function dnsDomainIs(h, d) {
    h = h.toLowerCase(); d = d.toLowerCase();
    return h.length >= d.length && h.substring(h.length - d.length) === d;
}
function localHostOrDomainIs(h, hd) { return h === hd || (h.indexOf('.') < 0 && hd.indexOf(h + '.') === 0); }
function isResolvable(h) { return dnsResolve(h) !== null; }
function dnsDomainLevels(h) { return h.split('.').length - 1; }
function __number(ip) { var b = ip.split('.'); return ((b[0] << 24) | (b[1] << 16) | (b[2] << 8) | b[3]) >>> 0; }
function isInNet(h, pattern, mask) {
    var ip = /^\d+\.\d+\.\d+\.\d+$/.test(h) ? h : dnsResolve(h);
    return ip !== null && (__number(ip) & __number(mask)) >>> 0 === (__number(pattern) & __number(mask)) >>> 0;
}
function shExpMatch(s, p) {
    var r = p.replace(/[.+^${}()|[\]\\]/g, '\\$&').replace(/\*/g, '.*').replace(/\?/g, '.');
    return new RegExp('^' + r + '$').test(s);
}
function __gmt(a) { var g = a[a.length - 1] === 'GMT'; if (g) a.pop(); return g; }
function __within(now, from, to) { return from <= to ? now >= from && now <= to : now >= from || now <= to; }
function weekdayRange() {
    var a = Array.prototype.slice.call(arguments), g = __gmt(a), d = new Date();
    var days = ['SUN', 'MON', 'TUE', 'WED', 'THU', 'FRI', 'SAT'];
    var x = days.indexOf(a[0]), y = a.length > 1 ? days.indexOf(a[1]) : x;
    return x >= 0 && y >= 0 && __within(g ? d.getUTCDay() : d.getDay(), x, y);
}
function timeRange() {
    var a = Array.prototype.slice.call(arguments), g = __gmt(a), d = new Date();
    var h = g ? d.getUTCHours() : d.getHours();
    var now = h * 3600 + (g ? d.getUTCMinutes() : d.getMinutes()) * 60 + (g ? d.getUTCSeconds() : d.getSeconds());
    if (a.length === 1) return h === a[0];
    if (a.length === 2) return __within(now, a[0] * 3600, a[1] * 3600 + 3599);
    if (a.length === 4) return __within(now, a[0] * 3600 + a[1] * 60, a[2] * 3600 + a[3] * 60 + 59);
    if (a.length === 6) return __within(now, a[0] * 3600 + a[1] * 60 + a[2], a[3] * 3600 + a[4] * 60 + a[5]);
    return false;
}
function dateRange() {
    var a = Array.prototype.slice.call(arguments), g = __gmt(a), d = new Date();
    var months = ['JAN', 'FEB', 'MAR', 'APR', 'MAY', 'JUN', 'JUL', 'AUG', 'SEP', 'OCT', 'NOV', 'DEC'];
    var today = { y: g ? d.getUTCFullYear() : d.getFullYear(), m: g ? d.getUTCMonth() : d.getMonth(),
                  d: g ? d.getUTCDate() : d.getDate() };
    var half = a.length === 1 ? 1 : a.length / 2;
    if (half !== Math.floor(half) || half < 1 || half > 3) return false;
    function at(list, end) {
        var p = {};
        list.forEach(function (v) {
            if (typeof v === 'string') p.m = months.indexOf(v); else if (v > 31) p.y = v; else p.d = v;
        });
        // What is finer than the finest given spans its whole range; what is coarser is today's.
        var finest = p.d !== undefined ? 'd' : p.m !== undefined ? 'm' : 'y';
        var y = p.y !== undefined ? p.y : today.y;
        var m = p.m !== undefined ? p.m : finest === 'y' ? (end ? 11 : 0) : today.m;
        var day = p.d !== undefined ? p.d : (end ? 31 : 1);
        return (y * 12 + m) * 32 + day;
    }
    var now = (today.y * 12 + today.m) * 32 + today.d;
    return __within(now, at(a.slice(0, half), false), at(a.slice(a.length - half), true));
}
)js";

// What PAC answers are made of: "DIRECT" or "<TYPE> host:port".
std::optional<ProxyRoute> RouteOf(const QString& entry)
{
    const QStringList words = entry.simplified().split(u' ');
    const QString type = words.value(0).toUpper();
    if (type == u"DIRECT")
        return ProxyRoute{};
    if (words.size() != 2)
        return std::nullopt;
    ProxyRoute route;
    if (type == u"PROXY" || type == u"HTTP")
        route.kind = ProxyRoute::Kind::Http;
    else if (type == u"SOCKS5")
        route.kind = ProxyRoute::Kind::Socks5;
    else if (type == u"SOCKS" || type == u"SOCKS4")
        route.kind = ProxyRoute::Kind::Socks4;
    else
        return std::nullopt; // HTTPS and QUIC proxies: the next answer may do
    const QUrl address(u"//" + words[1]);
    if (address.host().isEmpty() || address.port() <= 0)
        return std::nullopt;
    route.host = address.host();
    route.port = static_cast<std::uint16_t>(address.port());
    return route;
}

// Stops the script when it runs too long; QJSEngine::setInterrupted may be called from any thread.
class Watchdog {
public:
    explicit Watchdog(QJSEngine& engine)
        : thread_([this, &engine] {
              std::unique_lock lock(mutex_);
              if (!done_.wait_for(lock, kScriptTime, [this] { return finished_; }))
                  engine.setInterrupted(true);
          })
    {
    }
    ~Watchdog()
    {
        {
            const std::lock_guard lock(mutex_);
            finished_ = true;
        }
        done_.notify_one();
        thread_.join();
    }
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

private:
    std::mutex mutex_;
    std::condition_variable done_;
    bool finished_ = false;
    std::thread thread_; // last: it uses the members above
};

} // namespace

std::optional<ProxyRoute> RouteByScript(const QString& script, const QUrl& target)
{
    QJSEngine engine;
    PacLookups lookups;
    QJSEngine::setObjectOwnership(&lookups, QJSEngine::CppOwnership); // on this stack, not the collector's
    engine.globalObject().setProperty(QStringLiteral("__lookups"), engine.newQObject(&lookups));
    QJSValue answer;
    {
        const Watchdog watchdog(engine);
        engine.evaluate(QString::fromLatin1(kHelpers));
        if (const QJSValue loaded = engine.evaluate(script); loaded.isError())
            return std::nullopt;
        const QJSValue find = engine.globalObject().property(QStringLiteral("FindProxyForURL"));
        if (!find.isCallable())
            return std::nullopt;
        // As browsers do, an https address is given without its path and query.
        QUrl shown = target.adjusted(QUrl::RemoveFragment | QUrl::RemoveUserInfo);
        if (target.scheme() == u"https")
            shown = shown.adjusted(QUrl::RemoveQuery).resolved(QUrl(QStringLiteral("/")));
        answer = find.call({shown.toString(QUrl::FullyEncoded), target.host()});
    }
    if (answer.isError() || !answer.isString())
        return std::nullopt;
    for (const QString& entry : answer.toString().split(u';', Qt::SkipEmptyParts))
        if (auto route = RouteOf(entry))
            return route;
    return std::nullopt;
}

} // namespace ostrel::host

