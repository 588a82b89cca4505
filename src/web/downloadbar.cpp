#include "web/downloadbar.h"

#include "host/shell.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardPaths>
#include <QUrl>
#include <QWebEngineDownloadRequest>
#include <QWebEngineProfile>

namespace ostrel::web {

namespace {
// Remote-workplace launch files start the remote workplace as soon as they are in, as the
// previous browser did.
bool isLaunchFile(const QWebEngineDownloadRequest* download)
{
    return download->mimeType() == QLatin1String("application/x-ica") ||
           download->downloadFileName().endsWith(QLatin1String(".ica"), Qt::CaseInsensitive);
}
} // namespace

DownloadBar::DownloadBar(QWidget* parent, QWebEngineProfile* profile, host::Shell& shell)
    : QWidget(parent), shell_(shell), rows_(new QVBoxLayout(this))
{
    setObjectName(QStringLiteral("DownloadBar"));
    rows_->setContentsMargins(4, 2, 4, 2);
    rows_->setSpacing(2);
    hide(); // takes no room while there is nothing to show
    connect(profile, &QWebEngineProfile::downloadRequested, this, &DownloadBar::start);
}

QString DownloadBar::FreeFileName(const QString& folder, const QString& suggested, const QStringList& taken)
{
    const QString name = suggested.isEmpty() ? QStringLiteral("download") : QFileInfo(suggested).fileName();
    const QDir dir(folder);
    const QFileInfo info(name);
    const QString base = info.completeBaseName();
    const QString suffix = info.suffix().isEmpty() ? QString() : QLatin1Char('.') + info.suffix();
    QString candidate = name;
    for (int n = 1; dir.exists(candidate) || taken.contains(dir.filePath(candidate)); ++n)
        candidate = QStringLiteral("%1 (%2)%3").arg(base).arg(n).arg(suffix);
    return candidate;
}

void DownloadBar::start(QWebEngineDownloadRequest* download)
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    if (folder.isEmpty())
        folder = QDir::homePath();
    QDir().mkpath(folder);
    const QString name = FreeFileName(folder, download->suggestedFileName(), inProgress_);
    download->setDownloadDirectory(folder);
    download->setDownloadFileName(name);
    const QString path = QDir(folder).filePath(name);
    inProgress_.append(path);

    auto* row = new QWidget(this);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* label = new QLabel(name, row);
    label->setTextFormat(Qt::PlainText);
    auto* progress = new QProgressBar(row);
    progress->setObjectName(QStringLiteral("progress"));
    progress->setMaximumHeight(14);
    progress->setRange(0, 0); // busy until the size is known
    auto* dismiss = new QPushButton(QStringLiteral("\u00d7"), row);
    dismiss->setFlat(true);
    dismiss->setFixedWidth(24);
    layout->addWidget(label);
    layout->addWidget(progress, 1);
    layout->addWidget(dismiss);
    rows_->addWidget(row);
    show();

    connect(dismiss, &QPushButton::clicked, row, [this, row] {
        row->deleteLater();
        if (rows_->count() <= 1)
            hide();
    });
    connect(download, &QWebEngineDownloadRequest::receivedBytesChanged, progress, [download, progress] {
        const qint64 total = download->totalBytes();
        const QLocale locale;
        if (total > 0) {
            progress->setRange(0, 1000);
            progress->setValue(static_cast<int>(download->receivedBytes() * 1000 / total));
            progress->setFormat(QStringLiteral("%1 van %2 (%p%)")
                                    .arg(locale.formattedDataSize(download->receivedBytes()),
                                         locale.formattedDataSize(total)));
        } else {
            progress->setFormat(locale.formattedDataSize(download->receivedBytes()));
        }
    });
    connect(download, &QWebEngineDownloadRequest::isFinishedChanged, row,
            [this, download, row] { finished(download, row); });
    download->accept();
}

void DownloadBar::finished(QWebEngineDownloadRequest* download, QWidget* row)
{
    const QString path = QDir(download->downloadDirectory()).filePath(download->downloadFileName());
    inProgress_.removeAll(path);
    auto* layout = static_cast<QHBoxLayout*>(row->layout());
    auto* progress = row->findChild<QProgressBar*>(QStringLiteral("progress"));
    if (download->state() != QWebEngineDownloadRequest::DownloadCompleted) {
        const bool cancelled = download->state() == QWebEngineDownloadRequest::DownloadCancelled;
        auto* reason = new QLabel(cancelled ? QStringLiteral("Geannuleerd")
                                            : QStringLiteral("Mislukt: ") + download->interruptReasonString(),
                                  row);
        reason->setTextFormat(Qt::PlainText);
        layout->replaceWidget(progress, reason);
        progress->deleteLater();
        return;
    }
    progress->setRange(0, 1);
    progress->setValue(1);
    progress->setFormat(QLocale().formattedDataSize(download->receivedBytes()));
    auto* open = new QPushButton(QStringLiteral("Openen"), row);
    auto* folder = new QPushButton(QStringLiteral("Toon in map"), row);
    layout->insertWidget(2, open);
    layout->insertWidget(3, folder);
    connect(open, &QPushButton::clicked, row,
            [this, path] { shell_.OpenUrl(QUrl::fromLocalFile(path).toString().toStdString()); });
    connect(folder, &QPushButton::clicked, row, [this, path] {
        shell_.OpenUrl(QUrl::fromLocalFile(QFileInfo(path).path()).toString().toStdString());
    });
    if (isLaunchFile(download))
        shell_.OpenUrl(QUrl::fromLocalFile(path).toString().toStdString());
}

} // namespace ostrel::web
