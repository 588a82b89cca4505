// The office network, end to end: a proxy that asks for a login (Debian's squid, Basic and Digest),
// the gateway probe going the engine's way with the same login, and a server that asks for the
// user's certificate from their NSS database. The process starts with the proxy setting and the
// database in place (office.h), as the engine reads both once.
// NSS before Qt: one of its structs has a member named "slots", which Qt makes a macro.
#include <nss.h>

#include "kdc.h"
#include "livewindow.h"
#include "modalwatcher.h"
#include "office.h"
#include "pagescript.h"
#include "qtprint.h"
#include "squid.h"
#include "standin.h"

#include "host/curlprobe.h"
#include "web/certificatechooser.h"

#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSslCertificate>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <deque>
#include <optional>
#include <utility>
#include <vector>

namespace ostrel {
namespace {

using namespace std::chrono_literals;
using namespace Qt::Literals::StringLiterals;
using testing::originOf;
using testing::Squid;
using testing::StandIn;
using testing::waitFor;

QString Text(QWebEnginePage* page)
{
    return testing::Evaluate(page, QStringLiteral("document.body ? document.body.innerText : ''")).toString();
}

// The user at the login dialogs: each gets the next answer (a user and password, or "Annuleren").
struct User {
    using Answer = std::optional<std::pair<QString, QString>>;
    explicit User(std::initializer_list<Answer> given) : answers(given) {}
    std::deque<Answer> answers;
    QStringList titles, texts, users; // of each dialog answered
    testing::ModalWatcher<QDialog> watcher{[this](QDialog* dialog) {
        if (dialog->objectName() != u"LoginDialog" || answers.empty())
            return;
        titles << dialog->windowTitle();
        QString lines;
        for (const QLabel* label : dialog->findChildren<QLabel*>())
            lines += label->text() + u'\n';
        texts << lines;
        auto* user = dialog->findChild<QLineEdit*>(QStringLiteral("user"));
        users << user->text(); // as the dialog filled it in
        const auto answer = answers.front();
        answers.pop_front();
        if (!answer) {
            dialog->reject();
            return;
        }
        user->setText(answer->first);
        auto* password = dialog->findChild<QLineEdit*>(QStringLiteral("password"));
        password->setText(answer->second);
        QTest::keyClick(password, Qt::Key_Return);
    }};
};

TEST(NetworkE2E, behindAProxyThatAsksThePortalLoadsAfterOneLoginWhichTheProbeUsesTheSameWay)
{
    StandIn standIn;
    ASSERT_TRUE(standIn.started());
    testing::LiveWindow s;
    s.start();
    const QString proxy = QStringLiteral("127.0.0.1:") + QString::number(testing::kProxyPort);
    const QString portalPort = originOf(QStringLiteral("portal")).section(u':', -1);
    const QString page = u"http://portal.kantoor.test:" + portalPort + u'/';
    const QString gateway = u"http://gateway2.kantoor.test:" +
                            originOf(QStringLiteral("gateway2")).section(u':', -1) +
                            QStringLiteral("/vpn/index.html");
    const QStringList names{QStringLiteral("portal.kantoor.test"), QStringLiteral("gateway2.kantoor.test")};
    const auto reached = [&](const QString& query) {
        return waitFor(
            [&] {
                for (const QJsonObject& request : standIn.requestsTo(QStringLiteral("/")))
                    if (request[u"query"].toString() == query)
                        return true;
                return false;
            },
            20s);
    };
    const auto failedWith = [&](const QString& sentence) {
        return waitFor([&] { return Text(s.browser().page()).contains(sentence); }, 20s);
    };

    // No proxy there: our page says which one.
    s.browser().Navigate(page.toStdString());
    EXPECT_TRUE(failedWith(u"De proxy " + proxy + u" van uw netwerk is niet bereikbaar."))
        << Text(s.browser().page()).toStdString();

    // No login known yet, and a wrong one each time: three questions, then the proxy's refusal.
    const auto wrong = std::pair(QStringLiteral("agent"), QStringLiteral("fout"));
    {
        Squid squid(testing::kProxyPort, Squid::Login::Basic, QStringLiteral("streng"),
                    QStringLiteral("agent"), QStringLiteral("juist"), names);
        ASSERT_TRUE(squid.started());
        User user{{wrong, wrong, wrong, wrong}};
        s.browser().Navigate(QString(page + QStringLiteral("?eerst")).toStdString());
        EXPECT_TRUE(failedWith(u"De proxy " + proxy +
                               u" van uw netwerk heeft de gebruikersnaam of het "
                               u"wachtwoord 3 keer geweigerd."))
            << Text(s.browser().page()).toStdString();
        ASSERT_EQ(user.texts.size(), 3);
        EXPECT_FALSE(user.texts[0].contains(u"poging")) << user.texts[0].toStdString();
        EXPECT_TRUE(user.texts[2].contains(u"geweigerd (poging 3 van 3)")) << user.texts[2].toStdString();
    }

    // Basic, then Digest (with another password: the first login, tried first, is refused): one
    // dialog each, the page through the proxy, and the probe through it with the login just given.
    struct Case {
        Squid::Login login;
        const char* realm;
        const char* password;
    };
    for (const Case& c : {Case{Squid::Login::Basic, "kantoor", "geheim"},
                          Case{Squid::Login::Digest, "kantoor-digest", "anders"}}) {
        SCOPED_TRACE(c.realm);
        const QString realm = QLatin1String(c.realm), password = QLatin1String(c.password);
        Squid squid(testing::kProxyPort, c.login, realm, QStringLiteral("agent"), password, names);
        ASSERT_TRUE(squid.started());
        User user{std::pair(QStringLiteral("agent"), password)};
        s.browser().Navigate(QString(page + u'?' + realm).toStdString());
        EXPECT_TRUE(reached(realm));
        ASSERT_EQ(user.titles.join(u'|').toStdString(),
                  QString(u"Aanmelden bij proxy " + proxy).toStdString());
        for (const QString& line : QStringList{
                 u"De proxy " + proxy + u" van uw netwerk vraagt om een gebruikersnaam en wachtwoord.",
                 u"De proxy zegt: \u201C" + realm + u"\u201D",
                 QStringLiteral("Let op: uw gegevens gaan onversleuteld over het netwerk")})
            EXPECT_TRUE(user.texts[0].contains(line)) << user.texts[0].toStdString();
        EXPECT_EQ(host::CurlProbe("Ostrel Web", testing::TestProfile::Proxies()).Probe(gateway.toStdString()),
                  200);
        EXPECT_TRUE(waitFor([&] { return squid.requests().contains(u"200 agent GET " + gateway); }, 5s))
            << squid.requests().join(u'\n').toStdString();
    }

    // NTLM, as the probe does it (the engine does its own): the login given this session answers
    // the proxy's challenge. (Squid's test helper takes any login, and logs it in its own way.)
    {
        Squid squid(testing::kProxyPort, Squid::Login::NtlmAnyLogin, {}, {}, {}, names);
        ASSERT_TRUE(squid.started());
        EXPECT_EQ(host::CurlProbe("Ostrel Web", testing::TestProfile::Proxies()).Probe(gateway.toStdString()),
                  200);
        EXPECT_TRUE(waitFor(
            [&] {
                const QStringList lines = squid.requests().filter(gateway);
                return !lines.isEmpty() && lines.last().startsWith(u"200 ") &&
                       lines.last().contains(u"agent");
            },
            5s))
            << squid.requests().join(u'\n').toStdString();
    }

    // A stricter proxy: the user cancels, then gives a wrong password three times, then the right one,
    // each time after "Opnieuw proberen".
    Squid squid(testing::kProxyPort, Squid::Login::Basic, QStringLiteral("streng"), QStringLiteral("agent"),
                QStringLiteral("juist"), names);
    ASSERT_TRUE(squid.started());
    User user{
        {std::nullopt, wrong, wrong, wrong, std::pair(QStringLiteral("agent"), QStringLiteral("juist"))}};
    s.browser().Navigate(QString(page + QStringLiteral("?streng")).toStdString());
    EXPECT_TRUE(failedWith(u"De proxy " + proxy +
                           u" van uw netwerk vraagt om een gebruikersnaam en wachtwoord, "
                           u"en die zijn niet gegeven."))
        << Text(s.browser().page()).toStdString();
    ASSERT_TRUE(testing::ClickWhenBuilt(s.browser().page(), QStringLiteral("retry")));
    EXPECT_TRUE(failedWith(u"De proxy " + proxy +
                           u" van uw netwerk heeft de gebruikersnaam of het wachtwoord "
                           u"3 keer geweigerd."))
        << Text(s.browser().page()).toStdString();
    ASSERT_EQ(user.texts.size(), 4);
    EXPECT_TRUE(user.texts[3].contains(u"geweigerd (poging 3 van 3)")) << user.texts[3].toStdString();
    EXPECT_EQ(user.users[3], QStringLiteral("agent")) << "the name given before is filled in";
    ASSERT_TRUE(testing::ClickWhenBuilt(s.browser().page(), QStringLiteral("retry")));
    EXPECT_TRUE(reached(QStringLiteral("streng")));
    EXPECT_EQ(user.titles.size(), 5);
}

TEST(NetworkE2E, aServerThatAsksForACertificateGetsTheOneTheUserChose)
{
    const testing::Office& office = testing::TheOffice();
    // Two servers that ask: the user sends the certificate to the first and none to the second.
    const QString chosen = QStringLiteral("47296"), declined = QStringLiteral("47297");
    StandIn standIn(office.AskingServers({}, {u"secure=" + chosen, u"declined=" + declined}));
    ASSERT_TRUE(standIn.started());
    testing::LiveWindow s;
    s.start();
    QStringList titles, rows;
    QList<bool> chosenAlready; // at each question: a row chosen before the user did anything
    testing::ModalWatcher<QDialog> chooser([&](QDialog* dialog) {
        if (dialog->objectName() != u"CertificateChooser")
            return;
        titles << dialog->windowTitle();
        auto* list = dialog->findChild<QTreeWidget*>(QStringLiteral("certificates"));
        for (int i = 0; list && i < list->topLevelItemCount(); ++i)
            rows << list->topLevelItem(i)->text(0) + u" | " + list->topLevelItem(i)->text(1);
        chosenAlready << !list->selectedItems().isEmpty();
        if (dialog->windowTitle().endsWith(declined))
            return dialog->reject();
        if (!chosenAlready.last()) {
            QTest::keyClick(list, Qt::Key_Return); // Enter alone sends no guess
            ASSERT_TRUE(dialog->isVisible());
            QTest::keyClick(list, Qt::Key_Space); // chooses the current row
        }
        QTest::keyClick(list, Qt::Key_Return);
    });
    const auto sentWithCertificate = [&](int count) {
        return waitFor(
            [&] {
                const auto requests = standIn.requestsTo(QStringLiteral("/"));
                return requests.size() == count &&
                       requests.back()[u"client"].toString() == u"/CN=" + office.userSubject + u"/O=Kantoor";
            },
            20s);
    };
    s.browser().Navigate(QString(u"https://127.0.0.1:" + chosen + u'/').toStdString());
    EXPECT_TRUE(sentWithCertificate(1)) << Text(s.browser().page()).toStdString();
    ASSERT_EQ(titles.join(u'|').toStdString(),
              QString(u"Certificaat kiezen voor 127.0.0.1:" + chosen).toStdString());
    EXPECT_EQ(rows.join(u'|').toStdString(),
              QString(office.userSubject + u" | " + office.userIssuer).toStdString());
    // The choice holds for the session: no question the next time.
    s.browser().Navigate(QString(u"https://127.0.0.1:" + chosen + u"/?again").toStdString());
    EXPECT_TRUE(sentWithCertificate(2)) << Text(s.browser().page()).toStdString();
    EXPECT_EQ(titles.size(), 1);
    // The next run's question (the engine asks once a run) has it chosen already.
    const auto sent = QSslCertificate::fromPath(QFileInfo(office.caCertificate).path() + u"/user.pem");
    EXPECT_EQ(web::CertificateChooser::Choose(nullptr, u"127.0.0.1:" + chosen, sent,
                                              testing::TestProfile::Get().SentBefore(u"127.0.0.1:" + chosen)),
              0);
    EXPECT_EQ(chosenAlready, (QList<bool>{false, true}));

    // "Annuleren": none goes, our page says what the server wanted, and the server is not asked
    // about again when a page goes there again by itself.
    for (const QString& query : {QString(), QStringLiteral("?asked-again")}) {
        const QString address = u"https://127.0.0.1:" + declined + u'/' + query;
        s.browser().Navigate(address.toStdString());
        EXPECT_TRUE(waitFor(
            [&] {
                const QString text = Text(s.browser().page());
                return text.contains(u"De server vraagt om een certificaat") && text.contains(address);
            },
            20s))
            << Text(s.browser().page()).toStdString();
        EXPECT_EQ(titles.size(), 3);
    }
    EXPECT_EQ(standIn.requests().size(), 2) << "nothing reached the server that got no certificate";
}

// A smart card: its PIN is asked in our dialog when the engine needs the card (a wrong one first),
// and then the card's certificate is offered beside the one in the database, and sent.
TEST(NetworkE2E, aSmartCardsCertificateIsSentAfterItsPin)
{
    if (NSS_IsInitialized())
        GTEST_SKIP() << "NSS has read the database already: run this in a process of its own";
    ASSERT_TRUE(testing::PrepareSmartCard(qEnvironmentVariable("HOME")));
    StandIn standIn(testing::TheOffice().AskingServers({}, {QStringLiteral("card=47298")}));
    ASSERT_TRUE(standIn.started());
    testing::LiveWindow s;
    s.start();
    QStringList pinTitles, rows;
    testing::ModalWatcher<QDialog> dialogs([&](QDialog* dialog) {
        if (auto* pin = dialog->findChild<QLineEdit*>(QStringLiteral("pin"))) {
            pinTitles << dialog->windowTitle();
            pin->setText(pinTitles.size() == 1 ? QStringLiteral("0000") : QLatin1String(testing::kCardPin));
            return QTest::keyClick(pin, Qt::Key_Return);
        }
        auto* list = dialog->findChild<QTreeWidget*>(QStringLiteral("certificates"));
        for (int i = 0; list && i < list->topLevelItemCount(); ++i) {
            rows << list->topLevelItem(i)->text(0);
            if (rows.last().endsWith(u"(pas)"))
                list->setCurrentItem(list->topLevelItem(i));
        }
        if (!list || !list->currentItem())
            return dialog->reject();
        QTest::keyClick(list, Qt::Key_Return);
    });
    s.browser().Navigate("https://127.0.0.1:47298/");
    EXPECT_TRUE(waitFor(
        [&] {
            const auto requests = standIn.requestsTo(QStringLiteral("/"));
            return !requests.isEmpty() &&
                   requests.back()[u"client"].toString() == u"/CN=Agent de Vries (pas)/O=Kantoor";
        },
        20s))
        << Text(s.browser().page()).toStdString();
    EXPECT_EQ(pinTitles, QStringList(2, QStringLiteral("Pincode voor Kantoorpas")));
    EXPECT_EQ(rows.size(), 2) << rows.join(u'|').toStdString();
}

// The portal asks for the user's certificate from the start-up's first request on: the question
// waits for the window, and the versions and the page each reach the portal once.
TEST(NetworkE2E, aCertificateTheStartUpMeetsIsChosenOverTheShownWindow)
{
    StandIn standIn(testing::TheOffice().AskingServers(
        {QStringLiteral("--portal-at"), QStringLiteral("https://127.0.0.1:47295/")},
        {QStringLiteral("secure=47295")}));
    ASSERT_TRUE(standIn.started());
    testing::LiveWindow s;
    QList<bool> windowShown; // at each question
    testing::ModalWatcher<QDialog> chooser([&](QDialog* dialog) {
        windowShown << s.window->isVisible();
        auto* list = dialog->findChild<QTreeWidget*>(QStringLiteral("certificates"));
        QTest::keyClick(list, Qt::Key_Space);
        QTest::keyClick(list, Qt::Key_Return);
    });
    s.start(/*startUp=*/true);
    const ui::TWebNavigator& window = *s.window;
    QList<QJsonObject> sent; // with the certificate
    EXPECT_TRUE(waitFor(
        [&] {
            sent.clear();
            for (const QJsonObject& request : standIn.requestsTo(QStringLiteral("/")))
                if (!request[u"client"].toString().isEmpty())
                    sent << request;
            return !sent.isEmpty() && sent.last()[u"method"].toString() == u"GET" &&
                   window.WebBrowser->title().startsWith(u"Stand-in") &&
                   !window.WebBrowser->page()->isLoading();
        },
        30s))
        << Text(window.WebBrowser->page()).toStdString();
    EXPECT_EQ(windowShown, QList<bool>{true});
    ASSERT_EQ(sent.size(), 2);
    EXPECT_EQ(sent[0][u"body"].toString(), u"version=6.9&citrixversion=");
    EXPECT_EQ(sent[1][u"target"].toString(), u"/?version=6.9");
}

// Where the proxy setting comes from: the engine reads it once, so a test that sets it runs in a
// process of its own (as ctest runs each test), before the test profile starts the engine.
struct ProxySource {
    const char* name;
    std::vector<std::pair<const char*, const char*>> variables; // %1: the proxy, %2: its script
    const char* gnome; // GNOME's settings as GSettings' keyfile backend keeps them; %3: the port
};

const ProxySource kGnomeManual{
    "gnomeManual", {}, "[system/proxy]\nmode='manual'\n[system/proxy/http]\nhost='127.0.0.1'\nport=%3\n"};

// Puts the source in place of the office's http_proxy; false when the engine has started already.
bool UseProxySource(const ProxySource& source)
{
    if (testing::TestProfile::Started())
        return false;
    const QString port = QString::number(testing::kProxyPort);
    const QString proxy = u"127.0.0.1:" + port;
    const QString script = originOf(QStringLiteral("portal")) + u"/proxy.pac?via=" + proxy;
    const auto filledIn = [&](const char* text) { // not arg(): %3 alone would take the first
        return QString::fromLatin1(text)
            .replace(u"%1"_s, proxy)
            .replace(u"%2"_s, script)
            .replace(u"%3"_s, port)
            .toUtf8();
    };
    qunsetenv("http_proxy");
    for (const auto& [name, value] : source.variables)
        qputenv(name, filledIn(value));
    if (!source.gnome)
        return true;
    qputenv("XDG_CURRENT_DESKTOP", "ubuntu:GNOME");
    qputenv("GSETTINGS_BACKEND", "keyfile");
    const QString folder = qEnvironmentVariable("XDG_CONFIG_HOME") + u"/glib-2.0/settings";
    QFile keyfile(folder + u"/keyfile");
    return QDir().mkpath(folder) && keyfile.open(QIODevice::WriteOnly) &&
           keyfile.write(filledIn(source.gnome)) > 0;
}

// The office behind squid, reached by the names squid knows, with the proxy setting from source.
class BehindSquid : public ::testing::TestWithParam<ProxySource> {
protected:
    // False when the engine has read its setting already (the test then has nothing to test).
    bool Enter(const ProxySource& source, Squid::Login login)
    {
        if (!standIn.started() || !UseProxySource(source))
            return false;
        squid.emplace(
            testing::kProxyPort, login, QString(), QString(), QString(),
            QStringList{QStringLiteral("portal.kantoor.test"), QStringLiteral("gateway2.kantoor.test")});
        s.start();
        return squid->started();
    }
    int probe() const
    {
        return host::CurlProbe("Ostrel Web", testing::TestProfile::Proxies()).Probe(gateway.toStdString());
    }
    // Whether squid let the page and the gateway's probe through, for this user ("-": no login).
    bool passed(const QString& user, const QString& page) const
    {
        return waitFor(
            [&] {
                const QStringList log = squid->requests();
                return log.contains(u"200 " + user + u" GET " + page) &&
                       log.contains(u"200 " + user + u" GET " + gateway);
            },
            20s);
    }

