#include "trend_view.h"

#include <QChart>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace zt {

TrendView::TrendView(QChart* chart, QWidget* parent) : QChartView(chart, parent) {
  setRubberBand(QChartView::RectangleRubberBand);
  setRenderHint(QPainter::Antialiasing);
  setFocusPolicy(Qt::StrongFocus);
}

void TrendView::zoomAround(QPointF at, double factor, bool vertical) {
  const QRectF area = chart()->plotArea();
  if (area.isEmpty()) return;
  QRectF r = area;
  if (vertical) {
    const double y = std::clamp(at.y(), area.top(), area.bottom());
    r.setTop(y - (y - area.top()) * factor);
    r.setHeight(area.height() * factor);
  } else {
    const double x = std::clamp(at.x(), area.left(), area.right());
    r.setLeft(x - (x - area.left()) * factor);
    r.setWidth(area.width() * factor);
  }
  chart()->zoomIn(r);
}

void TrendView::wheelEvent(QWheelEvent* e) {
  const double steps = e->angleDelta().y() / 120.0;
  if (steps == 0) return;
  zoomAround(e->position(), std::pow(0.8, steps), e->modifiers() & Qt::ShiftModifier);
  e->accept();
}

void TrendView::mousePressEvent(QMouseEvent* e) {
  if (e->button() == Qt::MiddleButton || (e->button() == Qt::LeftButton && (e->modifiers() & Qt::ControlModifier))) {
    panning_ = true;
    last_ = e->position().toPoint();
    setCursor(Qt::ClosedHandCursor);
    e->accept();
    return;
  }
  QChartView::mousePressEvent(e);
}

void TrendView::mouseMoveEvent(QMouseEvent* e) {
  if (panning_) {
    const QPoint p = e->position().toPoint();
    const QPoint d = p - last_;
    last_ = p;
    chart()->scroll(-d.x(), d.y());
    e->accept();
    return;
  }
  QChartView::mouseMoveEvent(e);
}

void TrendView::mouseReleaseEvent(QMouseEvent* e) {
  if (panning_) {
    panning_ = false;
    unsetCursor();
    e->accept();
    return;
  }
  QChartView::mouseReleaseEvent(e);
}

void TrendView::keyPressEvent(QKeyEvent* e) {
  const QRectF area = chart()->plotArea();
  switch (e->key()) {
    case Qt::Key_Left: chart()->scroll(-area.width() / 10, 0); break;
    case Qt::Key_Right: chart()->scroll(area.width() / 10, 0); break;
    case Qt::Key_Up: chart()->scroll(0, area.height() / 10); break;
    case Qt::Key_Down: chart()->scroll(0, -area.height() / 10); break;
    case Qt::Key_Plus:
    case Qt::Key_Equal: zoomAround(area.center(), 0.8, e->modifiers() & Qt::ShiftModifier); break;
    case Qt::Key_Minus: zoomAround(area.center(), 1.25, e->modifiers() & Qt::ShiftModifier); break;
    case Qt::Key_End: emit followRequested(); break;
    default: QChartView::keyPressEvent(e); return;
  }
  e->accept();
}

}  // namespace zt
