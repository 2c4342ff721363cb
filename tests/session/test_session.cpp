// The controllers wired into a session, against the simulated meter on a real
// pseudo-terminal: what one controller says must reach the next, with no
// window anywhere (Qt Core only).
#include <QCoreApplication>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "ble_fake.h"
#include "journal_format.h"
#include "port_lookup.h"
#include "profile_file.h"
#include "session.h"
#include "simulated_meter.h"

using namespace zt;

namespace {

LinkTimings Fast() {
  LinkTimings t;
  t.t2Ms = 100;
  t.t3Ms = 200;
  t.t4Ms = 150;
  t.txMs = 50;
  t.connectWaitMs = 800;
  return t;
}

sim::Options Dongle() {
  sim::Options o;
  o.connectDelayMs = 30;
  o.intervalCode = 3;  // a frame every 0.5 s once linked
  o.dut = QStringLiteral("R=1k");
  return o;
}

QByteArray SettingsBytes(const QString& folder) {
  QFile f(folder + QStringLiteral("/1.dat"));
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A session whose only serial device is the simulated dongle.
struct Rig {
  QString folder;
  FakeBle ble;
  std::unique_ptr<PortLookup> lookup;
  std::unique_ptr<Session> session;
  sim::SimulatedMeter meter;

  explicit Rig(const QString& dataFolder, sim::Options o = Dongle()) : folder(dataFolder), meter(o) {
    qputenv("RLC_DATA_DIR", folder.toLocal8Bit());
    lookup = std::make_unique<PortLookup>([] { return QList<SerialPortEntry>{}; }, MatchRule::UsbIdentity);
    SessionDeps deps;
    deps.portLookup = lookup.get();
    deps.ble = &ble;
    deps.linkTimings = Fast();
    deps.dataFolder = folder;
    deps.langDir = QStringLiteral(ZT_LANG_DIR);
    session = std::make_unique<Session>(deps);
  }
  ~Rig() {
    session.reset();
    qunsetenv("RLC_DATA_DIR");
  }
  bool connectAuto() {
    if (!meter.start()) return false;
    session->start();
    session->restoreJournal();
    session->link().setAutoConnect(true);
    return QTest::qWaitFor([this] { return session->link().linkUp(); }, 5000);
  }
};

}  // namespace

class SessionTest : public QObject {
  Q_OBJECT

 private slots:
  // Frames from the link become readings, readings become sorted rows, and
  // the verdict colours the panel: the whole path with no widget.
  void framesBecomeSortedRows() {
    QTemporaryDir data;
    Rig rig(data.path());
    QVERIFY(rig.connectAuto());
    Session& s = *rig.session;
    QTRY_VERIFY_WITH_TIMEOUT(s.meter().mode() == WorkMode::Measuring, 3000);

    Reference ref = s.book().reference();
    ref.primary.toleranceOn = true;
    ref.primary.toleranceText = QStringLiteral("1%");
    ref.primary.kind = 0;       // R
    ref.primary.unitIndex = 1;  // kΩ
    ref.primary.nominalText = QStringLiteral("1");
    s.book().setReference(ref);

    QList<LogRow> rows;
    connect(&s.recorder(), &Recorder::rowWritten, this, [&](const LogRow& r) { rows << r; });
    s.recorder().setRecording(true);
    QTRY_VERIFY_WITH_TIMEOUT(rows.size() >= 2, 8000);

    for (const LogRow& r : rows) {
      QCOMPARE(r.verdict.SortResult, 0);
      QVERIFY(r.verdict.primaryOn);
      QCOMPARE(r.reading.primary.kind, Quantity::Resistance);
      QVERIFY(qAbs(r.reading.primary.value - 1000.0) < 1.0);
      QCOMPARE(r.texts[7], s.lang().lexicons().D3[4]);  // the pass mark
    }
    QCOMPARE(rows[1].position, rows[0].position + 1);
    QCOMPARE(s.recorder().logPosition(), rows.last().position + 1);
    QVERIFY(!s.meter().view().reject);

    // A nominal the part does not meet turns the panel red with the next reading.
    ref.primary.nominalText = QStringLiteral("2");
    s.book().setReference(ref);
    const int before = int(rows.size());
    QTRY_VERIFY_WITH_TIMEOUT(rows.size() > before, 5000);
    QCOMPARE(rows.last().verdict.SortResult, 1);
    QVERIFY(s.meter().view().reject);
  }

