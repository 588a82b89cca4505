// One download in the download bar: its name, its progress, and what became of it, with what the
// user can do about it: "Annuleren" while it runs, "Openen" and "Map openen" once it is in whole,
// the reason in Dutch and "Opnieuw" when it broke off.
#pragma once

#include <QString>
#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;
class QUrl;
class QWebEngineDownloadRequest;

namespace ostrel::web {

// A download the user did not ask for, before anything of it is fetched: its name, its size and its
// site, and "Opslaan" or "Annuleren".
class DownloadQuestion final : public QWidget {
    Q_OBJECT
public:
    // size: in bytes, or below 0 when the server did not say.
    DownloadQuestion(QWidget* parent, const QString& name, qint64 size, const QUrl& from);

signals:
    void Answered(bool save);
};

class DownloadRow final : public QWidget {
    Q_OBJECT
public:
    enum class State { Running, Completed, Failed, Cancelled };

    // Shows the download that will be written to path; launchAct: the user's act (web/trust.h) by
    // which they asked the insurer for it as a launch file, or 0.
    DownloadRow(QWidget* parent, QWebEngineDownloadRequest* download, const QString& path, quint64 launchAct);

    QString Path() const { return path_; }
    quint64 LaunchAct() const { return launchAct_; }
    State Outcome() const { return state_; }
    QWebEngineDownloadRequest* Download() const { return download_; }
    // The engine hands a download that is tried again over as a new request: the row follows it.
    void Follow(QWebEngineDownloadRequest* download);
    // Ends the download if it runs or waits to be tried again (its partial file goes with it),
    // then takes the row away.
    void Dismiss();
    // Once the download proves larger than bytes (the engine tells its size only after it has
    // started), it is paused until the user says "Opslaan" ("Annuleren" ends it).
    void HoldAbove(qint64 bytes);

    // Why a download broke off, in words for the user.
    static QString Reason(int interruptReason);

signals:
    void Completed();
    void StateChanged();
    void OpenRequested(const QString& path);
    void Dismissed();

private:
    void connectDownload();
    void showProgress();
    void update();
    // One of the row's buttons, saying which file it acts on (path_ is set before).
    QPushButton* button(const QString& text, const QString& name = {});

    QWebEngineDownloadRequest* download_;

    QString path_;
    quint64 launchAct_;
    State state_ = State::Running;
    QProgressBar* progress_;
    QLabel* status_;
    qint64 holdAbove_ = 0; // 0: not held
    bool held_ = false;
    QPushButton* save_;
    QPushButton* cancel_;
    QPushButton* retry_;
    QPushButton* open_;
    QPushButton* folder_;
    QPushButton* dismiss_;
};

} // namespace ostrel::web
