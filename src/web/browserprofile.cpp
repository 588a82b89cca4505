#include "web/browserprofile.h"

#include "host/failurelog.h"
#include "host/proxies.h"
#include "web/initiators.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QSettings>
#include <QWebEngineDownloadRequest>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <qtwebenginecoreversion.h>

#include <algorithm>

namespace ostrel::web {

namespace {
// Qt 6.8's V8 collects what closed pages left only after 8 s without a collection, and every closed
// popup starts that wait again: after 25 popups the renderer held 8 MB more for 20 s. Waiting 2 s,
// it held none after 2 s. Qt 6.4's V8 has no such switch and gives it back within 10 s by itself.
QStringList MemorySwitches()
{
#if QTWEBENGINECORE_VERSION >= QT_VERSION_CHECK(6, 8, 0)
    return {QStringLiteral("--js-flags=--gc-memory-reducer-start-delay-ms=2000")};
#else
    return {};
#endif
}

// The engine starts with the first profile and reads its switches then, from the variable Qt
// WebEngine passes to Chromium; the variable is put back at once, for the programs we start.
// Of a switch given twice, the engine keeps the last: the variable's own --js-flags comes after
// ours, the proxy's switches after the variable's.
// Chromium still parses http_proxy itself and logs "Failed to parse" for pac+: the switches hold.
QWebEngineProfile* StartEngine(const QStringList& proxySwitches)
{
    const char* const variable = "QTWEBENGINE_CHROMIUM_FLAGS";
    const QString name = QStringLiteral("ostrel-web");
    QStringList switches = MemorySwitches();
    if (switches.isEmpty() && proxySwitches.isEmpty())
        return new QWebEngineProfile(name);
    const QByteArray before = qgetenv(variable);
    const bool had = qEnvironmentVariableIsSet(variable);
    if (!before.isEmpty())
        switches << QString::fromLocal8Bit(before);
    qputenv(variable, (switches + proxySwitches).join(u' ').toLocal8Bit());
    auto* profile = new QWebEngineProfile(name);
    if (had)
        qputenv(variable, before);
    else
        qunsetenv(variable);
    return profile;
}
} // namespace

BrowserProfile::BrowserProfile(host::Proxies& proxies)
    : profile_(StartEngine(proxies.setting().EngineSwitches())),
      initiators_(new NavigationInitiators(profile_)), proxies_(proxies)
{
    profile_->settings()->setAttribute(QWebEngineSettings::PluginsEnabled, true); // the PDF viewer
    // A page's window.focus() brings no window of ours to the front (the engine's default, kept).
    profile_->settings()->setAttribute(QWebEngineSettings::AllowWindowActivationFromJavaScript, false);
    profile_->settings()->setAttribute(QWebEngineSettings::PdfViewerEnabled, true);
    // Pages are asked for Dutch first, whatever the desktop's language.
    profile_->setHttpAcceptLanguage(QStringLiteral("nl-NL,nl;q=0.9,en;q=0.8"));
    profile_->setUrlRequestInterceptor(initiators_);
    // Workers registered before they were refused, and the cache storage they filled, go before any
    // page is loaded (the engine opens that storage when a page first needs it).
    QDir(profile_->persistentStoragePath() + QStringLiteral("/Service Worker")).removeRecursively();
    // Nothing is saved unless a taker accepts it.
    QObject::connect(profile_, &QWebEngineProfile::downloadRequested, profile_,
                     [this](QWebEngineDownloadRequest* download) {
                         if (onDownload_)
                             onDownload_(download);
                     });
}

std::vector<std::string> BrowserProfile::EngineFiles()
{
    const QString resources = QLibraryInfo::path(QLibraryInfo::DataPath) + QStringLiteral("/resources/");
    const QString files[] = {
        QLibraryInfo::path(QLibraryInfo::LibrariesPath) + QStringLiteral("/libQt6WebEngineCore.so.6"),
        resources + QStringLiteral("qtwebengine_resources.pak"),
        resources + QStringLiteral("icudtl.dat"),
        resources + QStringLiteral("v8_context_snapshot.bin"),
        QLibraryInfo::path(QLibraryInfo::TranslationsPath) + QStringLiteral("/qtwebengine_locales/nl.pak"),
    };
    std::vector<std::string> paths;
    for (const QString& file : files)
        paths.push_back(QFile::encodeName(file).toStdString());
    return paths;
}

void BrowserProfile::KeepStoredDataOnlyOf(const QList<QUrl>& origins) const
{
    KeepStoredDataOnlyOf(profile_->persistentStoragePath(), origins);
}

// No quota of a site's own can be set: Qt drops the engine's StorageQuotaSettings parameters (no
// field trials), so what other sites store is bounded by the session instead.
// The engine names an origin's folders scheme_host_port, 0 for the scheme's default port
// ("https_portal.example.nl_0.indexeddb.leveldb", and ".indexeddb.blob" beside it).
void BrowserProfile::KeepStoredDataOnlyOf(const QString& storagePath, const QList<QUrl>& origins)
{
    QStringList kept;
    for (const QUrl& origin : origins) {
        const int port = origin.port(); // -1: none given
        const bool defaultPort = port < 0 || port == (origin.scheme() == u"https" ? 443 : 80);
        kept.append(QStringLiteral("%1_%2_%3.indexeddb.")
                        .arg(origin.scheme(), origin.host())
                        .arg(defaultPort ? 0 : port));
    }
    QDir folder(storagePath + QStringLiteral("/IndexedDB"));
    for (const QFileInfo& entry : folder.entryInfoList(QDir::Dirs | QDir::Files | QDir::NoDotAndDotDot)) {
        const QString name = entry.fileName();
        if (std::any_of(kept.begin(), kept.end(),
                        [&](const QString& prefix) { return name.startsWith(prefix); }))
            continue;
        if (entry.isDir() ? !QDir(entry.filePath()).removeRecursively() : !QFile::remove(entry.filePath()))
            qCWarning(lcFailures, "what a site stored in %s could not be removed",
                      qPrintable(entry.filePath()));
    }
}

namespace {
// Beside the engine's own files in the profile's folder; a server's key is "host:port".
QSettings sentCertificates(const QWebEngineProfile* profile)
{
    return QSettings(profile->persistentStoragePath() + QStringLiteral("/sent-certificates.ini"),
                     QSettings::IniFormat);
}
} // namespace

QByteArray BrowserProfile::SentBefore(const QString& server) const
{
    return QByteArray::fromHex(sentCertificates(profile_).value(server).toByteArray());
}

void BrowserProfile::RememberSent(const QString& server, const QSslCertificate& certificate) const
{
    QSettings settings = sentCertificates(profile_);
    settings.setValue(server, certificate.digest(QCryptographicHash::Sha256).toHex());
}

BrowserProfile::~BrowserProfile()
{
    profile_->setUrlRequestInterceptor(nullptr);
    delete profile_;
}

void BrowserProfile::SetOnDownload(std::function<void(QWebEngineDownloadRequest*)> take)
{
    onDownload_ = std::move(take);
}

} // namespace ostrel::web
