// What a page may put into a download's name, and which saved files read as launch files.
#include "web/downloadbar.h"
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

TEST(Trust, theInsurersOriginIsSchemeHostAndPortAndAnActCountsOnce)
{
    Trust trust({QUrl(QStringLiteral("https://ows.ostrel.nl")),
                 QUrl(QStringLiteral("http://127.0.0.1:47201/ostrelsupport"))});
    EXPECT_TRUE(trust.IsInsurers(QUrl(QStringLiteral("https://ows.ostrel.nl:443/"))));
    EXPECT_TRUE(trust.IsInsurers(QUrl(QStringLiteral("https://OWS.ostrel.nl/x"))));
    EXPECT_TRUE(trust.IsInsurers(QUrl(QStringLiteral("http://127.0.0.1:47201/"))));
    EXPECT_FALSE(trust.IsInsurers(QUrl(QStringLiteral("http://ows.ostrel.nl/")))) << "another scheme";
    EXPECT_FALSE(trust.IsInsurers(QUrl(QStringLiteral("https://ows.ostrel.nl:8443/")))) << "another port";
    EXPECT_FALSE(trust.IsInsurers(QUrl(QStringLiteral("http://127.0.0.1:47290/"))));
    EXPECT_FALSE(trust.IsInsurers(QUrl(QStringLiteral("https://ows.ostrel.nl.evil.example/"))));
    EXPECT_FALSE(trust.IsInsurers(QUrl())) << "nobody known asked";
    EXPECT_FALSE(trust.IsInsurers(QUrl(QStringLiteral("data:application/x-ica,x")))) << "no host";
    EXPECT_EQ(trust.RecentAct(), 0u) << "before any";
    trust.UserActed();
    const quint64 act = trust.RecentAct();
    EXPECT_TRUE(trust.TakeAct(act));
    EXPECT_FALSE(trust.TakeAct(act)) << "one act, one thing";
    EXPECT_EQ(trust.RecentAct(), 0u);
}

} // namespace
} // namespace ostrel::web
