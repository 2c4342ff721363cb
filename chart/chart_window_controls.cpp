// The chart window's controls: the tool bar, the trend, the histogram and
// the statistics table, and what each control does.
#include <QAreaSeries>
#include <QChart>
#include <QCheckBox>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineSeries>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScatterSeries>
#include <QShortcut>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QValueAxis>

#include <cmath>

#include "chart_window.h"
#include "trend_view.h"

namespace zt {

namespace {

const QColor kLineColor(31, 119, 180);
const QColor kRejectColor(255, 0, 0);  // as the grid marks a reject
const QColor kBandColor(0, 128, 0);    // as the grid marks a pass
const QColor kSecondaryColor(230, 120, 20);

QLineSeries* Line(const QColor& color, Qt::PenStyle style = Qt::SolidLine, qreal width = 1.5) {
  auto* s = new QLineSeries;
  QPen pen(color);
  pen.setStyle(style);
  pen.setWidthF(width);
  s->setPen(pen);
  return s;
}

}  // namespace

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

  // The statistics take the window's full height beside the charts: every
  // figure down to Cpk shows without scrolling.
  charts_ = new QSplitter(Qt::Vertical, this);
  charts_->setObjectName(QStringLiteral("ChartCharts"));
  charts_->addWidget(trendView_);
  charts_->addWidget(histView_);
  charts_->setStretchFactor(0, 3);
  charts_->setStretchFactor(1, 2);
  split_ = new QSplitter(Qt::Horizontal, this);
  split_->setObjectName(QStringLiteral("ChartSplit"));
  split_->addWidget(charts_);
  split_->addWidget(tableBox);
  split_->setStretchFactor(0, 1);
  split_->setStretchFactor(1, 0);

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
    QString name = QStringLiteral("chart ") +
                   QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH-mm-ss")) +
                   QStringLiteral(".png");
    if (!imageFolder_.isEmpty()) name = QDir(imageFolder_).filePath(name);
    const QString caption = lex().D5[chart::kSaveImage];
    const QString filter = lex().D5[chart::kImageFilter];
    QString path = prompts_.savePath ? prompts_.savePath(this, caption, name, filter)
                                     : QFileDialog::getSaveFileName(this, caption, name, filter);
    if (path.isEmpty()) return;
    if (!path.endsWith(QStringLiteral(".png"), Qt::CaseInsensitive)) path += QStringLiteral(".png");
    if (saveImage(path)) return;
    const QString text = lex().D5[chart::kImageFailed].arg(QDir::toNativeSeparators(path));
    if (prompts_.error)
      prompts_.error(this, caption, text);
    else
      QMessageBox::critical(this, caption, text);
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

}  // namespace zt
