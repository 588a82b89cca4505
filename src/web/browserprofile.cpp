#include "web/browserprofile.h"

#include "web/initiators.h"

#include <QDir>
#include <QWebEngineDownloadRequest>
#include <QWebEngineProfile>
#include <QWebEngineSettings>

namespace ostrel::web {

BrowserProfile::BrowserProfile(host::ProxyLogins& proxyLogins)
    : profile_(new QWebEngineProfile(QStringLiteral("ostrel-web"))),
      initiators_(new NavigationInitiators(profile_)), proxyLogins_(proxyLogins)
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
