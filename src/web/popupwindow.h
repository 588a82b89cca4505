#pragma once

#include "web/webpage.h"

#include <QWebEngineView>

class QWebEngineProfile;

namespace ostrel::web {

// A plain browser window for pages that open one (target=_blank, window.open), on the main
// window's profile so the portal session carries over. Its own page may close it.
class PopupWindow final : public QWebEngineView {
    Q_OBJECT
public:
    // Makes and shows a window; returns its page for the engine to load into.
    static QWebEnginePage* Open(QWebEngineProfile* profile, const WebPage::OutsideHandler& openOutside);
    // Closes every such window: they go with the main window, before the profile they use.
    static void CloseAll();
    ~PopupWindow() override;

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    PopupWindow(QWebEngineProfile* profile, const WebPage::OutsideHandler& openOutside);
};

} // namespace ostrel::web
