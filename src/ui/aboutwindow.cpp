#include "ui/aboutwindow.h"

#include "base/version.h"
#include "host/centring.h"

#include <QAccessible>
#include <QClipboard>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

namespace ostrel::ui {

namespace {
const QString kCopied = QStringLiteral("Gekopieerd naar het klembord.");
// The versions (3), Citrix, mode, store and its state, a file kept aside, and 1 + 5 probe lines.
constexpr int kRowsWithEveryProbe = 14;
} // namespace

AboutWindow::AboutWindow(QWidget* owner, std::function<QString()> text)
    : QDialog(owner), text_(std::move(text)), facts_(new QPlainTextEdit(this)), copied_(new QLabel(this)),
      copy_(new QPushButton(QStringLiteral("&Kopi\u00EBren"), this)),
      close_(new QPushButton(QStringLiteral("&Sluiten"), this))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("AboutWindow"));
    setWindowTitle(QStringLiteral("Over ") +
                   QString::fromUtf8(kApplicationTitle.data(), kApplicationTitle.size()));

    auto* heading = new QLabel(QStringLiteral("&Gegevens voor de servicedesk:"), this);
    heading->setBuddy(facts_);
    facts_->setReadOnly(true);
    // A caret that the keyboard moves, so the text can be read line by line and selected.
    facts_->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
    facts_->setTabChangesFocus(true);
    facts_->setUndoRedoEnabled(false);
    facts_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    facts_->setAccessibleName(QStringLiteral("Gegevens voor de servicedesk"));
    facts_->setAccessibleDescription(
        QStringLiteral("Alleen lezen. Kopi\u00EBren zet deze tekst op het klembord."));
    copy_->setDefault(true);
    copy_->setAccessibleDescription(QStringLiteral("Zet de gegevens op het klembord"));
    copied_->setTextFormat(Qt::PlainText);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(copied_, 1);
    buttons->addWidget(copy_);
    buttons->addWidget(close_);
    auto* column = new QVBoxLayout(this);
    column->addWidget(heading);
    column->addWidget(facts_, 1);
    column->addLayout(buttons);

    connect(copy_, &QPushButton::clicked, this, &AboutWindow::copy);
    connect(close_, &QPushButton::clicked, this, &QDialog::close);
    setTabOrder(facts_, copy_);
    setTabOrder(copy_, close_);

    Refresh();
    facts_->setFocus(Qt::OtherFocusReason);
    host::FitFrameOnScreen(*this, wantedSize());
}

void AboutWindow::Refresh()
{
    const QString now = text_();
    if (now == facts_->toPlainText())
        return;
    facts_->setPlainText(now);
    copied_->clear();
}

QString AboutWindow::Text() const
{
    return facts_->toPlainText();
}

void AboutWindow::copy()
{
    QGuiApplication::clipboard()->setText(Text());
    copied_->setText(kCopied);
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
    QAccessibleAnnouncementEvent told(copy_, kCopied);
    QAccessible::updateAccessibility(&told);
#endif
}

// Room for every line of the text unwrapped; the screen bounds it (FitFrameOnScreen), and then the
// lines wrap and the text scrolls.
QSize AboutWindow::wantedSize() const
{
    const QFontMetrics metrics(facts_->font());
    const QStringList lines = facts_->toPlainText().split(u'\n');
    int widest = 0;
    for (const QString& line : lines)
        widest = std::max(widest, metrics.horizontalAdvance(line));
    const int margins = 2 * (facts_->frameWidth() + int(facts_->document()->documentMargin())) +
                        facts_->verticalScrollBar()->sizeHint().width();
    // Room for the lines once every probe kept is there, so that later probes do not scroll.
    const int rows = std::max(int(lines.size()), kRowsWithEveryProbe) + 1;
    const QSize text(widest + margins, rows * metrics.lineSpacing() + margins);
    const QSize around = sizeHint() - facts_->sizeHint();
    return text + around.expandedTo(QSize(0, 0));
}

} // namespace ostrel::ui
