// A button of a bar over or under the page. Return presses it as Space does (Qt leaves Return to
// the buttons of a dialog alone), and a screen reader hears what it acts on: "Openen: formulier.pdf".
#pragma once

#include <QString>

class QPushButton;
class QWidget;

namespace ostrel::web {

// text: what it shows; name: what it says when that is a sign ("×" says "Uit de lijst halen");
// actsOn: the thing it acts on, none when the bar has one thing only.
QPushButton* BarButton(const QString& text, QWidget* parent, const QString& actsOn = {},
                       const QString& name = {});

} // namespace ostrel::web
