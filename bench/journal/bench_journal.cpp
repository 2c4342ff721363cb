// The cost of journaling one row on the UI thread must stay small (the
// goal is under 100 µs) and must not grow with the log: measured at row 100
// and at row 100,000, the journal file then holding as many rows, against the
// same row without a journal. The disk syncs run on the journal's own thread,
// as in the program. Rows come at the meter's pace (half a second apart at
// the most), long after the previous row's sync has ended: the paced runs
// wait for it outside the timing (and so start each row with cold caches, as
// the program does); the back-to-back runs show rows with warm caches that
// may meet a sync under way. max_us is the slowest single row seen.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QDir>
#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "journal.h"
#include "profile_book.h"
#include "recorder.h"
#include "settings_store.h"

namespace {

// A reading logged by the meter's hold (recording off), so that writing the
// last row, 100,000, does not stop a recording inside the measurement.
zt::MeterReading Reading() {
  zt::MeterReading m;
  m.time = QDateTime::currentDateTime();
  m.settings.LogReady = 1;
  m.settings.Hold = 1;
  m.settings.CircuitSeries = 1;
  m.settings.FreqCode = 3;
  m.primaryLetter = QStringLiteral("R");
  m.primaryText = QStringLiteral("10.050 кОм");
  m.secondaryLetter = QStringLiteral("Q");
  m.secondaryText = QStringLiteral("0.0123");
  m.freqText = QStringLiteral("1кГц");
  m.levelText = QStringLiteral("1.0Вскз");
  return m;
}

// A journal of rows 1..rows - 1, as a crash after row rows - 1 leaves it.
void WriteJournal(const QString& path, int rows) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile f(path);
  f.open(QIODevice::WriteOnly | QIODevice::Truncate);
  f.write(zt::JournalHeaderLine(QDateTime::currentDateTime(), false));
  const QDateTime t = QDateTime::currentDateTime();
  for (int p = 1; p < rows; ++p) {
    zt::LogModel::StoredRow s;
    s.gridRow = p;
    s.texts = {QString::number(p),
               QStringLiteral("01.02.24 10:11:12"),
               QStringLiteral("R 10.050 кОм"),
               QStringLiteral("Q 0.0123"),
               QStringLiteral("S"),
               QStringLiteral("1кГц"),
               QStringLiteral("1.0Вскз"),
               QStringLiteral("-"),
               QStringLiteral("0.50"),
               QString()};
    s.mark = zt::LogModel::RowMark::Pass;
    f.write(zt::JournalRowLine(s, t, 0));
  }
  // On disk, as the program's journal is by the time it is read again (it
  // syncs every row): otherwise the first rows measured would wait behind
  // the writing-back of the whole file.
  f.flush();
  ::fdatasync(f.handle());
}

// A recorder with its journal, restored from a journal of rows - 1 rows, so
// that the next row written is row `rows`.
struct Rig {
  QTemporaryDir dir;
  zt::SettingsStore store{dir.path()};
  zt::ProfileBook book{&store};
  zt::Recorder rec{&book};
  zt::Journal journal{&rec, dir.filePath(QStringLiteral("journal"))};

  explicit Rig(int rows) {
    if (rows > 1) WriteJournal(journal.currentPath(), rows);
    journal.restore();
  }
};

// The slowest row, the first (which meets whatever the set-up left, such as
// the caches), and the median: a single slow row weighs heavily on a mean of
// a few hundred.
void Spread(benchmark::State& state, std::vector<double> us) {
  if (us.empty()) return;
  state.counters["first_us"] = us.front();
  double sum = 0;
  for (double u : us) sum += u;
  state.counters["mean_us"] = sum / double(us.size());
  std::sort(us.begin(), us.end());
  state.counters["median_us"] = us[us.size() / 2];
  state.counters["p90_us"] = us[us.size() * 9 / 10];
  state.counters["max_us"] = us.back();
}

// The time one row's call takes, in µs.
double RowMicros(zt::Recorder& rec, const zt::MeterReading& reading) {
  const auto t0 = std::chrono::steady_clock::now();
  rec.takeReading(reading);
  return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count();
}

