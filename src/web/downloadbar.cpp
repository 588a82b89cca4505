#include "web/downloadbar.h"

#include "base/version.h"
#include "host/failurelog.h"
#include "host/shell.h"
#include "web/announcer.h"
#include "web/barbutton.h"
#include "web/browserprofile.h"
#include "web/downloadrow.h"
#include "web/launchfile.h"
#include "web/trust.h"
#include "web/webpage.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QStandardPaths>
#include <QVBoxLayout>
#include <QWebEngineDownloadRequest>
#include <QWebEnginePage>
#include <QWebEngineProfile>

#include <utility>

namespace ostrel::web {

namespace {
// Names Windows keeps for devices, whatever the extension.
bool isDeviceName(const QString& name)
{
    static const QStringList kDevices{QStringLiteral("CON"), QStringLiteral("PRN"), QStringLiteral("AUX"),
                                      QStringLiteral("NUL")};
    const QString base = name.section(QLatin1Char('.'), 0, 0).trimmed().toUpper();
    if (kDevices.contains(base))
        return true;
    return base.size() == 4 &&
           (base.startsWith(QLatin1String("COM")) || base.startsWith(QLatin1String("LPT"))) &&
           base[3] >= QLatin1Char('1') && base[3] <= QLatin1Char('9');
}

// base + tail within the byte limit: the base gives way first, a whole character at a time.
QString fit(QString base, QString tail)
{
    const auto bytes = [](const QString& s) { return s.toUtf8().size(); };
    while (bytes(base + tail) > DownloadBar::kMaxNameBytes) {
        QString& cut = base.isEmpty() ? tail : base;
        cut.chop(cut.size() >= 2 && cut.back().isLowSurrogate() ? 2 : 1);
    }
    return base + tail;
}

// An extension worth keeping is short; a "suffix" of hundreds of characters is part of the name.
constexpr qsizetype kMaxExtension = 16;

std::pair<QString, QString> splitExtension(const QString& name)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot <= 0 || name.size() - dot > kMaxExtension + 1)
        return {name, QString()};
    return {name.left(dot), name.mid(dot)};
}

QPushButton* plainButton(const QString& text, QWidget* parent)
{
    auto* button = BarButton(text, parent);
    button->setFlat(true);
    return button;
}
} // namespace

