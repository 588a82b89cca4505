// Finding text in the page (Ctrl+F): a slim bar under the page with the text to find, the number
// of matches, and next and previous; Enter finds the next, Shift+Enter the previous, Escape closes.
#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QWebEngineView;

namespace ostrel::web {

class FindBar final : public QWidget {
    Q_OBJECT
public:
    FindBar(QWidget* parent, QWebEngineView* view);

    // Shows the bar with its text selected, ready for typing.
    void Open();
    // Hides it and takes the highlights off the page.
    void Close();

    QLineEdit* Text() const { return text_; }
    QString Matches() const; // "2 van 5", "Niet gevonden" or nothing

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void find(bool backward);

    QWebEngineView* view_;
    QLineEdit* text_;
    QLabel* matches_;
};

} // namespace ostrel::web
