// The header's tests build the real window on Qt's offscreen platform: no display, no pages loaded.
#include "ui/TApplication.h"
#include "testprofile.h"

#include <QTemporaryFile>
#include <QTimer>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (::testing::GTEST_FLAG(list_tests))
        return RUN_ALL_TESTS();
    // A screen that holds the design's window at every scale the tests take (2 at most).
    QTemporaryFile screens;
    if (!screens.open() ||
        screens.write(R"({"screens": [{"name": "tests", "x": 0, "y": 0, "width": 2560, "height": 1600}]})") <
            0)
        return 1;
    screens.close();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + screens.fileName().toLocal8Bit());
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1"); // the window holds a browser view, even unused
    ostrel::ui::PrepareApplication();
    ostrel::ui::TApplication application(argc, argv);
    const ostrel::testing::TestProfile profile;
    ostrel::testing::TestProfile::Get(); // the engine starts before any test
    application.setStyle(QStringLiteral("Fusion")); // the same 3-D colours on every desktop
    const int result = RUN_ALL_TESTS();
    // What the tests' windows left for deletion goes while the event loop runs.
    QTimer::singleShot(0, &application, &QCoreApplication::quit);
    application.exec();
    return result;
}
