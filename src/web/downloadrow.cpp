#include "web/downloadrow.h"

#include "host/shell.h"

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
// Remote-workplace launch files start the remote workplace as soon as they are in: what the user
// asked for is the workplace, not the file.
bool isLaunchFile(const QWebEngineDownloadRequest* download)
{
    return download->mimeType() == QLatin1String("application/x-ica") ||
           download->downloadFileName().endsWith(QLatin1String(".ica"), Qt::CaseInsensitive);
}

QLabel* plainLabel(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    return label;
}
} // namespace

DownloadRow::DownloadRow(QWidget* parent, QWebEngineDownloadRequest* download, const QString& path,
                         host::Shell& shell)
    : QWidget(parent), download_(download), path_(path), shell_(shell), layout_(new QHBoxLayout(this)),
      progress_(new QProgressBar(this))
{
    layout_->setContentsMargins(0, 0, 0, 0);
    progress_->setMaximumHeight(14);
    progress_->setRange(0, 0); // busy until the size is known
    auto* dismiss = new QPushButton(QStringLiteral("\u00d7"), this);
    dismiss->setFlat(true);
    dismiss->setFixedWidth(24);
    layout_->addWidget(plainLabel(QFileInfo(path).fileName(), this));
    layout_->addWidget(progress_, 1);
    layout_->addWidget(dismiss);

    connect(dismiss, &QPushButton::clicked, this, &DownloadRow::Dismissed);
    connect(download, &QWebEngineDownloadRequest::receivedBytesChanged, this, &DownloadRow::showProgress);
    connect(download, &QWebEngineDownloadRequest::isFinishedChanged, this, &DownloadRow::finish);
}

void DownloadRow::showProgress()
{
    const qint64 total = download_->totalBytes();
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

void DownloadRow::finish()
{
    if (download_->state() != QWebEngineDownloadRequest::DownloadCompleted) {
        const bool cancelled = download_->state() == QWebEngineDownloadRequest::DownloadCancelled;
        QLabel* reason =
            plainLabel(cancelled ? QStringLiteral("Geannuleerd")
                                 : QStringLiteral("Mislukt: ") + download_->interruptReasonString(),
                       this);
        layout_->replaceWidget(progress_, reason);
        progress_->deleteLater();
        return;
    }
    progress_->setRange(0, 1);
    progress_->setValue(1);
    progress_->setFormat(QLocale().formattedDataSize(download_->receivedBytes()));
    const auto openUrl = [this](const QString& localPath) {
        shell_.OpenUrl(QUrl::fromLocalFile(localPath).toString().toStdString());
    };
    auto* open = new QPushButton(QStringLiteral("Openen"), this);
    auto* folder = new QPushButton(QStringLiteral("Toon in map"), this);
    layout_->insertWidget(2, open);
    layout_->insertWidget(3, folder);
    connect(open, &QPushButton::clicked, this, [this, openUrl] { openUrl(path_); });
    connect(folder, &QPushButton::clicked, this, [this, openUrl] { openUrl(QFileInfo(path_).path()); });
    if (isLaunchFile(download_))
        openUrl(path_);
}

} // namespace ostrel::web
