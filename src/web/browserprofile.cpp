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

#include <algorithm>

namespace ostrel::web {

namespace {
// The engine starts with the first profile and reads its switches then, from the variable Qt
// WebEngine passes to Chromium; the variable is put back at once, for the programs we start.
// Chromium still parses http_proxy itself and logs "Failed to parse" for pac+: the switches hold.
QWebEngineProfile* StartEngine(const QStringList& proxySwitches)
{
    const QByteArray before = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    const bool had = qEnvironmentVariableIsSet("QTWEBENGINE_CHROMIUM_FLAGS");
    if (!proxySwitches.isEmpty())
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS",
                QByteArray(before + ' ' + proxySwitches.join(u' ').toLocal8Bit()));
    auto* profile = new QWebEngineProfile(QStringLiteral("ostrel-web"));
    if (proxySwitches.isEmpty())
        return profile;
    if (had)
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", before);
    else
        qunsetenv("QTWEBENGINE_CHROMIUM_FLAGS");
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
