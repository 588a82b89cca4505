// A widget of ours that a screen reader should hear as what it is (an alert, a notification), where
// Qt would call it a frame or a panel; Qt 6.4 has no setter for a widget's role.
#pragma once

#include <QAccessible>

class QWidget;

namespace ostrel::web {

// Before anything asks for the widget's accessible interface (in its constructor).
void SetAccessibleRole(QWidget* widget, QAccessible::Role role);

} // namespace ostrel::web
