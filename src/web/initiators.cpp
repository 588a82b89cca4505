#include "web/initiators.h"

#include <QWebEngineUrlRequestInfo>

#include <algorithm>

namespace ostrel::web {

void NavigationInitiators::interceptRequest(QWebEngineUrlRequestInfo& info)
{
    const auto type = info.resourceType();
    // No page runs a service worker: the portal needs none, and one answers its origin's pages
    // itself, across restarts and cache clears, whatever the server says.
    if (type == QWebEngineUrlRequestInfo::ResourceTypeServiceWorker) {
        info.block(true);
        return;
    }
    if (type != QWebEngineUrlRequestInfo::ResourceTypeMainFrame &&
        type != QWebEngineUrlRequestInfo::ResourceTypeSubFrame)
        return;
    if (recent_.size() == kRemembered)
        recent_.pop_front();
    recent_.push_back({info.requestUrl(), info.initiator(), type == QWebEngineUrlRequestInfo::ResourceTypeSubFrame});
}

const NavigationInitiators::Navigation* NavigationInitiators::latest(const QUrl& url) const
{
    const auto found =
        std::find_if(recent_.rbegin(), recent_.rend(), [&](const Navigation& entry) { return entry.url == url; });
    return found == recent_.rend() ? nullptr : &*found;
}

QUrl NavigationInitiators::InitiatorOf(const QUrl& url) const
{
    const Navigation* navigation = latest(url);
    return navigation ? navigation->initiator : QUrl();
}

bool NavigationInitiators::InFrame(const QUrl& url) const
{
    const Navigation* navigation = latest(url);
    return navigation && navigation->inFrame;
}

} // namespace ostrel::web
