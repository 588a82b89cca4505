// "Over Ostrel Web" as the service desk's caller meets it: opened from the page menu's entry, the
// facts of this run in a read-only text, "Kopiëren" onto the clipboard, Escape to close.
#include "fakes.h"
#include "testprofile.h"

#include "host/regstore.h"
#include "navigation/destinations.h"
#include "ui/TWebNavigator.h"
#include "ui/aboutwindow.h"
#include "web/versions.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace ostrel::ui {
namespace {

TEST(AboutWindow, showsThisRunsFactsCopiesThemAndClosesOnEscape)
{
    // A damaged store that the start-up keeps aside, the light switch, and F2 with both gateways down.
    testing::FakeServices fakes;
    QTemporaryDir dir;
    const QString store = dir.filePath(QStringLiteral("HKEY_CURRENT_USER.reg"));
    QFile damaged(store);
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly) && damaged.write("rubbish\r\n") > 0);
    damaged.close();
    fakes.services.registry = std::make_unique<host::RegFileStore>(store);
    fakes.probe->statuses[navigation::PrimaryGatewayUrl()] = 503;
    TWebNavigator window(fakes.services, testing::TestProfile::Get());
    window.enableIE8Standard();
    window.ApplyCompactLayout();
    window.Button1Click(); // F2's click
    window.show();

    window.ShowAbout(); // what the page menu's "Over Ostrel Web" runs
    window.ShowAbout(); // a second time raises the same window
    const QList<AboutWindow*> open = window.findChildren<AboutWindow*>();
    ASSERT_EQ(open.size(), 1);
    AboutWindow* about = open[0];
    ASSERT_TRUE(QTest::qWaitForWindowActive(about));
    EXPECT_EQ(about->windowTitle(), QStringLiteral("Over Ostrel Web"));
    EXPECT_TRUE(about->Facts()->isReadOnly());
    const QString kept =
        QDir(dir.path()).entryList({QStringLiteral("HKEY_CURRENT_USER.reg.broken-*")}).value(0);
    ASSERT_FALSE(kept.isEmpty());
    const QString text = about->Text();
    for (const QString& fact :
         {ostrel::web::VersionsText(),
          QStringLiteral("\nCitrix Receiver: nog niet opgezocht\nModus: light\n"),
          QStringLiteral("\nRegister: ") + store + QStringLiteral("\nRegisterstatus: gelezen\n"),
          QStringLiteral(", het beschadigde bestand als ") + dir.filePath(kept) + u'\n',
          QStringLiteral("\nVerbindingstests (F2), nieuwste eerst:\n"),
          QStringLiteral("  ") + QString::fromStdString(navigation::SecondaryGatewayUrl()) +
              QStringLiteral("  geen antwoord\n"),
          QStringLiteral("  ") + QString::fromStdString(navigation::PrimaryGatewayUrl()) +
              QStringLiteral("  503, niet bruikbaar\n")})
        EXPECT_TRUE(text.contains(fact)) << fact.toStdString() << "\nnot in\n" << text.toStdString();
    EXPECT_LT(text.indexOf(QString::fromStdString(navigation::SecondaryGatewayUrl())),
              text.indexOf(QString::fromStdString(navigation::PrimaryGatewayUrl())))
        << "newest first";

    // The keyboard: the text first, then Kopiëren, then Sluiten; each named for a screen reader.
    EXPECT_EQ(QApplication::focusWidget(), about->Facts());
    EXPECT_FALSE(about->Facts()->accessibleName().isEmpty());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), about->CopyButton());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), about->CloseButton());

    QApplication::clipboard()->clear();
    QTest::mouseClick(about->CopyButton(), Qt::LeftButton);
    EXPECT_EQ(QApplication::clipboard()->text(), text);

    QPointer<AboutWindow> watched(about);
    QTest::keyClick(about->Facts(), Qt::Key_Escape);
    EXPECT_FALSE(about->isVisible());
    EXPECT_TRUE(QTest::qWaitFor([&] { return watched.isNull(); }, 2000)) << "closed for good, not hidden";
}

} // namespace
} // namespace ostrel::ui
