#include <QtTest>

#include <cmath>
#include <limits>

#include "format.h"

using namespace zt;

namespace {

struct SeparatorSet {
  const char* name;
  Separators sep;
};

// A point system and two comma systems (blank and no-break space grouping).
const SeparatorSet kSeparatorSets[] = {
    {"point", {QStringLiteral("."), QStringLiteral(",")}},
    {"comma", {QStringLiteral(","), QStringLiteral(" ")}},
    {"comma-nbsp", {QStringLiteral(","), QString(QChar(0x00A0))}},
};

// Expected texts are written with "." for the decimal and "," for the group
// separator; this puts in the separators under test.
QString Localise(const QString& text, const Separators& sep) {
  QString out;
  for (QChar c : text) {
    if (c == u'.')
      out += sep.decimal;
    else if (c == u',')
      out += sep.group;
    else
      out += c;
  }
  return out;
}

QString RowName(const char* sepName, const QString& what) { return QString::fromLatin1(sepName) + ": " + what; }

// A second language whose words differ from the design language's.
Lexicons OtherLanguage() {
  Lexicons l;
  l.Dlang1.items = {"M", "k", "m", "mc", "n", "p"};
  l.Dlang3.items = {"Hz", "Vrms", "V", "Ohm", "H", "F", "rms", "p-p", "max", "min"};
  return l;
}

}  // namespace

Q_DECLARE_METATYPE(Separators)

class FormatTest : public QObject {
  Q_OBJECT
 private slots:
  void fixed_data() {
    QTest::addColumn<double>("x");
    QTest::addColumn<int>("P");
    QTest::addColumn<int>("D");
    QTest::addColumn<bool>("grouped");
    QTest::addColumn<Separators>("sep");
    QTest::addColumn<QString>("expected");
    struct Case {
      const char* name;
      double x;
      int P, D;
      bool grouped;
      const char* expected;
    };
    const double inf = std::numeric_limits<double>::infinity();
    const Case cases[] = {
        {"precision raised to 2, padded", 0.4567, 1, 3, true, "0.460"},
        {"leading zeros are not significant", 0.01234, 1, 4, false, "0.0120"},
        {"grouped integer", 1234.5, 7, 0, true, "1,235"},
        {"ungrouped integer", 1234.5, 7, 0, false, "1235"},
        {"scientific fallback", 98765432, 5, 0, true, "9.8765E7"},
        {"scientific negative", -98765432, 5, 2, true, "-9.8765E7"},
        {"scientific without fraction", 1e8, 5, 2, true, "1E8"},
        {"scientific trims zeros", 120000000, 5, 2, true, "1.2E8"},
        {"precision clamp low gives scientific", 123, -3, 0, true, "1.2E2"},
        {"precision clamp high: 18 digits fixed", 1e17, 25, 0, false, "100000000000000000"},
        {"precision clamp high: 19 digits scientific", 1e18, 25, 0, false, "1E18"},
        {"carry into a new group", 999.996, 5, 2, true, "1,000.00"},
        {"carry past precision", 99999.5, 5, 0, true, "1E5"},
        {"carry adds an integer digit, still D decimals", 9.99999, 5, 4, true, "10.0000"},
        {"half up as written (2.675)", 2.675, 5, 2, true, "2.68"},
        {"half away from zero, negative", -2.675, 5, 2, true, "-2.68"},
        {"half up as written (1.005)", 1.005, 5, 2, true, "1.01"},
        {"exact half rounds away", 0.125, 5, 2, true, "0.13"},
        {"exact half rounds away, negative", -0.125, 5, 2, true, "-0.13"},
        {"rounds up at first decimal boundary", 0.006, 5, 2, true, "0.01"},
        {"rounds down to zero", 0.004, 5, 2, true, "0.00"},
        {"binary noise below the digits", 1.0000000000000002, 5, 4, true, "1.0000"},
        {"negative zero written unsigned", -0.001, 5, 2, true, "0.00"},
        {"minus zero", -0.0, 5, 3, true, "0.000"},
        {"zero", 0.0, 5, 0, true, "0"},
        {"large grouped", 1234567.891, 10, 2, true, "1,234,567.89"},
        {"large grouped negative", -1234567.891, 10, 2, true, "-1,234,567.89"},
        {"far below range", 1e-300, 5, 4, true, "0.0000"},
        {"largest double", std::numeric_limits<double>::max(), 5, 0, true, "1.7977E308"},
        {"infinity", inf, 5, 2, true, "INF"},
        {"minus infinity", -inf, 5, 2, true, "-INF"},
        {"not a number", std::numeric_limits<double>::quiet_NaN(), 5, 2, true, "NAN"},
    };
    for (const SeparatorSet& s : kSeparatorSets)
      for (const Case& c : cases)
        QTest::newRow(qPrintable(RowName(s.name, c.name)))
            << c.x << c.P << c.D << c.grouped << s.sep << Localise(QString::fromUtf8(c.expected), s.sep);
  }
  void fixed() {
    QFETCH(double, x);
    QFETCH(int, P);
    QFETCH(int, D);
    QFETCH(bool, grouped);
    QFETCH(Separators, sep);
    QFETCH(QString, expected);
    QCOMPARE(FormatFixed(x, P, D, grouped, sep), expected);
  }