    StandIn standIn;
    std::optional<Squid> squid;
    testing::LiveWindow s;
    const QString portal =
        u"http://portal.kantoor.test:" + originOf(QStringLiteral("portal")).section(u':', -1);
    const QString gateway = u"http://gateway2.kantoor.test:" +
                            originOf(QStringLiteral("gateway2")).section(u':', -1) + u"/vpn/index.html";
};

// An office's single sign-on: GNOME's proxy setting, nothing in the variables, and a proxy that
// takes only Kerberos. Without the user's ticket our page says that the computer has no network
// login, and the probe hears the proxy's 407; with it, the page and the probe go through without
// a question, and the support window says how.
TEST_F(BehindSquid, theUsersKerberosTicketServesThePageAndTheProbe)
{
    testing::Kdc kdc(47288);
    ASSERT_TRUE(kdc.started());
    if (!Enter(kGnomeManual, Squid::Login::Kerberos))
        GTEST_SKIP() << "the engine has read its proxy setting already: run this in a process of its own";
    User user{std::nullopt};
    s.browser().Navigate(QString(portal + u"/?sso").toStdString());
    EXPECT_TRUE(waitFor([&] { return Text(s.browser().page()).contains(u"netwerkaanmelding"); }, 20s))
        << Text(s.browser().page()).toStdString();
    EXPECT_EQ(probe(), 407);

    ASSERT_TRUE(kdc.Kinit());
    ASSERT_TRUE(testing::ClickWhenBuilt(s.browser().page(), QStringLiteral("retry")));
    EXPECT_EQ(probe(), 200);
    EXPECT_TRUE(passed(QStringLiteral("agent@KANTOOR.TEST"), portal + u"/?sso"))
        << squid->requests().join(u'\n').toStdString();
    EXPECT_TRUE(user.titles.isEmpty()) << user.titles.join(u'|').toStdString();
    const QString via = u"via 127.0.0.1:" + QString::number(testing::kProxyPort);
    const QString told =
        testing::TestProfile::Proxies().Describe({{QStringLiteral("gateway"), QUrl(gateway)}});
    EXPECT_TRUE(told.startsWith(u"Proxy: GNOME: http " + via + u", https " + via) &&
                told.contains(u"): " + via) && told.contains(u"aanmelden bij 127.0.0.1: Kerberos"))
        << told.toStdString();
}

// One proxy reading for the engine and the probe, whichever source names the proxy.
TEST_P(BehindSquid, theEngineAndTheProbeGoTheWayTheSourceNames)
{
    if (!Enter(GetParam(), Squid::Login::None))
        GTEST_SKIP() << "the engine has read its proxy setting already: run this in a process of its own";
    const QString page = portal + u"/?" + QLatin1String(GetParam().name);
    s.browser().Navigate(page.toStdString());
    EXPECT_EQ(probe(), 200) << testing::TestProfile::Proxies().setting().Describe().toStdString();
    EXPECT_TRUE(passed(QStringLiteral("-"), page)) << squid->requests().join(u'\n').toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    EachSource, BehindSquid,
    ::testing::Values(ProxySource{"variable", {{"http_proxy", "http://%1"}}, nullptr},
                      ProxySource{"pacPlus", {{"http_proxy", "pac+%2"}}, nullptr},
                      ProxySource{"autoProxy", {{"auto_proxy", "%2"}}, nullptr}, kGnomeManual,
                      ProxySource{"gnomeAuto", {}, "[system/proxy]\nmode='auto'\nautoconfig-url='%2'\n"}),
    [](const ::testing::TestParamInfo<ProxySource>& info) { return std::string(info.param.name); });

} // namespace
} // namespace ostrel
