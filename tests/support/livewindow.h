// The real main window on fakes of the registry, shell, account and probe, with the real pause:
// for end-to-end tests that drive it against the stand-in portal.
#pragma once

#include "fakes.h"
#include "standin.h"
#include "testprofile.h"

#include "host/guipause.h"
#include "ui/TApplication.h"
#include "ui/TWebNavigator.h"
#include "web/webenginebrowser.h"

#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace ostrel::testing {

struct LiveWindow {
    FakeServices fakes;
    host::GuiPause& pause; // the real one, in fakes
    std::unique_ptr<ui::TWebNavigator> window;

    LiveWindow() : pause(*new host::GuiPause) { fakes.services.pause.reset(&pause); }

    // Replace services in fakes before calling start(). startUp: as the program's entry does it,
    // the start-up sequence runs before the window shows.
    void start(bool startUp = false)
    {
        fakes.services.proxies = &TestProfile::Proxies();
        window = std::make_unique<ui::TWebNavigator>(fakes.services, TestProfile::Get());
        if (startUp)
            ui::TApplication::Guarded([&] { window->FormCreate(); });
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }
    web::WebEngineBrowser& browser() { return *window->WebBrowser; }
    // Navigates and waits until the page at url has landed.
    bool open(const QString& url)
    {
        browser().Navigate(url.toStdString());
        return showing(url);
    }
    // True once the page's title ends so (the stand-in's pages say so when their script got there).
    bool titled(QStringView ending)
    {
        return waitFor([&] { return browser().title().endsWith(ending); }, std::chrono::seconds(10));
    }
    // True once the page at url has landed: the view shows a navigation's address as soon as it
    // starts, so its load must be over too.
    bool showing(const QString& url)
    {
        return waitFor(
            [&] {
                return QString::fromStdString(browser().DocumentUrl()) == url &&
                       !browser().page()->isLoading();
            },
            std::chrono::seconds(15));
    }
};

} // namespace ostrel::testing
