#include <QtTest>

#include "menus.h"

using namespace zt;

namespace {

// Field names of MeterSettings in byte order, for readable expectations.
const char* const kFieldNames[MeterSettings::kSize] = {
    "FreqAuto",     "FreqCode",  "PrimaryAuto", "PrimaryCode",   "SecondaryAuto", "SecondaryCode",
    "LevelAuto",    "LevelCode", "CircuitAuto", "CircuitSeries", "IntervalCode",  "Hold",
    "NegativeSign", "Sound",     "LogReady",    "SourceAuto",    "SourceCode",    "Reserved"};

// Applies "Field=value Field=value" to a settings record.
MeterSettings With(MeterSettings s, const QString& changes) {
  auto b = s.toBytes();
  for (const QString& c : changes.split(' ', Qt::SkipEmptyParts)) {
    const QStringList kv = c.split('=');
    int i = 0;
    while (i < int(MeterSettings::kSize) && kv[0] != QLatin1String(kFieldNames[i])) ++i;
    if (i == int(MeterSettings::kSize)) qFatal("unknown field %s", qPrintable(kv[0]));
    b[std::size_t(i)] = std::uint8_t(kv[1].toInt());
  }
  return MeterSettings::fromBytes(b);
}

// A record whose every field differs from what the menus store, so a choice
// that writes a wrong field or forgets one shows up.
MeterSettings Start() {
  return With({},
              "FreqAuto=1 FreqCode=9 PrimaryAuto=1 PrimaryCode=6 SecondaryAuto=1 SecondaryCode=4 "
              "LevelAuto=1 LevelCode=4 CircuitAuto=0 CircuitSeries=0 IntervalCode=1 Hold=1 "
              "SourceAuto=1 SourceCode=1 Reserved=5");
}

const QString kNone = QStringLiteral("<unchanged>");
QString Text(const std::optional<QString>& t) { return t ? *t : kNone; }

Lexicons OtherLanguage() {
  Lexicons l = Lexicons::russian();
  l.Dlang1.items = {"M", "k", "m", "mc", "n", "p"};
  l.Dlang3.items = {"Hz", "Vrms", "V", "Ohm", "H", "F", "rms", "p-p", "max", "min"};
  return l;
}

}  // namespace

Q_DECLARE_METATYPE(Menu)

class MenusTest : public QObject {
  Q_OBJECT
 private slots:
  void designLists() {
    QCOMPARE(MenuDesignItems(Menu::Frequency).size(), 15);
    QCOMPARE(MenuDesignItems(Menu::Level).size(), 4);
    QCOMPARE(MenuDesignItems(Menu::Primary).size(), 7);
    QCOMPARE(MenuDesignItems(Menu::Secondary).size(), 4);
    QCOMPARE(MenuDesignItems(Menu::Circuit).size(), 3);
    QCOMPARE(MenuDesignItems(Menu::Source).size(), 3);
    for (Menu m : {Menu::Frequency, Menu::Level, Menu::Primary, Menu::Secondary, Menu::Circuit, Menu::Source})
      QCOMPARE(MenuDesignItems(m).first(), QStringLiteral("Автовыбор"));
    // C capacitance is Latin, the two large-capacitance choices Cyrillic.
    QCOMPARE(MenuDesignItems(Menu::Primary).at(2).at(0), QChar('C'));
    QCOMPARE(MenuDesignItems(Menu::Primary).at(5).at(0), QChar(0x0421));
  }

