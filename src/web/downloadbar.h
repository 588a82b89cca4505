// Downloads: every file a page offers is saved into the user's download folder under its own name
// (never over an existing file), shown in a slim bar along the bottom of the window while there
// are downloads to show.
#pragma once

#include <QString>
#include <QWidget>

class QVBoxLayout;
class QWebEngineDownloadRequest;
class QWebEngineProfile;

namespace ostrel::host {
class Shell;
}

namespace ostrel::web {

class DownloadBar final : public QWidget {
    Q_OBJECT
public:
    DownloadBar(QWidget* parent, QWebEngineProfile* profile, host::Shell& shell);

    // A free name for the file in the folder: the name itself, else "name (1).ext", "name (2).ext"...
    static QString FreeFileName(const QString& folder, const QString& suggested,
                                const QStringList& taken = {});

private:
    void start(QWebEngineDownloadRequest* download);

    host::Shell& shell_;
    QVBoxLayout* rows_;
    QStringList inProgress_; // paths that downloads under way will write
};

} // namespace ostrel::web
