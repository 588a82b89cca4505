// Downloads: every file a page offers is saved into the user's download folder under a safe name of
// its own (never over an existing file) and shown in a slim bar along the bottom of the window while
// there are downloads to show. One the user did not ask for waits in the bar for "Opslaan": one a
// frame of another site brought before anything of it is fetched, a large one once its size shows.
// The program opens a file by itself only when it is a remote-workplace launch file that the user
// asked the insurer for (launchfile.h, trust.h), one per click of theirs; any other file the user
// opens with the row's "Openen".
#pragma once

#include "web/trust.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QUrl>
#include <QWidget>

class QLabel;
class QPushButton;
class QScrollArea;
class QVBoxLayout;
class QWebEngineDownloadRequest;
class QWebEngineProfile;

namespace ostrel::host {
class Shell;
}

namespace ostrel::web {

class Announcer;

class BrowserProfile;
class DownloadRow;

class DownloadBar final : public QWidget {
    Q_OBJECT
public:
    // profile: whose downloads come here; trust: who asked for a download, and whether the user did.
    DownloadBar(QWidget* parent, BrowserProfile& profile, host::Shell& shell, Trust& trust);
    ~DownloadBar() override;

    // More rows than this fold into one line.
    static constexpr int kMaxRows = 5;
    // The longest name in bytes that the file systems take, less what the engine adds while the
    // file comes in (".download").
    static constexpr int kMaxNameBytes = 246;
    // A download larger than this is held until the user says "Opslaan".
    static constexpr qint64 kAskAboveBytes = qint64(100) << 20;

    // The name a page suggests, made safe to save under: no folder, no control or reserved
    // characters, no leading dots, within kMaxNameBytes with its extension kept.
    static QString SafeFileName(const QString& suggested);
    // A free name for the file in the folder: the name itself, else "name (1).ext", "name (2).ext"...
    static QString FreeFileName(const QString& folder, const QString& suggested,
                                const QStringList& taken = {});

    // The rows shown, oldest first.
    const QList<DownloadRow*>& Rows() const { return rows_; }
    // Downloads that are still coming in.
    int Running() const;
    // Before the program ends: with downloads still coming in, asks whether to end them ("Afsluiten")
    // or to wait ("Wachten"). True when the program may end; every download that runs or waits to
    // be tried again is stopped then, and its partial file goes.
    bool MayQuit();

private:
    void start(QWebEngineDownloadRequest* download);
    bool repeatsItsVisit(const QWebEngineDownloadRequest& download);
    void ask(const QWebEngineDownloadRequest& download);
    void completed(DownloadRow* row);
    static quint64 askedOfTheInsurer(const Trust::Answer& asked, const QString& name);
    void open(const QString& path);
    void clearAll();
    void cancelAll();
    void arrange();

    host::Shell& shell_;
    BrowserProfile& profile_;
    Trust& trust_;
    QList<DownloadRow*> rows_;
    // The addresses downloaded during each page's visit (webpage.h), newest last: a reload does not
    // bring them again.
    struct Visited {
        quint64 visit = 0;
        QList<QUrl> urls;
    };
    static constexpr int kVisitedKept = 64;
    QHash<const QObject*, Visited> visited_;
    QList<QUrl> saveAsked_;     // addresses the user said "Opslaan" for: asked for again, not asked about
    QVBoxLayout* questionColumn_; // downloads waiting for "Opslaan", above the rows
    QStringList inProgress_; // paths that downloads under way will write
    QScrollArea* scroll_;
    QVBoxLayout* column_;
    QWidget* summary_;
    Announcer* announcer_;
    QLabel* summaryText_;
    QPushButton* showAll_;
    bool expanded_ = false;
};

} // namespace ostrel::web
