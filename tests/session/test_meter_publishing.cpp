// A working session published to a real mosquitto broker: the simulated
// meter's readings, the rows the recorder writes and the link's state arrive
// on their topics with the documented fields; a broker that cannot be reached
// leaves the session and its recording as they are.
#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

#include "ble_fake.h"
#include "meter_publishing.h"
#include "mqtt_broker.h"
#include "port_lookup.h"
#include "session.h"
#include "simulated_meter.h"
#include "topics.h"

using namespace zt;
using zt::test::MqttBroker;
using zt::test::MqttProbe;

namespace {

LinkTimings FastLink() {
  LinkTimings t;
  t.t2Ms = 100;
  t.t3Ms = 200;
  t.t4Ms = 150;
  t.txMs = 50;
  t.connectWaitMs = 800;
  return t;
}

PublisherTimings FastPublisher() {
  PublisherTimings t;
  t.reconnectMinMs = 50;
  t.reconnectMaxMs = 400;
  t.keepAliveS = 5;
  t.connectTimeoutMs = 1500;
  return t;
}

BrokerConfig Local(int port) {
  BrokerConfig c;
  c.enabled = true;
  c.host = QStringLiteral("127.0.0.1");
  c.port = port;
  c.prefix = QStringLiteral("lab/zt");
  return c;
}

QJsonObject Json(const QByteArray& payload) {
  QJsonParseError e;
  const QJsonDocument d = QJsonDocument::fromJson(payload, &e);
  return e.error == QJsonParseError::NoError ? d.object() : QJsonObject();
}

// A session whose only serial device is the simulated dongle (a reading every
// half second once linked).
struct Rig {
  QString folder;
  FakeBle ble;
  std::unique_ptr<PortLookup> lookup;
  std::unique_ptr<Session> session;
  sim::SimulatedMeter meter;

  explicit Rig(const QString& dataFolder) : folder(dataFolder), meter(Options()) {
    qputenv("RLC_DATA_DIR", folder.toLocal8Bit());
    lookup = std::make_unique<PortLookup>([] { return QList<SerialPortEntry>{}; }, MatchRule::UsbIdentity);
    SessionDeps deps;
    deps.portLookup = lookup.get();
    deps.ble = &ble;
    deps.linkTimings = FastLink();
    deps.dataFolder = folder;
    deps.langDir = QStringLiteral(ZT_LANG_DIR);
    session = std::make_unique<Session>(deps);
  }
  ~Rig() {
    session.reset();
    qunsetenv("RLC_DATA_DIR");
  }
  static sim::Options Options() {
    sim::Options o;
    o.connectDelayMs = 30;
    o.intervalCode = 3;
    o.model = sim::Model::ZT41;
    o.dut = QStringLiteral("R=1k");
    return o;
  }
  bool connectAuto() {
    if (!meter.start()) return false;
    session->start();
    session->link().setAutoConnect(true);
    return QTest::qWaitFor([this] { return session->link().linkUp(); }, 5000);
  }
};

}  // namespace

class MeterPublishingTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { qRegisterMetaType<zt::PublishState>(); }

  void readingsRowsAndStatus() {
    MqttBroker broker;
    QString error;
    QVERIFY2(broker.start(&error), qPrintable(error));
    MqttProbe probe("probe-session");
    QVERIFY(probe.connect(broker.port()));
    QVERIFY(probe.subscribe("lab/zt/#", 1));

    QTemporaryDir data;
    Rig rig(data.path());
    MeterPublishing pub(rig.session.get(), QStringLiteral("zt-test"), FastPublisher());
    pub.configure(Local(broker.port()));
    QVERIFY(rig.connectAuto());
    QTRY_COMPARE_WITH_TIMEOUT(pub.publisher().state(), PublishState::Connected, 10000);

    // The meter's id: its model and its port.
    QTRY_COMPARE_WITH_TIMEOUT(rig.session->meter().model(), std::uint8_t(kZT41), 5000);
    const QString id = MeterTopicId(QStringLiteral("ZT41"), rig.meter.portPath());
    QTRY_COMPARE_WITH_TIMEOUT(pub.meterId(), id, 5000);
    const QByteArray base = "lab/zt/" + id.toUtf8();

    // Retained status: online, with the link up over the serial port.
    QTRY_VERIFY_WITH_TIMEOUT(!probe.on(base + "/status").isEmpty() &&
                                 Json(probe.on(base + "/status").last().payload)[u"link"].toString() == u"up",
                             10000);
    const QJsonObject status = Json(probe.on(base + "/status").last().payload);
    QCOMPARE(status[u"status"].toString(), QStringLiteral("online"));
    QCOMPARE(status[u"transport"].toString(), QStringLiteral("serial"));
    QCOMPARE(status[u"model"].toString(), QStringLiteral("ZT41"));
    QCOMPARE(status[u"port"].toString(), rig.meter.portPath());

    // Every displayed reading, with the numbers of a logged row.
    QTRY_VERIFY_WITH_TIMEOUT(probe.count(base + "/reading") >= 2, 10000);
    const MqttProbe::Message m = probe.on(base + "/reading").last();
    QCOMPARE(m.qos, 0);
    const QJsonObject r = Json(m.payload);
    QVERIFY2(!r.isEmpty(), m.payload.constData());
    QVERIFY(!r.contains(u"position"));
    QCOMPARE(r[u"model"].toString(), QStringLiteral("ZT41"));
    QCOMPARE(r[u"primary"][u"kind"].toString(), QStringLiteral("resistance"));
    QVERIFY(qAbs(r[u"primary"][u"value"].toDouble() - 1000.0) < 1.0);
    QCOMPARE(r[u"primary"][u"bound"].toString(), QStringLiteral("exact"));
    QVERIFY(r[u"frequency_hz"].toInt() > 0);
    QVERIFY(r[u"level"][u"volts"].toDouble() > 0);
    QCOMPARE(r[u"verdict"].toString(), QStringLiteral("none"));
    QVERIFY(QDateTime::fromString(r[u"time"].toString(), Qt::ISODateWithMs).isValid());
    QVERIFY(r[u"texts"][u"primary"].toString().startsWith(u'R'));

    // Rows while recording: QoS 1, consecutive positions, the ten texts.
    QList<LogRow> written;
    connect(&rig.session->recorder(), &Recorder::rowWritten, this, [&](const LogRow& row) { written << row; });
    rig.session->recorder().setRecording(true);
    QTRY_VERIFY_WITH_TIMEOUT(probe.count(base + "/row") >= 3, 10000);
    rig.session->recorder().setRecording(false);
    QTRY_COMPARE_WITH_TIMEOUT(probe.count(base + "/row"), int(written.size()), 5000);
    const auto rows = probe.on(base + "/row");
    for (int i = 0; i < rows.size(); ++i) {
      QCOMPARE(rows[i].qos, 1);
      const QJsonObject row = Json(rows[i].payload);
      QCOMPARE(row[u"position"].toInt(), written[i].position);
      QCOMPARE(row[u"texts"].toObject().size(), 10);
      QCOMPARE(row[u"texts"][u"position"].toString(), written[i].texts[0]);
      QCOMPARE(row, Json(MeterPublishing::RowJson(written[i])));
    }
    QCOMPARE(Json(rows[1].payload)[u"position"].toInt(), Json(rows[0].payload)[u"position"].toInt() + 1);

    // The link goes down: the status says so and stays online.
    rig.session->link().setAutoConnect(false);
    rig.session->link().connectOrDisconnect();
    QTRY_VERIFY_WITH_TIMEOUT(Json(probe.on(base + "/status").last().payload)[u"link"].toString() != u"up", 10000);
    QCOMPARE(Json(probe.on(base + "/status").last().payload)[u"status"].toString(), QStringLiteral("online"));

    // A clean end: offline, retained.
    pub.shutdown(1000);
    QTRY_COMPARE(Json(probe.on(base + "/status").last().payload)[u"status"].toString(), QStringLiteral("offline"));
  }

  // Nothing listens where the broker should be: readings are shown and rows
  // written at the meter's pace as without publishing.
  void unreachableBrokerLeavesRecordingAlone() {
    QTcpServer nothing;
    QVERIFY(nothing.listen(QHostAddress::LocalHost, 0));
    const int port = nothing.serverPort();
    nothing.close();

    QTemporaryDir data;
    Rig rig(data.path());
    MeterPublishing pub(rig.session.get(), QStringLiteral("zt-test"), FastPublisher());
    QSignalSpy states(&pub, &MeterPublishing::stateChanged);
    pub.configure(Local(port));
    QVERIFY(rig.connectAuto());
    QTRY_VERIFY_WITH_TIMEOUT(rig.session->meter().mode() == WorkMode::Measuring, 3000);

    QList<LogRow> written;
    connect(&rig.session->recorder(), &Recorder::rowWritten, this, [&](const LogRow& row) { written << row; });
    QElapsedTimer t;
    t.start();
    rig.session->recorder().setRecording(true);
    // A reading every half second: six rows take about three seconds.
    QTRY_VERIFY_WITH_TIMEOUT(written.size() >= 6, 10000);
    QVERIFY2(t.elapsed() < 6000, qPrintable(QString::number(t.elapsed())));
    for (int i = 1; i < written.size(); ++i) QCOMPARE(written[i].position, written[i - 1].position + 1);
    QVERIFY(rig.session->link().linkUp());

    // The rows wait for the broker, and the worker says why they do.
    QVERIFY(pub.publisher().counters().queued >= std::size_t(written.size()));
    QCOMPARE(pub.publisher().counters().droppedRows, 0u);
    QVERIFY(pub.publisher().state() != PublishState::Connected);
    QVERIFY(!states.isEmpty());
  }
};

QTEST_GUILESS_MAIN(MeterPublishingTest)
#include "test_meter_publishing.moc"
