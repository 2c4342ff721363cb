#pragma once
// The trend's view: a chart view the operator zooms and pans with the mouse
// and the keys. A dragged rectangle zooms into it, the right button zooms
// out again, the wheel zooms the time (or position) axis around the pointer
// and with Shift the value axis, the middle button (or Ctrl and the left
// button) drags the view; the arrow keys pan, + and - zoom, End follows the
// newest rows again.
#include <QChartView>
#include <QPoint>

namespace zt {

class TrendView : public QChartView {
  Q_OBJECT

 public:
  explicit TrendView(QChart* chart, QWidget* parent = nullptr);

 signals:
  void followRequested();

 protected:
  void wheelEvent(QWheelEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;

 private:
  // Zooms by `factor` (below 1: in) around `at`, along x or y.
  void zoomAround(QPointF at, double factor, bool vertical);

  bool panning_ = false;
  QPoint last_;
};

}  // namespace zt