// One row through the recorder with the journal: sorting, the journal's
// line written and handed to the system, the grid written.
void BM_RowJournaled(benchmark::State& state) {
  const int at = static_cast<int>(state.range(0));
  Rig rig(at);
  const zt::MeterReading reading = Reading();
  const bool paced = state.range(1) != 0;
  std::vector<double> us;
  for (auto _ : state) {
    state.PauseTiming();
    // Row 100,000 fills the log; moving away and back lets it be written again.
    rig.rec.setStartPosition(at - 1);
    rig.rec.setStartPosition(at);
    if (paced) rig.journal.sync();
    state.ResumeTiming();
    us.push_back(RowMicros(rig.rec, reading));
  }
  Spread(state, us);
  if (rig.rec.logPosition() != at + 1) state.SkipWithError("the row was not written");
  state.counters["row"] = at;
  state.counters["file_MB"] = double(QFileInfo(rig.journal.currentPath()).size()) / (1 << 20);
}
BENCHMARK(BM_RowJournaled)
    ->ArgNames({"row", "paced"})
    ->Args({100, 1})
    ->Args({100000, 1})
    ->Iterations(300)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RowJournaled)
    ->ArgNames({"row", "paced"})
    ->Args({100, 0})
    ->Args({100000, 0})
    ->Unit(benchmark::kMicrosecond);

// The same row without a journal, for comparison (paced: a quiet moment
// before each row, as the meter's pace gives).
void BM_RowWithoutJournal(benchmark::State& state) {
  QTemporaryDir dir;
  zt::SettingsStore store{dir.path()};
  zt::ProfileBook book{&store};
  zt::Recorder rec{&book};
  const zt::MeterReading reading = Reading();
  const bool paced = state.range(0) != 0;
  std::vector<double> us;
  for (auto _ : state) {
    state.PauseTiming();
    rec.setStartPosition(100);
    if (paced) std::this_thread::sleep_for(std::chrono::milliseconds(25));
    state.ResumeTiming();
    us.push_back(RowMicros(rec, reading));
  }
  Spread(state, us);
}
BENCHMARK(BM_RowWithoutJournal)->ArgName("paced")->Arg(1)->Iterations(300)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RowWithoutJournal)->ArgName("paced")->Arg(0)->Unit(benchmark::kMicrosecond);

// Building one row's record alone (its JSON text and checksum): the part of
// the journal's cost that its format decides.
void BM_RowLine(benchmark::State& state) {
  zt::LogModel::StoredRow s;
  s.gridRow = 100000;
  s.texts = {QStringLiteral("100000"),
             QStringLiteral("01.02.24 10:11:12"),
             QStringLiteral("R 10.050 кОм"),
             QStringLiteral("Q 0.0123"),
             QStringLiteral("S"),
             QStringLiteral("1кГц"),
             QStringLiteral("1.0Вскз"),
             QStringLiteral("-"),
             QStringLiteral("0.50"),
             QString()};
  s.mark = zt::LogModel::RowMark::Pass;
  const QDateTime t = QDateTime::currentDateTime();
  for (auto _ : state) benchmark::DoNotOptimize(zt::JournalRowLine(s, t, 0));
}
BENCHMARK(BM_RowLine)->Unit(benchmark::kMicrosecond);

// Start-up after a crash with a full log: the journal read and parsed and
// the grid filled (once, at start).
void BM_Restore(benchmark::State& state) {
  const int rows = static_cast<int>(state.range(0));
  QTemporaryDir source;
  const QString kept = source.filePath(QStringLiteral("kept.journal"));
  WriteJournal(kept, rows + 1);
  for (auto _ : state) {
    state.PauseTiming();
    {
      QTemporaryDir dir;
      zt::SettingsStore store{dir.path()};
      zt::ProfileBook book{&store};
      zt::Recorder rec{&book};
      zt::Journal journal{&rec, dir.filePath(QStringLiteral("journal"))};
      QDir().mkpath(journal.folder());
      QFile::copy(kept, journal.currentPath());
      state.ResumeTiming();
      benchmark::DoNotOptimize(journal.restore());
      state.PauseTiming();
    }
    state.ResumeTiming();
  }
}
BENCHMARK(BM_Restore)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
