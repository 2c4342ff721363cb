#pragma once
// The meter link under test: short timings, the fake radio, a port lookup that
// sees only the virtual-ports folder (so a test's simulated device or
// pseudo-terminal is the only serial device), and a log of everything the link
// reports.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QList>
#include <QStringList>

#include "ble_fake.h"
#include "data_folder.h"
#include "meter_link.h"
#include "port_lookup.h"
#include "pty_pair.h"

namespace zt::test {

// Short enough that the whole table runs in seconds, long enough that a
// loaded machine keeps their order (the poll is slower than a dongle's answer,
// the bounded wait longer than two poll periods).
inline LinkTimings FastTimings() {
  LinkTimings t;
  t.t2Ms = 100;
  t.t3Ms = 200;
  t.t4Ms = 150;
  t.txMs = 50;
  t.connectWaitMs = 500;
  return t;
}

// Counts the port queries: each poll tick and each press asks once per
// device name, so a test can wait for ticks instead of sleeping.
class CountingLookup : public PortLookup {
 public:
  CountingLookup() : PortLookup([] { return QList<SerialPortEntry>{}; }, MatchRule::UsbIdentity) {}
  void gets(PortQuery& query) const override {
    ++queries;
    PortLookup::gets(query);
  }
  mutable int queries = 0;
};

struct LinkLog {
  QList<LinkEvent> events;
  QList<Frame> frames;
  QList<LinkState> states;
  QList<bool> enabled;  // each change of the connect button's enabled state
  int cameUp = 0;
  int wentDown = 0;
  int cleared = 0;
  int settled = 0;
  int portClosing = 0;
  QStringList probeFailures;

  void attach(MeterLink& link) {
    QObject::connect(&link, &MeterLink::linkEvent, [this](LinkEvent e) { events << e; });
    QObject::connect(&link, &MeterLink::frameReceived, [this](const Frame& f) { frames << f; });
    QObject::connect(&link, &MeterLink::stateChanged, [this](LinkState s, LinkTransport) { states << s; });
    QObject::connect(&link, &MeterLink::connectEnabledChanged, [this](bool on) { enabled << on; });
    QObject::connect(&link, &MeterLink::linkCameUp, [this] { ++cameUp; });
    QObject::connect(&link, &MeterLink::linkWentDown, [this] { ++wentDown; });
    QObject::connect(&link, &MeterLink::linkCleared, [this] { ++cleared; });
    QObject::connect(&link, &MeterLink::settled, [this] { ++settled; });
    QObject::connect(&link, &MeterLink::portClosing, [this] { ++portClosing; });
    QObject::connect(&link, &MeterLink::probeFailed, [this](const QString& p) { probeFailures << p; });
  }
  int count(LinkEvent e) const { return int(events.count(e)); }
  LinkEvent last() const { return events.isEmpty() ? LinkEvent(-1) : events.last(); }
};

struct LinkRig {
  FakeBle ble;
  CountingLookup lookup;
  MeterLink link;
  LinkLog log;

  explicit LinkRig(LinkTimings t = FastTimings(), Ble* otherBle = nullptr)
      : link(MeterLinkDeps{&lookup, otherBle ? otherBle : &ble, t}) {
    log.attach(link);
  }
  // Waits until the poll has run `ticks` more times while no serial device is
  // there (each tick then asks for both device names).
  bool waitTicks(int ticks, int timeoutMs = 5000) {
    const int target = lookup.queries + 2 * ticks;
    QElapsedTimer clock;
    clock.start();
    while (lookup.queries < target && clock.elapsed() < timeoutMs)
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    return lookup.queries >= target;
  }
};

// A serial device that the test plays byte by byte: a pseudo-terminal
// registered under the dongle's name for as long as this lives.
class PtyDongle {
 public:
  PtyDongle() {
    if (!pty_.ok()) return;
    QDir().mkpath(VirtualPortsFolder());
    QFile f(path());
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) ok_ = f.write(pty_.slavePath().toLocal8Bit()) > 0;
  }
  ~PtyDongle() { QFile::remove(path()); }
  bool ok() const { return ok_; }
  QString portPath() const { return pty_.slavePath(); }
  PtyPair& pty() { return pty_; }
  static QString path() { return QDir(VirtualPortsFolder()).filePath(QString::fromLatin1(kDongleFriendlyName)); }

 private:
  PtyPair pty_;
  bool ok_ = false;
};

}  // namespace zt::test
