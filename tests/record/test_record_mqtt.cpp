// zt-record --mqtt run as a program against the simulated meter and a real
// mosquitto broker, with a subscriber: rows and readings arrive with the
// fields of the JSON lines, the retained status follows the link and ends
// offline, a killed recorder leaves its last will, a broker that restarts in
// the middle of a run loses no row, and a broker that cannot be reached
// leaves the recording as it is.
#include <QJsonArray>
#include <QSet>
#include <QTcpServer>

#include <csignal>
#include <sys/types.h>

#include "mqtt_broker.h"
#include "record_child.h"
#include "topics.h"

using namespace zt;
using namespace zt::test;

namespace {

QJsonObject Json(const QByteArray& payload) { return QJsonDocument::fromJson(payload).object(); }

QString Url(int port) { return QStringLiteral("mqtt://127.0.0.1:%1/lab").arg(port); }

// Where zt-record publishes for the simulated ZT40 on its terminal.
QByteArray Base(const sim::SimulatedMeter& meter) {
  return "lab/" + MeterTopicId(QStringLiteral("ZT40"), meter.portPath()).toUtf8();
}

QSet<int> Positions(const QList<MqttProbe::Message>& rows) {
  QSet<int> p;
  for (const auto& m : rows) p.insert(Json(m.payload).value(QStringLiteral("position")).toInt());
  return p;
}

}  // namespace

class RecordMqttTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { QVERIFY2(QFile::exists(kRecorder), qPrintable(kRecorder)); }

  // Every row as the JSON line on standard output, every reading, and the
  // status from online with the link up to offline at the end.
  void rowsReadingsAndStatus() {
    MqttBroker broker;
    QString error;
    QVERIFY2(broker.start(&error), qPrintable(error));
    MqttProbe probe("probe-record");
    QVERIFY(probe.connect(broker.port()));
    QVERIFY(probe.subscribe("lab/#", 1));

    DataFolder data;
    sim::SimulatedMeter meter(FastMeter());
    QVERIFY(meter.start());
    Child rec({"--count", "5", "--wait", "10", "--out", "-", "--mqtt", Url(broker.port())}, data.dir.path());
    QVERIFY(rec.finish());
    QVERIFY2(rec.exitCode() == 0, qPrintable(rec.report()));
    QVERIFY2(rec.err().contains(QStringLiteral("broker mqtt://127.0.0.1:%1/lab reached").arg(broker.port())),
             qPrintable(rec.err()));
    QVERIFY2(!rec.err().contains(QStringLiteral("not published")), qPrintable(rec.err()));

    const QByteArray base = Base(meter);
    const QList<QJsonObject> lines = JsonLines(rec.out());
    QCOMPARE(lines.size(), 5);
    // The broker acknowledged every row before the end; it hands them on to
    // the subscriber in its own time.
    QTRY_COMPARE(probe.count(base + "/row"), 5);
    const auto rows = probe.on(base + "/row");
    for (int i = 0; i < 5; ++i) {
      QCOMPARE(rows[i].qos, 1);
      QCOMPARE(Json(rows[i].payload), lines[i]);
    }

    // The offline status is the last message of the run: what came before it
    // has been handed on too.
    QTRY_VERIFY(!probe.on(base + "/status").isEmpty() &&
                Json(probe.on(base + "/status").last().payload).value(QStringLiteral("status")).toString() ==
                    u"offline");
    const auto readings = probe.on(base + "/reading");
    QVERIFY(readings.size() >= 5);
    for (const auto& m : readings) {
      const QJsonObject r = Json(m.payload);
      QCOMPARE(m.qos, 0);
      QVERIFY(!r.contains(QStringLiteral("position")));
      QCOMPARE(r.value(QStringLiteral("model")).toString(), QStringLiteral("ZT40"));
      QCOMPARE(r.value(QStringLiteral("primary")).toObject().value(QStringLiteral("kind")).toString(),
               QStringLiteral("resistance"));
      for (const char* key :
           {"time", "secondary", "frequency_hz", "level", "circuit", "verdict", "deviations", "texts"})
        QVERIFY2(r.contains(QLatin1String(key)), key);
    }

    // The status: online (the link's states in between), offline at the end,
    // and offline is what a subscriber arriving now is told.
    const auto status = probe.on(base + "/status");
    QVERIFY(status.size() >= 2);
    bool sawUp = false;
    for (const auto& m : status) {
      const QJsonObject s = Json(m.payload);
      if (s.value(QStringLiteral("link")).toString() == u"up") sawUp = true;
      QCOMPARE(s.value(QStringLiteral("port")).toString(), meter.portPath());
    }
    QVERIFY(sawUp);
    QCOMPARE(Json(status.last().payload).value(QStringLiteral("status")).toString(), QStringLiteral("offline"));
    MqttProbe late("probe-record-late");
    QVERIFY(late.connect(broker.port()));
    QVERIFY(late.subscribe(base + "/status", 1));
    QTRY_COMPARE(late.count(base + "/status"), 1);
    QVERIFY(late.on(base + "/status").first().retain);
    QCOMPARE(Json(late.on(base + "/status").first().payload).value(QStringLiteral("status")).toString(),
             QStringLiteral("offline"));
  }

  // kill -9: the broker tells the subscribers offline by itself.
  void killedRecorderLeavesItsWill() {
    MqttBroker broker;
    QString error;
    QVERIFY2(broker.start(&error), qPrintable(error));
    MqttProbe probe("probe-will");
    QVERIFY(probe.connect(broker.port()));
    QVERIFY(probe.subscribe("lab/#", 1));

    DataFolder data;
    sim::SimulatedMeter meter(FastMeter());
    QVERIFY(meter.start());
    Child rec({"--wait", "10", "--out", "-", "--mqtt", Url(broker.port())}, data.dir.path());
    const QByteArray base = Base(meter);
    QVERIFY2(QTest::qWaitFor([&] { return probe.count(base + "/row") >= 2; }, 20000), qPrintable(rec.err()));
    QCOMPARE(Json(probe.on(base + "/status").last().payload).value(QStringLiteral("status")).toString(),
             QStringLiteral("online"));
    QCOMPARE(::kill(pid_t(rec.pid()), SIGKILL), 0);
    QVERIFY(rec.finish());
    QTRY_COMPARE_WITH_TIMEOUT(
        Json(probe.on(base + "/status").last().payload).value(QStringLiteral("status")).toString(),
        QStringLiteral("offline"), 10000);
  }

  // The broker stops after the third row and is back a few rows later;
  // every row of the run reaches the subscriber.
  void brokerRestartLosesNoRow() {
    BrokerOptions o;
    o.persistence = true;
    MqttBroker broker(o);
    QString error;
    QVERIFY2(broker.start(&error), qPrintable(error));
    MqttProbe probe("probe-restart", false);
    QVERIFY(probe.connect(broker.port()));
    QVERIFY(probe.subscribe("lab/+/row", 1));

    DataFolder data;
    sim::SimulatedMeter meter(FastMeter());
    QVERIFY(meter.start());
    constexpr int kRows = 14;
    Child rec({"--count", QString::number(kRows), "--wait", "10", "--out", "-", "--mqtt", Url(broker.port())},
              data.dir.path());
    const QByteArray rowTopic = Base(meter) + "/row";
    QVERIFY2(QTest::qWaitFor([&] { return probe.count(rowTopic) >= 3; }, 20000), qPrintable(rec.err()));
    broker.stop();
    QVERIFY2(QTest::qWaitFor([&] { return JsonLines(rec.out()).size() >= 7; }, 20000), qPrintable(rec.err()));
    QVERIFY2(broker.start(&error), qPrintable(error));
    QVERIFY(rec.finish());
    QVERIFY2(rec.exitCode() == 0, qPrintable(rec.report()));
    QVERIFY2(rec.err().contains(QStringLiteral("not reached")), qPrintable(rec.err()));

    QSet<int> all;
    for (int p = 1; p <= kRows; ++p) all.insert(p);
    QCOMPARE(JsonLines(rec.out()).size(), kRows);
    QTRY_COMPARE_WITH_TIMEOUT(Positions(probe.on(rowTopic)), all, 15000);
    QVERIFY2(!rec.err().contains(QStringLiteral("not published")), qPrintable(rec.err()));
  }

  // Nothing listens where the broker should be: the run records at the
  // meter's pace, ends on time, and says what was not published.
  void unreachableBrokerLeavesRecordingAlone() {
    QTcpServer nothing;
    QVERIFY(nothing.listen(QHostAddress::LocalHost, 0));
    const int port = nothing.serverPort();
    nothing.close();

    DataFolder data;
    sim::SimulatedMeter meter(FastMeter());
    QVERIFY(meter.start());
    QElapsedTimer t;
    t.start();
    Child rec({"--count", "6", "--wait", "10", "--out", "-", "--mqtt", Url(port)}, data.dir.path());
    QVERIFY(rec.finish());
    QVERIFY2(rec.exitCode() == 0, qPrintable(rec.report()));
    const QList<QJsonObject> lines = JsonLines(rec.out());
    QCOMPARE(lines.size(), 6);
    // A reading every half second, one row each.
    for (int i = 1; i < lines.size(); ++i) {
      const QDateTime a =
          QDateTime::fromString(lines[i - 1].value(QStringLiteral("time")).toString(), Qt::ISODateWithMs);
      const QDateTime b = QDateTime::fromString(lines[i].value(QStringLiteral("time")).toString(), Qt::ISODateWithMs);
      QVERIFY2(a.msecsTo(b) < 1500, qPrintable(QString::number(a.msecsTo(b))));
    }
    QVERIFY2(t.elapsed() < 20000, qPrintable(QString::number(t.elapsed())));
    // Said once, not at every attempt; and the rows that did not go out.
    QCOMPARE(rec.err().count(QStringLiteral("not reached")), 1);
    QVERIFY2(rec.err().contains(QStringLiteral("6 row(s) were not published")), qPrintable(rec.err()));
  }
};

QTEST_GUILESS_MAIN(RecordMqttTest)
#include "test_record_mqtt.moc"