  // What the controllers change goes to 1.dat, and what 1.dat holds comes
  // back to them at the next start.
  void settingsFileRoundTrip() {
    QTemporaryDir data;
    {
      sim::Options zt41 = Dongle();
      zt41.model = sim::Model::ZT41;
      Rig rig(data.path(), zt41);
      QVERIFY(rig.connectAuto());
      // The box's state, and the model the meter reported.
      QTRY_COMPARE_WITH_TIMEOUT(SettingsBytes(data.path()).size(), 206, 3000);
      QCOMPARE(SettingsBytes(data.path()).at(204), char(1));
      QCOMPARE(SettingsBytes(data.path()).at(205), char(1));
    }
    Rig again(data.path());
    QSignalSpy language(again.session.get(), &Session::languageIndexLoaded);
    again.session->start();
    QVERIFY(again.session->link().autoConnect());
    QCOMPARE(again.session->meter().model(), std::uint8_t(1));
    QCOMPARE(language.count(), 1);
  }

  // Rows logged through a link that is lost and comes back are journaled
  // with the link's events; the next start puts them back and says so once.
  void journalAcrossALinkLossAndARestart() {
    QTemporaryDir data;
    std::vector<LogModel::StoredRow> logged;
    int next = 0;
    {
      sim::Options held = Dongle();
      held.hold = true;  // hold logging: a row for every frame, no one presses "Пуск"
      Rig rig(data.path(), held);
      QSignalSpy restored(rig.session.get(), &Session::journalRestored);
      QVERIFY(rig.connectAuto());
      QCOMPARE(restored.count(), 0);  // nothing to restore on a first start
      Recorder& rec = rig.session->recorder();
      QTRY_VERIFY_WITH_TIMEOUT(rec.logPosition() >= 3, 8000);
      rig.meter.unplug();
      QTRY_VERIFY_WITH_TIMEOUT(!rig.session->link().linkUp(), 3000);
      const int before = rec.logPosition();
      QVERIFY(rig.meter.start());
      QTRY_VERIFY_WITH_TIMEOUT(rec.logPosition() >= before + 2, 8000);
      next = rec.startPosition();
      for (int p = 1; p < next; ++p) logged.push_back(rec.model()->storedRow(p));
    }
    const JournalLog log = ParseJournal([&] {
      QFile f(data.filePath(QStringLiteral("journal/current.journal")));
      return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }());
    QCOMPARE(log.damage.lines, 0);
    QCOMPARE(log.storedRows(), logged);
    QStringList links;
    for (const JournalEvent& e : log.events)
      if (e.kind == JournalEvent::Kind::Link) links << (e.on ? QStringLiteral("up") : QStringLiteral("down"));
    // The first link-up came before the log began (the first row opens it).
    QCOMPARE(links, (QStringList{"down", "up"}));

    Rig again(data.path());
    QSignalSpy restored(again.session.get(), &Session::journalRestored);
    again.session->start();
    again.session->recorder().ShowLogHeaders();  // the empty log of every start, then the journal
    again.session->restoreJournal();
    QCOMPARE(restored.count(), 1);
    // The first run, in English, switched automatic connection on in a fresh
    // 1.dat: the language in use went into it with that field, so the
    // restart is in English too.
    QCOMPARE(again.session->lang().currentLanguageName(), QStringLiteral("English"));
    QCOMPARE(restored.at(0).at(0).toString(), QStringLiteral("Restored %1 rows from the journal begun %2")
                                                  .arg(logged.size())
                                                  .arg(log.started.toString(QStringLiteral("dd.MM.yy hh:mm:ss"))));
    for (const LogModel::StoredRow& r : logged) QCOMPARE(again.session->recorder().model()->storedRow(r.gridRow), r);
    QCOMPARE(again.session->recorder().startPosition(), next);
  }

