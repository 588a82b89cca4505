// The desktop's proxy setting on Linux: GNOME's through GSettings (dconf in a session, or whatever
// backend GSETTINGS_BACKEND names), KDE's from kioslaverc.
#include "host/proxysetting.h"

#include "host/lazylibrary.h"

#include <QSettings>
#include <QStandardPaths>

// Last: GLib's headers define macros (signals) that Qt's would trip over.
#undef signals
#include <gio/gio.h>

#include <memory>

namespace ostrel::host {

namespace {

bool DesktopIs(std::initializer_list<const char*> names)
{
    const QStringList current = qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(u':', Qt::SkipEmptyParts) +
                                QStringList{qEnvironmentVariable("DESKTOP_SESSION")};
    for (const QString& desktop : current)
        for (const char* name : names)
            if (desktop.compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
                return true;
    return false;
}

// GIO and the libraries it brings (seven) are loaded only where GNOME's setting is read: elsewhere
// they would cost every start their symbol lookups for nothing.
struct Gio {
    decltype(&g_settings_schema_source_get_default) schema_source_get_default = nullptr;
    decltype(&g_settings_schema_source_lookup) schema_source_lookup = nullptr;
    decltype(&g_settings_schema_unref) schema_unref = nullptr;
    decltype(&g_settings_new) settings_new = nullptr;
    decltype(&g_settings_get_child) get_child = nullptr;
    decltype(&g_settings_get_string) get_string = nullptr;
    decltype(&g_settings_get_strv) get_strv = nullptr;
    decltype(&g_settings_get_int) get_int = nullptr;
    decltype(&g_settings_get_boolean) get_boolean = nullptr;
    decltype(&g_object_unref) object_unref = nullptr;
    decltype(&g_free) free = nullptr;
    decltype(&g_strfreev) strfreev = nullptr;
};

// Null when GIO cannot be loaded: then there is no GNOME setting to read.
const Gio* LoadGio()
{
    static const Gio gio = [] {
        QLibrary library(QStringLiteral("gio-2.0"), 0);
        Gio found;
        const bool all =
            Resolve(library, found.schema_source_get_default, "g_settings_schema_source_get_default") &&
            Resolve(library, found.schema_source_lookup, "g_settings_schema_source_lookup") &&
            Resolve(library, found.schema_unref, "g_settings_schema_unref") &&
            Resolve(library, found.settings_new, "g_settings_new") &&
            Resolve(library, found.get_child, "g_settings_get_child") &&
            Resolve(library, found.get_string, "g_settings_get_string") &&
            Resolve(library, found.get_strv, "g_settings_get_strv") &&
            Resolve(library, found.get_int, "g_settings_get_int") &&
            Resolve(library, found.get_boolean, "g_settings_get_boolean") &&
            Resolve(library, found.object_unref, "g_object_unref") &&
            Resolve(library, found.free, "g_free") && Resolve(library, found.strfreev, "g_strfreev");
        return all ? found : Gio{};
    }();
    return gio.settings_new ? &gio : nullptr;
}

struct GObjectUnref {
    void operator()(gpointer object) const { LoadGio()->object_unref(object); }
};
using Settings = std::unique_ptr<GSettings, GObjectUnref>;

QString String(const Gio& gio, GSettings* settings, const char* key)
{
    std::unique_ptr<gchar, decltype(gio.free)> value(gio.get_string(settings, key), gio.free);
    return QString::fromUtf8(value.get());
}

ProxyRoute GnomeProxy(const Gio& gio, GSettings* proxy, const char* child, ProxyRoute::Kind kind)
{
    const Settings settings(gio.get_child(proxy, child));
    ProxyRoute route;
    const QString host = String(gio, settings.get(), "host");
    const int port = gio.get_int(settings.get(), "port");
    if (host.isEmpty() || port <= 0 || port > 65535)
        return route;
    route.kind = kind;
    route.host = host;
    route.port = static_cast<std::uint16_t>(port);
    if (kind == ProxyRoute::Kind::Http && gio.get_boolean(settings.get(), "use-authentication"))
        route.login = ProxyLogin{String(gio, settings.get(), "authentication-user"),
                                 String(gio, settings.get(), "authentication-password")};
    return route;
}

std::optional<ProxySetting> GnomeSetting()
{
    const Gio* loaded = LoadGio();
    if (!loaded)
        return std::nullopt;
    const Gio& gio = *loaded;
    GSettingsSchemaSource* schemas = gio.schema_source_get_default();
    GSettingsSchema* schema =
        schemas ? gio.schema_source_lookup(schemas, "org.gnome.system.proxy", TRUE) : nullptr;
    if (!schema)
        return std::nullopt; // no GNOME settings on this machine: asking would abort
    gio.schema_unref(schema);
    const Settings proxy(gio.settings_new("org.gnome.system.proxy"));
    ProxySetting setting;
    setting.source = ProxySetting::Source::Gnome;
    const QString mode = String(gio, proxy.get(), "mode");
    if (mode == u"auto") {
        const QString script = String(gio, proxy.get(), "autoconfig-url");
        setting.kind = script.isEmpty() ? ProxySetting::Kind::Automatic : ProxySetting::Kind::Script;
        setting.script = QUrl(script.isEmpty() ? QStringLiteral("http://wpad/wpad.dat") : script);
    } else if (mode == u"manual") {
        // SOCKS serves what no HTTP proxy is named for.
        const ProxyRoute socks = GnomeProxy(gio, proxy.get(), "socks", ProxyRoute::Kind::Socks5);
        const ProxyRoute http = GnomeProxy(gio, proxy.get(), "http", ProxyRoute::Kind::Http);
        const ProxyRoute https = GnomeProxy(gio, proxy.get(), "https", ProxyRoute::Kind::Http);
        // "The same proxy for all" (GNOME's default) gives the HTTP proxy to https too.
        const bool same = gio.get_boolean(proxy.get(), "use-same-proxy") && !http.direct();
        setting.http = http.direct() ? socks : http;
        setting.https = same ? http : https.direct() ? socks : https;
        setting.kind = setting.http.direct() && setting.https.direct() ? ProxySetting::Kind::Direct
                                                                       : ProxySetting::Kind::Fixed;
        std::unique_ptr<gchar*, decltype(gio.strfreev)> ignored(gio.get_strv(proxy.get(), "ignore-hosts"),
                                                                gio.strfreev);
        for (gchar** entry = ignored.get(); entry && *entry; ++entry)
            setting.bypass << QString::fromUtf8(*entry);
    }
    return setting;
}

// KDE writes "http://host:port" or "http://host port".
QString KdeProxy(const QSettings& kde, const char* key)
{
    return kde.value(QLatin1String(key)).toString().trimmed().replace(u' ', u':');
}

std::optional<ProxySetting> KdeSetting()
{
    const QString file =
        QStandardPaths::locate(QStandardPaths::GenericConfigLocation, QStringLiteral("kioslaverc"));
    if (file.isEmpty())
        return std::nullopt;
    QSettings kde(file, QSettings::IniFormat);
    kde.beginGroup(QStringLiteral("Proxy Settings"));
    ProxySetting setting;
    switch (kde.value(QStringLiteral("ProxyType")).toInt()) {
    case 1: { // manual: read as the variables are
        QProcessEnvironment named;
        named.insert(QStringLiteral("http_proxy"), KdeProxy(kde, "httpProxy"));
        named.insert(QStringLiteral("https_proxy"), KdeProxy(kde, "httpsProxy"));
        named.insert(
            QStringLiteral("all_proxy"),
            KdeProxy(kde, "socksProxy").replace(QLatin1String("socks://"), QLatin1String("socks5://")));
        named.insert(QStringLiteral("no_proxy"),
                     kde.value(QStringLiteral("NoProxyFor")).toStringList().join(u','));
        setting = ProxySettingFromEnvironment(named);
        break;
    }
    case 2:
        setting.kind = ProxySetting::Kind::Script;
        setting.script = QUrl(kde.value(QStringLiteral("Proxy Config Script")).toString());
        break;
    case 3:
        setting.kind = ProxySetting::Kind::Automatic;
        setting.script = QUrl(QStringLiteral("http://wpad/wpad.dat"));
        break;
    case 4: // the variables, which were read first already and named no proxy
        return std::nullopt;
    default:
        break;
    }
    setting.source = ProxySetting::Source::Kde;
    return setting;
}

} // namespace

ProxySetting ReadProxySetting()
{
    if (ProxySetting fromVariables = ProxySettingFromEnvironment(QProcessEnvironment::systemEnvironment());
        fromVariables.source != ProxySetting::Source::Nothing)
        return fromVariables;
    std::optional<ProxySetting> desktop;
    if (DesktopIs({"GNOME", "Unity", "X-Cinnamon", "Budgie", "Pantheon", "ubuntu", "gnome"}))
        desktop = GnomeSetting();
    else if (DesktopIs({"KDE", "plasma"}))
        desktop = KdeSetting();
    return desktop.value_or(ProxySetting{});
}

} // namespace ostrel::host
