#include "event_hooks.h"

#include <QKeyEvent>
#include <QListWidget>
#include <QMouseEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace zt {

namespace {

class EventHook : public QObject {
 public:
  EventHook(QWidget* w, QEvent::Type type, std::function<void()> fn) : QObject(w), m_type(type), m_fn(std::move(fn)) {
    w->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == m_type && m_fn) m_fn();
    return QObject::eventFilter(watched, event);
  }

 private:
  QEvent::Type m_type;
  std::function<void()> m_fn;
};

class LeftClickHook : public QObject {
 public:
  LeftClickHook(QWidget* w, std::function<void()> fn) : QObject(w), m_widget(w), m_fn(std::move(fn)) {
    w->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    switch (event->type()) {
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonDblClick:  // the second press of a double click
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) m_pressed = true;
        break;
      case QEvent::MouseButtonRelease: {
        const auto* me = static_cast<QMouseEvent*>(event);
        if (me->button() != Qt::LeftButton) break;
        const bool click = m_pressed && m_widget->rect().contains(me->position().toPoint());
        m_pressed = false;
        if (click && m_fn) m_fn();
        break;
      }
      default: break;
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  QWidget* m_widget;
  std::function<void()> m_fn;
  bool m_pressed = false;
};

class KeyboardChoiceHook : public QObject {
 public:
  KeyboardChoiceHook(QListWidget* list, std::function<void(int)> fn)
      : QObject(list), m_list(list), m_fn(std::move(fn)) {
    list->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::KeyPress) return QObject::eventFilter(watched, event);
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      if (m_list->currentRow() >= 0) m_fn(m_list->currentRow());
      return true;
    }
    // The list moves its current row while it handles the key, after this
    // filter: look once it has.
    const int before = m_list->currentRow();
    QPointer<QListWidget> list(m_list);
    QTimer::singleShot(0, this, [this, list, before] {
      if (list && list->currentRow() >= 0 && list->currentRow() != before) m_fn(list->currentRow());
    });
    return QObject::eventFilter(watched, event);
  }

 private:
  QListWidget* m_list;
  std::function<void(int)> m_fn;
};

}  // namespace

QObject* OnKeyboardChoice(QListWidget* list, std::function<void(int)> fn) {
  return new KeyboardChoiceHook(list, std::move(fn));
}

QObject* OnLeftClick(QWidget* w, std::function<void()> fn) { return new LeftClickHook(w, std::move(fn)); }

QObject* OnWidgetEvent(QWidget* w, QEvent::Type type, std::function<void()> fn) {
  return new EventHook(w, type, std::move(fn));
}

}  // namespace zt
