#include "event_hooks.h"

#include <QWidget>

namespace zt {

namespace {

class EventHook : public QObject {
 public:
  EventHook(QWidget* w, QEvent::Type type, std::function<void()> fn)
      : QObject(w), m_type(type), m_fn(std::move(fn)) {
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

}  // namespace

QObject* OnWidgetEvent(QWidget* w, QEvent::Type type, std::function<void()> fn) {
  return new EventHook(w, type, std::move(fn));
}

}  // namespace zt