DownloadBar::DownloadBar(QWidget* parent, BrowserProfile& profile, host::Shell& shell, Trust& trust)
    : QWidget(parent), shell_(shell), profile_(profile), trust_(trust), scroll_(new QScrollArea(this)),
      summary_(new QWidget(this)), announcer_(new Announcer(this)), summaryText_(new QLabel(summary_)),
      showAll_(plainButton(QStringLiteral("Alles tonen"), summary_))
{
    setObjectName(QStringLiteral("DownloadBar"));
    setAccessibleName(QStringLiteral("Downloads"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->setSpacing(2);

    auto* summaryLayout = new QHBoxLayout(summary_);
    summaryLayout->setContentsMargins(0, 0, 0, 0);
    summaryText_->setTextFormat(Qt::PlainText);
    auto* clear = plainButton(QStringLiteral("Alles wissen"), summary_);
    summaryLayout->addWidget(summaryText_, 1);
    summaryLayout->addWidget(showAll_);
    summaryLayout->addWidget(clear);
    connect(showAll_, &QPushButton::clicked, this, [this] {
        expanded_ = !expanded_;
        arrange();
    });
    connect(clear, &QPushButton::clicked, this, &DownloadBar::clearAll);

    auto* rows = new QWidget;
    column_ = new QVBoxLayout(rows);
    column_->setContentsMargins(0, 0, 0, 0);
    column_->setSpacing(2);
    column_->addStretch();
    scroll_->setWidget(rows);
    scroll_->setWidgetResizable(true);
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setFocusPolicy(Qt::NoFocus); // F6 lands on the first button, not on the list around it
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    questionColumn_ = new QVBoxLayout;
    questionColumn_->setSpacing(2);
    layout->addLayout(questionColumn_);
    layout->addWidget(summary_);
    layout->addWidget(scroll_);

    profile_.SetOnDownload([this](QWebEngineDownloadRequest* download) { start(download); });
    arrange(); // takes no room while there is nothing to show
}

DownloadBar::~DownloadBar()
{
    profile_.SetOnDownload({});
}

QString DownloadBar::SafeFileName(const QString& suggested)
{
    QString name = suggested;
    name.replace(QLatin1Char('\\'), QLatin1Char('/'));
    name = name.section(QLatin1Char('/'), -1); // the name only: the page chooses no folder
    for (QChar& c : name)
        if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format ||
            QStringView(u"<>:\"|?*").contains(c))
            c = QLatin1Char('_'); // including the marks that turn text around ("exe.fdp")
    // A leading dot hides a file; Windows drops trailing dots and spaces.
    while (name.startsWith(QLatin1Char('.')) || name.startsWith(QLatin1Char(' ')))
        name.remove(0, 1);
    while (name.endsWith(QLatin1Char('.')) || name.endsWith(QLatin1Char(' ')))
        name.chop(1);
    if (name.isEmpty())
        name = QStringLiteral("download");
    if (isDeviceName(name))
        name.prepend(QLatin1Char('_'));
    const auto [base, extension] = splitExtension(name);
    return fit(base, extension);
}

QString DownloadBar::FreeFileName(const QString& folder, const QString& suggested, const QStringList& taken)
{
    const QString name = SafeFileName(suggested);
    const auto [base, extension] = splitExtension(name);
    const QDir dir(folder);
    QString candidate = name;
    for (int n = 1; dir.exists(candidate) || taken.contains(dir.filePath(candidate)); ++n)
        candidate = fit(base, QStringLiteral(" (%1)").arg(n) + extension);
    return candidate;
}

int DownloadBar::Running() const
{
    int running = 0;
    for (const DownloadRow* row : rows_)
        running += row->Outcome() == DownloadRow::State::Running;
    return running;
}

bool DownloadBar::MayQuit()
{
    if (const int running = Running(); running > 0) {
        QMessageBox question(
            QMessageBox::Question, QString::fromUtf8(kApplicationTitle.data(), kApplicationTitle.size()),
            running == 1 ? QStringLiteral("Er wordt nog een bestand gedownload.")
                         : QStringLiteral("Er worden nog %1 bestanden gedownload.").arg(running),
            QMessageBox::NoButton, window());
        question.setInformativeText(QStringLiteral("Als u nu afsluit, worden de downloads afgebroken."));
        QPushButton* quit = question.addButton(QStringLiteral("Afsluiten"), QMessageBox::AcceptRole);
        QPushButton* wait = question.addButton(QStringLiteral("Wachten"), QMessageBox::RejectRole);
        question.setDefaultButton(wait);
        question.setEscapeButton(wait);
        question.exec();
        if (question.clickedButton() != quit)
            return false;
    }
    cancelAll();
    return true;
}

void DownloadBar::cancelAll()
{
    const QList<DownloadRow*> rows = rows_; // dismissing takes a row out of rows_
    for (DownloadRow* row : rows)
        if (row->Outcome() == DownloadRow::State::Running || row->Outcome() == DownloadRow::State::Failed)
            row->Dismiss();
}

void DownloadBar::start(QWebEngineDownloadRequest* download)
{
    // A download tried again ("Opnieuw") comes back as a new request: into the same file and row.
    for (DownloadRow* row : std::as_const(rows_))
        if (row->Download()->id() == download->id()) {
            download->setDownloadDirectory(QFileInfo(row->Path()).path());
            download->setDownloadFileName(QFileInfo(row->Path()).fileName());
            row->Follow(download);
            download->accept();
            return;
        }
    const bool saveAsked = saveAsked_.removeOne(download->url());
    const Trust::Answer asked =
        trust_.AskForDownload(download->url(), download->page() ? download->page()->url() : QUrl());
    if (repeatsItsVisit(*download) && !saveAsked && asked.act == 0) {
        qCWarning(lcFailures, "the page's reload does not bring %s again", qPrintable(download->url().toString()));
        return; // not accepted, as one waiting for "Opslaan"
    }
    // One that a frame of another site than the page brought (none of the insurer's) the user did
    // not ask for waits for their "Opslaan". (A large one is held once its size is known: the
    // engine does not tell it here.)
    if (!saveAsked && asked.otherSitesFrame && !asked.insurers) {
        ask(*download);
        return; // not accepted: the engine lets it go with nothing fetched
    }
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    if (folder.isEmpty())
        folder = QDir::homePath();
    QDir().mkpath(folder);
    const QString suggested = LaunchFileName(download->suggestedFileName(), download->mimeType());
    const QString name = FreeFileName(folder, suggested, inProgress_);
    download->setDownloadDirectory(folder);
    download->setDownloadFileName(name);
    const QString path = QDir(folder).filePath(name);
    inProgress_.append(path);
    // The name is free again when the download has ended, even after its row was dismissed.
    connect(download, &QWebEngineDownloadRequest::isFinishedChanged, this,
            [this, path] { inProgress_.removeAll(path); });

    auto* row = new DownloadRow(nullptr, download, path, askedOfTheInsurer(asked, name));
    if (!saveAsked)
        row->HoldAbove(kAskAboveBytes);
    rows_.append(row);
    column_->insertWidget(column_->count() - 1, row);
    connect(row, &DownloadRow::Completed, this, [this, row] { completed(row); });
    connect(row, &DownloadRow::StateChanged, this, &DownloadBar::arrange);
    connect(row, &DownloadRow::OpenRequested, this, &DownloadBar::open);
    connect(row, &DownloadRow::Dismissed, this, [this, row] {
        rows_.removeAll(row);
        row->deleteLater();
        arrange();
    });
    download->accept();
    arrange();
}

// Whether the page already brought this address since it last went elsewhere; it is noted if not.
bool DownloadBar::repeatsItsVisit(const QWebEngineDownloadRequest& download)
{
    const auto* page = qobject_cast<const WebPage*>(download.page());
    if (!page)
        return false;
    if (!visited_.contains(page))
        connect(page, &QObject::destroyed, this, [this, page] { visited_.remove(page); });
    Visited& visited = visited_[page];
    if (visited.visit != page->Visit())
        visited = {page->Visit(), {}};
    if (visited.urls.contains(download.url()))
        return true;
    if (visited.urls.size() == kVisitedKept)
        visited.urls.removeFirst();
    visited.urls.append(download.url());
    return false;
}

// "Opslaan" asks the page for the file again, and that request is taken as any other.
void DownloadBar::ask(const QWebEngineDownloadRequest& download)
{
    const QString name = SafeFileName(download.suggestedFileName());
    auto* question = new DownloadQuestion(this, name, download.totalBytes(), download.url());
    questionColumn_->addWidget(question);
    connect(question, &DownloadQuestion::Answered, this,
            [this, question, page = QPointer<QWebEnginePage>(download.page()), url = download.url(),
             name](bool save) {
                questionColumn_->removeWidget(question);
                question->hide();
                question->deleteLater();
                if (save && page) {
                    saveAsked_.append(url);
                    page->download(url, name);
                }
                arrange();
            });
    arrange();
}

// Only a launch file that the user asked the insurer for starts the remote workplace by itself:
// what the user asked for is the workplace, not the file. The page that asked and the address the
// file finally came from (after redirects; a data: address has none) are the insurer's, and the
// user acted a moment before: the act it came by, or 0. A name alone or a type alone says nothing.
quint64 DownloadBar::askedOfTheInsurer(const Trust::Answer& asked, const QString& name)
{
    return HasLaunchFileName(name) && asked.insurers ? asked.act : 0;
}

// One act, one launch: the first such file to come in that reads as a launch file.
void DownloadBar::completed(DownloadRow* row)
{
    announcer_->Say(QFileInfo(row->Path()).fileName() + QStringLiteral(" klaar"));
    if (row->LaunchAct() == 0)
        return;
    QFile file(row->Path());
    if (file.open(QIODevice::ReadOnly) && IsLaunchFileContent(file.read(kLaunchFileMaxBytes + 1)) &&
        trust_.TakeAct(row->LaunchAct()))
        open(row->Path());
}

void DownloadBar::open(const QString& path)
{
    if (!shell_.OpenUrl(QUrl::fromLocalFile(path).toString().toStdString()))
        qCWarning(lcFailures, "nothing opened %s", qPrintable(path));
}

// "Alles wissen": the rows of downloads that are over; those still coming in stay.
void DownloadBar::clearAll()
{
    const QList<DownloadRow*> rows = rows_; // dismissing takes a row out of rows_
    for (DownloadRow* row : rows)
        if (row->Outcome() != DownloadRow::State::Running)
            row->Dismiss();
}

// Up to kMaxRows rows show as they are; more fold into one line that counts them, with "Alles
// tonen" to see them in a list of that height.
void DownloadBar::arrange()
{
    setVisible(!rows_.isEmpty() || questionColumn_->count() > 0);
    if (rows_.isEmpty())
        expanded_ = false;
    const bool folded = rows_.size() > kMaxRows;
    summary_->setVisible(folded);
    scroll_->setVisible(!folded || expanded_);
    showAll_->setText(expanded_ ? QStringLiteral("Verbergen") : QStringLiteral("Alles tonen"));
    if (folded) {
        int running = 0, failed = 0;
        for (const DownloadRow* row : std::as_const(rows_)) {
            running += row->Outcome() == DownloadRow::State::Running;
            failed += row->Outcome() == DownloadRow::State::Failed;
        }
        summaryText_->setText(
            QStringLiteral("%1 downloads: %2 bezig, %3 mislukt").arg(rows_.size()).arg(running).arg(failed));
    }
    int height = 0;
    for (int i = 0; i < rows_.size() && i < kMaxRows; ++i)
        height += rows_[i]->sizeHint().height() + column_->spacing();
    scroll_->setFixedHeight(height);
    scroll_->setVerticalScrollBarPolicy(folded ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
}

} // namespace ostrel::web
