// One RLC Measurement frame through the meter's state and the window over it:
// from processFrame to the last label set, on the offscreen platform. Frames cycle through changing
// readings and settings so every label really changes.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <vector>

#include "form.h"
#include "session.h"

using namespace zt;

namespace {

Frame RlcFrame(float R, float X, std::array<std::uint8_t, 4> settings) {
  Frame f{};
  auto put = [&](std::size_t at, float v) {
    const auto b = EncodeFrameFloat(v);
    std::copy(b.begin(), b.end(), f.begin() + at);
  };
  put(0, R);
  put(4, X);
  std::copy(settings.begin(), settings.end(), f.begin() + 8);
  f[15] = 0x01;  // RLC mode, ZT40
  f[17] = kFrameTerminator;
  f[16] = FrameSum(f);
  return f;
}

std::vector<Frame> Frames() {
  std::vector<Frame> v;
  for (int i = 0; i < 64; ++i) {
    const float R = 1.0f + float(i) * 13.7f;
    const float X = (i % 2 ? -1.0f : 1.0f) * (10.0f + float(i) * 101.3f);
    const std::uint8_t freq = std::uint8_t(1 + i % 14) | (i % 3 ? 0x40 : 0);
    const std::uint8_t params = std::uint8_t(1 + i % 3) | std::uint8_t((i % 5) << 4);
    v.push_back(RlcFrame(R, X, {freq, params, std::uint8_t(0x20 | (1 + i % 3)), 0x04}));
  }
  return v;
}

void BM_RlcFrame(benchmark::State& state) {
  QTemporaryDir dir;
  qputenv("RLC_DATA_DIR", dir.path().toUtf8());
  SessionDeps deps;
  deps.dataFolder = dir.path();
  Session session(deps);
  TForm1 form(session);
  form.show();
  QApplication::processEvents();
  MeterState& meter = session.meter();
  meter.setMode(WorkMode::Measuring);  // frames are displayed
  const std::vector<Frame> frames = Frames();
  std::vector<double> us;
  us.reserve(1 << 20);
  std::size_t i = 0;
  for (auto _ : state) {
    const auto t0 = std::chrono::steady_clock::now();
    meter.processFrame(frames[i++ % frames.size()]);
    const auto t1 = std::chrono::steady_clock::now();
    const double s = std::chrono::duration<double>(t1 - t0).count();
    state.SetIterationTime(s);
    us.push_back(s * 1e6);
    // Let queued repaints run now and then, as the event loop would between frames.
    if (i % 64 == 0) {
      state.PauseTiming();
      QApplication::processEvents();
      state.ResumeTiming();
    }
  }
  std::sort(us.begin(), us.end());
  state.counters["median_us"] = us[us.size() / 2];
  state.counters["p90_us"] = us[us.size() * 9 / 10];
  state.counters["p99_us"] = us[us.size() * 99 / 100];
}
BENCHMARK(BM_RlcFrame)->UseManualTime()->Unit(benchmark::kMicrosecond)->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
