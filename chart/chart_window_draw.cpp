// Bringing the drawing up to date with the rows: the trend's series and
// axes, the band, the histogram and the statistics table.
#include <QAreaSeries>
#include <QChart>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QScatterSeries>
#include <QTableWidget>
#include <QTimer>
#include <QValueAxis>

#include <algorithm>
#include <cmath>
#include <tuple>

#include "chart_window.h"
#include "recorder.h"

namespace zt {

namespace {

// With fewer points than this on screen each one is marked.
constexpr int kMarkedPoints = 200;
QList<QPointF> Scaled(const std::vector<QPointF>& points, double factor) {
  QList<QPointF> out;
  out.reserve(static_cast<qsizetype>(points.size()));
  for (const QPointF& p : points) out.append(QPointF(p.x(), p.y() / factor));
  return out;
}

// The y range of values from lo to hi, with room around them.
std::pair<double, double> Padded(double lo, double hi) {
  double pad = (hi - lo) * 0.08;
  if (!(pad > 0)) pad = std::max(std::fabs(hi) * 0.01, 1e-15);
  return {lo - pad, hi + pad};
}

// Round ends and ticks; the axis is touched only when they change, as each
// change lays out the whole chart again.
void SetNiceRange(QValueAxis* axis, double lo, double hi) {
  std::tie(lo, hi) = ReadableRange(lo, hi);
  const NiceRange r = NiceRangeOf(lo, hi);
  if (axis->min() != r.lo || axis->max() != r.hi) axis->setRange(r.lo, r.hi);
  if (axis->tickCount() != r.ticks) axis->setTickCount(r.ticks);
  // Huge or tiny values (a Q of 10^41) in scientific notation: never a
  // label too long for the axis.
  const QString format = AxisLabelFormat(r.lo, r.hi, r.ticks);
  if (axis->labelFormat() != format) axis->setLabelFormat(format);
}

void HideFromLegend(QChart* chart, QAbstractSeries* s) {
  for (QLegendMarker* m : chart->legend()->markers(s)) m->setVisible(false);
}

}  // namespace

void ChartWindow::scheduleSync() {
  if (!syncTimer_->isActive()) syncTimer_->start();
}

void ChartWindow::flush() {
  if (rebuildDue_ || trendDirty_ || histDirty_ || tableDirty_) sync();
}

void ChartWindow::sync() {
  syncTimer_->stop();
  if (rebuildDue_) {
    rebuild();  // draws everything
    return;
  }
  if (trendDirty_) syncTrend();
  if (histDirty_) syncHistogram();
  if (tableDirty_) syncTable();
}

void ChartWindow::syncTrend() {
  trendDirty_ = false;
  const bool ownBand = limits_.kind != Quantity::None && (kind_ == Quantity::None || limits_.kind == kind_);
  double magnitude = haveY_ ? std::max(std::fabs(yMin_), std::fabs(yMax_)) : 0;
  if (ownBand) {
    for (double v : {limits_.lower, limits_.upper, limits_.nominal})
      if (std::isfinite(v)) magnitude = std::max(magnitude, std::fabs(v));
  }
  const Quantity shown = kind_ != Quantity::None ? kind_ : limits_.kind;
  yScale_ = ScaleFor(magnitude, shown, lex());
  secondaryScale_ = ScaleFor(haveS_ ? std::max(std::fabs(sMin_), std::fabs(sMax_)) : 0, secondaryKind_, lex());

  const QList<QPointF> points = Scaled(decLine_.points(), yScale_.factor);
  line_->replace(points);
  line_->setPointsVisible(points.size() < kMarkedPoints);
  rejected_->replace(Scaled(decRejected_.points(), yScale_.factor));
  secondary_->replace(Scaled(decSecondary_.points(), secondaryScale_.factor));
  secondary_->setVisible(secondaryShown_);
  ySecondary_->setVisible(secondaryShown_);
  HideFromLegend(trendChart(), secondary_);
  if (secondaryShown_) {
    for (QLegendMarker* m : trendChart()->legend()->markers(secondary_)) m->setVisible(true);
  }

  line_->setName(letter_);
  secondary_->setName(secondaryLetter_);
  yAxis_->setTitleText(AxisTitle(letter_, shown, yScale_, lex()));
  ySecondary_->setTitleText(AxisTitle(secondaryLetter_, secondaryKind_, secondaryScale_, lex()));
  if (following_) setYRange();
  syncBand();
}

void ChartWindow::setYRange() {
  const bool ownBand = limits_.kind != Quantity::None && (kind_ == Quantity::None || limits_.kind == kind_);
  double lo = haveY_ ? yMin_ : kNoValue, hi = haveY_ ? yMax_ : kNoValue;
  if (ownBand) {
    for (double v : {limits_.lower, limits_.upper, limits_.nominal}) {
      if (!std::isfinite(v)) continue;
      lo = std::isfinite(lo) ? std::min(lo, v) : v;
      hi = std::isfinite(hi) ? std::max(hi, v) : v;
    }
  }
  if (!std::isfinite(lo)) lo = 0, hi = 1;
  const double f = yScale_.factor;
  const auto [a, b] = Padded(lo / f, hi / f);
  settingRange_ = true;
  SetNiceRange(yAxis_, a, b);
  if (haveS_) {
    const auto [c, d] = Padded(sMin_ / secondaryScale_.factor, sMax_ / secondaryScale_.factor);
    SetNiceRange(ySecondary_, c, d);
  }
  settingRange_ = false;
}

void ChartWindow::syncBand() {
  const bool ownBand = limits_.kind != Quantity::None && (kind_ == Quantity::None || limits_.kind == kind_);
  band_->setVisible(ownBand && limits_.any());
  nominal_->setVisible(ownBand);
  if (!ownBand) {
    HideFromLegend(trendChart(), band_);
    HideFromLegend(trendChart(), nominal_);
    return;
  }
  double x0, x1;
  if (byTime_) {
    x0 = static_cast<double>(xTime_->min().toMSecsSinceEpoch());
    x1 = static_cast<double>(xTime_->max().toMSecsSinceEpoch());
  } else {
    x0 = xPosition_->min();
    x1 = xPosition_->max();
  }
  const double f = yScale_.factor;
  // A one-sided band reaches to the edge of the view on its open side; far
  // beyond it, so that zooming out never shows its end.
  const double span = std::max(yAxis_->max() - yAxis_->min(), 1e-12);
  const double top = limits_.hasUpper() ? limits_.upper / f : yAxis_->max() + 100 * span;
  const double bottom = limits_.hasLower() ? limits_.lower / f : yAxis_->min() - 100 * span;
  bandUpper_->replace({QPointF(x0, top), QPointF(x1, top)});
  bandLower_->replace({QPointF(x0, bottom), QPointF(x1, bottom)});
  nominal_->replace({QPointF(x0, limits_.nominal / f), QPointF(x1, limits_.nominal / f)});
}

void ChartWindow::syncHistogram() {
  histDirty_ = false;
  const double f = yScale_.factor;
  QList<QPointF> outline;
  outline.reserve(2 * bins_.bins() + 2);
  for (int i = 0; i < bins_.bins(); ++i) {
    outline.append(QPointF(bins_.edge(i) / f, bins_.count(i)));
    outline.append(QPointF(bins_.edge(i + 1) / f, bins_.count(i)));
  }
  histUpper_->replace(outline);
  histLower_->replace({QPointF(bins_.lo() / f, 0), QPointF(bins_.hi() / f, 0)});
  // Whole counts on the count axis, at most about six of them, up to a round
  // top above the highest bar.
  double step = 1;
  while (bins_.maxCount() * 1.1 / step > 6) step *= (QString::number(step).startsWith(u'2') ? 2.5 : 2);
  const double top = std::max(1.0, std::ceil(bins_.maxCount() * 1.1 / step)) * step;
  const bool ownBand = limits_.kind != Quantity::None && (kind_ == Quantity::None || limits_.kind == kind_);
  auto vertical = [&](QLineSeries* s, double v) {
    const bool on = ownBand && std::isfinite(v);
    s->setVisible(on);
    if (on) s->replace({QPointF(v / f, 0), QPointF(v / f, top)});
  };
  vertical(histLimitLow_, limits_.lower);
  vertical(histLimitHigh_, limits_.upper);
  vertical(histNominal_, limits_.nominal);
  double lo = bins_.lo() / f, hi = bins_.hi() / f;
  if (ownBand) {
    for (double v : {limits_.lower, limits_.upper})
      if (std::isfinite(v)) lo = std::min(lo, v / f), hi = std::max(hi, v / f);
  }
  SetNiceRange(histX_, lo, hi);
  // The interval first: a wide range at a fine interval is costly to lay out.
  if (histY_->tickInterval() != step) histY_->setTickInterval(step);
  if (histY_->max() != top) histY_->setRange(0, top);
  const Quantity shown = kind_ != Quantity::None ? kind_ : limits_.kind;
  histX_->setTitleText(AxisTitle(letter_, shown, yScale_, lex()));
}

void ChartWindow::syncTable() {
  tableDirty_ = false;
  const StatsTable t = recorder_->statisticsTable();
  table_->setRowCount(t.rowCount());
  table_->setColumnCount(t.columnCount());
  table_->setVerticalHeaderLabels(t.rowNames);
  table_->setHorizontalHeaderLabels(t.columnNames);
  for (int r = 0; r < t.rowCount(); ++r) {
    for (int c = 0; c < t.columnCount(); ++c) {
      const StatsCell& cell = t.cell(r, c);
      const QString text = cell.text.isEmpty() ? QStringLiteral("—") : cell.text;
      QTableWidgetItem* item = table_->item(r, c);
      if (!item) {
        item = new QTableWidgetItem;
        item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        table_->setItem(r, c, item);
      }
      if (item->text() != text) item->setText(text);
    }
  }
}

// ---------------------------------------------------------------- axes and view

void ChartWindow::attachXAxis() {
  QChart* c = trendChart();
  QAbstractAxis* want = byTime_ ? static_cast<QAbstractAxis*>(xTime_) : xPosition_;
  QAbstractAxis* other = byTime_ ? static_cast<QAbstractAxis*>(xPosition_) : xTime_;
  const QList<QAbstractSeries*> all{band_, nominal_, line_, secondary_, rejected_};
  if (c->axes(Qt::Horizontal).contains(other)) {
    for (QAbstractSeries* s : all) s->detachAxis(other);
    c->removeAxis(other);
    other->setParent(this);  // kept for a switch back
  }
  if (!c->axes(Qt::Horizontal).contains(want)) {
    c->addAxis(want, Qt::AlignBottom);
    for (QAbstractSeries* s : all) s->attachAxis(want);
  }
}

void ChartWindow::setXRange(double x0, double x1) {
  settingRange_ = true;
  if (!byTime_) {
    // Ticks at round positions, whatever the frame's ends (the interval
    // first: a fine interval on a wide range is costly to lay out).
    const double step = std::max(1.0, (NiceRangeOf(0, x1 - x0).hi) / (NiceRangeOf(0, x1 - x0).ticks - 1));
    if (xPosition_->tickInterval() != step) xPosition_->setTickInterval(step);
  }
  if (byTime_) {
    const double span = x1 - x0;
    xTime_->setFormat(span > 86'400'000 ? QStringLiteral("dd.MM HH:mm") : QStringLiteral("HH:mm:ss"));
    xTime_->setRange(QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(x0)),
                     QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(x1)));
  } else {
    xPosition_->setRange(x0, x1);
  }
  settingRange_ = false;
}

}  // namespace zt
