#include "web/downloadrow.h"

#include "web/barbutton.h"
#include "web/showntext.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QUrl>
#include <QWebEngineDownloadRequest>

namespace ostrel::web {

namespace {
QLabel* plainLabel(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    return label;
}

// The engine writes a download under its name plus this until it is in whole.
constexpr char kPartialSuffix[] = ".download";

// What the user is asked of a download they did not ask for.
QString saveQuestion(const QString& name, qint64 size, const QUrl& from)
{
    return QStringLiteral("%1 (%2) van %3 opslaan?")
        .arg(name, size >= 0 ? QLocale().formattedDataSize(size) : QStringLiteral("grootte onbekend"),
             ShownText(from.host()));
}
} // namespace

QString DownloadRow::Reason(int interruptReason)
{
    using R = QWebEngineDownloadRequest;
    switch (interruptReason) {
    case R::FileNoSpace:
        return QStringLiteral("de schijf is vol");
    case R::FileTooLarge:
        return QStringLiteral("het bestand is te groot voor de schijf");
    case R::FileNameTooLong:
        return QStringLiteral("de naam van het bestand is te lang");
    case R::FileAccessDenied:
        return QStringLiteral("geen toestemming om in de map te schrijven");
    case R::FileVirusInfected:
    case R::FileBlocked:
    case R::FileSecurityCheckFailed:
        return QStringLiteral("het bestand is door de beveiliging tegengehouden");
    case R::NetworkTimeout:
        return QStringLiteral("de verbinding reageerde niet meer");
    case R::NetworkFailed:
    case R::NetworkDisconnected:
    case R::NetworkServerDown:
    case R::NetworkInvalidRequest:
    case R::ServerFailed:
        return QStringLiteral("de verbinding is verbroken");
    case R::ServerUnauthorized:
    case R::ServerForbidden:
        return QStringLiteral("de server weigert het bestand");
    case R::ServerBadContent:
    case R::ServerUnreachable:
        return QStringLiteral("de server heeft het bestand niet");
    case R::ServerCertProblem:
        return QStringLiteral("het certificaat van de server is niet te vertrouwen");
    default:
        return QStringLiteral("het bestand kon niet worden opgeslagen");
    }
}

DownloadQuestion::DownloadQuestion(QWidget* parent, const QString& name, qint64 size, const QUrl& from)
    : QWidget(parent)
{
    const QString text = saveQuestion(name, size, from);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(plainLabel(text, this), 1);
    auto* save = BarButton(QStringLiteral("Opslaan"), this, name);
    auto* cancel = BarButton(QStringLiteral("Annuleren"), this, name);
    save->setAccessibleDescription(text);
    layout->addWidget(save);
    layout->addWidget(cancel);
    connect(save, &QPushButton::clicked, this, [this] { emit Answered(true); });
    connect(cancel, &QPushButton::clicked, this, [this] { emit Answered(false); });
}

DownloadRow::DownloadRow(QWidget* parent, QWebEngineDownloadRequest* download, const QString& path,
                         quint64 launchAct)
    : QWidget(parent), download_(download), path_(path), launchAct_(launchAct),
      progress_(new QProgressBar(this)), status_(plainLabel({}, this)),
      save_(button(QStringLiteral("Opslaan"))), cancel_(button(QStringLiteral("Annuleren"))),
      retry_(button(QStringLiteral("Opnieuw"))), open_(button(QStringLiteral("Openen"))),
      folder_(button(QStringLiteral("Map openen"))),
      dismiss_(button(QStringLiteral("\u00d7"), QStringLiteral("Uit de lijst halen")))
{
    const QString name = QFileInfo(path).fileName();
    setAccessibleName(name);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    progress_->setMaximumHeight(14);
    progress_->setRange(0, 0); // busy until the size is known
    progress_->setAccessibleName(name);
    dismiss_->setFlat(true);
    dismiss_->setFixedWidth(24);
    layout->addWidget(plainLabel(name, this));
    layout->addWidget(progress_, 1);
    layout->addWidget(status_, 1);
    for (QPushButton* button : {save_, cancel_, retry_, open_, folder_, dismiss_})
        layout->addWidget(button);

    connect(save_, &QPushButton::clicked, this, [this] {
        holdAbove_ = 0;
        held_ = false;
        download_->resume();
        update();
    });
    connect(cancel_, &QPushButton::clicked, this, [this] {
        download_->cancel(); // a paused one keeps what came in: that goes too
        QFile::remove(path_ + QLatin1String(kPartialSuffix));
    });
    connect(retry_, &QPushButton::clicked, this, [this] { download_->resume(); });
    connect(open_, &QPushButton::clicked, this, [this] { emit OpenRequested(path_); });
    connect(folder_, &QPushButton::clicked, this, [this] { emit OpenRequested(QFileInfo(path_).path()); });
    connect(dismiss_, &QPushButton::clicked, this, &DownloadRow::Dismiss);
    connectDownload();
    update();
}

QPushButton* DownloadRow::button(const QString& text, const QString& name)
{
    return BarButton(text, this, QFileInfo(path_).fileName(), name);
}

void DownloadRow::Follow(QWebEngineDownloadRequest* download)
{
    download_->disconnect(this);
    download_ = download;
    connectDownload();
    update();
}

void DownloadRow::connectDownload()
{
    connect(download_, &QWebEngineDownloadRequest::receivedBytesChanged, this, &DownloadRow::showProgress);
    connect(download_, &QWebEngineDownloadRequest::totalBytesChanged, this, &DownloadRow::showProgress);
    // A download that broke off is not finished (it can be resumed): its state says so.
    connect(download_, &QWebEngineDownloadRequest::stateChanged, this, &DownloadRow::update);
    connect(download_, &QWebEngineDownloadRequest::isFinishedChanged, this, &DownloadRow::update);
}

void DownloadRow::Dismiss()
{
    if (state_ == State::Running || state_ == State::Failed) {
        // The engine forgets an interrupted download's partial file when it is cancelled.
        download_->cancel();
        QFile::remove(path_ + QLatin1String(kPartialSuffix));
    }
    emit Dismissed();
}

void DownloadRow::HoldAbove(qint64 bytes)
{
    holdAbove_ = bytes;
    showProgress();
}

void DownloadRow::showProgress()
{
    const qint64 total = download_->totalBytes();
    if (holdAbove_ > 0 && !held_ && (total > holdAbove_ || download_->receivedBytes() > holdAbove_)) {
        held_ = true;
        download_->pause();
        status_->setText(saveQuestion(QFileInfo(path_).fileName(), total, download_->url()));
        update();
        return;
    }
    const QLocale locale;
    if (total > 0) {
        progress_->setRange(0, 1000);
        progress_->setValue(static_cast<int>(download_->receivedBytes() * 1000 / total));
        progress_->setFormat(
            QStringLiteral("%1 van %2 (%p%)")
                .arg(locale.formattedDataSize(download_->receivedBytes()), locale.formattedDataSize(total)));
    } else {
        progress_->setFormat(locale.formattedDataSize(download_->receivedBytes()));
    }
}

void DownloadRow::update()
{
    const State before = state_;
    switch (download_->state()) {
    case QWebEngineDownloadRequest::DownloadCompleted:
        state_ = State::Completed;
        progress_->setRange(0, 1);
        progress_->setValue(1);
        progress_->setFormat(QLocale().formattedDataSize(download_->receivedBytes()));
        break;
    case QWebEngineDownloadRequest::DownloadInterrupted:
        state_ = State::Failed;
        status_->setText(QStringLiteral("Mislukt: ") + Reason(download_->interruptReason()));
        break;
    case QWebEngineDownloadRequest::DownloadCancelled:
        state_ = State::Cancelled;
        status_->setText(QStringLiteral("Geannuleerd"));
        break;
    default:
        state_ = State::Running;
        if (!held_)
            showProgress();
        break;
    }
    // A button that goes (Annuleren once it is in) hands the focus to the row's next, not away.
    const bool hadFocus = isAncestorOf(QApplication::focusWidget());
    const bool asking = held_ && state_ == State::Running;
    progress_->setVisible(!asking && (state_ == State::Running || state_ == State::Completed));
    status_->setVisible(!progress_->isVisibleTo(this));
    save_->setVisible(asking);
    cancel_->setVisible(state_ == State::Running);
    retry_->setVisible(state_ == State::Failed);
    open_->setVisible(state_ == State::Completed);
    folder_->setVisible(state_ == State::Completed);
    dismiss_->setVisible(state_ != State::Running);
    if (hadFocus && !isAncestorOf(QApplication::focusWidget()))
        for (QPushButton* button : {save_, cancel_, retry_, open_, folder_, dismiss_})
            if (button->isVisibleTo(this)) {
                button->setFocus(Qt::OtherFocusReason);
                break;
            }
    if (state_ == before)
        return;
    emit StateChanged();
    if (state_ == State::Completed)
        emit Completed();
}

} // namespace ostrel::web
