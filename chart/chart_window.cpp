#include "chart_window.h"

#include <QAreaSeries>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QGuiApplication>
#include <QLabel>
#include <QLayout>
#include <QLineSeries>
#include <QPainter>
#include <QPushButton>
#include <QScatterSeries>
#include <QScreen>
#include <QSettings>
#include <QSplitter>
#include <QTimer>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

#include "profile_book.h"
#include "recorder.h"
#include "trend_view.h"
#include "window_placement.h"

namespace zt {

namespace {

// The drawing follows the rows at most this often.
constexpr int kSyncMs = 40;
// The smallest spans the trend shows while following: positions and milliseconds.
constexpr double kMinPositionSpan = 20;
constexpr double kMinTimeSpan = 60'000;
// While following, the frame grows by this much each time the newest row
// leaves it (each growth draws everything again; growing by a share keeps
// that O(1) a row on average).
constexpr double kFrameGrowth = 1.25;
// The size the window asks for, and the narrowest it is made to stand
// beside the main window rather than over it.
constexpr QSize kPreferredSize(1100, 760);
constexpr int kNarrowestBeside = 720;

// The frame's widths around a window's client area (none before a window
// manager has framed it).
QMargins FrameMargins(const QWidget* w) {
  const QRect f = w->frameGeometry();
  const QRect g = w->geometry();
  return {g.left() - f.left(), g.top() - f.top(), f.right() - g.right(), f.bottom() - g.bottom()};
}

}  // namespace

ChartWindow::ChartWindow(Recorder* recorder, ProfileBook* book, const QString& stateFile, QWidget* parent)
    : QWidget(parent, Qt::Window), recorder_(recorder), book_(book), stateFile_(stateFile), lex_(&Lexicons::russian()) {
  setObjectName(QStringLiteral("ChartWindow"));
  resize(kPreferredSize);
  buildControls();
  syncTimer_ = new QTimer(this);
  syncTimer_->setSingleShot(true);
  syncTimer_->setInterval(kSyncMs);
  connect(syncTimer_, &QTimer::timeout, this, &ChartWindow::sync);

  connect(recorder_, &Recorder::rowWritten, this, &ChartWindow::onRow);
  connect(recorder_, &Recorder::rowsReset, this, &ChartWindow::onReset);
  connect(recorder_, &Recorder::modeChanged, this, [this] {
    tableDirty_ = true;
    scheduleSync();
  });
  connect(book_, &ProfileBook::referenceChanged, this, &ChartWindow::onReference);

  if (const auto& last = recorder_->lastReading()) {
    letter_ = last->primaryLetter;
    secondaryLetter_ = last->secondaryLetter;
  }
  limits_ = book_->primaryLimits();
  restoreState();
  retranslate();
  rebuild();
}

ChartWindow::~ChartWindow() = default;

void ChartWindow::setLexicons(const Lexicons* lex) {
  lex_ = lex ? lex : &Lexicons::russian();
  languageChanged();
}

void ChartWindow::languageChanged() {
  retranslate();
  trendDirty_ = histDirty_ = tableDirty_ = true;
  sync();
}

void ChartWindow::retranslate() {
  setWindowTitle(lex().D5[chart::kWindowTitle]);
  trendChart()->setTitle(lex().D5[chart::kTrend]);
  histogramChart()->setTitle(lex().D5[chart::kHistogram]);
  tableTitle_->setText(lex().D5[chart::kStatistics]);
  byTimeBox_->setText(lex().D5[chart::kByTime]);
  secondaryBox_->setText(lex().D5[chart::kShowSecondary]);
  followButton_->setText(lex().D5[chart::kFollow]);
  saveButton_->setText(lex().D5[chart::kSaveImage]);
  xPosition_->setTitleText(lex().D5[chart::kAxisPosition]);
  xTime_->setTitleText(lex().D5[chart::kAxisTime]);
  histY_->setTitleText(lex().D5[chart::kCount]);
  band_->setName(lex().D5[chart::kBand]);
  nominal_->setName(lex().D5[chart::kNominal]);
  rejected_->setName(lex().D5[chart::kRejected]);
}

QChart* ChartWindow::trendChart() const { return trendView_->chart(); }
QChart* ChartWindow::histogramChart() const { return histView_->chart(); }

// ---------------------------------------------------------------- the rows

double ChartWindow::xOf(const BatchSample& s) const {
  return byTime_ ? static_cast<double>(s.timeMs) : static_cast<double>(s.position);
}

double ChartWindow::spanGrowth(double span) const {
  return std::max(byTime_ ? kMinTimeSpan : kMinPositionSpan, span * kFrameGrowth);
}

int ChartWindow::plotColumns() const {
  const int w = static_cast<int>(trendChart()->plotArea().width());
  return w >= 50 ? w : 800;
}

std::vector<const BatchSample*> ChartWindow::samplesInXOrder() const {
  std::vector<const BatchSample*> rows;
  const BatchStats& b = recorder_->batch();
  rows.reserve(static_cast<size_t>(b.rowCount()));
  for (int p = 1; p < b.endPosition(); ++p)
    if (const BatchSample* s = b.at(p)) rows.push_back(s);
  if (byTime_)
    std::stable_sort(rows.begin(), rows.end(), [](const BatchSample* x, const BatchSample* y) {
      return x->timeMs != y->timeMs ? x->timeMs < y->timeMs : x->seq < y->seq;
    });
  return rows;
}

void ChartWindow::rebuild() {
  rebuildDue_ = false;
  const std::vector<const BatchSample*> rows = samplesInXOrder();
  // What is plotted: the quantities of the newest row with a value.
  kind_ = secondaryKind_ = Quantity::None;
  std::uint64_t newest = 0, newestSecondary = 0;
  for (const BatchSample* s : rows) {
    if (s->hasValue() && s->seq >= newest) {
      newest = s->seq;
      kind_ = s->kind;
    }
    if (std::isfinite(s->secondary) && s->secondaryKind != Quantity::None && s->seq >= newestSecondary) {
      newestSecondary = s->seq;
      secondaryKind_ = s->secondaryKind;
    }
  }

  // The frame: while following, all rows with room for more; else what the operator chose.
  double x0, x1;
  if (following_) {
    double lo = 0, hi = 0;
    bool any = false;
    for (const BatchSample* s : rows) {
      const double x = xOf(*s);
      lo = any ? std::min(lo, x) : x;
      hi = any ? std::max(hi, x) : x;
      any = true;
    }
    if (!any) lo = hi = byTime_ ? static_cast<double>(QDateTime::currentMSecsSinceEpoch()) : 1;
    x0 = byTime_ ? lo - 1000 : std::max(0.0, lo - 1);
    x1 = x0 + spanGrowth(hi - x0);
    // No row lies beyond the log's last position.
    if (!byTime_) x1 = std::max(std::min(x1, Recorder::kMaxPosition + 1.0), hi + 1);
  } else if (byTime_) {
    x0 = static_cast<double>(xTime_->min().toMSecsSinceEpoch());
    x1 = static_cast<double>(xTime_->max().toMSecsSinceEpoch());
  } else {
    x0 = xPosition_->min();
    x1 = xPosition_->max();
  }
  const int columns = plotColumns();
  decLine_.setFrame(x0, x1, columns);
  decRejected_.setFrame(x0, x1, columns);
  decSecondary_.setFrame(x0, x1, columns);
  plotted_.assign(static_cast<size_t>(recorder_->batch().endPosition()), 0);
  haveY_ = haveS_ = false;
  for (const BatchSample* s : rows) {
    plotted_[static_cast<size_t>(s->position)] = 1;
    const double x = xOf(*s);
    if (s->hasValue() && s->kind == kind_) {
      decLine_.add(x, s->primary);
      if (s->rejected()) decRejected_.add(x, s->primary);
      yMin_ = haveY_ ? std::min(yMin_, s->primary) : s->primary;
      yMax_ = haveY_ ? std::max(yMax_, s->primary) : s->primary;
      haveY_ = true;
    }
    if (std::isfinite(s->secondary) && s->secondaryKind == secondaryKind_) {
      decSecondary_.add(x, s->secondary);
      sMin_ = haveS_ ? std::min(sMin_, s->secondary) : s->secondary;
      sMax_ = haveS_ ? std::max(sMax_, s->secondary) : s->secondary;
      haveS_ = true;
    }
  }
  setXRange(x0, x1);
  rebuildHistogram();
  trendDirty_ = histDirty_ = tableDirty_ = true;
  sync();
}

void ChartWindow::addSample(const BatchSample& s, bool& needRebuild) {
  const size_t p = static_cast<size_t>(s.position);
  if (p >= plotted_.size()) plotted_.resize(std::max(p + 1, plotted_.size() * 2), 0);
  // A row written again: what it replaces cannot be taken out of the bins.
  if (plotted_[p]) {
    needRebuild = true;
    return;
  }
  plotted_[p] = 1;
  const double x = xOf(s);
  if (s.hasValue()) {
    if (s.kind != kind_) {
      needRebuild = true;  // another quantity: the axis changes
      return;
    }
    if (following_ && (x > decLine_.x1() || x < decLine_.x0())) {
      needRebuild = true;  // a wider frame
      return;
    }
    decLine_.add(x, s.primary);
    if (s.rejected()) decRejected_.add(x, s.primary);
    yMin_ = haveY_ ? std::min(yMin_, s.primary) : s.primary;
    yMax_ = haveY_ ? std::max(yMax_, s.primary) : s.primary;
    haveY_ = true;
    if (!binsSet_ || !bins_.add(s.primary)) {
      const auto [lo, hi] = binsSet_ ? HistogramBins::Widened(bins_.lo(), bins_.hi(), s.primary)
                                     : HistogramBins::InitialRange(limits_.lower, limits_.upper, s.primary);
      bins_.setRange(lo, hi);
      binsSet_ = true;
      rebuildHistogram();
    }
    histDirty_ = true;
  }
  if (std::isfinite(s.secondary) && s.secondaryKind != Quantity::None) {
    if (s.secondaryKind != secondaryKind_) {
      needRebuild = true;
      return;
    }
    decSecondary_.add(x, s.secondary);
    sMin_ = haveS_ ? std::min(sMin_, s.secondary) : s.secondary;
    sMax_ = haveS_ ? std::max(sMax_, s.secondary) : s.secondary;
    haveS_ = true;
  }
  trendDirty_ = true;
}

void ChartWindow::onRow(const LogRow& row) {
  letter_ = row.reading.primaryLetter;
  secondaryLetter_ = row.reading.secondaryLetter;
  tableDirty_ = true;
  const BatchSample* s = recorder_->batch().at(row.position);
  if (s) {
    bool needRebuild = false;
    addSample(*s, needRebuild);
    if (needRebuild) rebuildDue_ = true;
  }
  scheduleSync();
}

void ChartWindow::onReset() {
  rebuildDue_ = true;
  scheduleSync();
}

void ChartWindow::onReference() {
  limits_ = book_->primaryLimits();
  // The histogram's range is set around the band: a new band, new bins.
  binsSet_ = false;
  rebuildHistogram();
  trendDirty_ = histDirty_ = tableDirty_ = true;
  scheduleSync();
}

void ChartWindow::rebuildHistogram() {
  const BatchStats& b = recorder_->batch();
  std::vector<double> values;
  values.reserve(static_cast<size_t>(b.rowCount()));
  for (int p = 1; p < b.endPosition(); ++p)
    if (const BatchSample* s = b.at(p); s && s->hasValue() && s->kind == kind_) values.push_back(s->primary);
  const bool band = limits_.kind == kind_ || kind_ == Quantity::None;
  if (values.empty()) {
    const auto [lo, hi] =
        band ? HistogramBins::InitialRange(limits_.lower, limits_.upper, kNoValue) : std::pair<double, double>{0, 1};
    bins_.setRange(lo, hi);
    binsSet_ = false;
    histDirty_ = true;
    return;
  }
  const auto [mn, mx] = std::minmax_element(values.begin(), values.end());
  auto [lo, hi] = binsSet_ ? std::pair<double, double>{bins_.lo(), bins_.hi()}
                           : HistogramBins::InitialRange(band ? limits_.lower : kNoValue,
                                                         band ? limits_.upper : kNoValue, values.front());
  while (*mn < lo || *mx >= hi) std::tie(lo, hi) = HistogramBins::Widened(lo, hi, *mn < lo ? *mn : *mx);
  bins_.setRange(lo, hi);
  binsSet_ = true;
  for (const double v : values) bins_.add(v);
  histDirty_ = true;
}

void ChartWindow::userMovedView() {
  if (settingRange_) return;
  if (following_) {
    following_ = false;
    followButton_->setEnabled(true);
  }
  // Draw the rows of the new frame at the resolution of the plot.
  rebuildDue_ = true;
  scheduleSync();
}

void ChartWindow::followNewest() {
  following_ = true;
  followButton_->setEnabled(false);
  rebuild();
}

void ChartWindow::setTimeAxis(bool byTime) {
  if (byTimeBox_->isChecked() != byTime) byTimeBox_->setChecked(byTime);  // comes back here
  if (byTime_ == byTime) return;
  byTime_ = byTime;
  attachXAxis();
  following_ = true;
  followButton_->setEnabled(false);
  rebuild();
}

void ChartWindow::setSecondaryShown(bool shown) {
  if (secondaryBox_->isChecked() != shown) secondaryBox_->setChecked(shown);
  secondaryShown_ = shown;
  trendDirty_ = true;
  sync();
}

// ---------------------------------------------------------------- pictures and state

QImage ChartWindow::render(const QSize& size) {
  if (this->size() != size) resize(size);
  if (layout()) layout()->activate();
  flush();
  // The charts lay out their axes and legends on posted events: now, before drawing.
  QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
  QImage image(split_->size(), QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::white);
  QPainter painter(&image);
  split_->render(&painter);
  return image;
}

bool ChartWindow::saveImage(const QString& path) {
  flush();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
  return split_->grab().save(path, "PNG");
}

void ChartWindow::restoreState() {
  followButton_->setEnabled(false);
  split_->setSizes({740, 320});
  charts_->setSizes({420, 280});
  if (stateFile_.isEmpty()) return;
  QSettings s(stateFile_, QSettings::IniFormat);
  if (s.contains(QStringLiteral("geometry")))
    restoredGeometry_ = restoreGeometry(s.value(QStringLiteral("geometry")).toByteArray());
  // States kept under "split" and "bottom" belong to splitters arranged the
  // other way round, and restoring one turns a splitter: new keys.
  if (s.contains(QStringLiteral("columns"))) split_->restoreState(s.value(QStringLiteral("columns")).toByteArray());
  if (s.contains(QStringLiteral("charts"))) charts_->restoreState(s.value(QStringLiteral("charts")).toByteArray());
  byTime_ = s.value(QStringLiteral("byTime"), false).toBool();
  secondaryShown_ = s.value(QStringLiteral("secondary"), false).toBool();
  const QSignalBlocker a(byTimeBox_), b(secondaryBox_);
  byTimeBox_->setChecked(byTime_);
  secondaryBox_->setChecked(secondaryShown_);
  attachXAxis();
}

void ChartWindow::saveState() const {
  if (stateFile_.isEmpty()) return;
  QSettings s(stateFile_, QSettings::IniFormat);
  s.setValue(QStringLiteral("geometry"), saveGeometry());
  s.setValue(QStringLiteral("columns"), split_->saveState());
  s.setValue(QStringLiteral("charts"), charts_->saveState());
  s.setValue(QStringLiteral("byTime"), byTime_);
  s.setValue(QStringLiteral("secondary"), secondaryShown_);
}

void ChartWindow::closeEvent(QCloseEvent* e) {
  saveState();
  QWidget::closeEvent(e);
}

void ChartWindow::showEvent(QShowEvent* e) {
  QWidget::showEvent(e);
  if (isWindow()) placeOnScreen();
}

void ChartWindow::placeOnScreen() {
  QWidget* main = parentWidget() ? parentWidget()->window() : nullptr;
  const bool mainShown = main && main->isVisible();
  // Until it has a frame of its own, the main window's frame (the same
  // desktop draws both) tells how much the frame adds.
  QMargins m = FrameMargins(this);
  if (m.isNull() && mainShown) m = FrameMargins(main);
  const QSize extra(m.left() + m.right(), m.top() + m.bottom());
  const QRect frame = geometry().marginsAdded(m);
  const bool beside = !placed_ && !restoredGeometry_;
  placed_ = true;
  // The screen the window is on, or the main window's when it is on none
  // (a screen that has gone since the geometry was kept) or not placed yet.
  QScreen* on = beside ? nullptr : QGuiApplication::screenAt(frame.center());
  if (!on && mainShown) on = main->screen();
  if (!on) on = screen();
  if (!on) return;
  const QRect area = on->availableGeometry();
  const QRect want = beside ? ChartPlacement(area, mainShown ? main->frameGeometry() : QRect(), kPreferredSize + extra,
                                             QSize(kNarrowestBeside + extra.width(), 0))
                            : FitInside(area, frame);
  if (want == frame) return;
  resize(want.size() - extra);
  move(want.topLeft());
}

void ChartWindow::hideEvent(QHideEvent* e) {
  saveState();
  QWidget::hideEvent(e);
}

}  // namespace zt
