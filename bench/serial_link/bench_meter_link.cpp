// The link controller's frame path, Qt Core only: CPU time of the thread from
// a frame's last byte arriving on a real pseudo-terminal to frameReceived()
// (the read, the burst rule, the receive table and the input-hold check). The
// 10 ms of silence that ends a burst is waiting, not work, and is not counted.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <time.h>

#include "data_folder.h"
#include "meter_link.h"
#include "pty_pair.h"

using namespace zt;

namespace {

double ThreadCpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

QByteArray Frame18(int i) {
  QByteArray b(18, '\0');
  for (int k = 0; k < 17; ++k) b[k] = char(0x20 + (i + k) % 64);
  b[17] = '\n';
  return b;
}

// Runs the event loop until `done` or `ms` have passed.
template <typename F>
bool Spin(F done, int ms) {
  QEventLoop loop;
  QTimer limit;
  limit.setSingleShot(true);
  QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
  limit.start(ms);
  while (!done() && limit.isActive()) loop.processEvents(QEventLoop::WaitForMoreEvents);
  return done();
}

void BM_LinkBurstToFrame(benchmark::State& state) {
  QTemporaryDir dir;
  qputenv("RLC_DATA_DIR", dir.path().toUtf8());
  PtyPair pty;
  if (!pty.ok()) {
    state.SkipWithError("no pseudo-terminal");
    return;
  }
  QDir().mkpath(VirtualPortsFolder());
  QFile reg(QDir(VirtualPortsFolder()).filePath(QString::fromLatin1(kDongleFriendlyName)));
  if (!reg.open(QIODevice::WriteOnly) || reg.write(pty.slavePath().toLocal8Bit()) <= 0) {
    state.SkipWithError("cannot register the pseudo-terminal");
    return;
  }
  reg.close();

  // The poll stays out of the measured path; the press opens the port.
  LinkTimings t;
  t.t3Ms = 3600 * 1000;
  PortLookup lookup([] { return QList<SerialPortEntry>{}; }, MatchRule::UsbIdentity);
  class NoRadio : public Ble {
   public:
    BleRequest DiscoverDevices(int) override { return BleRequest::Error; }
    void CancelDiscovery() override {}
    bool Discovering() const override { return false; }
    QList<BleDevice> DiscoveredDevices() const override { return {}; }
    void DiscoverServices(const BleDevice&) override {}
    void SubscribeToCharacteristic(const QBluetoothUuid&, const QBluetoothUuid&) override {}
    bool WriteCharacteristic(const QByteArray&) override { return false; }

   protected:
    void Shutdown() override {}
  } radio;
  MeterLink link(MeterLinkDeps{&lookup, &radio, t});
  link.connectOrDisconnect();
  if (!link.portOpen()) {
    state.SkipWithError("cannot open the pseudo-terminal");
    return;
  }
  pty.send("OK+CONN");
  // Up, settled, and the hold that settling takes released again.
  const bool up = Spin([&] { return link.linkUp(); }, 2000);
  Spin([] { return false; }, t.t4Ms + 4 * t.txMs);
  if (!up || link.inputHeld()) {
    state.SkipWithError(up ? "the input stayed held" : "the link did not come up");
    return;
  }
  pty.received();

  bool done = false;
  double cpuAtDone = 0;
  QObject::connect(&link, &MeterLink::frameReceived, [&](const Frame&) {
    cpuAtDone = ThreadCpuSeconds();
    done = true;
  });
  int i = 0;
  for (auto _ : state) {
    done = false;
    pty.send(Frame18(i++));
    const double t0 = ThreadCpuSeconds();
    if (!Spin([&] { return done; }, 1000)) {
      state.SkipWithError("burst never arrived");
      break;
    }
    state.SetIterationTime(cpuAtDone - t0);
    // Keep bursts apart as the meter does.
    Spin([] { return false; }, 12);
  }
  QFile::remove(reg.fileName());
}
BENCHMARK(BM_LinkBurstToFrame)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(300);

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
