#include "web/findbar.h"

#include "web/announcer.h"

#include <QAccessible>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWebEngineFindTextResult>
#include <QWebEnginePage>
#include <QWebEngineView>

namespace ostrel::web {

FindBar::FindBar(QWidget* parent, QWebEngineView* view)
    : QWidget(parent), view_(view), text_(new QLineEdit(this)), matches_(new QLabel(this))
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 2);
    auto* label = new QLabel(QStringLiteral("Zoeken:"), this);
    label->setBuddy(text_); // the field's name for a screen reader
    layout->addWidget(label);
    layout->addWidget(text_);
    auto* previous = new QPushButton(QStringLiteral("Vorige"), this);
    auto* next = new QPushButton(QStringLiteral("Volgende"), this);
    auto* close = new QPushButton(QStringLiteral("Sluiten"), this);
    for (QPushButton* button : {previous, next, close}) {
        button->setFocusPolicy(Qt::NoFocus); // the focus stays in the text
        layout->addWidget(button);
    }
    layout->addWidget(matches_);
    layout->addStretch();
    text_->setClearButtonEnabled(true);
    text_->installEventFilter(this);
    connect(text_, &QLineEdit::textChanged, this, [this] { find(false); });
    connect(previous, &QPushButton::clicked, this, [this] { find(true); });
    connect(next, &QPushButton::clicked, this, [this] { find(false); });
    connect(close, &QPushButton::clicked, this, &FindBar::Close);
    connect(view_->page(), &QWebEnginePage::findTextFinished, this,
            [this](const QWebEngineFindTextResult& result) {
                if (text_->text().isEmpty())
                    matches_->clear();
                else if (result.numberOfMatches() == 0)
                    matches_->setText(QStringLiteral("Niet gevonden"));
                else
                    matches_->setText(
                        QStringLiteral("%1 van %2").arg(result.activeMatch()).arg(result.numberOfMatches()));
                // The count is the field's description, which a screen reader reads out when it
                // changes on the field that has the focus.
                text_->setAccessibleDescription(matches_->text());
                QAccessibleEvent changed(text_, QAccessible::DescriptionChanged);
                QAccessible::updateAccessibility(&changed);
            });
    hide();
}

void FindBar::Open()
{
    show();
    // Not a shortcut reason: with one the field selects its text while taking the focus, and the
    // caret event that makes reaches a screen reader before the focus, which it then leaves unsaid.
    text_->setFocus(Qt::OtherFocusReason);
    text_->selectAll();
    if (!text_->text().isEmpty())
        find(false);
}

void FindBar::Close()
{
    view_->page()->findText(QString()); // no text: the highlights go
    matches_->clear();
    hide();
    GiveFocusBack(view_);
}

QString FindBar::Matches() const
{
    return matches_->text();
}

void FindBar::find(bool backward)
{
    view_->page()->findText(text_->text(),
                            backward ? QWebEnginePage::FindBackward : QWebEnginePage::FindFlags());
}

bool FindBar::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == text_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            find(key->modifiers() & Qt::ShiftModifier);
            return true;
        }
        if (key->key() == Qt::Key_Escape) {
            Close();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace ostrel::web
