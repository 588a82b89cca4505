#include "web/blockedwindowbar.h"

#include "web/barbutton.h"
#include "web/showntext.h"

#include <QAccessible>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QWebEngineView>

#include <utility>

namespace ostrel::web {

namespace {
constexpr qsizetype kShownAddress = 120;
}

void BlockedWindowBar::Show(QWebEngineView* view, const QUrl& url, std::function<void(const QUrl&)> open)
{
    BlockedWindowBar* bar = Over<BlockedWindowBar>(view).value(0);
    if (!bar)
        bar = new BlockedWindowBar(view, std::move(open));
    bar->add(url);
}

BlockedWindowBar::BlockedWindowBar(QWebEngineView* view, std::function<void(const QUrl&)> open)
    : ViewOverlay(view, QAccessible::Notification), text_(new QLabel(this))
{
    setObjectName(QStringLiteral("BlockedWindowBar"));
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    text_->setTextFormat(Qt::PlainText);
    auto* openAnyway = BarButton(QStringLiteral("Toch openen"), this);
    auto* close = BarButton(QStringLiteral("\u00d7"), this, {}, QStringLiteral("Sluiten"));
    close->setFlat(true);
    close->setFixedWidth(24);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 4, 4, 4);
    layout->addWidget(text_, 1);
    layout->addWidget(openAnyway);
    layout->addWidget(close);
    connect(openAnyway, &QPushButton::clicked, this, [this, open = std::move(open)] {
        const QUrl url = latest_;
        deleteLater();
        open(url);
    });
    connect(close, &QPushButton::clicked, this, &QObject::deleteLater);
}

void BlockedWindowBar::add(const QUrl& url)
{
    latest_ = url;
    ++blocked_;
    QString address = ShownText(url.toDisplayString());
    if (address.size() > kShownAddress)
        address = address.left(kShownAddress) + QChar(0x2026);
    text_->setText(
        blocked_ == 1
            ? QStringLiteral("Pop-upvenster geblokkeerd: %1").arg(address)
            : QStringLiteral("Pop-upvenster geblokkeerd: %1 (en %2 eerdere)").arg(address).arg(blocked_ - 1));
    setAccessibleName(text_->text());
    showOnTop();
    // Windows plays its alert sound; Qt's AT-SPI bridge drops the event (there the role, shown, speaks).
    QAccessibleEvent shown(this, QAccessible::Alert);
    QAccessible::updateAccessibility(&shown);
}

void BlockedWindowBar::place(const QRect& view)
{
    setGeometry(view.x(), view.y(), view.width(), sizeHint().height());
}

} // namespace ostrel::web
