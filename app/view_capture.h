#pragma once
// A capture of the exchange with the meter from the window: the memo's
// context menu (and that of the two labels that take the memo's place while
// a meter is connected) offers "Записать обмен…", which asks for a file and
// starts the session's capture, or, while one runs, to stop it. The memo says
// where it goes and what was saved; a capture that ends by itself (a full
// disk) is told in a message and in the memo, and measuring goes on.
#include <QObject>
#include <QPoint>

#include "view_context.h"

class QWidget;

namespace zt {

class CaptureView : public QObject {
 public:
  explicit CaptureView(const ViewContext& v);

 private:
  void showMenu(QWidget* on, const QPoint& at);
  void startOrStop();
  void say(const QString& line);

  ViewContext v_;
};

}  // namespace zt
