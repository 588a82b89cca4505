// "Pop-upvenster geblokkeerd": a bar across the top of a page that tried to open more windows than
// it may without a click, with the address and "Toch openen" for the latest one.
#pragma once

#include "web/viewoverlay.h"

#include <QUrl>

#include <functional>

class QLabel;
class QWebEngineView;

namespace ostrel::web {

class BlockedWindowBar final : public ViewOverlay {
    Q_OBJECT
public:
    // Shows the bar over the view (or adds to the one it shows) for a window blocked at url;
    // "Toch openen" hands the latest address to open().
    static void Show(QWebEngineView* view, const QUrl& url, std::function<void(const QUrl&)> open);

protected:
    void place(const QRect& view) override;

private:
    BlockedWindowBar(QWebEngineView* view, std::function<void(const QUrl&)> open);
    void add(const QUrl& url);

    QLabel* text_;
    QUrl latest_;
    int blocked_ = 0;
};

} // namespace ostrel::web