  void modelLists_data() {
    QTest::addColumn<int>("model");
    QTest::addColumn<QStringList>("freqTail");  // items from index 6 on
    QTest::addColumn<QStringList>("level");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("sourceVisible");
    QTest::newRow("ZT40") << 0 << QStringList{"20кГц", "30кГц", "40кГц", "50кГц", "60кГц",
                                              "70кГц", "80кГц", "90кГц", "150кГц"}
                          << QStringList{"Автовыбор", "1.0Вскз", "0.5Вскз", "0.1Вскз"} << "1.0Вскз"
                          << "hidden";
    QTest::newRow("ZT41") << 1 << QStringList{"250кГц"} << QStringList{"Автовыбор", "1.0Вскз", "0.5Вскз", "0.1Вскз"}
                          << "1.0Вскз"
                          << "shown";
    QTest::newRow("ZT42") << 2 << QStringList{} << QStringList{"Автовыбор", "0.7Вскз", "0.1Вскз"} << "0.7Вскз"
                          << "hidden";
    QTest::newRow("unknown model only trims")
        << 5 << QStringList{} << QStringList{"Автовыбор", " 1.0Вскз", " 0.5Вскз"} << kNone << kNone;
  }
  void modelLists() {
    QFETCH(int, model);
    QFETCH(QStringList, freqTail);
    QFETCH(QStringList, level);
    QFETCH(QString, caption);
    QFETCH(QString, sourceVisible);
    // From the design lists and again from every other model's lists: the
    // result must not depend on what the previous model left.
    QList<QPair<QStringList, QStringList>> starts{{MenuDesignItems(Menu::Frequency), MenuDesignItems(Menu::Level)}};
    for (int other : {0, 1, 2}) {
      const ModelLists o = ApplyModelToLists(MenuDesignItems(Menu::Frequency), MenuDesignItems(Menu::Level),
                                             std::uint8_t(other), Lexicons::russian());
      if (model <= 2) starts.append({o.freq, o.level});
    }
    for (const auto& [freq, lev] : starts) {
      const ModelLists l = ApplyModelToLists(freq, lev, std::uint8_t(model), Lexicons::russian());
      QCOMPARE(l.freq.mid(0, 6), MenuDesignItems(Menu::Frequency).mid(0, 6));
      QCOMPARE(l.freq.mid(6), freqTail);
      QCOMPARE(l.level, level);
      QCOMPARE(Text(l.levelCaption), caption);
      const QString vis = !l.sourceVisible ? kNone : *l.sourceVisible ? "shown" : "hidden";
      QCOMPARE(vis, sourceVisible);
    }
  }

  void modelListsFollowLanguage() {
    const ModelLists l =
        ApplyModelToLists(MenuDesignItems(Menu::Frequency), MenuDesignItems(Menu::Level), kZT41, OtherLanguage());
    QCOMPARE(l.freq.last(), QStringLiteral("250kHz"));
    QCOMPARE(l.level.at(1), QStringLiteral("1.0Vrms"));
    // A level list cut short (a language without those items) is filled, not overrun.
    const ModelLists s = ApplyModelToLists({}, {"Auto"}, kZT42, Lexicons::russian());
    QCOMPARE(s.level, (QStringList{"Auto", "0.7Вскз", "0.1Вскз"}));
  }

