// What publishing adds to the frame path: a displayed reading goes to the
// recorder (sorted, offered to the log) with publishing off, and the same with
// publishing on to a real mosquitto broker on 127.0.0.1 — the difference is
// the frame path's cost of publishing. The payload itself is made on the
// publisher's thread; its cost is shown separately.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

#include "ble_fake.h"
#include "meter_publishing.h"
#include "mqtt_broker.h"
#include "port_lookup.h"
#include "session.h"
#include "simulated_meter.h"

using namespace zt;

namespace {

MeterReading Reading() {
  MeterReading r;
  r.time = QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7, 89), QTimeZone(3600));
  r.testFreqHz = 1000;
  r.settings.CircuitSeries = 1;
  r.settings.LogReady = 1;
  r.primaryLetter = QStringLiteral("R");
  r.primaryText = QStringLiteral("1.0005 kΩ");
  r.secondaryLetter = QStringLiteral("Q");
  r.secondaryText = QStringLiteral("0.0100");
  r.freqText = QStringLiteral("1kHz");
  r.levelText = QStringLiteral("1.0Vrms");
  r.level = {1.0, true};
  r.primary = {Quantity::Resistance, 1000.5123, QStringLiteral("Ω")};
  r.secondary = {Quantity::QualityFactor, 0.0100321, QString()};
  return r;
}

test::MqttBroker* Broker() {
  static std::unique_ptr<test::MqttBroker> broker = [] {
    auto b = std::make_unique<test::MqttBroker>();
    QString error;
    if (!b->start(&error)) {
      std::fprintf(stderr, "no broker: %s\n", qPrintable(error));
      std::exit(1);
    }
    return b;
  }();
  return broker.get();
}

void TakeReading(benchmark::State& state, bool publishing) {
  // A session linked to the simulated meter, as on a bench: the meter's id
  // needs its port. The event loop does not run while the loop below does,
  // so the meter's own frames do not mix in.
  QTemporaryDir data;
  qputenv("RLC_DATA_DIR", data.path().toLocal8Bit());
  sim::Options o;
  o.connectDelayMs = 30;
  sim::SimulatedMeter meter(o);
  FakeBle ble;
  PortLookup lookup([] { return QList<SerialPortEntry>{}; }, MatchRule::UsbIdentity);
  SessionDeps deps;
  deps.dataFolder = data.path();
  deps.portLookup = &lookup;
  deps.ble = &ble;
  Session session(deps);
  MeterPublishing pub(&session, QStringLiteral("bench"));
  if (!meter.start()) {
    state.SkipWithError("no simulated meter");
    return;
  }
  session.start();
  session.link().setAutoConnect(true);
  if (!QTest::qWaitFor([&] { return session.link().linkUp(); }, 10000)) {
    state.SkipWithError("no link");
    return;
  }
  if (publishing) {
    BrokerConfig c;
    c.enabled = true;
    c.host = QStringLiteral("127.0.0.1");
    c.port = Broker()->port();
    pub.configure(c);
    if (!QTest::qWaitFor([&] { return pub.publisher().state() == PublishState::Connected; }, 10000)) {
      state.SkipWithError("not connected");
      return;
    }
  }
  const MeterReading reading = Reading();
  std::vector<double> us;
  us.reserve(1 << 20);
  for (auto _ : state) {
    const auto t0 = std::chrono::steady_clock::now();
    session.recorder().takeReading(reading);
    const auto t1 = std::chrono::steady_clock::now();
    const double s = std::chrono::duration<double>(t1 - t0).count();
    state.SetIterationTime(s);
    us.push_back(s * 1e6);
  }
  std::sort(us.begin(), us.end());
  state.counters["median_us"] = us[us.size() / 2];
  state.counters["p99_us"] = us[us.size() * 99 / 100];
  if (publishing) {
    const PublishCounters c = pub.publisher().counters();
    state.counters["published"] = double(c.sentReadings + c.queued + c.droppedReadings);
    state.counters["dropped"] = double(c.droppedReadings);
  }
  pub.shutdown(0);
  session.link().shutdown();
}

void BM_TakeReading(benchmark::State& state) { TakeReading(state, false); }
void BM_TakeReadingPublished(benchmark::State& state) { TakeReading(state, true); }
BENCHMARK(BM_TakeReading)->UseManualTime()->Unit(benchmark::kMicrosecond)->MinTime(1.0);
BENCHMARK(BM_TakeReadingPublished)->UseManualTime()->Unit(benchmark::kMicrosecond)->MinTime(1.0);

// On the publisher's thread, per reading.
void BM_ReadingPayload(benchmark::State& state) {
  const MeterReading reading = Reading();
  const Verdict v{kSortPass, 0.05, -1.25, true, true};
  for (auto _ : state) benchmark::DoNotOptimize(MeterPublishing::ReadingJson(reading, v));
}
BENCHMARK(BM_ReadingPayload)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
