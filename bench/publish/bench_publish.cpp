// Publishing, against a real mosquitto broker started on 127.0.0.1:
//  - the cost of one publish() call on the caller's thread (the frame path)
//    while the worker sends to the broker at the same time;
//  - the same with the broker gone (the queue full, the oldest dropped);
//  - throughput: messages per second from publish() until the broker has
//    them (readings: handed to the socket; rows: acknowledged).
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

#include "mqtt_broker.h"
#include "publisher.h"

using namespace zt;

namespace {

// A reading's JSON is about this long.
const QByteArray kPayload(220, 'x');

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

BrokerConfig Local(int port) {
  BrokerConfig c;
  c.enabled = true;
  c.host = QStringLiteral("127.0.0.1");
  c.port = port;
  return c;
}

void Percentiles(benchmark::State& state, std::vector<double>& us) {
  std::sort(us.begin(), us.end());
  state.counters["median_us"] = us[us.size() / 2];
  state.counters["p99_us"] = us[us.size() * 99 / 100];
  state.counters["max_us"] = us.back();
}

void CallCost(benchmark::State& state, bool brokerThere) {
  Publisher pub;
  BrokerConfig c = Local(Broker()->port());
  if (!brokerThere) c.port = 1;  // nothing listens there
  pub.configure(c, QStringLiteral("bench-call"));
  if (brokerThere && !QTest::qWaitFor([&] { return pub.state() == PublishState::Connected; }, 10000)) {
    state.SkipWithError("not connected");
    return;
  }
  std::vector<double> us;
  us.reserve(1 << 20);
  int i = 0;
  for (auto _ : state) {
    QByteArray topic("zt/zt41-ttyUSB0/reading");
    QByteArray payload = kPayload;
    const auto t0 = std::chrono::steady_clock::now();
    pub.publish(std::move(topic), std::move(payload), (++i % 8) ? Qos::AtMostOnce : Qos::AtLeastOnce);
    const auto t1 = std::chrono::steady_clock::now();
    const double s = std::chrono::duration<double>(t1 - t0).count();
    state.SetIterationTime(s);
    us.push_back(s * 1e6);
  }
  Percentiles(state, us);
  state.counters["dropped"] = double(pub.counters().droppedReadings + pub.counters().droppedRows);
}

void BM_PublishCall(benchmark::State& state) { CallCost(state, true); }
void BM_PublishCallBrokerGone(benchmark::State& state) { CallCost(state, false); }
BENCHMARK(BM_PublishCall)->UseManualTime()->Unit(benchmark::kMicrosecond)->MinTime(1.0);
BENCHMARK(BM_PublishCallBrokerGone)->UseManualTime()->Unit(benchmark::kMicrosecond)->MinTime(1.0);

// N messages, from the first publish() until the broker has all of them.
void Throughput(benchmark::State& state, Qos qos) {
  const int n = int(state.range(0));
  Publisher pub;
  pub.configure(Local(Broker()->port()), QStringLiteral("bench-throughput"));
  if (!QTest::qWaitFor([&] { return pub.state() == PublishState::Connected; }, 10000)) {
    state.SkipWithError("not connected");
    return;
  }
  std::uint64_t done = 0;
  for (auto _ : state) {
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < n; ++i) pub.publish("zt/bench/reading", kPayload, qos);
    done += std::uint64_t(n);
    const bool arrived = QTest::qWaitFor(
        [&] {
          const PublishCounters c = pub.counters();
          return (qos == Qos::AtMostOnce ? c.sentReadings : c.ackedRows) + c.droppedReadings + c.droppedRows >= done;
        },
        60000);
    state.SetIterationTime(double(t.nsecsElapsed()) / 1e9);
    if (!arrived) state.SkipWithError("the broker did not get everything");
  }
  state.SetItemsProcessed(std::int64_t(done));
  state.counters["dropped"] = double(pub.counters().droppedReadings + pub.counters().droppedRows);
}

void BM_ThroughputReadings(benchmark::State& state) { Throughput(state, Qos::AtMostOnce); }
void BM_ThroughputRows(benchmark::State& state) { Throughput(state, Qos::AtLeastOnce); }
// 10,000 at once: exactly what the queue holds, so nothing is dropped.
BENCHMARK(BM_ThroughputReadings)->Arg(10000)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_ThroughputRows)->Arg(10000)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
