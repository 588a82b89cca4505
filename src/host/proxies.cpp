#include "host/proxies.h"

#include "host/failurelog.h"
#include "host/pacscript.h"

#include <utility>

namespace ostrel::host {

Proxies::Proxies(ProxySetting setting, FetchScript fetch)
    : setting_(std::move(setting)), fetch_(std::move(fetch))
{
}

std::optional<ProxyRoute> Proxies::KnownRoute(const QUrl& target) const
{
    const bool scripted =
        setting_.kind == ProxySetting::Kind::Script || setting_.kind == ProxySetting::Kind::Automatic;
    if (scripted && !IsLoopbackHost(target.host()))
        return std::nullopt;
    return setting_.FixedRoute(target);
}

ProxyRoute Proxies::Route(const QUrl& target) const
{
    if (auto known = KnownRoute(target))
        return *known;
    QString script;
    {
        const QMutexLocker lock(&scriptMutex_);
        if (!script_ && fetch_) {
            if (const auto fetched = fetch_(setting_.script))
                script_ = QString::fromUtf8(*fetched);
            else
                qCWarning(lcFailures, "the proxy script %s could not be had: going direct",
                          qPrintable(setting_.script.toString()));
        }
        script = script_.value_or(QString());
    }
    if (script.isEmpty())
        return {};
    if (auto route = RouteByScript(script, target))
        return *route;
    qCWarning(lcFailures, "the proxy script gave no way to %s: going direct", qPrintable(target.host()));
    return {};
}

void Proxies::Remember(const QString& host, const ProxyLogin& login)
{
    const QMutexLocker lock(&mutex_);
    logins_.insert(host.toLower(), login);
}

std::optional<ProxyLogin> Proxies::LoginFor(const ProxyRoute& route) const
{
    if (route.direct())
        return std::nullopt;
    const QMutexLocker lock(&mutex_);
    const auto given = logins_.constFind(route.host.toLower());
    return given != logins_.cend() ? std::optional(*given) : route.login;
}

void Proxies::NoteLogin(const QString& host, ProxyLoginKind kind)
{
    const QMutexLocker lock(&mutex_);
    kinds_.insert(host.toLower(), kind);
}

QString Proxies::Describe(const QList<std::pair<QString, QUrl>>& targets) const
{
    QString text = u"Proxy: " + setting_.Describe() + u'\n';
    for (const auto& [name, target] : targets) {
        QString way;
        if (const auto known = KnownRoute(target))
            way = known->direct() ? QStringLiteral("rechtstreeks") : u"via " + known->name();
        else
            way = u"zoals " + setting_.script.toString(QUrl::RemoveUserInfo) + u" zegt";
        text += u"  " + name + u" (" + target.host() + u':' +
                QString::number(target.port(target.scheme() == u"https" ? 443 : 80)) + u"): " + way + u'\n';
    }
    const QMutexLocker lock(&mutex_);
    if (kinds_.isEmpty() && setting_.kind != ProxySetting::Kind::Direct)
        text += QStringLiteral("  aanmelden: geen proxy heeft erom gevraagd\n");
    for (auto kind = kinds_.cbegin(); kind != kinds_.cend(); ++kind)
        text += u"  aanmelden bij " + kind.key() + u": " +
                (kind.value() == ProxyLoginKind::Kerberos
                     ? QStringLiteral("Kerberos (de aanmelding van de computer)")
                     : QStringLiteral("gebruikersnaam en wachtwoord")) +
                u'\n';
    return text;
}

} // namespace ostrel::host
