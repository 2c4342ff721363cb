// The cost of journaling one row on the UI thread must stay small (the
// goal is under 100 µs) and must not grow with the log: measured at row 100
// and at row 100,000, the journal file then holding as many rows. The disk
// syncs run on the journal's own thread meanwhile, as in the program.
#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "journal.h"
#include "profile_book.h"
#include "recorder.h"
#include "settings_store.h"

namespace {

zt::MeterReading Reading() {
  zt::MeterReading m;
  m.time = QDateTime::currentDateTime();
  m.settings.LogReady = 1;
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
    rec.setRecording(true);
  }
};

// One row through the recorder with the journal: sorting, the journal's
// line written and handed to the system, the grid written.
void BM_RowJournaled(benchmark::State& state) {
  const int at = static_cast<int>(state.range(0));
  Rig rig(at);
  const zt::MeterReading reading = Reading();
  for (auto _ : state) {
    state.PauseTiming();
    // Row 100,000 ends recording; moving away and back lets it be written again.
    rig.rec.setStartPosition(at - 1);
    rig.rec.setStartPosition(at);
    if (!rig.rec.recording()) rig.rec.setRecording(true);
    state.ResumeTiming();
    rig.rec.takeReading(reading);
  }
  if (rig.rec.logPosition() != at + 1) state.SkipWithError("the row was not written");
  state.counters["row"] = at;
  state.counters["file_MB"] = double(QFileInfo(rig.journal.currentPath()).size()) / (1 << 20);
}
BENCHMARK(BM_RowJournaled)->Arg(100)->Arg(100000)->Unit(benchmark::kMicrosecond);

// The journal's part alone: the line built and written.
void BM_JournalLine(benchmark::State& state) {
  const int at = static_cast<int>(state.range(0));
  Rig rig(at);
  zt::LogRow row;
  row.position = at;
  row.time = QDateTime::currentDateTime();
  row.texts = rig.rec.model()->storedRow(at - 1).texts;
  row.mark = zt::LogModel::RowMark::Pass;
  for (auto _ : state) emit rig.rec.rowToBeWritten(row);
}
BENCHMARK(BM_JournalLine)->Arg(100)->Arg(100000)->Unit(benchmark::kMicrosecond);

// The same row without a journal, for comparison.
void BM_RowWithoutJournal(benchmark::State& state) {
  QTemporaryDir dir;
  zt::SettingsStore store{dir.path()};
  zt::ProfileBook book{&store};
  zt::Recorder rec{&book};
  rec.setRecording(true);
  const zt::MeterReading reading = Reading();
  for (auto _ : state) {
    state.PauseTiming();
    rec.setStartPosition(100);
    state.ResumeTiming();
    rec.takeReading(reading);
  }
}
BENCHMARK(BM_RowWithoutJournal)->Unit(benchmark::kMicrosecond);

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
