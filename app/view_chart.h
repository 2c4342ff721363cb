#pragma once
// The chart button: opens the chart window (trend, histogram, sorting
// statistics) over the session's recorder and profile book. The window is
// made on the first click and kept: closing it hides it, the next click shows
// it again where it was. It is not modal; the main window stays in use.
#include <QObject>
#include <QPointer>

#include "view_context.h"

namespace zt {

class ChartWindow;

class ChartView : public QObject {
 public:
  explicit ChartView(const ViewContext& v);

  // The chart window, made if it does not exist yet.
  ChartWindow* window();

 private:
  void BChartClick();

  ViewContext v_;
  QPointer<ChartWindow> chart_;
};

}  // namespace zt
