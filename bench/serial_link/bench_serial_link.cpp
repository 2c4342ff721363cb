// The serial link's cost in the program, window included, on the offscreen
// platform:
//  - BM_BurstToFrame: CPU time of the UI thread from a frame's last byte
//    arriving on a real pseudo-terminal to the frame shown on the window (the
//    read, the burst rule, the receive table, the meter's state and the
//    rendering; the 10 ms of silence that ends a burst is waiting, not work,
//    and is not counted).
//  - BM_IdlePoll: CPU used by the whole process while the window sits with
//    the connection poll T3 running and no device, over ZT_IDLE_SECONDS
//    (60 by default); reported as percent of one core, next to the same
//    window with the poll stopped.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>

#include <sys/resource.h>
#include <time.h>

#include "data_folder.h"
#include "fake_prompts.h"
#include "form.h"
#include "pty_pair.h"
#include "session.h"

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

// The program over a data folder of its own, seeing only the virtual serial
// ports; `pollMs` is the connection poll's period.
struct Window {
  QTemporaryDir dir;
  test::FakePrompts prompts;
  PortLookup lookup{[] { return QList<SerialPortEntry>{}; }, MatchRule::UsbIdentity};
  std::unique_ptr<Session> session;
  std::unique_ptr<TForm1> form;
  explicit Window(int pollMs = LinkTimings{}.t3Ms) {
    qputenv("RLC_DATA_DIR", dir.path().toUtf8());
    SessionDeps deps;
    deps.portLookup = &lookup;
    deps.dataFolder = dir.path();
    deps.linkTimings.t3Ms = pollMs;
    session = std::make_unique<Session>(deps);
    TForm1Deps view;
    view.prompts = &prompts;
    form = std::make_unique<TForm1>(*session, view);
    form->show();
    QApplication::processEvents();
  }
};

void BM_BurstToFrame(benchmark::State& state) {
  Window w(100);
  MeterLink& link = w.session->link();
  w.session->meter().setMode(WorkMode::Measuring);  // frames are displayed
  PtyPair pty;
  if (!pty.ok()) {
    state.SkipWithError("no pseudo-terminal");
    return;
  }
  // Registered once the window is shown (its start-up check is over): the
  // poll opens it as the dongle.
  QDir().mkpath(VirtualPortsFolder());
  QFile reg(QDir(VirtualPortsFolder()).filePath(QString::fromLatin1(kDongleFriendlyName)));
  if (!reg.open(QIODevice::WriteOnly) || reg.write(pty.slavePath().toLocal8Bit()) <= 0) {
    state.SkipWithError("cannot register the pseudo-terminal");
    return;
  }
  reg.close();
  QEventLoop wait;
  QTimer tick;
  QObject::connect(&tick, &QTimer::timeout, &wait, [&] {
    if (link.portOpen()) wait.quit();
  });
  tick.start(10);
  QTimer::singleShot(3000, &wait, &QEventLoop::quit);
  wait.exec();
  if (!link.portOpen()) {
    state.SkipWithError("the poll did not open the pseudo-terminal");
    return;
  }
  // Connected after the session's own connection, so it runs once the
  // meter's state has taken the frame and the window has shown it.
  bool done = false;
  double cpuAtDone = 0;
  QEventLoop loop;
  QObject::connect(&link, &MeterLink::frameReceived, [&](const Frame&) {
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
  // Argument 0: the same window with the link shut down (no poll), as the baseline.
  MeterLink& link = w.session->link();
  if (state.range(0) == 0) link.shutdown();
  for (auto _ : state) {
    const double c0 = ProcessCpuSeconds();
    QEventLoop loop;
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
    const double used = ProcessCpuSeconds() - c0;
    state.SetIterationTime(used);
    state.counters["cpu_percent_of_core"] = 100.0 * used / seconds;
    state.counters["polls"] = seconds * 1000 / link.timings().t3Ms;
    state.counters["t3_running"] = link.polling() ? 1 : 0;
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
