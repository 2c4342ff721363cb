// What each received burst means to the link: every row of the receive table.
#include <QtTest>

#include "rx_burst.h"

using zt::RxBurstKind;
Q_DECLARE_METATYPE(RxBurstKind)

namespace {

std::span<const std::uint8_t> Bytes(const QByteArray& b) {
  return {reinterpret_cast<const std::uint8_t*>(b.constData()), std::size_t(b.size())};
}

const QByteArray kGlued = QByteArrayLiteral("OK+CONNLOK+CONN\r\n");

}  // namespace

class RxBurstTest : public QObject {
  Q_OBJECT

 private slots:
  void classify_data() {
    QTest::addColumn<QByteArray>("burst");
    QTest::addColumn<bool>("busy");
    QTest::addColumn<RxBurstKind>("kind");
    const QByteArray frame18(18, '\x41');

    QTest::newRow("connecting") << QByteArray("OK+CONNL") << false << RxBurstKind::Connecting;
    QTest::newRow("connecting while busy") << QByteArray("OK+CONNL") << true << RxBurstKind::Connecting;
    QTest::newRow("fail E") << QByteArray("OK+CONNE") << false << RxBurstKind::ConnectFailed;
    QTest::newRow("fail F") << QByteArray("OK+CONNF") << false << RxBurstKind::ConnectFailed;
    QTest::newRow("fail EF") << QByteArray("OK+CONNEOK+CONNF") << false << RxBurstKind::ConnectFailed;
    QTest::newRow("fail FE is noise") << QByteArray("OK+CONNFOK+CONNE") << false << RxBurstKind::Purge;
    QTest::newRow("no connection") << QByteArray("OK+CONNN") << false << RxBurstKind::NoConnection;
    QTest::newRow("connected") << QByteArray("OK+CONN") << false << RxBurstKind::Connected;
    QTest::newRow("connected CR LF") << QByteArray("OK+CONN\r\n") << false << RxBurstKind::Connected;
    QTest::newRow("connected CR only") << QByteArray("OK+CONN\r") << false << RxBurstKind::Purge;
    QTest::newRow("glued alone (17)") << kGlued << false << RxBurstKind::Purge;
    QTest::newRow("glued + 1 byte (18)") << (kGlued + 'x') << false << RxBurstKind::Connected;
    QTest::newRow("glued + 1 byte while busy") << (kGlued + 'x') << true << RxBurstKind::Connected;
    QTest::newRow("glued + frame") << (kGlued + frame18) << false << RxBurstKind::Connected;
    QTest::newRow("glued without LF + 2") << (kGlued.left(16) + "xy") << false << RxBurstKind::MeterFrame;
    QTest::newRow("lost") << QByteArray("OK+LOST") << false << RxBurstKind::Lost;
    QTest::newRow("ok") << QByteArray("OK") << false << RxBurstKind::Ok;
    QTest::newRow("ok CR LF") << QByteArray("OK\r\n") << false << RxBurstKind::Purge;
    QTest::newRow("lower case") << QByteArray("ok+conn") << false << RxBurstKind::Purge;
    QTest::newRow("NUL inside") << QByteArray("OK\0", 3) << false << RxBurstKind::Purge;
    QTest::newRow("empty") << QByteArray() << false << RxBurstKind::Purge;
    QTest::newRow("17 bytes") << QByteArray(17, '\0') << false << RxBurstKind::Purge;
    QTest::newRow("19 bytes") << QByteArray(19, '\0') << false << RxBurstKind::Purge;
    QTest::newRow("18 bytes") << frame18 << false << RxBurstKind::MeterFrame;
    QTest::newRow("18 bytes while busy") << frame18 << true << RxBurstKind::DroppedWhileBusy;
    QTest::newRow("17 noise while busy") << QByteArray(17, '\0') << true << RxBurstKind::Purge;
    QTest::newRow("text padded to 18") << QByteArray("OK+LOST").leftJustified(18, ' ') << false
                                       << RxBurstKind::MeterFrame;
    QTest::newRow("1000 bytes") << QByteArray(1000, '\x0A') << false << RxBurstKind::Purge;
  }

  void classify() {
    QFETCH(QByteArray, burst);
    QFETCH(bool, busy);
    QFETCH(RxBurstKind, kind);
    const RxBurstKind got = zt::ClassifyRxBurst(Bytes(burst), busy);
    QVERIFY2(got == kind, zt::RxBurstKindName(got));
  }
};

#include "test_rx_burst.moc"

int RunRxBurstTests(int argc, char** argv) {
  RxBurstTest t;
  return QTest::qExec(&t, argc, argv);
}