  void prefixed_data() {
    QTest::addColumn<double>("x");
    QTest::addColumn<int>("kind");
    QTest::addColumn<double>("freq");
    QTest::addColumn<Separators>("sep");
    QTest::addColumn<QString>("expected");
    struct Case {
      const char* name;
      double x;
      int kind;
      double freq;
      const char* expected;
    };
    const Case cases[] = {
        {"kilo", 12345.678, 0, 1000, "12.346 к"},
        {"row chosen before rounding", 999.996, 0, 1000, "1,000.00 "},
        {"kilo row rounding to 1000", 999999.5, 0, 1000, "1,000.00 к"},
        {"mega, 3 decimals", 1e7, 0, 1000, "10.000 М"},
        {"mega, 4 decimals", 1e6, 0, 1000, "1.0000 М"},
        {"kilo, 2 decimals", 123456, 0, 1000, "123.46 к"},
        {"kilo, 4 decimals", 1000, 0, 1000, "1.0000 к"},
        {"units, 2 decimals", 100, 0, 1000, "100.00 "},
        {"units, 3 decimals", 12.3456, 0, 1000, "12.346 "},
        {"units, 4 decimals", 1, 0, 1000, "1.0000 "},
        {"milli, 2 decimals", 0.5, 0, 1000, "500.00 м"},
        {"milli, 3 decimals", 0.05, 0, 1000, "50.000 м"},
        {"milli, 4 decimals, scaled exactly", 0.0012345, 0, 1000, "1.2345 м"},
        {"micro", 4.7e-5, 0, 1000, "47.000 мк"},
        {"micro, 4 decimals", 3.3e-6, 0, 1000, "3.3000 мк"},
        {"nano, 2 decimals", 4.7e-7, 0, 1000, "470.00 н"},
        {"nano, 3 decimals", 2.2e-8, 0, 1000, "22.000 н"},
        {"nano, 4 decimals", 1.5e-9, 0, 1000, "1.5000 н"},
        {"pico, 2 decimals", 4.7e-10, 0, 1000, "470.00 п"},
        {"pico below 100 pF at 10 kHz", 5e-11, 0, 10000, "50.000 п"},
        {"pico below 100 pF at 100 Hz", 5e-11, 0, 100, "50.00 п"},
        {"5 pF at 10 kHz", 5e-12, 0, 10000, "5.0000 п"},
        {"5 pF at 1 kHz", 5e-12, 0, 1000, "5.000 п"},
        {"5 pF at 100 Hz", 5e-12, 0, 100, "5.00 п"},
        {"inductance at 1 kHz", 0.00004567, 1, 1000, "45.670 мк"},
        {"inductance at 100 Hz", 0.00004567, 1, 100, "45.67 мк"},
        {"inductance at 10 kHz", 0.00004567, 1, 10000, "45.670 мк"},
        {"small inductance at 10 kHz", 0.000004567, 1, 10000, "4.5670 мк"},
        {"small inductance at 1 kHz", 0.000004567, 1, 1000, "4.567 мк"},
        {"small inductance at 100 Hz", 0.000004567, 1, 100, "4.57 мк"},
        {"inductance in the milli rows", 0.0123, 1, 100, "12.300 м"},
        {"negative value keeps its row", -12345.678, 0, 1000, "-12.346 к"},
    };
    for (const SeparatorSet& s : kSeparatorSets)
      for (const Case& c : cases)
        QTest::newRow(qPrintable(RowName(s.name, c.name)))
            << c.x << c.kind << c.freq << s.sep << Localise(QString::fromUtf8(c.expected), s.sep);
  }
  void prefixed() {
    QFETCH(double, x);
    QFETCH(int, kind);
    QFETCH(double, freq);
    QFETCH(Separators, sep);
    QFETCH(QString, expected);
    const TextEnv env{Lexicons::russian(), sep};
    QCOMPARE(FormatPrefixed(x, kind, freq, env), expected);
  }

