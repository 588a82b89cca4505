// Says a short message to a screen reader without taking the focus ("formulier.pdf klaar", a page
// that has loaded): a notification that shows for the moment it is said. Qt's bridge passes no
// Alert or announcement event on to AT-SPI on Debian 12; a notification that comes to show is
// what readers speak.
#pragma once

#include <QWidget>

namespace ostrel::web {

class Announcer final : public QWidget {
    Q_OBJECT
public:
    explicit Announcer(QWidget* parent);
    void Say(const QString& text);
};

// Gives the focus back to a widget, in the page the element that had it, and makes a reader hear
// where it went: the engine tells of its view taking the focus but not always of the page's
// element (after its own alert, after a find it tells of the document instead).
void GiveFocusBack(QWidget* widget);

} // namespace ostrel::web
