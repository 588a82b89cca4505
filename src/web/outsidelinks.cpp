#include "web/outsidelinks.h"

#include "host/failurelog.h"
#include "web/pagedialog.h"
#include "web/showntext.h"
#include "web/trust.h"

#include <QWebEngineView>

namespace ostrel::web {

namespace {
// Schemes whose programs act on the link's word alone in ways no page may ask for, whatever the
// user answers: a page's link never reaches them.
struct DeniedScheme {
    const char* scheme;
    const char* why;
};
constexpr DeniedScheme kDenied[] = {
    {"ms-msdt", "the support diagnostics run a script the link names"},
    {"search-ms", "searches the disk, and shows a share's files as if they were local"},
    {"search", "the same search under its older name"},
    {"ms-officecmd", "starts Office programs with command-line arguments from the link"},
    {"ms-cxh", "account set-up with arguments from the link"},
    {"ms-cxh-full", "account set-up with arguments from the link"},
    {"ms-appinstaller", "installs a program from an address in the link"},
    {"ms-its", "opens compiled help files, which run script"},
    {"its", "opens compiled help files, which run script"},
    {"mk", "opens compiled help files, which run script"},
    {"hcp", "the help centre, which runs script"},
    {"shell", "Explorer's folders and commands"},
    {"file", "opens a file of the disk or of a share"},
    {"javascript", "script"},
    {"vbscript", "script"},
    {"jar", "the contents of Java archives"},
    {"jnlp", "starts Java programs from the network"},
    {"jnlps", "starts Java programs from the network"},
    {"apt", "installs software"},
    {"appstream", "installs software"},
    // Office opens the document the link names from any address ("ms-excel:ofe|u|http://..."),
    // macros and all, with no more than its own prompts.
    {"ms-word", "opens an Office document from an address in the link"},
    {"ms-excel", "opens an Office document from an address in the link"},
    {"ms-powerpoint", "opens an Office document from an address in the link"},
    {"ms-visio", "opens an Office document from an address in the link"},
    {"ms-access", "opens an Office document from an address in the link"},
    {"ms-project", "opens an Office document from an address in the link"},
    {"ms-publisher", "opens an Office document from an address in the link"},
    {"ms-spd", "opens an Office document from an address in the link"},
    {"ms-infopath", "opens an Office document from an address in the link"},
    {"ofe", "opens an Office document from an address in the link"},
    // A share opened in the file manager shows its files as if they were local: one click on a
    // .desktop file or a program there starts it.
    {"smb", "opens a network share"},
    {"cifs", "opens a network share"},
    {"nfs", "opens a network share"},
    {"afp", "opens a network share"},
    {"dav", "opens a network share"},
    {"davs", "opens a network share"},
    {"webdav", "opens a network share"},
    {"sftp", "opens a network share"},
    // Fetches and installs what the address in the link names.
    {"itms-services", "installs a program from an address in the link"},
};

constexpr qsizetype kShownAddress = 200;
} // namespace

bool OutsideLinks::Denied(const QString& scheme)
{
    for (const DeniedScheme& denied : kDenied)
        if (scheme.compare(QLatin1String(denied.scheme), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

bool OutsideLinks::DesktopOnly(const QUrl& url)
{
    return url.scheme() == QLatin1String("ftp");
}

bool OutsideLinks::HandOff(const QUrl& url, const QUrl& asker)
{
    if (!DesktopOnly(url) || !trust_.Ask({asker, {}, nullptr}).insurers)
        return false;
    handOff_(url);
    return true;
}

void OutsideLinks::Clicked(QWebEngineView* view, const QUrl& url)
{
    const QString scheme = url.scheme().toLower();
    PageDialog::Question question;
    question.heading = QStringLiteral("Link naar een ander programma");
    if (Denied(scheme)) {
        qCWarning(lcFailures, "a link of the scheme %s is never opened", qPrintable(scheme));
        question.text = QStringLiteral("Links van het soort \"%1:\" opent Ostrel Web niet: ze kunnen "
                                       "programma's starten of de schijf doorzoeken.")
                            .arg(scheme);
        PageDialog::AskLater(view, question, [](const PageDialog::Answer&) {});
        return;
    }
    if (const auto remembered = remembered_.find(scheme); remembered != remembered_.end()) {
        if (*remembered)
            open_(url);
        return;
    }
    const QString program = name_ ? name_(scheme) : QString();
    if (program.isEmpty()) {
        question.text =
            QStringLiteral("Er is op deze computer geen programma dat links van het soort \"%1:\" opent.")
                .arg(scheme);
        PageDialog::AskLater(view, question, [](const PageDialog::Answer&) {});
        return;
    }
    QString address = ShownText(url.toDisplayString());
    if (address.size() > kShownAddress)
        address = address.left(kShownAddress) + QChar(0x2026);
    question.text = QStringLiteral("Deze link openen met %1?\n%2").arg(program, address);
    question.cancel = true;
    question.cancelFirst = true;
    question.acceptText = QStringLiteral("Openen");
    question.option =
        QStringLiteral("Deze keuze onthouden voor \"%1:\"-links tot Ostrel Web sluit").arg(scheme);
    PageDialog::AskLater(view, question, [this, url, scheme](const PageDialog::Answer& answer) {
        if (answer.option)
            remembered_.insert(scheme, answer.accepted);
        if (answer.accepted)
            open_(url);
    });
}

} // namespace ostrel::web
