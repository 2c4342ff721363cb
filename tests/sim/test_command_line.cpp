#include <QTest>

#include "command_line.h"
#include "sim_tests.h"

using namespace zt::sim;

class CommandLineTest : public QObject {
  Q_OBJECT
 private slots:
  void defaults() {
    CommandLine cl;
    QString error;
    QVERIFY(ParseCommandLine({"zt-meter-sim"}, cl, &error));
    QCOMPARE(cl.options.mode, LinkMode::Dongle);
    QCOMPARE(cl.options.model, Model::ZT40);
    QCOMPARE(cl.options.intervalCode, 2);
    QCOMPARE(cl.options.friendlyName(), QStringLiteral("TI CC2540 USB CDC"));
    QVERIFY(!cl.printPort);
    QVERIFY(!cl.options.hold);
    QVERIFY(!cl.options.replug.active());
  }

  void everyOption() {
    CommandLine cl;
    QString error;
    QVERIFY2(ParseCommandLine({"zt-meter-sim",
                               "--mode",
                               "bridge",
                               "--model",
                               "zt42",
                               "--dut",
                               "C=100n;R=10k",
                               "--part-frames",
                               "3",
                               "--interval",
                               "0.5",
                               "--sleep-after",
                               "30",
                               "--fault",
                               "merge,split",
                               "--fault",
                               "unplug-after=2.5",
                               "--connect-fail",
                               "ef",
                               "--connect-failures",
                               "2",
                               "--connect-delay",
                               "50",
                               "--conn-crlf",
                               "--checksum-plus5",
                               "--seed",
                               "9",
                               "--print-port",
                               "--hold",
                               "--replug",
                               "4,0.5"},
                              cl, &error),
             qPrintable(error));
    const Options& o = cl.options;
    QCOMPARE(o.mode, LinkMode::Bridge);
    QCOMPARE(o.friendlyName(), QStringLiteral("Silicon Labs CP210x USB to UART Bridge"));
    QCOMPARE(o.model, Model::ZT42);
    QCOMPARE(o.dut, QStringLiteral("C=100n;R=10k"));
    QCOMPARE(o.partFrames, 3);
    QCOMPARE(o.intervalCode, 3);
    QCOMPARE(o.sleepAfterS, 30);
    QVERIFY(o.faults.merge && o.faults.split && !o.faults.garbage && !o.faults.silent);
    QCOMPARE(o.faults.unplugAfterMs, 2500);
    QCOMPARE(o.connectFailure, ConnectFailure::EF);
    QCOMPARE(o.connectFailures, 2);
    QCOMPARE(o.connectDelayMs, 50);
    QVERIFY(o.connCrLf && o.checksumPlus5);
    QCOMPARE(o.seed, 9u);
    QVERIFY(cl.printPort);
    QVERIFY(o.hold);
    QCOMPARE(o.replug.inMs, 4000);
    QCOMPARE(o.replug.outMs, 500);
  }

  void lenientDongle() {
    CommandLine cl;
    QString error;
    QVERIFY(ParseCommandLine({"zt-meter-sim"}, cl, &error));
    QVERIFY(!cl.options.lenient);  // strict, as a real dongle
    QVERIFY(ParseCommandLine({"zt-meter-sim", "--lenient"}, cl, &error));
    QVERIFY(cl.options.lenient);
  }

  void nameOverride() {
    CommandLine cl;
    QString error;
    QVERIFY(ParseCommandLine({"zt-meter-sim", "--name", "My Meter"}, cl, &error));
    QCOMPARE(cl.options.friendlyName(), QStringLiteral("My Meter"));
  }

  void rejected_data() {
    QTest::addColumn<QStringList>("args");
    QTest::newRow("unknown mode") << QStringList{"--mode", "wifi"};
    QTest::newRow("unknown model") << QStringList{"--model", "ZT43"};
    QTest::newRow("bad part") << QStringList{"--dut", "X=1"};
    QTest::newRow("bad value") << QStringList{"--dut", "R=abc"};
    QTest::newRow("negative resistance") << QStringList{"--dut", "R=-5"};
    QTest::newRow("empty list") << QStringList{"--dut", ";"};
    QTest::newRow("interval code instead of seconds") << QStringList{"--interval", "3"};
    QTest::newRow("negative sleep") << QStringList{"--sleep-after", "-1"};
    QTest::newRow("unknown fault") << QStringList{"--fault", "fire"};
    QTest::newRow("unplug without time") << QStringList{"--fault", "unplug-after="};
    QTest::newRow("unknown failure") << QStringList{"--connect-fail", "X"};
    QTest::newRow("replug with one time") << QStringList{"--replug", "4"};
    QTest::newRow("replug never back") << QStringList{"--replug", "4,0"};
    QTest::newRow("name with a path") << QStringList{"--name", "../evil"};
    QTest::newRow("unknown option") << QStringList{"--frobnicate"};
    QTest::newRow("stray argument") << QStringList{"extra"};
  }
  void rejected() {
    QFETCH(QStringList, args);
    args.prepend("zt-meter-sim");
    CommandLine cl;
    QString error;
    QVERIFY(!ParseCommandLine(args, cl, &error));
    QVERIFY(!error.isEmpty());
  }
};

int RunCommandLineTests(int argc, char** argv) {
  CommandLineTest t;
  return QTest::qExec(&t, argc, argv);
}

#include "test_command_line.moc"
