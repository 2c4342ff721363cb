#pragma once
// The chart window: the trend of the logged parts' primary values against
// their position (or time) with the tolerance band of the current profile,
// a histogram of the values against the same limits, and the sorting
// statistics. It follows the recorder live: a row costs O(1) here (the
// decimated trend, the histogram's bins, a flag for the table); the drawing
// is brought up to date at most every few tens of milliseconds and costs the
// plot's width in pixels, not the log's length.
#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

#include "axis_scale.h"
#include "batch_stats.h"
#include "column_decimator.h"
#include "histogram_bins.h"
#include "lexicons.h"

class QAbstractAxis;
class QAreaSeries;
class QChart;
class QChartView;
class QCheckBox;
class QDateTimeAxis;
class QLabel;
class QLineSeries;
class QPushButton;
class QScatterSeries;
class QSplitter;
class QTableWidget;
class QTimer;
class QValueAxis;

namespace zt {

class ProfileBook;
class Recorder;
class TrendView;
struct LogRow;

class ChartWindow : public QWidget {
  Q_OBJECT

 public:
  // Where the picture goes: the file chosen in a save dialogue ("" when
  // cancelled), and how a failure is told. The window asks through these so
  // that the program's own dialogues (and tests) answer.
  struct Prompts {
    std::function<QString(QWidget* parent, const QString& caption, const QString& suggested, const QString& filter)>
        savePath;
    std::function<void(QWidget* parent, const QString& caption, const QString& text)> error;
  };

  // `stateFile`: where the window keeps its geometry and choices between runs
  // (empty: nowhere).
  ChartWindow(Recorder* recorder, ProfileBook* book, const QString& stateFile = QString(), QWidget* parent = nullptr);
  ~ChartWindow() override;

  void setPrompts(Prompts prompts) { prompts_ = std::move(prompts); }
  // Where "Save image" proposes its picture (empty: the working folder).
  void setImageFolder(const QString& folder) { imageFolder_ = folder; }
  // The lexicons of the language in use; languageChanged() after a switch.
  void setLexicons(const Lexicons* lex);
  void languageChanged();

  // Back to the newest rows: the whole log in view again, following it.
  void followNewest();
  bool following() const { return following_; }
  void setTimeAxis(bool byTime);
  bool timeAxis() const { return byTime_; }
  void setSecondaryShown(bool shown);
  // Writes the charts and the statistics as a PNG picture.
  bool saveImage(const QString& path);
  // Brings the drawing up to date now (it otherwise follows within a few
  // tens of milliseconds).
  void flush();
  // Draws everything again from the recorder's rows.
  void rebuild();
  // The charts and the table as a picture of the given size (drawn without a
  // screen).
  QImage render(const QSize& size);

  // What is drawn, for tests and the benchmark.
  QChart* trendChart() const;
  QChart* histogramChart() const;
  QLineSeries* trendSeries() const { return line_; }
  QScatterSeries* rejectedSeries() const { return rejected_; }
  QLineSeries* secondarySeries() const { return secondary_; }
  QLineSeries* bandUpper() const { return bandUpper_; }
  QLineSeries* bandLower() const { return bandLower_; }
  QLineSeries* histogramOutline() const { return histUpper_; }
  QTableWidget* statsTable() const { return table_; }
  const AxisScale& valueScale() const { return yScale_; }
  // Rows plotted (taken by the decimator) since the last rebuild.
  long long plottedRows() const { return decLine_.taken(); }
  const HistogramBins& histogram() const { return bins_; }

 protected:
  void closeEvent(QCloseEvent* e) override;
  void hideEvent(QHideEvent* e) override;
  void showEvent(QShowEvent* e) override;

 private:
  void buildControls();
  void retranslate();
  void onRow(const LogRow& row);
  void onReset();
  void onReference();
  void addSample(const BatchSample& s, bool& needRebuild);
  void scheduleSync();
  void sync();
  void syncTrend();
  void syncHistogram();
  void syncBand();
  void syncTable();
  void rebuildHistogram();
  void attachXAxis();
  void setXRange(double x0, double x1);
  void setYRange();
  void userMovedView();
  double xOf(const BatchSample& s) const;
  double spanGrowth(double span) const;
  int plotColumns() const;
  std::vector<const BatchSample*> samplesInXOrder() const;
  void restoreState();
  void saveState() const;
  // Inside the screen; the first time (no geometry kept from an earlier
  // run) beside the main window.
  void placeOnScreen();
  const Lexicons& lex() const { return *lex_; }

  Recorder* recorder_;
  ProfileBook* book_;
  QString stateFile_;
  QString imageFolder_;
  const Lexicons* lex_;
  Prompts prompts_;

  // Controls.
  QCheckBox* byTimeBox_ = nullptr;
  QCheckBox* secondaryBox_ = nullptr;
  QPushButton* followButton_ = nullptr;
  QPushButton* saveButton_ = nullptr;
  QSplitter* split_ = nullptr;   // the charts beside the statistics
  QSplitter* charts_ = nullptr;  // the trend over the histogram
  TrendView* trendView_ = nullptr;
  QChartView* histView_ = nullptr;
  QLabel* tableTitle_ = nullptr;
  QTableWidget* table_ = nullptr;

  // The trend.
  QLineSeries* line_ = nullptr;
  QScatterSeries* rejected_ = nullptr;
  QLineSeries* secondary_ = nullptr;
  QLineSeries* bandUpper_ = nullptr;
  QLineSeries* bandLower_ = nullptr;
  QAreaSeries* band_ = nullptr;
  QLineSeries* nominal_ = nullptr;
  QValueAxis* xPosition_ = nullptr;
  QDateTimeAxis* xTime_ = nullptr;
  QValueAxis* yAxis_ = nullptr;
  QValueAxis* ySecondary_ = nullptr;
  // The histogram.
  QLineSeries* histUpper_ = nullptr;
  QAreaSeries* histArea_ = nullptr;
  QLineSeries* histLower_ = nullptr;
  QLineSeries* histLimitLow_ = nullptr;
  QLineSeries* histLimitHigh_ = nullptr;
  QLineSeries* histNominal_ = nullptr;
  QValueAxis* histX_ = nullptr;
  QValueAxis* histY_ = nullptr;

  ColumnDecimator decLine_, decRejected_, decSecondary_;
  HistogramBins bins_;
  bool binsSet_ = false;
  ToleranceLimits limits_;
  Quantity kind_ = Quantity::None;  // the quantity plotted: the newest row's
  Quantity secondaryKind_ = Quantity::None;
  QString letter_, secondaryLetter_;  // the panel's letters of the newest row
  AxisScale yScale_, secondaryScale_;
  double yMin_ = 0, yMax_ = 0;  // extremes of the plotted values (SI)
  double sMin_ = 0, sMax_ = 0;
  bool haveY_ = false, haveS_ = false;
  std::vector<char> plotted_;  // by position: a row is drawn there
  bool following_ = true;
  bool placed_ = false;            // shown at least once
  bool restoredGeometry_ = false;  // the geometry came from the state file
  bool byTime_ = false;
  bool secondaryShown_ = false;
  bool settingRange_ = false;  // the window itself moves the axes
  bool trendDirty_ = false, histDirty_ = false, tableDirty_ = false, rebuildDue_ = false;
  QTimer* syncTimer_ = nullptr;
};

}  // namespace zt
