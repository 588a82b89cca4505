#include "web/trust.h"

#include "host/pause.h"
#include "host/qtmessagedialog.h"
#include "web/initiators.h"
#include "web/pagedialog.h"

#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <QWidget>

#include <algorithm>

namespace ostrel::web {

QString OriginOf(const QUrl& url)
{
    const int port = url.port(url.scheme() == QLatin1String("https") ? 443 : 80);
    return url.scheme() + QStringLiteral("://") + url.host(QUrl::FullyEncoded) + u':' + QString::number(port);
}

bool Trust::isInsurers(const QUrl& url) const
{
    if (url.host().isEmpty())
        return false;
    const QString site = OriginOf(url);
    return std::any_of(insurer_.begin(), insurer_.end(), [&](const QUrl& origin) { return OriginOf(origin) == site; });
}

void Trust::UserActed()
{
    ++acts_;
    lastAct_.start();
}

Trust::Answer Trust::Ask(const Asker& asker) const
{
    Answer answer;
    answer.insurers = isInsurers(asker.page) && (asker.from.isEmpty() || isInsurers(asker.from));
    answer.act = acts_ > taken_ && lastAct_.elapsed() <= kActMs ? acts_ : 0;
    answer.questionOpen = QuestionOpen();
    answer.mayAsk = asker.view && asker.view->window()->isVisible() && !pause_.Active();
    return answer;
}

Trust::Answer Trust::AskForDownload(const QUrl& url, const QUrl& page) const
{
    Answer answer = Ask({initiators_.InitiatorOf(url), url});
    answer.otherSitesFrame = initiators_.InFrame(url) && OriginOf(url) != OriginOf(page);
    return answer;
}

bool Trust::TakeAct(quint64 act)
{
    if (act == 0 || act <= taken_)
        return false;
    taken_ = act;
    return true;
}

namespace {
QWidget* openQuestion()
{
    if (QWidget* menu = QApplication::activePopupWidget())
        return menu;
    QWidget* modal = QApplication::activeModalWidget();
    return modal && modal->objectName() != QLatin1String(host::kMessageDialogName) ? modal : nullptr;
}
} // namespace

bool Trust::QuestionOpen()
{
    return openQuestion() != nullptr;
}

void Trust::AfterQuestions(QObject* context, std::function<void()> fn)
{
    if (QWidget* open = openQuestion()) {
        // Every such window of ours lives on the stack of the call that waits for its answer, or
        // deletes itself when closed (the page menu): once it is gone, that call has returned.
        QObject::connect(open, &QObject::destroyed, context, [context, fn = std::move(fn)] {
            QTimer::singleShot(0, context, [context, fn] { AfterQuestions(context, fn); });
        });
        if (auto* dialog = qobject_cast<QDialog*>(open))
            dialog->reject();
        else
            open->close();
        return;
    }
    // A page's dialog goes too; the engine takes its answer once the event loop runs again.
    if (PageDialog::Dismiss())
        QTimer::singleShot(0, context, std::move(fn));
    else
        fn();
}

} // namespace ostrel::web
