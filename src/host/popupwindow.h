#pragma once

#include <QWebEngineView>

class QWebEngineProfile;

namespace ostrel::host {

// A plain browser window for pages that open one (target=_blank, window.open), on the main
// window's profile so the portal session carries over. Its own page may close it.
class PopupWindow final : public QWebEngineView {
    Q_OBJECT
public:
    // Makes and shows a window; returns its page for the engine to load into.
    static QWebEnginePage* Open(QWebEngineProfile* profile);
    ~PopupWindow() override;

private:
    explicit PopupWindow(QWebEngineProfile* profile);
};

} // namespace ostrel::host
