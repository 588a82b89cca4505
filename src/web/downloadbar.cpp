#include "web/downloadbar.h"

#include "web/downloadrow.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QVBoxLayout>
#include <QWebEngineDownloadRequest>
#include <QWebEngineProfile>

namespace ostrel::web {

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

    auto* row = new DownloadRow(this, download, path, shell_);
    rows_->addWidget(row);
    show();
    // The name is free again when the download ends, even after its row was dismissed.
    connect(download, &QWebEngineDownloadRequest::isFinishedChanged, this,
            [this, path] { inProgress_.removeAll(path); });
    connect(row, &DownloadRow::Dismissed, this, [this, row] {
        row->deleteLater();
        if (rows_->count() <= 1)
            hide();
    });
    download->accept();
}

} // namespace ostrel::web