  // Recording against a profile, the meter restarts (the simulator killed
  // and another one started): once the link is back, the profile's settings
  // go to the new meter too, and the memo says so each time; rows are not
  // measured with the meter's defaults while sorted against the profile.
  void profileSettingsFollowALinkThatComesBack() {
    QTemporaryDir data;
    Rig rig(data.path());
    Session& s = *rig.session;
    ProfileRecord r;
    r.ProfileName = QStringLiteral("R 1k series");
    r.PrimaryNominal = QStringLiteral("1");
    r.Settings.FreqCode = 3;       // 1 kHz
    r.Settings.PrimaryCode = 1;    // R
    r.Settings.SecondaryCode = 2;  // Q
    r.Settings.LevelCode = 2;
    r.Settings.CircuitSeries = 1;
    r.Settings.IntervalCode = 3;
    r.Settings.Sound = 1;
    const QString file = data.filePath(QStringLiteral("parts.hex1"));
    QVERIFY(ProfileFile(file).create(r).ok);
    auto profileTaken = [](const sim::ReportedSettings& m) {
      return m.circuitSeries && !m.circuitAuto && m.secondaryCode == 2 && !m.secondaryAuto && m.levelCode == 2;
    };
    QVERIFY(!profileTaken(rig.meter.settings()));  // the simulator's defaults differ

    QSignalSpy lines(&s, &Session::statusLine);
    QVERIFY(rig.connectAuto());
    QTRY_VERIFY_WITH_TIMEOUT(!s.link().inputHeld() && s.meter().mode() == WorkMode::Measuring, 3000);
    QVERIFY(s.book().open(file));  // profile 1 read: its settings go out at once
    QTRY_VERIFY_WITH_TIMEOUT(profileTaken(rig.meter.settings()), 5000);
    QCOMPARE(lines.count(), 0);
    const QString said = s.lang().lexicons().D4[msg::kProfileSettingsResent].arg(1);

    rig.meter.unplug();
    rig.meter.stop();
    QTRY_VERIFY_WITH_TIMEOUT(!s.link().linkUp(), 3000);
    sim::SimulatedMeter restarted(Dongle());
    QVERIFY(!profileTaken(restarted.settings()));
    QVERIFY(restarted.start());
    QTRY_VERIFY_WITH_TIMEOUT(s.link().linkUp(), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(profileTaken(restarted.settings()), 8000);
    QCOMPARE(lines.count(), 1);
    QCOMPARE(lines.last().first().toString(), said);
    // Sent once per link: the wake-up and the profile's settings.
    QTest::qWait(1500);
    int settingsCommands = 0;
    for (const QByteArray& c : restarted.receivedCommands())
      if ((std::uint8_t(c[0]) & 0x80) == 0) ++settingsCommands;
    QCOMPARE(settingsCommands, 1);
  }

  // The space bar's meter-side conditions follow the controllers.
  void onDemandGate() {
    QTemporaryDir data;
    Rig rig(data.path());
    Session& s = *rig.session;
    QVERIFY(!s.onDemandAllowed());  // no link, editing a profile
    QVERIFY(rig.connectAuto());
    QTRY_VERIFY_WITH_TIMEOUT(s.onDemandAllowed(), 3000);
    s.link().holdInput();
    QVERIFY(!s.onDemandAllowed());
    s.link().releaseInput();
    s.meter().setMode(WorkMode::EditingProfile);
    QVERIFY(!s.onDemandAllowed());
  }
};

QTEST_GUILESS_MAIN(SessionTest)
#include "test_session.moc"
