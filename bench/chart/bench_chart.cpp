// The chart window and the statistics must keep up with the log: a row
// costs the same whatever the log's length, and drawing a full log of
// 100,000 rows costs the plot's width rather than the rows.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QLineSeries>
#include <QRandomGenerator>

#include "chart_window.h"
#include "profile_book.h"
#include "recorder.h"

namespace {

// A 1 kΩ resistor as the meter's state hands it on, with some spread.
zt::MeterReading Reading(QRandomGenerator& rng) {
  zt::MeterReading m;
  m.time = QDateTime::currentDateTime();
  m.settings.LogReady = 1;
  m.settings.CircuitSeries = 1;
  m.settings.FreqCode = 3;
  m.testFreqHz = 1000;
  const double ohms = 1000 * (1 + 0.012 * (rng.generateDouble() - 0.5) * 2);
  m.values.ReadingR = ohms;
  m.values.ReadingX = 1.0;
  m.primaryLetter = QStringLiteral("Rs");
  m.primaryText = QStringLiteral("%1 Ом").arg(ohms);
  m.secondaryLetter = QStringLiteral("Q");
  m.secondaryText = QStringLiteral("0.0010");
  m.primary = {zt::Quantity::Resistance, ohms, QStringLiteral("Ω")};
  m.secondary = {zt::Quantity::QualityFactor, 1.0 / ohms, QString()};
  return m;
}

// The recorder, its book sorting against 1 kΩ ± 1 %, and a chart window on it.
struct Rig {
  zt::ProfileBook book{nullptr};
  zt::Recorder rec{&book};
  zt::ChartWindow window{&rec, &book};
  QRandomGenerator rng{42};

  Rig() {
    zt::Reference ref = book.reference();
    ref.primary.kind = zt::kPrimaryR;
    ref.primary.unitIndex = 1;
    ref.primary.nominalText = QStringLiteral("1");
    ref.primary.toleranceOn = true;
    ref.primary.toleranceText = QStringLiteral("1%");
    book.setSeparators({QStringLiteral("."), QStringLiteral(",")});
    book.setReference(ref);
    rec.setSeparators({QStringLiteral("."), QStringLiteral(",")});
    window.resize(1200, 800);
    window.show();
    QApplication::processEvents();
  }
  void fill(int rows) {
    rec.setRecording(true);
    for (int i = 0; i < rows; ++i) rec.takeReading(Reading(rng));
    window.flush();
  }
};

// One row logged, sorted, counted in the statistics and put into the chart
// (the drawing follows later, see BM_RowAndDrawing), after `state.range(0)` rows.
void BM_AppendRow(benchmark::State& state) {
  Rig rig;
  const int start = static_cast<int>(state.range(0));
  rig.fill(start);
  std::vector<zt::MeterReading> readings;
  for (int i = 0; i < 4096; ++i) readings.push_back(Reading(rig.rng));
  size_t k = 0;
  for (auto _ : state) {
    if (rig.rec.logFull() || rig.rec.startPosition() > start + 20000) {
      state.PauseTiming();
      rig.rec.clear();
      rig.fill(start);
      state.ResumeTiming();
    }
    rig.rec.takeReading(readings[k++ % readings.size()]);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_AppendRow)->Arg(10)->Arg(50000)->Unit(benchmark::kMicrosecond);

// The statistics alone: one row into the running statistics.
void BM_StatisticsPut(benchmark::State& state) {
  zt::BatchStats stats;
  QRandomGenerator rng(1);
  int p = 0;
  for (auto _ : state) {
    zt::BatchSample s;
    s.position = ++p;
    s.kind = zt::Quantity::Resistance;
    s.primary = 1000 + rng.generateDouble();
    s.primaryOn = true;
    stats.put(s);
    if (p == 100000) {
      state.PauseTiming();
      stats.reset();
      p = 0;
      state.ResumeTiming();
    }
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_StatisticsPut)->Unit(benchmark::kMicrosecond);

// A row and the drawing brought up to date at once (the window does this at
// most every 40 ms), after `state.range(0)` rows.
void BM_RowAndDrawing(benchmark::State& state) {
  Rig rig;
  const int start = static_cast<int>(state.range(0));
  rig.fill(start);
  for (auto _ : state) {
    if (rig.rec.logFull() || rig.rec.startPosition() > start + 2000) {
      state.PauseTiming();
      rig.rec.clear();
      rig.fill(start);
      state.ResumeTiming();
    }
    rig.rec.takeReading(Reading(rig.rng));
    rig.window.flush();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RowAndDrawing)->Arg(10)->Arg(50000)->Unit(benchmark::kMicrosecond);

// The whole log of 100,000 rows drawn again: decimated from the rows to the
// plot's pixel columns, then painted into a 1200 x 800 picture.
void BM_Redraw100k(benchmark::State& state) {
  Rig rig;
  rig.fill(100000);
  const QSize size(1200, 800);
  QImage image = rig.window.render(size);
  for (auto _ : state) {
    rig.window.rebuild();
    image = rig.window.render(size);
    benchmark::DoNotOptimize(image.constBits());
  }
  // ZT_SHOTS_DIR set: the picture drawn, to look at.
  if (const QString dir = qEnvironmentVariable("ZT_SHOTS_DIR"); !dir.isEmpty())
    image.save(dir + QStringLiteral("/chart-100k-rows.png"));
  state.counters["points_drawn"] = static_cast<double>(rig.window.trendSeries()->count());
  state.counters["rows"] = static_cast<double>(rig.window.plottedRows());
}
BENCHMARK(BM_Redraw100k)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
