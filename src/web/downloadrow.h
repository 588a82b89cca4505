// One download in the download bar: its name, its progress, and when it is done, what became of
// it (with "Openen" and "Toon in map" for a file that came in whole).
#pragma once

#include <QString>
#include <QWidget>

class QHBoxLayout;
class QProgressBar;
class QWebEngineDownloadRequest;

namespace ostrel::host {
class Shell;
}

namespace ostrel::web {

class DownloadRow final : public QWidget {
    Q_OBJECT
public:
    // Shows the download that will be written to path.
    DownloadRow(QWidget* parent, QWebEngineDownloadRequest* download, const QString& path,
                host::Shell& shell);

    QString Path() const { return path_; }

signals:
    void Dismissed(); // the user closed the row

private:
    void showProgress();
    void finish();

    QWebEngineDownloadRequest* download_;
    QString path_;
    host::Shell& shell_;
    QHBoxLayout* layout_;
    QProgressBar* progress_;
};

} // namespace ostrel::web
