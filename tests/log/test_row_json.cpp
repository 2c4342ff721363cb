// A logged row as JSON: what programs reading the recorder's output and the
// publisher's payloads rely on. Each case states only the fields it is about.
#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>
#include <QTimeZone>

#include <cmath>
#include <limits>

#include "row_json.h"

using namespace zt;

Q_DECLARE_METATYPE(zt::LogRow)

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// A sorted resistor reading as the recorder writes it in single-part mode.
LogRow Row() {
  LogRow row;
  row.position = 12;
  row.time = QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7, 89), QTimeZone(3 * 3600));
  row.texts = {QStringLiteral("12"),          QStringLiteral("04.03.26 05:06:07"),
               QStringLiteral("R 1.0005 kΩ"), QStringLiteral("Q 0.0100"),
               QStringLiteral("S"),           QStringLiteral("1kHz"),
               QStringLiteral("1.0Vrms"),     QStringLiteral("-"),
               QStringLiteral("0.05"),        QString()};
  row.verdict.SortResult = kSortPass;
  row.verdict.PrimaryDeviation = 0.05;
  row.verdict.SecondaryDeviation = 7.5;  // left from an earlier check
  row.verdict.primaryOn = true;
  MeterReading& r = row.reading;
  r.model = kZT41;
  r.settings.CircuitSeries = 1;
  r.testFreqHz = 1000;
  r.levelText = QStringLiteral("1.0Vrms");
  r.level = TestLevel{1.0, true};
  r.primary = {Quantity::Resistance, 1000.5, QStringLiteral("Ω")};
  r.secondary = {Quantity::QualityFactor, 0.01, QString()};
  return row;
}

// Every key of `expected` is in `actual` with the same value; nested objects
// are compared the same way, so a case names only what it checks. A key
// expected as null must be present as null.
bool Contains(const QJsonObject& actual, const QJsonObject& expected, QString* where) {
  for (auto it = expected.begin(); it != expected.end(); ++it) {
    if (!actual.contains(it.key())) {
      *where = it.key() + QStringLiteral(" missing");
      return false;
    }
    const QJsonValue a = actual.value(it.key());
    if (it.value().isObject() && a.isObject()) {
      if (!Contains(a.toObject(), it.value().toObject(), where)) {
        *where = it.key() + u'.' + *where;
        return false;
      }
    } else if (a != it.value()) {
      *where = QStringLiteral("%1: %2 instead of %3")
                   .arg(it.key(), QString::fromUtf8(QJsonDocument(QJsonArray{a}).toJson(QJsonDocument::Compact)),
                        QString::fromUtf8(QJsonDocument(QJsonArray{it.value()}).toJson(QJsonDocument::Compact)));
      return false;
    }
  }
  return true;
}

}  // namespace

class RowJsonTest : public QObject {
  Q_OBJECT

 private slots:
  void fields_data() {
    QTest::addColumn<LogRow>("row");
    QTest::addColumn<QByteArray>("expected");  // the fields this case is about
    LogRow row = Row();
    QTest::newRow("sorted pass") << row << QByteArray(R"({
        "position": 12, "time": "2026-03-04T05:06:07.089+03:00", "model": "ZT41",
        "texts": {"position": "12", "time": "04.03.26 05:06:07", "primary": "R 1.0005 kΩ",
                  "secondary": "Q 0.0100", "circuit": "S", "frequency": "1kHz", "level": "1.0Vrms",
                  "reject": "-", "primary_deviation": "0.05", "secondary_deviation": ""},
        "primary": {"kind": "resistance", "value": 1000.5, "unit": "Ω", "bound": "exact"},
        "secondary": {"kind": "quality_factor", "value": 0.01, "unit": "", "bound": "exact"},
        "frequency_hz": 1000, "level": {"text": "1.0Vrms", "volts": 1, "rms": true},
        "circuit": "series", "verdict": "pass", "sort_result": 0,
        "deviations": {"primary": 0.05, "primaryValue": 0.05, "secondary": null}})");

