#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include "sim_test_support.h"
#include "sim_tests.h"
#include "simulated_meter.h"

using namespace zt::sim;

namespace {

// The logger's end of the terminal, opened the plain way.
class Port {
 public:
  explicit Port(const QString& path) {
    fd_ = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    termios t{};
    if (fd_ >= 0 && ::tcgetattr(fd_, &t) == 0) {
      ::cfmakeraw(&t);
      ::tcsetattr(fd_, TCSANOW, &t);
    }
  }
  ~Port() {
    if (fd_ >= 0) ::close(fd_);
  }
  bool isOpen() const { return fd_ >= 0; }
  bool write(const QByteArray& b) { return ::write(fd_, b.constData(), size_t(b.size())) == b.size(); }
  // Everything read so far (call repeatedly; the event loop runs in between).
  const QByteArray& drain() {
    char buf[256];
    ssize_t n;
    while ((n = ::read(fd_, buf, sizeof buf)) > 0) got_.append(buf, n);
    if (n < 0 && errno != EAGAIN) hungUp_ = true;
    if (n == 0) hungUp_ = true;
    return got_;
  }
  bool hungUp() {
    drain();
    pollfd p{fd_, POLLIN, 0};
    return hungUp_ || (::poll(&p, 1, 0) > 0 && (p.revents & POLLHUP));
  }
  void clear() { got_.clear(); }

