// Appending to the log grid must not slow down as the log grows, a full log
// of 100,000 rows must stay light, and the profile table of a large profile
// file must build quickly.
#include <benchmark/benchmark.h>

#include <QFile>
#include <QTemporaryDir>
#include <fstream>
#include <string>
#include <unistd.h>

#include "log_model.h"
#include "profile_file.h"

namespace {

zt::LogReading Reading(int p) {
  zt::LogReading r;
  r.position = QString::number(p);
  r.time = QStringLiteral("01.02.24 10:11:12");
  r.primary = QStringLiteral("R 10,050 МОм");
  r.secondary = QStringLiteral("Q 1,2345");
  r.circuit = QStringLiteral("S");
  r.frequency = QStringLiteral("10кГц");
  r.level = QStringLiteral("1.0Вскз");
  r.primaryOn = r.secondaryOn = true;
  r.mark = (p % 3) ? QStringLiteral("+") : QStringLiteral("-");
  r.primaryDeviation = QStringLiteral("0,50");
  r.secondaryDeviation = QStringLiteral("-12,00");
  r.sortResult = p % 4;
  return r;
}

// What the log does for one reading at position p.
void Append(zt::LogModel& m, int p) {
  if (p + 1 >= m.gridRowCount()) m.setGridRowCount(p + 1);
  m.writeReading(p, Reading(p));
}

void Fill(zt::LogModel& m, int rows) {
  m.resetGrid(16);
  for (int p = 1; p <= rows; ++p) Append(m, p);
}

// Appends the 1,000 rows from position `state.range(0)` on (99001: up to 100,000).
void BM_AppendAfter(benchmark::State& state) {
  const int start = static_cast<int>(state.range(0));
  constexpr int kBatch = 1000;
  zt::LogModel m;
  Fill(m, start - 1);
  for (auto _ : state) {
    state.PauseTiming();
    m.setGridRowCount(start);
    state.ResumeTiming();
    for (int p = start; p < start + kBatch; ++p) Append(m, p);
    benchmark::DoNotOptimize(m.gridRowCount());
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
}
BENCHMARK(BM_AppendAfter)->Arg(100)->Arg(99001)->Unit(benchmark::kMicrosecond);

long ResidentKiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  return 0;
}

// Resident memory a full log of 100,000 rows adds to the process.
void BM_Memory100k(benchmark::State& state) {
  for (auto _ : state) {
    const long before = ResidentKiB();
    auto* m = new zt::LogModel;
    Fill(*m, 100000);
    const long after = ResidentKiB();
    state.counters["added_MB"] = double(after - before) / 1024.0;
    state.counters["rows"] = m->gridRowCount() - 1;
    delete m;
  }
}
BENCHMARK(BM_Memory100k)->Iterations(1)->Unit(benchmark::kMillisecond);

int FreqOfIndex(int i) { return i == 4 ? 10000 : 1000; }

// The profile table of a file with 1,000 profiles: read the count and the
// records, build every row's texts and put them into the grid.
void BM_ProfileTable1000(benchmark::State& state) {
  QTemporaryDir tmp;
  const zt::ProfileFile file(tmp.filePath(QStringLiteral("big.hex1")));
  zt::ProfileRecord r;
  r.ProfileName = QStringLiteral("Деталь");
  r.PrimaryTolerance = QStringLiteral("1%");
  r.PrimaryNominal = QStringLiteral("10000");
  r.SecondaryTolerance = QStringLiteral("10%");
  r.SecondaryKind = 1;
  r.SecondaryNominal = QStringLiteral("50");
  file.create(r);
  std::int32_t count = 1;
  for (int n = 2; n <= 1000; ++n) file.store(count, n, r);

  zt::LogModel m;
  const zt::ProfileTableEnv env{zt::Lexicons::russian(), 0, 4, FreqOfIndex};
  for (auto _ : state) {
    std::int32_t c = 0;
    file.readCount(c);
    QVector<zt::ProfileRecord> recs;
    file.readRecords(c, recs);
    m.resetGrid(c + 1);
    for (int k = 0; k < recs.size(); ++k) m.setRowTexts(k + 1, zt::ProfileTableRow(recs[k], k + 1, env));
    benchmark::DoNotOptimize(m.cell(1000, 1));
  }
  state.counters["profiles"] = count;
}
BENCHMARK(BM_ProfileTable1000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
