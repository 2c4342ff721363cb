#pragma once
// Lets a handler react to an event of a widget that has no signal for it:
// clicks on labels, the pointer entering or leaving a panel or list.
#include <QEvent>
#include <QObject>
#include <functional>

class QListWidget;
class QWidget;

namespace zt {

// Calls `fn` whenever `w` receives an event of type `type`; `fn` may return
// nothing. The hook lives as long as the widget.
QObject* OnWidgetEvent(QWidget* w, QEvent::Type type, std::function<void()> fn);

// Calls `fn` on a click of the left button: pressed on `w` and released over
// it. Other buttons, and a press dragged off `w` before the release, do
// nothing. The hook lives as long as the widget (delete it to unbind).
QObject* OnLeftClick(QWidget* w, std::function<void()> fn);

// Calls `fn` with the list's current row when the keyboard chooses it, as a
// click does: Return or Enter on a row, or a key that moved the current row
// (the arrows, Home, End, the page keys). The hook lives as long as the list.
QObject* OnKeyboardChoice(QListWidget* list, std::function<void(int row)> fn);

}  // namespace zt
