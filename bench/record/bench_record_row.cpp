// What one row costs zt-record on top of the window's own work (the frame,
// the panel texts, the sorting, the grid row): turning it into a JSON line or
// a CSV line. At 2 readings per second either is a few microseconds a
// second; the whole recorder's CPU is measured by scripts/measure-record-cpu.sh.
#include <benchmark/benchmark.h>

#include <QTimeZone>

#include "export_writer.h"
#include "row_json.h"

namespace {

zt::LogRow SortedRow() {
  zt::LogRow row;
  row.position = 12345;
  row.time = QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7, 89), QTimeZone(3600));
  row.texts = {QStringLiteral("12345"),       QStringLiteral("04.03.26 05:06:07"),
               QStringLiteral("R 1.0005 kΩ"), QStringLiteral("Q 0.0100"),
               QStringLiteral("S"),           QStringLiteral("1kHz"),
               QStringLiteral("1.0Vrms"),     QStringLiteral("-"),
               QStringLiteral("0.05"),        QStringLiteral("-1.25")};
  row.verdict = {zt::kSortPass, 0.05, -1.25, true, true};
  row.reading.testFreqHz = 1000;
  row.reading.settings.CircuitSeries = 1;
  row.reading.levelText = QStringLiteral("1.0Vrms");
  row.reading.level = {1.0, true};
  row.reading.primary = {zt::Quantity::Resistance, 1000.5123, QStringLiteral("Ω")};
  row.reading.secondary = {zt::Quantity::QualityFactor, 0.0100321, QString()};
  return row;
}

void BM_JsonLine(benchmark::State& state) {
  const zt::LogRow row = SortedRow();
  for (auto _ : state) benchmark::DoNotOptimize(zt::RowToJsonLine(row));
}
BENCHMARK(BM_JsonLine);

void BM_CsvLine(benchmark::State& state) {
  const zt::LogRow row = SortedRow();
  for (auto _ : state) benchmark::DoNotOptimize(zt::CsvLine(row.texts, u','));
}
BENCHMARK(BM_CsvLine);

}  // namespace

BENCHMARK_MAIN();
