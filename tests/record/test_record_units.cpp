// The headless recorder's pure parts: the command line (every option, every
// refusal), when the meter counts as having taken the settings, the progress
// line and the language names it answers to.
#include <QRegularExpression>
#include <QTest>

#include "headless_recorder.h"
#include "lang_man.h"
#include "record_options.h"

using namespace zt;

class RecordUnitsTest : public QObject {
  Q_OBJECT

 private slots:
  void accepted_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("action");
    QTest::addColumn<QString>("check");  // "field=value" pairs the options must show
    using A = RecordAction;
    QTest::newRow("nothing: JSON lines on standard output")
        << QStringList{} << int(A::Run) << "out=- format=jsonl count=0 duration=0 wait=30 lang=English interval=none";
    QTest::newRow("csv by extension, upper case")
        << QStringList{"--out", "LOG.CSV"} << int(A::Run) << "out=LOG.CSV format=csv";
    QTest::newRow("workbook") << QStringList{"-o", "a.b/parts.xlsx"} << int(A::Run) << "format=xlsx";
    QTest::newRow("json lines file") << QStringList{"--out=x.jsonl"} << int(A::Run) << "format=jsonl out=x.jsonl";
    QTest::newRow("count and duration") << QStringList{"--count", "100", "--duration=2.5"} << int(A::Run)
                                        << "count=100 duration=2.5";
    QTest::newRow("largest count") << QStringList{"--count", "100000"} << int(A::Run) << "count=100000";
    QTest::newRow("intervals") << QStringList{"--interval", "0.5"} << int(A::Run) << "interval=0";
    QTest::newRow("interval 2 s") << QStringList{"--interval", "2"} << int(A::Run) << "interval=2";
    QTest::newRow("profile and index") << QStringList{"--profile", "p.hex1", "--index", "3", "--start", "40"}
                                       << int(A::Run) << "profile=p.hex1 index=3 start=40";
    QTest::newRow("port, wait without limit, quiet, language")
        << QStringList{"--port", "/dev/ttyUSB3", "--wait", "0", "-q", "--lang", "ru"} << int(A::Run)
        << "port=/dev/ttyUSB3 wait=0 quiet=1 lang=ru";
    QTest::newRow("short switches together, the value after them")
        << QStringList{"-qo", "x.csv"} << int(A::Run) << "quiet=1 out=x.csv format=csv";
    QTest::newRow("last value wins") << QStringList{"--count", "5", "--count", "7"} << int(A::Run) << "count=7";
    QTest::newRow("list ports") << QStringList{"--list-ports"} << int(A::ListPorts) << "";
    QTest::newRow("help wins over version and listing")
        << QStringList{"--version", "--list-ports", "-h"} << int(A::ShowHelp) << "";
    QTest::newRow("version") << QStringList{"--version"} << int(A::ShowVersion) << "";
    QTest::newRow("broker") << QStringList{"--mqtt", "mqtt://bench:pw@broker.lab/lab"} << int(A::Run)
                            << "mqtt=mqtt://bench@broker.lab:1883/lab";
    QTest::newRow("broker with TLS and its authority")
        << QStringList{"--mqtt-ca", "ca.pem", "--mqtt=mqtts://broker.lab"} << int(A::Run)
        << "mqtt=mqtts://broker.lab:8883/zt ca=ca.pem";
  }

  void accepted() {
    QFETCH(QStringList, args);
    QFETCH(int, action);
    QFETCH(QString, check);
    const RecordCommand c = ParseRecordArguments(args);
    QVERIFY2(c.error.isEmpty(), qPrintable(c.error));
    QCOMPARE(int(c.action), action);
    const RecordOptions& o = c.options;
    const char* formats[] = {"csv", "xlsx", "jsonl"};
    const QHash<QString, QString> shown{
        {"out", o.out},
        {"format", QString::fromLatin1(formats[int(o.format)])},
        {"count", QString::number(o.count)},
        {"duration", QString::number(o.durationS)},
        {"wait", QString::number(o.waitS)},
        {"lang", o.lang},
        {"interval", o.intervalItem ? QString::number(*o.intervalItem) : QStringLiteral("none")},
        {"profile", o.profile},
        {"index", QString::number(o.index)},
        {"start", QString::number(o.start)},
        {"port", o.port},
        {"quiet", QString::number(int(o.quiet))},
        {"mqtt", o.mqtt ? o.mqtt->redacted() : QString()},
        {"ca", o.mqtt ? o.mqtt->caFile : QString()},
    };
    for (const QString& pair : check.split(u' ', Qt::SkipEmptyParts)) {
      const QString key = pair.section(u'=', 0, 0);
      QVERIFY2(shown.contains(key), qPrintable(key));
      QCOMPARE(shown.value(key), pair.section(u'=', 1));
    }
  }

  void refused_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("error");  // a part of the message
    QTest::newRow("unknown option") << QStringList{"--bogus"} << "unknown option '--bogus'";
    QTest::newRow("unknown option beside help") << QStringList{"--help", "-x"} << "'-x'";
    QTest::newRow("stray argument") << QStringList{"out.csv"} << "unexpected argument 'out.csv'";
    QTest::newRow("value missing") << QStringList{"--count"} << "--count needs a value";
    QTest::newRow("value missing after short switches") << QStringList{"-qo"} << "--out needs a value";
    QTest::newRow("unknown letter among short switches") << QStringList{"-qz"} << "unknown option '-qz'";
    QTest::newRow("value on a switch") << QStringList{"--quiet=yes"} << "--quiet takes no value";
    QTest::newRow("count zero") << QStringList{"--count", "0"} << "--count";
    QTest::newRow("count not a number") << QStringList{"--count", "ten"} << "'ten'";
    QTest::newRow("count past the log") << QStringList{"--count", "100001"} << "100000";
    QTest::newRow("duration zero") << QStringList{"--duration", "0"} << "--duration";
    QTest::newRow("duration negative") << QStringList{"--duration", "-5"} << "--duration";
    QTest::newRow("duration with exponent") << QStringList{"--duration", "1e9"} << "--duration";
    QTest::newRow("interval not offered") << QStringList{"--interval", "3"} << "0.5, 1 or 2";
    QTest::newRow("interval with comma") << QStringList{"--interval", "0,5"} << "0.5, 1 or 2";
    QTest::newRow("wait negative") << QStringList{"--wait", "-1"} << "--wait";
    QTest::newRow("index without profile") << QStringList{"--index", "2"} << "--index needs --profile";
    QTest::newRow("index zero") << QStringList{"--profile", "p.hex1", "--index", "0"} << "--index";
    QTest::newRow("start past the log") << QStringList{"--start", "100001"} << "--start";
    QTest::newRow("unknown output type") << QStringList{"--out", "log.txt"} << ".csv, .xlsx or .jsonl";
    QTest::newRow("no extension") << QStringList{"--out", "log"} << "'log'";
    QTest::newRow("empty language") << QStringList{"--lang", " "} << "--lang";
    QTest::newRow("empty port") << QStringList{"--port="} << "--port";
    QTest::newRow("broker not a URL") << QStringList{"--mqtt", "broker.lab"} << "mqtt://";
    QTest::newRow("broker port") << QStringList{"--mqtt", "mqtt://h:0"} << "port";
    QTest::newRow("authority without TLS") << QStringList{"--mqtt", "mqtt://h", "--mqtt-ca", "ca.pem"} << "mqtts://";
    QTest::newRow("authority without broker") << QStringList{"--mqtt-ca", "ca.pem"} << "--mqtt-ca needs --mqtt";
  }

  void refused() {
    QFETCH(QStringList, args);
    QFETCH(QString, error);
    const RecordCommand c = ParseRecordArguments(args);
    QCOMPARE(int(c.action), int(RecordAction::UsageError));
    QVERIFY2(c.error.contains(error), qPrintable(c.error));
  }

  // A refused broker URL is named by its fault, never repeated: it may hold
  // a password.
  void refusedBrokerKeepsItsPassword() {
    const RecordCommand c = ParseRecordArguments({"--mqtt", "mqtt://bench:s3cret@h:99999"});
    QCOMPARE(int(c.action), int(RecordAction::UsageError));
    QVERIFY(!c.error.contains(QStringLiteral("s3cret")));
  }

  // The shape the manual page is made from: usage line, summary with a full
  // stop, blank line; and every exit status is listed.
  void helpShape() {
    const QString help = RecordHelpText();
    const QRegularExpression shape(QStringLiteral("^Usage: zt-record ([^\\n]*)\\n([^\\n]*)\\.\\n\\n(.*)$"),
                                   QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch m = shape.match(help);
    QVERIFY(m.hasMatch());
    QCOMPARE(m.captured(1), RecordSynopsis());
    for (const char* line : {"  0  done", "  2  bad arguments", "  3  no meter within --wait", "  4  the link was lost",
                             "  5  the output cannot be written"})
      QVERIFY2(help.contains(QLatin1String(line)), line);
    for (const QString& l : help.split(u'\n').mid(2)) QVERIFY2(l.size() <= 80, qPrintable(l));
  }

  void settingsTaken_data() {
    QTest::addColumn<QString>("reported");  // changes from what was asked
    QTest::addColumn<bool>("taken");
    QTest::newRow("all as asked") << "" << true;
    QTest::newRow("another frequency") << "FreqCode=6" << false;
    QTest::newRow("frequency automatic instead") << "FreqAuto=1" << false;
    QTest::newRow("another level") << "LevelCode=3" << false;
    QTest::newRow("another primary") << "PrimaryCode=2" << false;
    QTest::newRow("secondary automatic") << "SecondaryAuto=1" << false;
    QTest::newRow("parallel instead of series") << "CircuitSeries=0" << false;
    QTest::newRow("another interval") << "IntervalCode=2" << false;
    QTest::newRow("hold on") << "Hold=1" << false;
    QTest::newRow("sound and source do not count") << "Sound=0 SourceAuto=1 SourceCode=2" << true;
    QTest::newRow("nor the frame's own flags") << "LogReady=0 NegativeSign=1" << true;
  }

  void settingsTaken() {
    QFETCH(QString, reported);
    QFETCH(bool, taken);
    MeterSettings asked;
    asked.FreqCode = 5;
    asked.PrimaryCode = 1;
    asked.SecondaryCode = 2;
    asked.LevelCode = 2;
    asked.CircuitSeries = 1;
    asked.IntervalCode = 3;
    asked.Sound = 1;
    asked.LogReady = 1;
    MeterSettings got = asked;
    for (const QString& pair : reported.split(u' ', Qt::SkipEmptyParts)) {
      const QString f = pair.section(u'=', 0, 0);
      const auto v = std::uint8_t(pair.section(u'=', 1).toInt());
      if (f == u"FreqCode")
        got.FreqCode = v;
      else if (f == u"FreqAuto")
        got.FreqAuto = v;
      else if (f == u"LevelCode")
        got.LevelCode = v;
      else if (f == u"PrimaryCode")
        got.PrimaryCode = v;
      else if (f == u"SecondaryAuto")
        got.SecondaryAuto = v;
      else if (f == u"CircuitSeries")
        got.CircuitSeries = v;
      else if (f == u"IntervalCode")
        got.IntervalCode = v;
      else if (f == u"Hold")
        got.Hold = v;
      else if (f == u"Sound")
        got.Sound = v;
      else if (f == u"SourceAuto")
        got.SourceAuto = v;
      else if (f == u"SourceCode")
        got.SourceCode = v;
      else if (f == u"LogReady")
        got.LogReady = v;
      else if (f == u"NegativeSign")
        got.NegativeSign = v;
      else
        QFAIL(qPrintable(f));
    }
    QCOMPARE(SettingsTaken(asked, got), taken);
  }

  // Automatic choices: the meter picks the code, only the flag must agree.
  void settingsTakenUnderAutomatic() {
    MeterSettings asked;
    asked.FreqAuto = asked.LevelAuto = asked.PrimaryAuto = asked.SecondaryAuto = asked.CircuitAuto = 1;
    MeterSettings got = asked;
    got.FreqCode = 9;
    got.LevelCode = 1;
    got.PrimaryCode = 3;
    got.SecondaryCode = 1;
    got.CircuitSeries = 1;
    QVERIFY(SettingsTaken(asked, got));
    asked.IntervalCode = 0;  // no interval asked for: any will do
    got.IntervalCode = 1;
    QVERIFY(SettingsTaken(asked, got));
  }

  void progressLine() {
    LogRow row;
    row.position = 41;
    row.texts[2] = QStringLiteral("R 1.0003 kΩ");
    row.texts[3] = QStringLiteral("Q 0.0012");
    QCOMPARE(ProgressLine(0, 0, -1, nullptr, 80), QStringLiteral("0 rows  -/s  00:00:00"));
    QCOMPARE(ProgressLine(1, 1500, -1, &row, 100), QStringLiteral("1 row  -/s  00:00:01  #41  R 1.0003 kΩ  Q 0.0012"));
    row.verdict.primaryOn = true;
    row.verdict.SortResult = kSortPrimaryOut;
    QCOMPARE(ProgressLine(7200, 3723000, 1.9999, &row, 200),
             QStringLiteral("7200 rows  2.00/s  01:02:03  #41  R 1.0003 kΩ  Q 0.0012  reject"));
    QCOMPARE(ProgressLine(7200, 3723000, 2, &row, 30).size(), 29);  // never wraps the terminal's line
  }

  void languageNames_data() {
    QTest::addColumn<QString>("wanted");
    QTest::addColumn<QString>("found");  // the language's name; empty: none
    QTest::newRow("English by name") << "English"
                                     << "English";
    QTest::newRow("any case") << "english"
                              << "English";
    QTest::newRow("by code") << "en"
                             << "English";
    QTest::newRow("by file name") << "eng"
                                  << "English";
    QTest::newRow("design language by name") << "Русский"
                                             << "Русский";
    QTest::newRow("design language by code") << "RU"
                                             << "Русский";
    QTest::newRow("design language in English") << "Russian"
                                                << "Русский";
    QTest::newRow("unknown") << "Klingon"
                             << "";
  }

  void languageNames() {
    QFETCH(QString, wanted);
    QFETCH(QString, found);
    LangMan lang;
    lang.loadLanguages(QStringLiteral(ZT_LANG_DIR));
    const int i = FindLanguage(lang, wanted);
    QCOMPARE(i < 0 ? QString() : lang.language(i).name, found);
  }
};

QTEST_GUILESS_MAIN(RecordUnitsTest)
#include "test_record_units.moc"
