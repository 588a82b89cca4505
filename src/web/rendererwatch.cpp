#include "web/rendererwatch.h"

#include "host/failurelog.h"
#include "web/ournavigation.h"
#include "web/webpage.h"

#include <QPointer>
#include <QTimer>
#include <QWebEngineScript>

#include <utility>

namespace ostrel::web {

RendererWatch::RendererWatch(WebPage* page, const OurNavigation& ours, host::Pause& pause,
                             std::function<void(const host::Request&)> navigate)
    : page_(page), ours_(ours), pause_(pause), navigate_(std::move(navigate))
{
}

void RendererWatch::Watch()
{
    const int watch = ++watches_;
    lastAnswer_.start();
    watchedRenderer_ = page_->renderProcessPid();
    ping(watch);
}

void RendererWatch::ping(int watch)
{
    page_->runJavaScript(QStringLiteral("0"), QWebEngineScript::ApplicationWorld,
                         [self = QPointer(this), watch](const QVariant&) {
                             if (self && self->watches_ == watch)
                                 self->lastAnswer_.start();
                         });
    // Not in a pause of ours, which takes the page nowhere: once it is over, if no navigation of
    // ours came meanwhile.
    QTimer::singleShot(kPingMs, this, [this, watch] {
        pause_.RunOutsidePause([self = QPointer(this), watch] {
            if (!self || self->watches_ != watch || !self->ours_.UnderWay())
                return;
            if (self->lastAnswer_.elapsed() < kUnresponsiveMs)
                self->ping(watch);
            else
                self->endAnUnresponsivePage();
        });
    });
}

void RendererWatch::endAnUnresponsivePage()
{
    // The page being left asks no questions meanwhile (WebPage::Leave). A navigation to another
    // site may have got through in a renderer of its own: the one left behind is the engine's.
    if (watchedRenderer_ <= 0 || page_->renderProcessPid() != watchedRenderer_)
        return;
    qCWarning(lcFailures, "the page did not answer for %d ms: its renderer is ended for %s", kUnresponsiveMs,
              ours_.Last().url.c_str());
    // Without the page there is nothing to replace: the navigation is a plain load.
    host::Request request = ours_.Last();
    request.flags &= ~host::navNoHistory;
    page_->EndUnresponsiveRenderer([this, request] { navigate_(request); });
}

} // namespace ostrel::web
