// A page's message or question (alert, confirm, prompt, leaving the page, a link for another
// program, a site's login, printing), shown over the page itself rather than in a window of its
// own: the header, the function keys and the window's close button keep working while it is open,
// and it goes when the user goes elsewhere. Enter answers with the focused button (OK at first),
// Escape cancels; the focus stays in it until then and goes back where it was.
#pragma once

#include "web/viewoverlay.h"

#include <QPointer>
#include <QString>

#include <functional>

class QCheckBox;
class QDialog;
class QLineEdit;
class QPushButton;
class QVBoxLayout;
class QWebEngineView;

namespace ostrel::web {

class PageDialog final : public ViewOverlay {
    Q_OBJECT
public:
    struct Question {
        QString heading;     // who asks
        QString text;        // plain text
        bool cancel = false; // offers "Annuleren" (or cancelText) beside acceptText
        bool input = false;  // a line of text to fill in, starting with inputText
        bool login = false;  // a user name (starting with inputText) and a password to fill in
        QString inputText;
        QString option; // a checkbox with this text; none when empty
        bool cancelFirst =
            false; // the focus starts on cancelText, for a question a stray Enter must not answer
        QString acceptText = QStringLiteral("OK");
        QString cancelText = QStringLiteral("Annuleren");
    };
    struct Answer {
        bool accepted = false; // false also when dismissed unanswered
        QString input; // the line of text, or the user name
        QString password;
        bool option = false;
    };

    // Shows the question over the view and waits for the answer while the whole program runs on.
    static Answer Ask(QWebEngineView* view, const Question& question);
    // Shows the question over the view; answered() gets the answer (not when the view goes first).
    static void AskLater(QWebEngineView* view, const Question& question,
                         std::function<void(const Answer&)> answered);
    // Shows a dialog of Qt's own (the print dialog) over the view, under the heading; answered()
    // gets whether it was accepted (not when the view goes first). The dialog becomes the question's.
    static void Hold(QWebEngineView* view, const QString& heading, QDialog* content,
                     std::function<void(bool accepted)> answered);
    // Cancels the dialogs open over the view, or over every view; true when there was one.
    static bool Dismiss(const QWidget* view = nullptr);
    // True while one is open over the view.
    static bool OpenOver(const QWidget* view);
    // True for a widget that is part of such a dialog.
    static bool Holds(const QObject* object);

signals:
    void Answered(const ostrel::web::PageDialog::Answer& answer);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    // Tab goes round the question's own controls: the page behind waits for the answer.
    bool focusNextPrevChild(bool next) override;
    void place(const QRect& view) override;

private:
    PageDialog(QWebEngineView* view, const Question& question);
    PageDialog(QWebEngineView* view, const QString& heading, QDialog* content);
    QVBoxLayout* frame(const QString& heading);
    void showOver(QWidget* focus);
    void finish(bool accepted);

    QPointer<QWidget> focusBefore_; // where the focus goes back to
    QLineEdit* input_ = nullptr;
    QLineEdit* password_ = nullptr;
    QDialog* content_ = nullptr;
    QCheckBox* option_ = nullptr;
    QPushButton* accept_ = nullptr;
    bool finished_ = false;
};

} // namespace ostrel::web