  void ohms_data() {
    QTest::addColumn<double>("x");
    QTest::addColumn<Separators>("sep");
    QTest::addColumn<QString>("expected");
    struct Case {
      const char* name;
      double x;
      const char* expected;
    };
    const Case cases[] = {
        {"below one", 0.5, "0.5000 Ом"},          {"below one rounding to one", 0.99999, "1.0000 Ом"},
        {"below ten", 5.5, "5.500 Ом"},           {"below ten rounding to ten", 9.99999, "10.000 Ом"},
        {"hundreds", 150, "150.00 Ом"},           {"kilo", 47000, "47.000 кОм"},
        {"exactly the limit", 2e7, "20.000 МОм"}, {"over range", 25e6, ">20.00 МОм"},
        {"far over range", 1e38, ">20.00 МОм"},
    };
    for (const SeparatorSet& s : kSeparatorSets)
      for (const Case& c : cases)
        QTest::newRow(qPrintable(RowName(s.name, c.name)))
            << c.x << s.sep << Localise(QString::fromUtf8(c.expected), s.sep);
  }
  void ohms() {
    QFETCH(double, x);
    QFETCH(Separators, sep);
    QFETCH(QString, expected);
    const TextEnv env{Lexicons::russian(), sep};
    QCOMPARE(FormatOhms(x, 1000, env), expected);
  }

  // The ohm and micro signs follow the language: the design language spells
  // them, every other language gets the Greek letters whatever its lexicon
  // says; a lexicon lacking items must not break the texts.
  void signs_data() {
    QTest::addColumn<int>("language");  // 0 design, 1 other, 2 empty
    QTest::addColumn<QString>("ohms");
    QTest::addColumn<QString>("micro");
    QTest::addColumn<QString>("overRange");
    QTest::newRow("design language") << 0 << QStringLiteral("47.000 кОм") << QStringLiteral("47.000 мк")
                                     << QStringLiteral(">20.00 МОм");
    QTest::newRow("other language") << 1 << QStringLiteral("47.000 kΩ") << QStringLiteral("47.000 μ")
                                    << QStringLiteral(">20.00 MΩ");
    QTest::newRow("empty lexicons") << 2 << QStringLiteral("47.000 Ω") << QStringLiteral("47.000 μ")
                                    << QStringLiteral(">20.00 Ω");
  }
  void signs() {
    QFETCH(int, language);
    const Lexicons other = OtherLanguage();
    const Lexicons empty;
    const Lexicons& lex = language == 0 ? Lexicons::russian() : language == 1 ? other : empty;
    const TextEnv env{lex, Separators{}};
    QTEST(FormatOhms(47000, 1000, env), "ohms");
    QTEST(FormatPrefixed(4.7e-5, 0, 1000, env), "micro");
    QTEST(FormatOhms(3e7, 1000, env), "overRange");
  }
};

QTEST_GUILESS_MAIN(FormatTest)
#include "test_format.moc"
