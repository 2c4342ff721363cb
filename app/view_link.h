#pragma once
// The connection controls over the meter link: B2 and "Авто" bound to the
// link, B2's caption and enabled state and the status lines of Memo1
// rendered from what the link reports, and the view's own exchange of Memo1
// with the fifth and sixth derived lines (T50) and of the language picker
// with "Выключить" while a meter is connected.
#include <QObject>
#include <QTimer>

#include "view_context.h"

namespace zt {

class LinkView : public QObject {
 public:
  explicit LinkView(const ViewContext& v);

 private:
  void renderCaption(ConnectCaption caption);
  void renderEvent(LinkEvent event);
  void line(const QString& text);
  void settled();
  void wentDown();
  void T50Timer();

  ViewContext v_;
  QTimer* t50_;
  // B2 shows the link's caption (rather than the control's translated text)
  // once the link has named one; a language switch then writes it again.
  bool captionWritten_ = false;
};

}  // namespace zt
