#include "web/pagedialog.h"

#include "web/announcer.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QEventLoop>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWebEngineView>

#include <utility>

namespace ostrel::web {

namespace {
constexpr int kWidth = 520;
constexpr int kMargin = 12;
// A page's text is shown up to this length: a message of a megabyte would only fill the window.
constexpr qsizetype kMaxText = 2000;

QLabel* textLabel(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setText(text.size() > kMaxText ? text.left(kMaxText) + QChar(0x2026) : text);
    return label;
}
} // namespace

PageDialog::PageDialog(QWebEngineView* view, const Question& question)
    : ViewOverlay(view, question.cancel || question.input || question.login ? QAccessible::Dialog
                                                                            : QAccessible::AlertMessage),
      accept_(new QPushButton(question.acceptText, this))
{
    auto* layout = frame(question.heading);
    setAccessibleDescription(question.text.left(kMaxText));
    layout->addWidget(textLabel(question.text, this));
    if (question.input) {
        input_ = new QLineEdit(question.inputText, this);
        input_->setAccessibleName(question.text.left(kMaxText));
        input_->selectAll();
        layout->addWidget(input_);
    }
    if (question.login) {
        auto* form = new QFormLayout;
        input_ = new QLineEdit(question.inputText, this);
        input_->setObjectName(QStringLiteral("user"));
        password_ = new QLineEdit(this);
        password_->setObjectName(QStringLiteral("password"));
        password_->setEchoMode(QLineEdit::Password);
        form->addRow(QStringLiteral("&Gebruikersnaam"), input_);
        form->addRow(QStringLiteral("&Wachtwoord"), password_);
        layout->addLayout(form);
    }
    if (!question.option.isEmpty()) {
        option_ = new QCheckBox(question.option, this);
        layout->addWidget(option_);
    }
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(accept_);
    connect(accept_, &QPushButton::clicked, this, [this] { finish(true); });
    QPushButton* cancel = nullptr;
    if (question.cancel) {
        cancel = new QPushButton(question.cancelText, this);
        buttons->addWidget(cancel);
        connect(cancel, &QPushButton::clicked, this, [this] { finish(false); });
    }
    layout->addLayout(buttons);

    if (input_)
        showOver(input_);
    else if (cancel && question.cancelFirst)
        showOver(cancel);
    else
        showOver(accept_);
}

PageDialog::PageDialog(QWebEngineView* view, const QString& heading, QDialog* content)
    : ViewOverlay(view, QAccessible::Dialog), content_(content)
{
    auto* layout = frame(heading);
    content->setParent(this);
    content->setWindowFlags(Qt::Widget); // as a window of its own, it would be modal over the program
    layout->addWidget(content);
    connect(content, &QDialog::finished, this, [this](int result) { finish(result == QDialog::Accepted); });
    content->show();
    QWidget* first = content;
    for (QWidget* next = content->nextInFocusChain(); next && next != content; next = next->nextInFocusChain())
        if (content->isAncestorOf(next) && next->isVisibleTo(content) && next->isEnabled() &&
            (next->focusPolicy() & Qt::TabFocus)) {
            first = next;
            break;
        }
    showOver(first);
}

QVBoxLayout* PageDialog::frame(const QString& heading)
{
    setObjectName(QStringLiteral("PageDialog"));
    setFrameShape(QFrame::StyledPanel);
    setFrameShadow(QFrame::Raised);
    setAutoFillBackground(true);
    setAccessibleName(heading);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    QLabel* label = textLabel(heading, this);
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    layout->addWidget(label);
    return layout;
}

void PageDialog::showOver(QWidget* focus)
{
    focusBefore_ = window()->focusWidget(); // the window's, active or not
    showOnTop();
    focus->setFocus(Qt::OtherFocusReason);
    // Windows plays its alert sound; Qt's AT-SPI bridge drops the event (there the role, shown, speaks).
    QAccessibleEvent shown(this, QAccessible::Alert);
    QAccessible::updateAccessibility(&shown);
}

PageDialog::Answer PageDialog::Ask(QWebEngineView* view, const Question& question)
{
    Answer answer;
    if (!view)
        return answer;
    QEventLoop loop;
    QPointer<PageDialog> dialog = new PageDialog(view, question);
    connect(dialog, &PageDialog::Answered, &loop, [&](const Answer& given) {
        answer = given;
        loop.quit();
    });
    connect(dialog, &QObject::destroyed, &loop, &QEventLoop::quit);
    loop.exec(); // also ends when the program quits
    if (dialog && !dialog->finished_)
        dialog->finish(false);
    return answer;
}

void PageDialog::Hold(QWebEngineView* view, const QString& heading, QDialog* content,
                      std::function<void(bool accepted)> answered)
{
    if (!view) {
        delete content;
        return;
    }
    auto* dialog = new PageDialog(view, heading, content);
    connect(dialog, &PageDialog::Answered, view,
            [answered = std::move(answered)](const Answer& given) { answered(given.accepted); });
}

void PageDialog::AskLater(QWebEngineView* view, const Question& question,
                          std::function<void(const Answer&)> answered)
{
    if (!view)
        return;
    auto* dialog = new PageDialog(view, question);
    connect(dialog, &PageDialog::Answered, view,
            [answered = std::move(answered)](const Answer& given) { answered(given); });
}

bool PageDialog::Dismiss(const QWidget* view)
{
    bool found = false;
    for (QWidget* window : QApplication::topLevelWidgets())
        for (PageDialog* dialog : window->findChildren<PageDialog*>())
            if (!dialog->finished_ && (!view || dialog->view() == view)) {
                dialog->finish(false);
                found = true;
            }
    return found;
}

bool PageDialog::OpenOver(const QWidget* view)
{
    for (const PageDialog* dialog : Over<PageDialog>(view))
        if (!dialog->finished_)
            return true;
    return false;
}

bool PageDialog::Holds(const QObject* object)
{
    for (; object; object = object->parent())
        if (qobject_cast<const PageDialog*>(object))
            return true;
    return false;
}

void PageDialog::finish(bool accepted)
{
    if (std::exchange(finished_, true))
        return;
    Answer answer;
    answer.accepted = accepted;
    answer.input = input_ ? input_->text() : QString();
    answer.password = password_ ? password_->text() : QString();
    answer.option = option_ && option_->isChecked();
    const bool hadFocus = isAncestorOf(window()->focusWidget());
    hide();
    // Back where it was (in the page, the element that had it); a control gone since, the page.
    if (hadFocus) {
        if (focusBefore_ && focusBefore_->isVisible() && !isAncestorOf(focusBefore_))
            GiveFocusBack(focusBefore_);
        else if (view() && view()->isVisible())
            GiveFocusBack(view());
    }
    deleteLater();
    emit Answered(answer);
}

void PageDialog::place(const QRect& view)
{
    const int wanted = content_ ? qMax(kWidth, sizeHint().width()) : kWidth;
    const int width = qMin(wanted, view.width() - 2 * kMargin);
    const int height = qMin(heightForWidth(width) > 0 ? heightForWidth(width) : sizeHint().height(),
                            view.height() - 2 * kMargin);
    setGeometry(view.x() + (view.width() - width) / 2, view.y() + kMargin, width, height);
}

bool PageDialog::focusNextPrevChild(bool next)
{
    QWidget* at = focusWidget();
    if (!at)
        return false;
    for (QWidget* w = next ? at->nextInFocusChain() : at->previousInFocusChain(); w && w != at;
         w = next ? w->nextInFocusChain() : w->previousInFocusChain())
        if (isAncestorOf(w) && w->isVisibleTo(this) && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus)) {
            w->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
            return true;
        }
    return true; // the only control keeps it
}

void PageDialog::keyPressEvent(QKeyEvent* event)
{
    // A dialog of Qt's answers its own Enter: one it leaves is no answer.
    if (content_ && event->key() != Qt::Key_Escape) {
        QFrame::keyPressEvent(event);
        return;
    }
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (auto* button = qobject_cast<QPushButton*>(focusWidget()))
            button->click();
        else
            finish(true);
        return;
    case Qt::Key_Escape:
        finish(false);
        return;
    default:
        QFrame::keyPressEvent(event);
    }
}

} // namespace ostrel::web
