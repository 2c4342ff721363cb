// The serial link's cost in the window, on the offscreen platform:
//  - BM_BurstToFrame: CPU time of the UI thread from a frame's last byte
//    arriving on a real pseudo-terminal to ProcessFrame returning (the read,
//    the burst rule, the receive table and the frame path; the 10 ms of
//    silence that ends a burst is waiting, not work, and is not counted).
//  - BM_IdlePoll: CPU used by the whole process while the window sits with
//    the connection poll T3 running and no device, over ZT_IDLE_SECONDS
//    (60 by default); reported as percent of one core, next to the same
//    window with the poll stopped.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>

#include <sys/resource.h>
#include <time.h>

#include "fake_prompts.h"
#include "main.h"
#include "pty_pair.h"

using namespace zt;

namespace {

double ThreadCpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

double ProcessCpuSeconds() {
  rusage ru{};
  getrusage(RUSAGE_SELF, &ru);
  auto s = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) * 1e-6; };
  return s(ru.ru_utime) + s(ru.ru_stime);
}

QByteArray RlcFrame(int i) {
  Frame f{};
  auto put = [&](std::size_t at, float v) {
    const auto b = EncodeFrameFloat(v);
    std::copy(b.begin(), b.end(), f.begin() + at);
  };
  put(0, 1.0f + float(i % 64) * 13.7f);
  put(4, 10.0f + float(i % 64) * 101.3f);
  f[8] = std::uint8_t(1 + i % 14);
  f[9] = 0x21;
  f[10] = 0x21;
  f[11] = 0x04;
  f[15] = 0x41;  // RLC mode, ZT40, brightness
  f[17] = kFrameTerminator;
  f[16] = FrameSum(f);
  return QByteArray(reinterpret_cast<const char*>(f.data()), int(f.size()));
}

struct Window {
  QTemporaryDir dir;
  test::FakePrompts prompts;
  std::unique_ptr<TForm1> form;
  Window() {
    qputenv("RLC_DATA_DIR", dir.path().toUtf8());
    TForm1Deps deps;
    deps.prompts = &prompts;
    form = std::make_unique<TForm1>(deps);
    form->show();
    QApplication::processEvents();
  }
};

void BM_BurstToFrame(benchmark::State& state) {
  Window w;
  TForm1& form = *w.form;
  form.T3->stop();  // the port is opened by hand below
  form.SB4->setChecked(false);
  PtyPair pty;
  if (!pty.ok()) {
    state.SkipWithError("no pseudo-terminal");
    return;
  }
  form.comPort->setPortName(pty.slavePath());
  if (!form.comPort->open()) {
    state.SkipWithError("cannot open the pseudo-terminal");
    return;
  }
  // Connected after the window's own handler, so it runs once ProcessFrame
  // has returned.
  bool done = false;
  double cpuAtDone = 0;
  QEventLoop loop;
  QObject::connect(form.comPort, &ComPort::burstReceived, [&](const QByteArray&) {
    cpuAtDone = ThreadCpuSeconds();
    done = true;
    loop.quit();
  });
  // One timer, restarted each time: a stale one-shot from an earlier round
  // must not end a later wait.
  QTimer limit;
  limit.setSingleShot(true);
  QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
  int i = 0;
  for (auto _ : state) {
    const QByteArray frame = RlcFrame(i++);
    done = false;
    pty.send(frame);
    const double t0 = ThreadCpuSeconds();
    limit.start(1000);
    if (!done) loop.exec();
    if (!done) {
      state.SkipWithError("burst never arrived");
      break;
    }
    state.SetIterationTime(cpuAtDone - t0);
    // Keep bursts apart as the meter does.
    limit.start(12);
    loop.exec();
  }
}
BENCHMARK(BM_BurstToFrame)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(300);

void BM_IdlePoll(benchmark::State& state) {
  const int seconds =
      qEnvironmentVariableIsSet("ZT_IDLE_SECONDS") ? qEnvironmentVariableIntValue("ZT_IDLE_SECONDS") : 60;
  Window w;
  // Argument 0: the same window with the poll stopped, as the baseline.
  if (state.range(0) == 0) w.form->T3->stop();
  for (auto _ : state) {
    const double c0 = ProcessCpuSeconds();
    QEventLoop loop;
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
    const double used = ProcessCpuSeconds() - c0;
    state.SetIterationTime(used);
    state.counters["cpu_percent_of_core"] = 100.0 * used / seconds;
    state.counters["polls"] = seconds * 1000 / w.form->T3->interval();
    state.counters["t3_running"] = w.form->T3->isActive() ? 1 : 0;
  }
}
BENCHMARK(BM_IdlePoll)->Arg(1)->Arg(0)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
