// "Over Ostrel Web": what a support call needs (the versions, Citrix Receiver, the mode, the
// registry store, the last gateway probes) as one read-only text, with "Kopiëren" to put that text
// on the clipboard and "Sluiten". The program's own window, opened from the page menu; only the
// program's facts reach it, never a page's content.
#pragma once

#include <QDialog>
#include <QString>

#include <functional>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace ostrel::ui {

class AboutWindow final : public QDialog {
    Q_OBJECT
public:
    // text: the facts as they are now, as one text (app::SupportText); asked again on Refresh.
    AboutWindow(QWidget* owner, std::function<QString()> text);

    // A fact changed while the window is open: the text anew.
    void Refresh();
    // What the window shows, which is what "Kopiëren" copies.
    QString Text() const;

    QPlainTextEdit* Facts() const { return facts_; }
    QPushButton* CopyButton() const { return copy_; }
    QPushButton* CloseButton() const { return close_; }

private:
    void copy();
    QSize wantedSize() const;

    std::function<QString()> text_;
    QPlainTextEdit* facts_;
    QLabel* copied_;
    QPushButton* copy_;
    QPushButton* close_;
};

} // namespace ostrel::ui
