// Exporting a full-length log: 100,000 rows of ten grid texts, taken as a
// snapshot and written to a workbook (or CSV). Goal: under 2 s and under
// 30 MB of memory on top of the grid itself. Counters: peak_extra_MB is the
// rise of the process's peak resident size over the run (Linux), file_MB the
// size of the written file.
#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QTemporaryDir>

#include <fstream>
#include <string>
#include <vector>

#include "export_snapshot.h"
#include "export_writer.h"

namespace {

constexpr int kRows = 100000;

// Resident set high-water mark in kB; resettable through clear_refs.
long PeakKb() {
  std::ifstream f("/proc/self/status");
  std::string line;
  while (std::getline(f, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
  return -1;
}
long CurrentKb() {
  std::ifstream f("/proc/self/status");
  std::string line;
  while (std::getline(f, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  return -1;
}
bool ResetPeak() {
  std::ofstream f("/proc/self/clear_refs");
  f << "5";
  return static_cast<bool>(f);
}

// The grid's own texts, as the log model would hold them.
std::vector<QString> MakeGrid() {
  std::vector<QString> g;
  g.reserve(size_t(kRows) * zt::ExportSnapshot::kColumns);
  for (int r = 0; r < kRows; ++r) {
    g.push_back(QString::number(r));
    g.push_back(
        QStringLiteral("12.03.24 14:%1:%2").arg(r / 60 % 60, 2, 10, QChar(u'0')).arg(r % 60, 2, 10, QChar(u'0')));
    g.push_back(QStringLiteral("Rs %1,%2 кΩ").arg(r % 997).arg(r % 1000, 3, 10, QChar(u'0')));
    g.push_back(QStringLiteral("Ls 4,%1 μH").arg(r % 100, 2, 10, QChar(u'0')));
    g.push_back(QStringLiteral("S"));
    g.push_back(QStringLiteral("10кГц"));
    g.push_back(QStringLiteral("1,0Вскз"));
    g.push_back(r % 2 ? QStringLiteral("+") : QStringLiteral("-"));
    g.push_back(QStringLiteral("-%1,%2").arg(r % 10).arg(r % 100, 2, 10, QChar(u'0')));
    g.push_back(QStringLiteral("%1,50").arg(r % 30));
  }
  return g;
}

void BM_Export(benchmark::State& state) {
  const auto format = static_cast<zt::ExportFormat>(state.range(0));
  const std::vector<QString> grid = MakeGrid();
  QTemporaryDir dir;
  const QString path = dir.filePath(format == zt::ExportFormat::Xlsx ? "log.xlsx" : "log.csv");
  zt::ExportOptions opts;
  opts.format = format;
  opts.csvSeparator = u';';
  long extraKb = 0;
  bool peakOk = true;
  for (auto _ : state) {
    peakOk = ResetPeak() && peakOk;
    const long before = CurrentKb();
    const zt::ExportSnapshot snap = zt::ExportSnapshot::Capture(
        kRows, [&](int r, int c) { return grid[size_t(r) * zt::ExportSnapshot::kColumns + size_t(c)]; });
    const zt::ExportResult res = zt::WriteExport(snap, path, opts);
    if (!res.ok()) {
      state.SkipWithError(res.error.toUtf8().constData());
      break;
    }
    extraKb = std::max(extraKb, PeakKb() - before);
  }
  state.counters["rows"] = kRows;
  state.counters["peak_extra_MB"] = peakOk ? double(extraKb) / 1024.0 : -1.0;
  state.counters["file_MB"] = double(QFileInfo(path).size()) / (1024.0 * 1024.0);
}

BENCHMARK(BM_Export)
    ->Arg(int(zt::ExportFormat::Xlsx))
    ->Arg(int(zt::ExportFormat::Csv))
    ->ArgNames({"csv"})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
