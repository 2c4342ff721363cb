// The capture's cost on the frame path: one tapped() call per burst, as the
// serial port makes it for every burst received (an 18-byte frame, the port
// name), while the writer thread writes the file beside it; and, for
// comparison, the same call with no capture running. The writer's own work
// per line (formatting) is timed apart: it runs off the frame path.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QTemporaryDir>

#include "capture_file.h"
#include "link_capture.h"

using namespace zt;

namespace {

QByteArray Frame18() { return QByteArray::fromHex("7bfc7944b9a8813c83c9310500000041150a"); }

void BM_TapPerBurst(benchmark::State& state) {
  QTemporaryDir dir;
  LinkCapture capture;
  const bool running = state.range(0) == 1;
  if (running && !capture.start(dir.filePath(QStringLiteral("bench.ztcap")), QStringLiteral("bench"))) {
    state.SkipWithError("cannot start the capture");
    return;
  }
  const QByteArray frame = Frame18();
  const QString port = QStringLiteral("/dev/ttyUSB0");
  std::int64_t n = 0;
  for (auto _ : state) {
    capture.tapped(TapTransport::Serial, TapDirection::Received, port, frame);
    ++n;
    // Bursts come at most every 20 ms on the wire; in bulk, let the writer
    // drain now and then so that the queue's bound is not what is measured.
    if (running && n % 100000 == 0) {
      state.PauseTiming();
      capture.stop();
      capture.start(dir.filePath(QStringLiteral("bench.ztcap")), QStringLiteral("bench"));
      state.ResumeTiming();
    }
  }
  state.SetItemsProcessed(n);
  if (running) {
    capture.stop();
    state.counters["written"] = double(capture.recordsWritten());
  }
}
BENCHMARK(BM_TapPerBurst)->Arg(0)->Arg(1)->ArgNames({"capturing"});

void BM_FormatLine(benchmark::State& state) {
  CaptureRecord r{123456789, TapDirection::Received, TapTransport::Serial, QStringLiteral("/dev/ttyUSB0"), Frame18()};
  QByteArray out;
  for (auto _ : state) {
    out.clear();
    AppendCaptureLine(out, r);
    benchmark::DoNotOptimize(out.data());
  }
}
BENCHMARK(BM_FormatLine);

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