  void choice_data() {
    QTest::addColumn<Menu>("menu");
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("model");
    QTest::addColumn<bool>("applied");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("autoMark");
    QTest::addColumn<QString>("mark");
    QTest::addColumn<QString>("mark1");
    QTest::addColumn<QString>("stored");
    const QString n = kNone;
    QTest::newRow("freq auto") << Menu::Frequency << 0 << 0 << true << "A10кГц" << n << n << n
                               << "FreqAuto=1 FreqCode=0";
    QTest::newRow("freq 100 Hz") << Menu::Frequency << 1 << 0 << true << "100Гц" << n << n << n
                                 << "FreqAuto=0 FreqCode=1";
    QTest::newRow("freq 1 kHz") << Menu::Frequency << 3 << 2 << true << "1кГц" << n << n << n
                                << "FreqAuto=0 FreqCode=3";
    QTest::newRow("freq item 6 ZT40") << Menu::Frequency << 6 << 0 << true << "20кГц" << n << n << n
                                      << "FreqAuto=0 FreqCode=6";
    QTest::newRow("freq item 6 ZT41") << Menu::Frequency << 6 << 1 << true << "250кГц" << n << n << n
                                      << "FreqAuto=0 FreqCode=6";
    QTest::newRow("freq item 14 ZT40") << Menu::Frequency << 14 << 0 << true << "150кГц" << n << n << n
                                       << "FreqAuto=0 FreqCode=14";
    QTest::newRow("freq item 7 on ZT41 falls back")
        << Menu::Frequency << 7 << 1 << true << n << n << n << n << "FreqAuto=0 FreqCode=3";
    QTest::newRow("freq item 6 on ZT42 falls back")
        << Menu::Frequency << 6 << 2 << true << n << n << n << n << "FreqAuto=0 FreqCode=3";
    QTest::newRow("freq no item") << Menu::Frequency << -1 << 0 << false << n << n << n << n << "";
    QTest::newRow("freq past the list") << Menu::Frequency << 15 << 0 << false << n << n << n << n << "";
    QTest::newRow("level auto ZT40") << Menu::Level << 0 << 0 << true << "A1.0Вскз" << n << n << n
                                     << "LevelAuto=1 LevelCode=1";
    QTest::newRow("level auto ZT42") << Menu::Level << 0 << 2 << true << "A0.7Вскз" << n << n << n
                                     << "LevelAuto=1 LevelCode=1";
    QTest::newRow("level 0.5 ZT41") << Menu::Level << 2 << 1 << true << "0.5Вскз" << n << n << n
                                    << "LevelAuto=0 LevelCode=2";
    QTest::newRow("level item 2 ZT42") << Menu::Level << 2 << 2 << true << "0.1Вскз" << n << n << n
                                       << "LevelAuto=0 LevelCode=2";
    QTest::newRow("level item 3 ZT40") << Menu::Level << 3 << 0 << true << "0.1Вскз" << n << n << n
                                       << "LevelAuto=0 LevelCode=3";
    QTest::newRow("level item 3 on ZT42")
        << Menu::Level << 3 << 2 << true << n << n << n << n << "LevelAuto=0 LevelCode=1";
    QTest::newRow("primary auto") << Menu::Primary << 0 << 0 << true << "C"
                                  << "A" << n << n << "PrimaryAuto=1 PrimaryCode=0";
    QTest::newRow("primary R") << Menu::Primary << 1 << 0 << true << "R"
                               << " " << n << n << "PrimaryAuto=0 PrimaryCode=1";
    QTest::newRow("primary Z") << Menu::Primary << 4 << 0 << true << "Z"
                               << " " << n << n << "PrimaryAuto=0 PrimaryCode=4";
    QTest::newRow("primary large C") << Menu::Primary << 6 << 0 << true << "С"
                                     << " " << n << n << "PrimaryAuto=0 PrimaryCode=6";
    QTest::newRow("secondary auto") << Menu::Secondary << 0 << 0 << true << n << "A" << n << n
                                    << "SecondaryAuto=1 SecondaryCode=0";
    QTest::newRow("secondary R keeps circuit") << Menu::Secondary << 1 << 0 << true << "R"
                                               << "" << n << n << "SecondaryAuto=0 SecondaryCode=1";
    QTest::newRow("secondary Q blanks circuit") << Menu::Secondary << 2 << 0 << true << "Q"
                                                << ""
                                                << " " << n << "SecondaryAuto=0 SecondaryCode=2";
    QTest::newRow("secondary D blanks circuit") << Menu::Secondary << 3 << 0 << true << "D"
                                                << ""
                                                << " " << n << "SecondaryAuto=0 SecondaryCode=3";
    QTest::newRow("secondary past the list") << Menu::Secondary << 4 << 0 << false << n << n << n << n << "";
    QTest::newRow("circuit auto") << Menu::Circuit << 0 << 0 << true << n << n << "A"
                                  << "A"
                                  << "CircuitAuto=1 CircuitSeries=1";
    QTest::newRow("circuit parallel") << Menu::Circuit << 1 << 0 << true << n << n << "P"
                                      << "P"
                                      << "CircuitAuto=0 CircuitSeries=0";
    QTest::newRow("circuit series") << Menu::Circuit << 2 << 0 << true << n << n << "S"
                                    << "S"
                                    << "CircuitAuto=0 CircuitSeries=1";
    QTest::newRow("source auto") << Menu::Source << 0 << 1 << true << "A" << n << n << n << "SourceAuto=1 SourceCode=0";
    QTest::newRow("source 100") << Menu::Source << 1 << 1 << true << "100Ом" << n << n << n
                                << "SourceAuto=0 SourceCode=0";
    QTest::newRow("source 1.6 k") << Menu::Source << 2 << 1 << true << "1.6кОм" << n << n << n
                                  << "SourceAuto=0 SourceCode=1";
  }
  void choice() {
    QFETCH(Menu, menu);
    QFETCH(int, index);
    QFETCH(int, model);
    QFETCH(bool, applied);
    QFETCH(QString, label);
    QFETCH(QString, autoMark);
    QFETCH(QString, mark);
    QFETCH(QString, mark1);
    QFETCH(QString, stored);
    MeterSettings s = Start();
    const MenuChoice c = ApplyMenuChoice(menu, index, s, std::uint8_t(model), Lexicons::russian());
    QCOMPARE(c.applied, applied);
    QCOMPARE(Text(c.label), label);
    QCOMPARE(Text(c.autoMark), autoMark);
    QCOMPARE(Text(c.circuitMark), mark);
    QCOMPARE(Text(c.circuitMark1), mark1);
    QCOMPARE(s, With(Start(), stored));
  }

