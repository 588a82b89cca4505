// The program's one browser profile: cookies and HTTP cache on disk (Qt's default profile is off
// the record), shared by the main window's page and every window a page opens, so the portal's
// session carries over. Two profiles on the same storage would fight over its lock.
// The program's entry makes it before the window and ends it after every page has gone (the
// windows pages opened included), before the application object, which takes the engine down.
#pragma once

#include <QHash>
#include <QList>
#include <QSslCertificate>
#include <QString>
#include <QUrl>

#include <functional>
#include <optional>
#include <string>
#include <vector>

class QWebEngineDownloadRequest;
class QWebEngineProfile;

namespace ostrel::host {
class Proxies;
}

namespace ostrel::web {

class NavigationInitiators;

class BrowserProfile {
public:
    // Starts the engine with the session's proxy setting. proxies: the session's, which the gateway
    // probe reads too; it outlives the profile.
    explicit BrowserProfile(host::Proxies& proxies);
    ~BrowserProfile();
    BrowserProfile(const BrowserProfile&) = delete;
    BrowserProfile& operator=(const BrowserProfile&) = delete;

    // The engine's largest files, which its start reads: its library, its resources, the pages'
    // language. For host::ReadAhead, before the engine starts.
    static std::vector<std::string> EngineFiles();

    QWebEngineProfile* engine() const { return profile_; }
    // Who asked for each navigation of the profile's pages: which page a download came from.
    const NavigationInitiators& initiators() const { return *initiators_; }
    // Where the profile's downloads go: one taker at a time (the download bar), none once it has gone.
    void SetOnDownload(std::function<void(QWebEngineDownloadRequest*)> take);

    // What sites stored in IndexedDB in earlier sessions goes, but for these origins' (the
    // insurer's), before any page is loaded: another site's does not outlive its session.
    void KeepStoredDataOnlyOf(const QList<QUrl>& origins) const;
    // The same on the profile's storage folder.
    static void KeepStoredDataOnlyOf(const QString& storagePath, const QList<QUrl>& origins);

    host::Proxies& proxies() const { return proxies_; }
    // The session's answers to servers that asked for a certificate, by server ("host:port"): the
    // certificate chosen, or none.
    QHash<QString, std::optional<QSslCertificate>>& certificateChoices() { return certificateChoices_; }
    // The certificate the user sent a server ("host:port") last, in this session or an earlier
    // one: its SHA-256 fingerprint, all the profile keeps of it; empty when none.
    QByteArray SentBefore(const QString& server) const;
    void RememberSent(const QString& server, const QSslCertificate& certificate) const;

private:
    QWebEngineProfile* profile_;
    NavigationInitiators* initiators_; // the profile's child
    std::function<void(QWebEngineDownloadRequest*)> onDownload_;
    host::Proxies& proxies_;
    QHash<QString, std::optional<QSslCertificate>> certificateChoices_;
};

} // namespace ostrel::web
