// The main window: the header panel of destination buttons over the embedded browser.
#pragma once

#include "app/startup.h"
#include "navigation/portal.h"

#include <QWidget>

namespace ostrel::host {
class WebEngineBrowser;
struct Services;
} // namespace ostrel::host

namespace ostrel::ui {

class TWebNavigator final : public QWidget, public app::StartupWindow {
    Q_OBJECT
public:
    explicit TWebNavigator(host::Services& services, QWidget* parent = nullptr);
    ~TWebNavigator() override;

    // The start-up sequence; runs once, after construction and before the window is first shown.
    void FormCreate();

    void SetCaption(const std::string& caption) override;
    std::string Caption() const override;
    void Maximise() override;

    host::WebEngineBrowser* WebBrowser;
    QWidget* PnlMenu;

protected:
    bool event(QEvent* event) override;

private:
    host::Services& services_;
    navigation::PortalRequests portal_;
    bool restoreMaximised_ = false;
};

} // namespace ostrel::ui