  void sourceLabelOtherLanguage() {
    MeterSettings s;
    QCOMPARE(Text(ApplyMenuChoice(Menu::Source, 1, s, kZT41, OtherLanguage()).label), QStringLiteral("100Ω"));
    QCOMPARE(Text(ApplyMenuChoice(Menu::Source, 2, s, kZT41, OtherLanguage()).label), QStringLiteral("1.6kΩ"));
  }

  void view_data() {
    QTest::addColumn<QString>("settings");
    QTest::addColumn<int>("hz");
    QTest::addColumn<int>("model");
    QTest::addColumn<QString>("freqLabel");
    QTest::addColumn<QString>("freqText");
    QTest::addColumn<QString>("levelLabel");
    QTest::addColumn<QString>("levelText");
    QTest::addColumn<QString>("letters");  // primary auto, primary, secondary auto, secondary
    QTest::addColumn<int>("interval");     // -1: left as it is
    const QString defaults =
        "FreqAuto=1 FreqCode=4 PrimaryAuto=1 PrimaryCode=2 SecondaryAuto=1 SecondaryCode=1 "
        "LevelCode=1 CircuitAuto=1 IntervalCode=2 Sound=1";
    QTest::newRow("defaults") << defaults << 10000 << 0 << "A10кГц"
                              << "10кГц"
                              << " 1.0Вскз"
                              << "1.0Вскз"
                              << "A|C|A|R" << 1;
    QTest::newRow("no test frequency keeps FreqText") << "FreqCode=0 LevelAuto=1 LevelCode=2" << 120 << 0 << ""
                                                      << "prev"
                                                      << "A0.5Вскз"
                                                      << "0.5Вскз"
                                                      << " |<unchanged>| | " << -1;
    QTest::newRow("below a kilohertz") << "FreqCode=2 LevelCode=3 PrimaryCode=3 SecondaryCode=4 IntervalCode=3" << 120
                                       << 1 << " 120Гц"
                                       << "120Гц"
                                       << " 0.1Вскз"
                                       << "0.1Вскз"
                                       << " |L| |Ɵ" << 0;
    QTest::newRow("exactly a kilohertz") << "FreqCode=3 LevelCode=4 PrimaryCode=4 SecondaryCode=3 IntervalCode=1"
                                         << 1000 << 0 << " 1кГц"
                                         << "1кГц"
                                         << " 0.1В"
                                         << "0.1В"
                                         << " |Z| |D" << 2;
    QTest::newRow("ZT41 250 kHz") << "FreqCode=6 LevelCode=0 PrimaryCode=1 SecondaryCode=2" << 250000 << 1 << " 250кГц"
                                  << "250кГц"
                                  << " 1.0Вскз"
                                  << "1.0Вскз"
                                  << " |R| |Q" << -1;
    QTest::newRow("ZT42 level 3") << "FreqCode=1 LevelCode=3" << 100 << 2 << " 100Гц"
                                  << "100Гц"
                                  << " 0.1В"
                                  << "0.1В"
                                  << " |<unchanged>| | " << -1;
    QTest::newRow("ZT42 level 4") << "FreqCode=1 LevelCode=4 LevelAuto=1" << 100 << 2 << " 100Гц"
                                  << "100Гц"
                                  << "A0.5Вскз"
                                  << "0.5Вскз"
                                  << " |<unchanged>| | " << -1;
    QTest::newRow("ZT42 level 0") << "FreqCode=1 LevelCode=0" << 100 << 2 << " 100Гц"
                                  << "100Гц"
                                  << " 0.7Вскз"
                                  << "0.7Вскз"
                                  << " |<unchanged>| | " << -1;
    QTest::newRow("unknown level keeps LevelText")
        << "FreqCode=1 LevelCode=6 PrimaryCode=5 SecondaryCode=5" << 100 << 0 << " 100Гц"
        << "100Гц"
        << " prev"
        << "prev"
        << " |<unchanged>| |<unchanged>" << -1;
    QTest::newRow("unknown model keeps LevelText") << "FreqCode=1 LevelCode=2" << 100 << 4 << " 100Гц"
                                                   << "100Гц"
                                                   << " prev"
                                                   << "prev"
                                                   << " |<unchanged>| | " << -1;
  }
  void view() {
    QFETCH(QString, settings);
    QFETCH(int, hz);
    QFETCH(int, model);
    QFETCH(QString, freqLabel);
    QFETCH(QString, freqText);
    QFETCH(QString, levelLabel);
    QFETCH(QString, levelText);
    QFETCH(QString, letters);
    QFETCH(int, interval);
    const MeterSettings s = With({}, settings);
    const SettingsView v = ViewOfSettings(s, hz, std::uint8_t(model), Lexicons::russian(), "prev", "prev");
    QCOMPARE(v.freqLabel, freqLabel);
    QCOMPARE(v.freqText, freqText);
    QCOMPARE(v.levelLabel, levelLabel);
    QCOMPARE(v.levelText, levelText);
    const QString got =
        QStringList{v.primaryAuto, Text(v.primaryLetter), v.secondaryAuto, Text(v.secondaryLetter)}.join('|');
    QCOMPARE(got, letters);
    QCOMPARE(v.intervalItem.value_or(-1), interval);
    QCOMPARE(v.hold, s.Hold == 1);
    QCOMPARE(v.sound, s.Sound == 1);
    // The level as a number says what its text says.
    const TestLevel level = TestLevelOf(s.LevelCode, std::uint8_t(model));
    if (levelText == QLatin1String("prev"))
      QVERIFY(!level.valid());
    else
      QCOMPARE(QString::number(level.volts, 'f', 1) + (level.rms ? QStringLiteral("Вскз") : QStringLiteral("В")),
               levelText);
  }

