#pragma once
// The window as the program builds it (a Session, the window over it) with
// its files in a fresh temporary data folder, the dialogues answered by a
// fake, exported files handed to a list, and by default: the fake radio, a
// port lookup that sees only the virtual-ports folder (a test's simulated
// meter is the only serial device) and short link timings.
#include <QTemporaryDir>
#include <memory>

#include "ble_fake.h"
#include "fake_prompts.h"
#include "form.h"
#include "meter_publishing.h"
#include "port_lookup.h"
#include "session.h"

namespace zt::test {

// Short enough that a test runs in seconds, long enough that a loaded
// machine keeps their order (the poll is slower than a dongle's answer).
inline LinkTimings ShortLinkTimings() {
  LinkTimings t;
  t.t2Ms = 100;
  t.t3Ms = 250;
  t.t4Ms = 150;
  t.txMs = 50;
  t.connectWaitMs = 800;
  return t;
}

struct WindowOptions {
  QString langDir;  // empty: only the design language
  LinkTimings timings = ShortLinkTimings();
  bool realRadio = false;    // the platform's Bluetooth LE stack instead of the fake
  bool systemPorts = false;  // the system's serial ports besides the virtual ones
  bool publishing = false;   // a publisher (off until configured) and its button
  PublisherTimings publishTimings = {};
};

struct WindowFixture {
  QTemporaryDir dataDir;
  FakePrompts prompts;
  FakeBle ble;
  QStringList opened;        // exported files handed to the default application
  bool openSucceeds = true;  // whether there is one
  WindowOptions options;
  std::unique_ptr<PortLookup> lookup;
  std::unique_ptr<Session> session;
  std::unique_ptr<MeterPublishing> publishing;
  std::unique_ptr<TForm1> form;

  explicit WindowFixture(WindowOptions o = {}) : options(std::move(o)) {
    qputenv("RLC_DATA_DIR", dataDir.path().toUtf8());
    start();
  }
  ~WindowFixture() { stop(); }

  // The program's start: a session and its window (again after stop(), as a
  // restart does, with the same data folder).
  void start() {
    if (!options.systemPorts)
      lookup = std::make_unique<PortLookup>([] { return QList<SerialPortEntry>{}; }, MatchRule::UsbIdentity);
    SessionDeps deps;
    deps.portLookup = lookup.get();
    deps.ble = options.realRadio ? nullptr : &ble;
    deps.linkTimings = options.timings;
    deps.dataFolder = dataDir.path();
    deps.langDir = options.langDir;
    session = std::make_unique<Session>(deps);
    if (options.publishing)
      publishing = std::make_unique<MeterPublishing>(session.get(), QStringLiteral("zt-test"), options.publishTimings);
    TForm1Deps view;
    view.publishing = publishing.get();
    view.prompts = &prompts;
    view.openExported = [this](const QString& path) {
      opened << path;
      return openSucceeds;
    };
    form = std::make_unique<TForm1>(*session, view);
  }
  void stop() {
    form.reset();
    publishing.reset();
    session.reset();
    lookup.reset();
  }

  TForm1& window() { return *form; }
  MeterLink& link() { return session->link(); }
  MeterState& meter() { return session->meter(); }
  Recorder& recorder() { return session->recorder(); }
  ProfileBook& book() { return session->book(); }
  const Lexicons& lex() { return session->lang().lexicons(); }
};

}  // namespace zt::test
