// The end-to-end tests drive the real browser engine in this process, with its own empty
// configuration, data and cache folders, network and X display.
#include "hangreport.h"
#include "isolation.h"
#include "testprofile.h"
#include "ui/TApplication.h"
#ifdef OSTREL_E2E_OFFICE
#include "office.h"
#endif

#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (::testing::GTEST_FLAG(list_tests))
        return RUN_ALL_TESTS(); // listing needs no display
    ostrel::testing::IsolateProcess();

    // The engine refuses to run as root with its sandbox on (the program itself never turns it off);
    // with it off, renderers after two deleted pages hang without --no-zygote.
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_CHROMIUM_FLAGS"))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu --no-zygote");
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QTemporaryDir home;
    for (const char* var : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"})
        qputenv(var, home.filePath(QString::fromLatin1(var)).toLocal8Bit());
    qputenv("HOME", home.path().toLocal8Bit()); // downloads go to $HOME/Downloads
#ifdef OSTREL_E2E_OFFICE
    // What the engine reads once, when it starts: the proxy setting and the certificate database.
    if (!ostrel::testing::PrepareOffice(home.path()))
        return 1;
#endif

    ostrel::ui::PrepareApplication();
    ostrel::ui::TApplication application(argc, argv);
    const ostrel::testing::TestProfile profile;
#ifndef OSTREL_E2E_OFFICE
    // The engine starts here, before any test, as it did in every run so far; only the office's
    // tests set the proxy setting up first, each in its own process.
    ostrel::testing::TestProfile::Get();
#endif
    // Far below the runner's timeout: no test takes a minute.
    const ostrel::testing::HangReport hangs(std::chrono::seconds(120));
    const int result = RUN_ALL_TESTS();
    // What the tests' windows left for deletion goes while the event loop runs, before the engine
    // is taken down with the application.
    QTimer::singleShot(0, &application, &QCoreApplication::quit);
    application.exec();
    return result;
}