  void defaults() {
    MeterSettings s = MeterSettings::fromBytes({9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 1, 1, 9, 7});
    ApplyDefaultSettings(s);
    const std::array<std::uint8_t, MeterSettings::kSize> expected{1, 4, 1, 2, 1, 1, 0, 1, 1, 0, 2, 0, 0, 1, 1, 1, 0, 7};
    QCOMPARE(s.toBytes(), expected);
  }

  void interval_data() {
    QTest::addColumn<int>("item");
    QTest::addColumn<int>("code");
    QTest::newRow("0.5 s") << 0 << 3;
    QTest::newRow("1 s") << 1 << 2;
    QTest::newRow("2 s") << 2 << 1;
  }
  void interval() {
    QFETCH(int, item);
    QFETCH(int, code);
    QCOMPARE(IntervalCodeOfItem(item).value_or(0), std::uint8_t(code));
    QCOMPARE(IntervalItemOfCode(std::uint8_t(code)).value_or(-1), item);
  }
  void intervalOutside() {
    QVERIFY(!IntervalCodeOfItem(-1));
    QVERIFY(!IntervalCodeOfItem(3));
    QVERIFY(!IntervalItemOfCode(0));
    QVERIFY(!IntervalItemOfCode(4));
  }

  void circuitAndSelection() {
    struct Case {
      const char* settings;
      int circuitItem;  // -1: nothing changes
      const char* mark;
      ListSelection sel;
    };
    const Case cases[] = {
        {"CircuitAuto=1 CircuitSeries=1 FreqAuto=1 FreqCode=4", 0, "A", {0, 0, 0, 0, 0}},
        {"CircuitSeries=1 FreqCode=9 PrimaryCode=3 SecondaryCode=2 LevelCode=3", 2, "S", {9, 3, 2, 3, 2}},
        {"CircuitSeries=0 PrimaryAuto=1 PrimaryCode=3 SecondaryAuto=1 SecondaryCode=2 LevelAuto=1 LevelCode=2",
         1,
         "P",
         {0, 0, 0, 0, 1}},
        {"CircuitSeries=2", -1, "", {0, 0, 0, 0, 3}},
    };
    for (const Case& c : cases) {
      const MeterSettings s = With({}, c.settings);
      const auto v = CircuitViewOf(s);
      QCOMPARE(v ? v->item : -1, c.circuitItem);
      QCOMPARE(v ? v->mark : QString(), QString::fromUtf8(c.mark));
      const ListSelection l = SelectionOfSettings(s);
      QCOMPARE(l.freq, c.sel.freq);
      QCOMPARE(l.primary, c.sel.primary);
      QCOMPARE(l.secondary, c.sel.secondary);
      QCOMPARE(l.level, c.sel.level);
      QCOMPARE(l.circuit, c.sel.circuit);
    }
  }
};

QTEST_GUILESS_MAIN(MenusTest)
#include "test_menus.moc"
