#include "chart_window.h"

#include <QAreaSeries>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLegendMarker>
#include <QLineSeries>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScatterSeries>
#include <QSettings>
#include <QShortcut>
#include <QSplitter>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

#include "profile_book.h"
#include "recorder.h"
#include "trend_view.h"

namespace zt {

namespace {

// The drawing follows the rows at most this often.
constexpr int kSyncMs = 40;
// With fewer points than this on screen each one is marked.
constexpr int kMarkedPoints = 200;
// The smallest spans the trend shows while following: positions and milliseconds.
constexpr double kMinPositionSpan = 20;
constexpr double kMinTimeSpan = 60'000;
// While following, the frame grows by this much each time the newest row
// leaves it (each growth draws everything again; growing by a share keeps
// that O(1) a row on average).
constexpr double kFrameGrowth = 1.25;

const QColor kLineColor(31, 119, 180);
const QColor kRejectColor(255, 0, 0);  // as the grid marks a reject
const QColor kBandColor(0, 128, 0);    // as the grid marks a pass
const QColor kSecondaryColor(230, 120, 20);

QList<QPointF> Scaled(const std::vector<QPointF>& points, double factor) {
  QList<QPointF> out;
  out.reserve(static_cast<qsizetype>(points.size()));
  for (const QPointF& p : points) out.append(QPointF(p.x(), p.y() / factor));
  return out;
}

QLineSeries* Line(const QColor& color, Qt::PenStyle style = Qt::SolidLine, qreal width = 1.5) {
  auto* s = new QLineSeries;
  QPen pen(color);
  pen.setStyle(style);
  pen.setWidthF(width);
  s->setPen(pen);
  return s;
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
  const NiceRange r = NiceRangeOf(lo, hi);
  if (axis->min() != r.lo || axis->max() != r.hi) axis->setRange(r.lo, r.hi);
  if (axis->tickCount() != r.ticks) axis->setTickCount(r.ticks);
}

void HideFromLegend(QChart* chart, QAbstractSeries* s) {
  for (QLegendMarker* m : chart->legend()->markers(s)) m->setVisible(false);
}

}  // namespace

ChartWindow::ChartWindow(Recorder* recorder, ProfileBook* book, const QString& stateFile, QWidget* parent)
    : QWidget(parent, Qt::Window), recorder_(recorder), book_(book), stateFile_(stateFile), lex_(&Lexicons::russian()) {
  setObjectName(QStringLiteral("ChartWindow"));
  resize(1100, 760);
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

// ---------------------------------------------------------------- controls

void ChartWindow::buildControls() {
  byTimeBox_ = new QCheckBox(this);
  byTimeBox_->setObjectName(QStringLiteral("CBTime"));
  secondaryBox_ = new QCheckBox(this);
  secondaryBox_->setObjectName(QStringLiteral("CBSecondary"));
  followButton_ = new QPushButton(this);
  followButton_->setObjectName(QStringLiteral("BFollow"));
  saveButton_ = new QPushButton(this);
  saveButton_->setObjectName(QStringLiteral("BSaveImage"));
  auto* bar = new QHBoxLayout;
  bar->addWidget(byTimeBox_);
  bar->addWidget(secondaryBox_);
  bar->addStretch(1);
  bar->addWidget(followButton_);
  bar->addWidget(saveButton_);

  // The trend.
  auto* trend = new QChart;
  trend->legend()->setAlignment(Qt::AlignBottom);
  trend->setMargins(QMargins(4, 4, 4, 4));
  line_ = Line(kLineColor);
  line_->setObjectName(QStringLiteral("TrendSeries"));
  rejected_ = new QScatterSeries;
  rejected_->setObjectName(QStringLiteral("RejectedSeries"));
  rejected_->setColor(kRejectColor);
  rejected_->setBorderColor(kRejectColor);
  rejected_->setMarkerSize(8);
  // A drawn picture of the dot: thousands of them on a long log are copied,
  // not each painted as a circle.
  QImage dot(8, 8, QImage::Format_ARGB32_Premultiplied);
  dot.fill(Qt::transparent);
  {
    QPainter p(&dot);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(kRejectColor);
    p.drawEllipse(QRectF(0.5, 0.5, 7, 7));
  }
  rejected_->setLightMarker(dot);
  secondary_ = Line(kSecondaryColor, Qt::SolidLine, 1.0);
  secondary_->setObjectName(QStringLiteral("SecondarySeries"));
  bandUpper_ = new QLineSeries(this);
  bandLower_ = new QLineSeries(this);
  band_ = new QAreaSeries(bandUpper_, bandLower_);
  band_->setObjectName(QStringLiteral("BandSeries"));
  QColor fill = kBandColor;
  fill.setAlpha(40);
  band_->setBrush(fill);
  QPen edge(kBandColor);
  edge.setWidthF(1.0);
  band_->setPen(edge);
  nominal_ = Line(kBandColor, Qt::DashLine, 1.0);
  nominal_->setObjectName(QStringLiteral("NominalSeries"));
  for (QAbstractSeries* s : std::initializer_list<QAbstractSeries*>{band_, nominal_, line_, secondary_, rejected_})
    trend->addSeries(s);
  xPosition_ = new QValueAxis(this);
  xPosition_->setLabelFormat(QStringLiteral("%.0f"));
  xPosition_->setTickType(QValueAxis::TicksDynamic);
  xPosition_->setTickAnchor(0);
  xPosition_->setTickInterval(5);
  xTime_ = new QDateTimeAxis(this);
  yAxis_ = new QValueAxis;
  ySecondary_ = new QValueAxis;
  ySecondary_->setLinePenColor(kSecondaryColor);
  ySecondary_->setLabelsColor(kSecondaryColor);
  trend->addAxis(yAxis_, Qt::AlignLeft);
  trend->addAxis(ySecondary_, Qt::AlignRight);
  for (QAbstractSeries* s : std::initializer_list<QAbstractSeries*>{band_, nominal_, line_, rejected_})
    s->attachAxis(yAxis_);
  secondary_->attachAxis(ySecondary_);
  trendView_ = new TrendView(trend, this);
  trendView_->setObjectName(QStringLiteral("TrendChart"));
  trendView_->setMinimumSize(300, 200);
  attachXAxis();

  // The histogram.
  auto* hist = new QChart;
  hist->legend()->hide();
  hist->setMargins(QMargins(4, 4, 4, 4));
  histUpper_ = new QLineSeries(this);
  histUpper_->setObjectName(QStringLiteral("HistogramOutline"));
  histLower_ = new QLineSeries(this);
  histArea_ = new QAreaSeries(histUpper_, histLower_);
  QColor bars(kLineColor);
  bars.setAlpha(140);
  histArea_->setBrush(bars);
  histArea_->setPen(QPen(kLineColor.darker(), 1.0));
  histLimitLow_ = Line(kRejectColor, Qt::SolidLine, 2.0);
  histLimitLow_->setObjectName(QStringLiteral("HistogramLower"));
  histLimitHigh_ = Line(kRejectColor, Qt::SolidLine, 2.0);
  histLimitHigh_->setObjectName(QStringLiteral("HistogramUpper"));
  histNominal_ = Line(kBandColor, Qt::DashLine, 1.5);
  histX_ = new QValueAxis;
  histY_ = new QValueAxis;
  histY_->setLabelFormat(QStringLiteral("%.0f"));
  histY_->setTickType(QValueAxis::TicksDynamic);
  histY_->setTickAnchor(0);
  hist->addAxis(histX_, Qt::AlignBottom);
  hist->addAxis(histY_, Qt::AlignLeft);
  for (QAbstractSeries* s :
       std::initializer_list<QAbstractSeries*>{histArea_, histLimitLow_, histLimitHigh_, histNominal_}) {
    hist->addSeries(s);
    s->attachAxis(histX_);
    s->attachAxis(histY_);
  }
  histView_ = new QChartView(hist, this);
  histView_->setObjectName(QStringLiteral("HistogramChart"));
  histView_->setRenderHint(QPainter::Antialiasing);
  histView_->setMinimumSize(250, 180);

  // The statistics.
  auto* tableBox = new QWidget(this);
  auto* tableLayout = new QVBoxLayout(tableBox);
  tableLayout->setContentsMargins(0, 0, 0, 0);
  tableTitle_ = new QLabel(tableBox);
  tableTitle_->setObjectName(QStringLiteral("StatsTitle"));
  table_ = new QTableWidget(tableBox);
  table_->setObjectName(QStringLiteral("StatsTable"));
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setSelectionMode(QAbstractItemView::ContiguousSelection);
  table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  table_->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  tableLayout->addWidget(tableTitle_);
  tableLayout->addWidget(table_);

  bottom_ = new QSplitter(Qt::Horizontal, this);
  bottom_->setObjectName(QStringLiteral("ChartBottom"));
  bottom_->addWidget(histView_);
  bottom_->addWidget(tableBox);
  bottom_->setStretchFactor(0, 3);
  bottom_->setStretchFactor(1, 2);
  split_ = new QSplitter(Qt::Vertical, this);
  split_->setObjectName(QStringLiteral("ChartSplit"));
  split_->addWidget(trendView_);
  split_->addWidget(bottom_);
  split_->setStretchFactor(0, 3);
  split_->setStretchFactor(1, 2);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(6, 6, 6, 6);
  layout->addLayout(bar);
  layout->addWidget(split_, 1);

  connect(byTimeBox_, &QCheckBox::toggled, this, &ChartWindow::setTimeAxis);
  connect(secondaryBox_, &QCheckBox::toggled, this, &ChartWindow::setSecondaryShown);
  connect(followButton_, &QPushButton::clicked, this, &ChartWindow::followNewest);
  connect(trendView_, &TrendView::followRequested, this, &ChartWindow::followNewest);
  auto* end = new QShortcut(QKeySequence(Qt::Key_End), this);
  connect(end, &QShortcut::activated, this, &ChartWindow::followNewest);
  connect(saveButton_, &QPushButton::clicked, this, [this] {
    const QString name = QStringLiteral("chart ") +
                         QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH-mm-ss")) +
                         QStringLiteral(".png");
    const QString caption = lex().D5[chart::kSaveImage];
    const QString filter = lex().D5[chart::kImageFilter];
    QString path = prompts_.savePath ? prompts_.savePath(this, caption, name, filter)
                                     : QFileDialog::getSaveFileName(this, caption, name, filter);
    if (path.isEmpty()) return;
    if (!path.endsWith(QStringLiteral(".png"), Qt::CaseInsensitive)) path += QStringLiteral(".png");
    if (saveImage(path)) return;
    const QString text = lex().D5[chart::kImageFailed].arg(QDir::toNativeSeparators(path));
    if (prompts_.error) prompts_.error(this, caption, text);
    else QMessageBox::critical(this, caption, text);
  });
  // The operator's zoom or pan (or the rubber band's) stops following.
  connect(xPosition_, &QValueAxis::rangeChanged, this, &ChartWindow::userMovedView);
  connect(xTime_, &QDateTimeAxis::rangeChanged, this, &ChartWindow::userMovedView);
  connect(yAxis_, &QValueAxis::rangeChanged, this, &ChartWindow::userMovedView);
  connect(trend, &QChart::plotAreaChanged, this, [this](const QRectF& area) {
    if (std::abs(static_cast<int>(area.width()) - decLine_.columns()) > 8) {
      rebuildDue_ = true;
      scheduleSync();
    }
  });
}

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
    std::stable_sort(rows.begin(), rows.end(), [](const BatchSample* a, const BatchSample* b) {
      return a->timeMs != b->timeMs ? a->timeMs < b->timeMs : a->seq < b->seq;
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

// ---------------------------------------------------------------- drawing

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
  split_->setSizes({440, 280});
  bottom_->setSizes({560, 440});
  if (stateFile_.isEmpty()) return;
  QSettings s(stateFile_, QSettings::IniFormat);
  if (s.contains(QStringLiteral("geometry"))) restoreGeometry(s.value(QStringLiteral("geometry")).toByteArray());
  if (s.contains(QStringLiteral("split"))) split_->restoreState(s.value(QStringLiteral("split")).toByteArray());
  if (s.contains(QStringLiteral("bottom"))) bottom_->restoreState(s.value(QStringLiteral("bottom")).toByteArray());
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
  s.setValue(QStringLiteral("split"), split_->saveState());
  s.setValue(QStringLiteral("bottom"), bottom_->saveState());
  s.setValue(QStringLiteral("byTime"), byTime_);
  s.setValue(QStringLiteral("secondary"), secondaryShown_);
}

void ChartWindow::closeEvent(QCloseEvent* e) {
  saveState();
  QWidget::closeEvent(e);
}

void ChartWindow::hideEvent(QHideEvent* e) {
  saveState();
  QWidget::hideEvent(e);
}

}  // namespace zt
