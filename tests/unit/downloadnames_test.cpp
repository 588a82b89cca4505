// What a page may put into a download's name, and which saved files read as launch files.
#include "fakes.h"

#include "web/downloadbar.h"
#include "web/initiators.h"
#include "web/launchfile.h"
#include "web/trust.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace ostrel::web {
namespace {

TEST(DownloadNames, aSuggestedNameIsSavedWithoutFoldersControlCharactersOrHiddenDotsAndFitsTheFileSystem)
{
    const QString longBase(300, QLatin1Char('a'));
    const QString longUtf8(200, QChar(0x00e9)); // 2 bytes each
    struct Case {
        QString suggested;
        QString saved;
    };
    const Case cases[] = {
        {QStringLiteral("policy.pdf"), QStringLiteral("policy.pdf")},
        {QStringLiteral("line1\nline2.txt"), QStringLiteral("line1_line2.txt")},
        {QStringLiteral("a\x01"
                        "b\x1b"
                        "c.txt"),
         QStringLiteral("a_b_c.txt")},
        {QStringLiteral("..\\..\\evil.txt"), QStringLiteral("evil.txt")},
        {QStringLiteral("../../evil2.txt"), QStringLiteral("evil2.txt")},
        {QStringLiteral(".bashrc"), QStringLiteral("bashrc")},
        {QStringLiteral("invoice\u202Efdp.exe"),
         QStringLiteral("invoice_fdp.exe")}, // shown as "invoiceexe.pdf"
        {QStringLiteral("a<b>c:d|e?f*g\"h.txt"), QStringLiteral("a_b_c_d_e_f_g_h.txt")},
        {QStringLiteral("CON.txt"), QStringLiteral("_CON.txt")},
        {QStringLiteral("trailing. . "), QStringLiteral("trailing")},
        {QStringLiteral(""), QStringLiteral("download")},
        {QStringLiteral("..."), QStringLiteral("download")},
        {longBase + QStringLiteral(".pdf"), longBase.left(242) + QStringLiteral(".pdf")},
        {longUtf8 + QStringLiteral(".pdf"), longUtf8.left(121) + QStringLiteral(".pdf")},
    };
    for (const Case& c : cases) {
        const QString saved = DownloadBar::SafeFileName(c.suggested);
        EXPECT_EQ(saved, c.saved) << c.suggested.toStdString();
        EXPECT_LE(saved.toUtf8().size(), DownloadBar::kMaxNameBytes) << c.suggested.toStdString();
    }
}

TEST(DownloadNames, aTakenNameGetsACounterThatStillFitsAndKeepsTheExtension)
{
    QTemporaryDir folder;
    const QString longName = QString(260, QLatin1Char('x')) + QStringLiteral(".pdf");
    const QString first = DownloadBar::FreeFileName(folder.path(), longName);
    QFile(QDir(folder.path()).filePath(first)).open(QIODevice::WriteOnly);
    const QString second = DownloadBar::FreeFileName(folder.path(), longName);
    EXPECT_TRUE(second.endsWith(QStringLiteral(" (1).pdf"))) << second.toStdString();
    EXPECT_LE(second.toUtf8().size(), DownloadBar::kMaxNameBytes);
    EXPECT_EQ(DownloadBar::FreeFileName(folder.path(), longName, {QDir(folder.path()).filePath(second)}),
              second.chopped(8) + QStringLiteral(" (2).pdf"))
        << "a name a download under way will write is taken too";
}

TEST(LaunchFiles, onlyAnIniTextWithARemoteWorkplaceSectionReadsAsALaunchFile)
{
    struct Case {
        const char* content;
        bool launch;
    };
    const Case cases[] = {
        {"[ApplicationServers]\r\nOstrel=\r\n", true},
        {"[WFClient]\r\nVersion=2\r\n\r\n[ApplicationServers]\r\nDesktop=\r\n\r\n[Desktop]\r\nAddress=127.0."
         "0.1:1494\r\n",
         true},
        {"; made by the gateway\n[wfclient]\nVersion = 2\n", true},
        {"[Encoding]\nInputEncoding=UTF8\n\n[Desktop]\nAddress=x\n", false}, // no section of ours
        {"#!/bin/sh\necho owned\n", false},
        {"<html><body>owned</body></html>\n", false},
        {"[Desktop Entry]\nType=Application\nName=Evil\nExec=sh -c 'echo owned'\n", false},
        {"[WFClient]\nVersion=2\nrm -rf ~\n", false},              // a line that is no INI line
        {"\xEF\xBB\xBF[ApplicationServers]\r\nOstrel=\r\n", true}, // as Windows tools write it
        {"", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsLaunchFileContent(QByteArray(c.content)), c.launch) << c.content;
    EXPECT_FALSE(IsLaunchFileContent(QByteArray("[WFClient]\n\0\x01\x02=x\n", 18))) << "binary";
    EXPECT_FALSE(IsLaunchFileContent("[WFClient]\n" + QByteArray(kLaunchFileMaxBytes, ';'))) << "too long";
    EXPECT_TRUE(HasLaunchFileName(QStringLiteral("/home/a/Downloads/LAUNCH.ICA")));
    EXPECT_FALSE(HasLaunchFileName(QStringLiteral("launch.ica.sh")));
    const QString ica = QStringLiteral("application/x-ica");
    EXPECT_EQ(LaunchFileName(QStringLiteral("launcher.aspx"), ica), u"launcher.ica") << "named by its type";
    EXPECT_EQ(LaunchFileName(QStringLiteral("noext"), ica), u"noext.ica");
    EXPECT_EQ(LaunchFileName(QStringLiteral("Launch.ICA"), ica), u"Launch.ICA");
    EXPECT_EQ(LaunchFileName(QStringLiteral("launcher.aspx"), QStringLiteral("text/html")), u"launcher.aspx");
}

TEST(Trust, answersWhoIsAskingAndCountsEachActOnce)
{
    const NavigationInitiators initiators;
    testing::CallLog log;
    const testing::FakePause pause(log);
    Trust trust({QUrl(QStringLiteral("https://ows.ostrel.nl")),
                 QUrl(QStringLiteral("http://127.0.0.1:47201/ostrelsupport"))},
                initiators, pause);
    struct Case {
        const char* page;
        const char* from;
        bool insurers;
        const char* why;
    };
    const Case cases[] = {
        {"https://ows.ostrel.nl:443/", "", true, "the default port spelt out"},
        {"https://OWS.ostrel.nl/x", "", true, "the host in any case"},
        {"http://127.0.0.1:47201/", "http://127.0.0.1:47201/launch.ica", true,
         "asked and served by the insurer"},
        {"http://ows.ostrel.nl/", "", false, "another scheme"},
        {"https://ows.ostrel.nl:8443/", "", false, "another port"},
        {"http://127.0.0.1:47290/", "", false, "another loopback port"},
        {"https://ows.ostrel.nl.evil.example/", "", false, "a longer host"},
        {"", "http://127.0.0.1:47201/launch.ica", false, "nobody known asked"},
        {"http://127.0.0.1:47201/", "http://127.0.0.1:47290/launch.ica", false, "redirected elsewhere"},
        {"http://127.0.0.1:47201/", "data:application/x-ica,x", false, "no host to come from"},
    };
    for (const Case& c : cases) {
        const Trust::Answer answer =
            trust.Ask({QUrl(QString::fromUtf8(c.page)), QUrl(QString::fromUtf8(c.from)), nullptr});
        EXPECT_EQ(answer.insurers, c.insurers) << c.why;
        EXPECT_FALSE(answer.mayAsk) << "no view to ask over";
    }
    const Trust::Asker page{QUrl(QStringLiteral("https://ows.ostrel.nl/")), {}, nullptr};
    EXPECT_EQ(trust.Ask(page).act, 0u) << "before any";
    trust.UserActed();
    const quint64 act = trust.Ask(page).act;
    EXPECT_TRUE(trust.TakeAct(act));
    EXPECT_FALSE(trust.TakeAct(act)) << "one act, one thing";
    EXPECT_EQ(trust.Ask(page).act, 0u);
}

} // namespace
} // namespace ostrel::web