 private:
  int fd_ = -1;
  QByteArray got_;
  bool hungUp_ = false;
};

QByteArray ReadRegistration(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

class PtyTest : public QObject {
  Q_OBJECT
  QTemporaryDir dir_;

 private slots:
  void initTestCase() {
    QVERIFY(dir_.isValid());
    qputenv("RLC_DATA_DIR", dir_.path().toLocal8Bit());
  }

  void dongleAnswersOverTheTerminal() {
    SimulatedMeter meter;
    QSignalSpy texts(&meter, &SimulatedMeter::textReceived);
    QString error;
    QVERIFY2(meter.start(&error), qPrintable(error));
    QVERIFY(meter.registrationPath().startsWith(dir_.path() + "/virtual-ports/"));
    QVERIFY(meter.registrationPath().endsWith("/TI CC2540 USB CDC"));
    QCOMPARE(ReadRegistration(meter.registrationPath()), meter.portPath().toLocal8Bit());

    Port port(meter.portPath());
    QVERIFY(port.isOpen());
    QVERIFY(port.write("AT"));
    QTRY_COMPARE(port.drain(), QByteArray("OK"));
    QCOMPARE(texts.count(), 1);
    QCOMPARE(texts.at(0).at(0).toByteArray(), QByteArray("AT"));

    port.clear();
    QVERIFY(port.write("AT+CONNL"));
    QTRY_VERIFY(port.drain().startsWith("OK+CONNLOK+CONN") || port.drain() == "OK+CONNL");
    QTRY_VERIFY(meter.isLinked());

    meter.stop();
    QVERIFY(!QFile::exists(meter.registrationPath()));
  }

  void bridgeTakesCommandsAndSendsFrames() {
    Options o;
    o.mode = LinkMode::Bridge;
    o.intervalCode = 3;
    SimulatedMeter meter(o);
    QSignalSpy commands(&meter, &SimulatedMeter::commandReceived);
    QVERIFY(meter.start());
    QVERIFY(meter.registrationPath().endsWith("/Silicon Labs CP210x USB to UART Bridge"));
    Port port(meter.portPath());
    QVERIFY(port.isOpen());
    QTRY_VERIFY(port.drain().size() >= 18);
    const QByteArray cmd = QByteArray::fromHex("018380210A01");  // series circuit, 1 s
    QVERIFY(port.write(cmd));
    QTRY_COMPARE(commands.count(), 1);
    QCOMPARE(commands.at(0).at(0).toByteArray(), cmd);
    QCOMPARE(meter.receivedCommands(), QList<QByteArray>{cmd});
    QVERIFY(meter.settings().circuitSeries && !meter.settings().circuitAuto);
    QCOMPARE(int(meter.settings().intervalCode), 2);
  }

  void injectedBurstArrivesWhole() {
    SimulatedMeter meter;  // a dongle: silent until asked
    QVERIFY(meter.start());
    Port port(meter.portPath());
    QVERIFY(port.isOpen());
    const QByteArray odd = QByteArray("OK+CONNLOK+CONN\r\n") + '\x55';
    meter.inject(odd);
    QTRY_COMPARE(port.drain(), odd);
  }

  void unplugHangsUpAndUnregisters() {
    Options o;
    o.faults.unplugAfterMs = 150;
    SimulatedMeter meter(o);
    QSignalSpy unplugged(&meter, &SimulatedMeter::unplugged);
    QVERIFY(meter.start());
    const QString reg = meter.registrationPath();
    Port port(meter.portPath());
    QVERIFY(port.isOpen());
    QTRY_COMPARE(unplugged.count(), 1);
    QVERIFY(!meter.isRunning());
    QVERIFY(!QFile::exists(reg));
    QVERIFY(port.hungUp());

    // Plugged in again: a fresh terminal, registered again.
    QVERIFY(meter.start());
    QCOMPARE(ReadRegistration(reg), meter.portPath().toLocal8Bit());
    meter.stop();
  }

  // Pulled out and plugged back again and again, each time a new terminal.
  void replugCycles() {
    Options o;
    o.replug = {200, 100};
    SimulatedMeter meter(o);
    QSignalSpy unplugged(&meter, &SimulatedMeter::unplugged);
    QSignalSpy started(&meter, &SimulatedMeter::started);
    QVERIFY(meter.start());
    const QString reg = meter.registrationPath();
    QTRY_COMPARE_WITH_TIMEOUT(unplugged.count(), 1, 5000);
    QVERIFY(!QFile::exists(reg));
    QTRY_COMPARE_WITH_TIMEOUT(started.count(), 2, 5000);
    QCOMPARE(ReadRegistration(reg), meter.portPath().toLocal8Bit());
    QTRY_COMPARE_WITH_TIMEOUT(unplugged.count(), 2, 5000);
    meter.stop();  // ends the cycling
    QTest::qWait(400);
    QCOMPARE(started.count(), 2);
    QVERIFY(!meter.isRunning());
  }

  void stopLeavesAnotherRegistrationAlone() {
    SimulatedMeter meter;
    QVERIFY(meter.start());
    QFile f(meter.registrationPath());
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write("/dev/pts/999");
    f.close();
    meter.stop();
    QCOMPARE(ReadRegistration(meter.registrationPath()), QByteArray("/dev/pts/999"));
    QFile::remove(meter.registrationPath());
  }

  void programRegistersAndCleansUpOnSigterm() {
    QProcess p;
    p.setProgram(QStringLiteral(ZT_METER_SIM_EXE));
    p.setArguments({"--mode", "bridge", "--interval", "0.5", "--print-port", "--name", "sim child"});
    p.setProcessChannelMode(QProcess::SeparateChannels);
    p.start();
    QVERIFY(p.waitForStarted());
    QTRY_VERIFY(p.canReadLine());
    const QString path = QString::fromLocal8Bit(p.readLine()).trimmed();
    QVERIFY(path.startsWith("/dev/"));
    const QString reg = dir_.path() + "/virtual-ports/sim child";
    QCOMPARE(ReadRegistration(reg), path.toLocal8Bit());
    {
      Port port(path);
      QVERIFY(port.isOpen());
      QTRY_VERIFY(port.drain().size() >= 18);
    }
    p.terminate();
    QVERIFY(p.waitForFinished(5000));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), 0);
    QVERIFY(!QFile::exists(reg));
  }
};

int RunPtyTests(int argc, char** argv) {
  PtyTest t;
  return QTest::qExec(&t, argc, argv);
}

#include "test_pty.moc"
