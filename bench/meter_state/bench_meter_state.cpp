// One RLC Measurement frame through the meter's state, without any widget:
// from processFrame to the panel value handed to the view, in English (menu
// items through the language engine) as the busiest case. Frames cycle
// through changing readings and settings so every label really changes.
#include <benchmark/benchmark.h>

#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <vector>

#include "lang_man.h"
#include "meter_state.h"

using namespace zt;

namespace {

// Commands go nowhere; the state only sends on operator actions anyway.
class NullChannel : public MeterChannel {
 public:
  bool linkUp() const override { return true; }
  bool inputHeld() const override { return false; }
  void holdInput() override {}
  void releaseInput() override {}
  bool transmit(const CommandFrame&) override { return true; }
};

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

void BM_MeterStateFrame(benchmark::State& state) {
  LangMan engine;
  engine.loadLanguages(QStringLiteral(ZT_LANG_DIR));
  NullChannel channel;
  MeterState ms(&channel, &engine.lexicons());
  ms.setMenuItemTranslator(MenuItemsOf(&engine));
  ms.linkUp();  // measuring: frames are displayed
  std::size_t shown = 0;
  QObject::connect(&ms, &MeterState::panelChanged,
                   [&shown](const PanelView& v) { shown += std::size_t(v.freq.size()); });
  const std::vector<Frame> frames = Frames();
  std::vector<double> us;
  us.reserve(1 << 20);
  std::size_t i = 0;
  for (auto _ : state) {
    const auto t0 = std::chrono::steady_clock::now();
    ms.processFrame(frames[i++ % frames.size()]);
    const auto t1 = std::chrono::steady_clock::now();
    const double s = std::chrono::duration<double>(t1 - t0).count();
    state.SetIterationTime(s);
    us.push_back(s * 1e6);
  }
  benchmark::DoNotOptimize(shown);
  std::sort(us.begin(), us.end());
  state.counters["median_us"] = us[us.size() / 2];
  state.counters["p90_us"] = us[us.size() * 9 / 10];
  state.counters["p99_us"] = us[us.size() * 99 / 100];
}
BENCHMARK(BM_MeterStateFrame)->UseManualTime()->Unit(benchmark::kMicrosecond)->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
