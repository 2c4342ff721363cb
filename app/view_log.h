#pragma once
// The recording band and the log grid over the recorder: SP1, "Очистка", the
// work mode, the start position and the grid's clicks bound to its slots;
// its signals rendered onto them. The grid shows the recorder's own model,
// painted by verdict (log_verdict_delegate.h); which cells may be selected
// is the recorder's rule. The window's key preview hands the space bar over.
#include <QObject>

#include "view_context.h"

namespace zt {

class LogView : public QObject {
 public:
  explicit LogView(const ViewContext& v);

 private:
  void bindGrid();
  void bindBand();
  void renderRecording(bool on, bool byOperator);
  void moveTo(int gridRow);
  void selectCell(int gridRow, int col);
  void askWriteOver(const WriteOverQuestion& q);

  ViewContext v_;
};

}  // namespace zt
