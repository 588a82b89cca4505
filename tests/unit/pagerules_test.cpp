// The page's rules that need no engine: how a proxy's requests for a login are answered within one
// load, and how the user's clicks on links pair with the navigations they start.
#include "web/browserprofile.h"
#include "web/linkclicks.h"
#include "web/pagelogins.h"
#include "web/showntext.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace ostrel::web {
namespace {

TEST(ProxyAttempts, theKnownLoginFirstThenThreeQuestionsPerAddressThenRefusal)
{
    using Step = ProxyAttempts::Step;
    const QUrl page(QStringLiteral("http://portaal.example/")),
        frame(QStringLiteral("http://other.example/"));
    ProxyAttempts known, unknown;
    const std::pair<Step, int> withLogin[] = {
        {Step::UseKnown, 0}, {Step::Ask, 1}, {Step::Ask, 2}, {Step::Ask, 3}, {Step::Refuse, 0}};
    for (const auto& [step, attempt] : withLogin) {
        const ProxyAttempts::Next next = known.Asked(page, true);
        EXPECT_EQ(next.step, step);
        EXPECT_EQ(next.attempt, attempt) << "0 where there is no question";
    }
    EXPECT_EQ(known.Asked(frame, true).step, Step::UseKnown) << "each address counts for itself";
    for (const int attempt : {1, 2, 3}) {
        const ProxyAttempts::Next next = unknown.Asked(page, false);
        EXPECT_TRUE(next.step == Step::Ask && next.attempt == attempt)
            << "no login: the first question is attempt 1";
    }
    EXPECT_EQ(unknown.Asked(page, false).step, Step::Refuse);
    unknown.Clear();
    EXPECT_EQ(unknown.Asked(page, true).step, Step::UseKnown) << "a new load starts afresh";
}

TEST(LinkClicks, aClickAndItsNavigationPairOnceInEitherOrderWithinTheirTime)
{
    qint64 now = 0;
    LinkClicks links([&] { return now; });
    const QUrl mail(QStringLiteral("mailto:a@example.nl")), other(QStringLiteral("mailto:b@example.nl"));
    EXPECT_FALSE(links.Clicked(mail));
    EXPECT_FALSE(links.Navigated(other)) << "another address";
    EXPECT_TRUE(links.Navigated(mail));
    EXPECT_FALSE(links.Navigated(mail)) << "one click, one link";
    EXPECT_TRUE(links.Clicked(mail)) << "the navigation first, then the click";
    EXPECT_FALSE(links.Navigated(mail));
    now += LinkClicks::kClickValidMs + 1;
    EXPECT_FALSE(links.Clicked(mail)) << "the navigation left waiting has gone stale";
    now += LinkClicks::kClickValidMs;
    EXPECT_TRUE(links.Navigated(mail)) << "within its time";
}

TEST(ShownText, invisibleFormatCharactersShowByTheirCodeAndTheProgramsNameOnlyAfterAHost)
{
    const QUrl page(QStringLiteral("http://evil.example/x"));
    const std::pair<QString, QString> cases[] = {
        {ShownText(QStringLiteral("mailto:\u202Efdp.exe@x")), QStringLiteral("mailto:[U+202E]fdp.exe@x")},
        {ShownText(QStringLiteral("a\u200Bb\u2066c")), QStringLiteral("a[U+200B]b[U+2066]c")},
        {ShownText(QStringLiteral("Polis \u00E9\u00E9n")), QStringLiteral("Polis \u00E9\u00E9n")},
        {ShownRealm(QString::fromLatin1("Kantoor caf\xC3\xA9")), QStringLiteral("Kantoor caf\u00E9")},
        {ShownRealm(QStringLiteral("Zo\u00C3\u00AB\u00E2\u20AC\u2122s")), QStringLiteral("Zo\u00EB\u2019s")},
        {ShownRealm(QStringLiteral("Kantoor caf\u00E9")), QStringLiteral("Kantoor caf\u00E9")},
        {PageWindowTitle(QStringLiteral("Ostrel Web 6.9"), page),
         QStringLiteral("evil.example: Ostrel Web 6.9")},
        {PageWindowTitle(QStringLiteral("Polis"), page), QStringLiteral("Polis")},
    };
    for (const auto& [shown, expected] : cases)
        EXPECT_EQ(shown, expected);
}

TEST(StoredData, whatOtherSitesStoredGoesAndTheInsurersStays)
{
    QTemporaryDir storage;
    QDir folder(storage.filePath(QStringLiteral("IndexedDB")));
    const QStringList kept = {QStringLiteral("http_127.0.0.1_47101.indexeddb.blob"),
                              QStringLiteral("http_127.0.0.1_47101.indexeddb.leveldb"),
                              QStringLiteral("https_portal.example.nl_0.indexeddb.leveldb")};
    for (const QStringList& names :
         {kept, {QStringLiteral("http_evil.example_0.indexeddb.leveldb"),
                 QStringLiteral("https_portal.example.nl_8443.indexeddb.leveldb"),
                 QStringLiteral("https_portal.example.nl.evil_0.indexeddb.leveldb"),
                 QStringLiteral("http_127.0.0.1_47290.indexeddb.blob")}})
        for (const QString& name : names)
            ASSERT_TRUE(folder.mkpath(name + QStringLiteral("/data")));
    BrowserProfile::KeepStoredDataOnlyOf(storage.path(), {QUrl(QStringLiteral("http://127.0.0.1:47101")),
                                                          QUrl(QStringLiteral("https://portal.example.nl:443"))});
    EXPECT_EQ(folder.entryList(QDir::Dirs | QDir::NoDotAndDotDot), kept);
}

} // namespace
} // namespace ostrel::web