    row = Row();
    row.verdict = {kSortBothOut, -2.5, 12.25, true, true};
    QTest::newRow("both sides out") << row << QByteArray(R"({"verdict": "reject", "sort_result": 3,
        "deviations": {"primary": -2.5, "secondary": 12.25}})");

    row = Row();
    row.verdict = {kSortSecondaryOut, 0.5, 3, false, true};
    QTest::newRow("secondary out, primary off")
        << row
        << QByteArray(R"({"verdict": "reject", "sort_result": 2, "deviations": {"primary": null, "secondary": 3}})");

    row = Row();
    row.verdict = {kSortInvalid, 0.05, 1, true, true};
    QTest::newRow("reference not readable: no deviation is trusted")
        << row
        << QByteArray(
               R"({"verdict": "invalid", "sort_result": 20, "deviations": {"primary": null, "secondary": null}})");

    row = Row();
    row.verdict = Verdict{};
    QTest::newRow("no tolerance on")
        << row
        << QByteArray(R"({"verdict": "none", "sort_result": 0, "deviations": {"primary": null, "secondary": null}})");

    // The sorting compares reactances: for C its figure is
    // (1 - nominal/measured) x 100, and the value's own deviation differs
    // (80 nF against 100 nF: -25 % sorted, -20 % of the value).
    row = Row();
    row.reading.primary = {Quantity::Capacitance, 80e-9, QStringLiteral("F")};
    row.verdict = {kSortPrimaryOut, -25, 0, true, false, kPrimaryC};
    QTest::newRow("C: reactance and value")
        << row << QByteArray(R"({"deviations": {"primary": -25, "primaryValue": -20, "secondary": null}})");
    row.verdict = {kSortPrimaryOut, 20, 0, true, false, kPrimaryC};  // 125 nF
    QTest::newRow("C larger") << row << QByteArray(R"({"deviations": {"primary": 20, "primaryValue": 25}})");
    row.verdict = {kSortPrimaryOut, 100, 0, true, false, kPrimaryC};
    QTest::newRow("C deviation of 100 %: no value deviation")
        << row << QByteArray(R"({"deviations": {"primary": 100, "primaryValue": null}})");
    row.verdict = {kSortPass, 0.5, 0, false, false, kPrimaryC};
    QTest::newRow("C, tolerance off") << row
                                      << QByteArray(R"({"deviations": {"primary": null, "primaryValue": null}})");
    row = Row();
    row.reading.primary = {Quantity::Inductance, 103e-6, QStringLiteral("H")};
    row.verdict = {kSortPrimaryOut, 3, 0, true, false, kPrimaryL};
    QTest::newRow("L: reactance in proportion")
        << row << QByteArray(R"({"deviations": {"primary": 3, "primaryValue": 3}})");

    row = Row();
    row.verdict.PrimaryDeviation = kInf;
    QTest::newRow("deviation not finite") << row << QByteArray(R"({"deviations": {"primary": null}})");

    row = Row();
    row.reading.primary = {Quantity::Resistance, 2e7, QStringLiteral("Ω"), Bound::Above};
    row.reading.secondary = {Quantity::Capacitance, 4e-2, QStringLiteral("F"), Bound::Below};
    QTest::newRow("over-range limits") << row << QByteArray(R"({
        "primary": {"kind": "resistance", "value": 20000000, "bound": "above"},
        "secondary": {"kind": "capacitance", "value": 0.04, "unit": "F", "bound": "below"}})");

    row = Row();
    row.reading.noTestFrequency = true;
    row.reading.settings.CircuitSeries = 0;
    row.reading.primary = {Quantity::Impedance, kNaN, QStringLiteral("Ω")};
    row.reading.secondary = {};
    QTest::newRow("no test frequency, parallel") << row << QByteArray(R"({"frequency_hz": null, "circuit": "parallel",
        "primary": {"kind": "impedance", "value": null, "unit": "Ω"}, "secondary": null})");

    row = Row();
    row.reading.primary = {Quantity::Inductance, 4.7e-6, QStringLiteral("H")};
    row.reading.secondary = {Quantity::PhaseAngle, -89.5, QStringLiteral("°")};
    row.reading.level = TestLevel{0.1, false};
    row.reading.levelText = QStringLiteral("0.1V");
    row.reading.model = 7;
    QTest::newRow("inductance, phase, DC level, unknown model") << row << QByteArray(R"({
        "primary": {"kind": "inductance", "value": 4.7e-6}, "secondary": {"kind": "phase_angle", "value": -89.5},
        "level": {"text": "0.1V", "volts": 0.1, "rms": false}, "model": null})");

    row = Row();
    row.reading.level = TestLevel{};
    QTest::newRow("level code without a level") << row << QByteArray(R"({"level": {"volts": null, "rms": null}})");

    row = Row();
    row.profileNumber = 3;
    row.position = 3;
    row.texts[1] = QStringLiteral("C100n");
    QTest::newRow("multi-part row names its profile")
        << row << QByteArray(R"({"position": 3, "profile": {"number": 3, "name": "C100n"}})");

    row = Row();
    row.time = QDateTime(QDate(2026, 7, 1), QTime(0, 0), QTimeZone::utc());
    QTest::newRow("UTC time") << row << QByteArray(R"({"time": "2026-07-01T00:00:00.000Z"})");

    row = Row();
    row.time = QDateTime();
    QTest::newRow("no time") << row << QByteArray(R"({"time": null})");
  }

  void fields() {
    QFETCH(LogRow, row);
    QFETCH(QByteArray, expected);
    const QJsonObject want = QJsonDocument::fromJson(expected).object();
    QVERIFY2(!want.isEmpty(), "the case's JSON does not parse");
    const QJsonObject got = RowToJson(row);
    QString where;
    QVERIFY2(Contains(got, want, &where), qPrintable(where));
  }

  // A single-part row has no profile; every row carries the ten texts.
  void keysOfEveryRow() {
    const QJsonObject o = RowToJson(Row());
    QVERIFY(!o.contains(QStringLiteral("profile")));
    const QStringList keys{"position",  "time",  "primary", "secondary",         "circuit",
                           "frequency", "level", "reject",  "primary_deviation", "secondary_deviation"};
    QCOMPARE(o.value(QStringLiteral("texts")).toObject().keys().size(), keys.size());
    for (int c = 0; c < kLogColumns; ++c) QCOMPARE(RowTextKey(c), keys[c]);
  }

  // One line each: a reader splitting on newlines gets one object per row,
  // whatever the texts hold.
  void oneLinePerRow() {
    LogRow row = Row();
    row.texts[1] = QStringLiteral("two\nlines");
    row.reading.primary.value = kNaN;
    const QByteArray line = RowToJsonLine(row);
    QVERIFY(line.endsWith('\n'));
    QCOMPARE(line.count('\n'), 1);
    QJsonParseError err;
    const QJsonObject back = QJsonDocument::fromJson(line, &err).object();
    QCOMPARE(err.error, QJsonParseError::NoError);
    QCOMPARE(back, RowToJson(row));
    QCOMPARE(back.value(QStringLiteral("texts")).toObject().value(QStringLiteral("time")).toString(),
             QStringLiteral("two\nlines"));
    QVERIFY(back.value(QStringLiteral("primary")).toObject().value(QStringLiteral("value")).isNull());
  }

  // Numbers survive the trip exactly, so a reader can match them to others.
  void numbersRoundTrip() {
    LogRow row = Row();
    row.reading.primary.value = 999.9096679725307;
    row.verdict.PrimaryDeviation = -2.990155029296875;
    const QJsonObject back = QJsonDocument::fromJson(RowToJsonLine(row)).object();
    QCOMPARE(back[QStringLiteral("primary")][QStringLiteral("value")].toDouble(), 999.9096679725307);
    QCOMPARE(back[QStringLiteral("deviations")][QStringLiteral("primary")].toDouble(), -2.990155029296875);
  }
};

QTEST_GUILESS_MAIN(RowJsonTest)
#include "test_row_json.moc"
