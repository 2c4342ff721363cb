#include "menus.h"

namespace zt {

namespace {

QString Hz(const Lexicons& lex) { return lex.Dlang3[0]; }
QString Vrms(const Lexicons& lex) { return lex.Dlang3[1]; }
QString Kilo(const Lexicons& lex) { return lex.Dlang1[1]; }
QString KHz(const QString& n, const Lexicons& lex) { return n + Kilo(lex) + Hz(lex); }

// Kilohertz numbers of frequency items 7..14 (item 6 depends on the model).
const QStringList& UpperKiloHertz() {
  static const QStringList k = {"30", "40", "50", "60", "70", "80", "90", "150"};
  return k;
}

// Largest list of each menu. The frequency and level menus are shorter on
// some models; their items beyond the model's range fall back to a code the
// model has (see ApplyMenuChoice), so the bound here is the longest list.
int MenuSize(Menu m) {
  switch (m) {
    case Menu::Frequency: return 15;
    case Menu::Level: return 4;
    case Menu::Primary: return 7;
    case Menu::Secondary: return 4;
    case Menu::Circuit: return 3;
    case Menu::Source: return 3;
  }
  return 0;
}

}  // namespace

QString MenuListName(Menu m) {
  switch (m) {
    case Menu::Frequency: return QStringLiteral("ListBox_freq_RLC");
    case Menu::Level: return QStringLiteral("ListBox_Level_RLC");
    case Menu::Primary: return QStringLiteral("ListBox_prim_RLC");
    case Menu::Secondary: return QStringLiteral("ListBox_sec_RLC");
    case Menu::Circuit: return QStringLiteral("ListBox_ser_per");
    case Menu::Source: return QStringLiteral("ListBox_Source_RLC");
  }
  return {};
}

QString MenuTitle(Menu m) {
  switch (m) {
    case Menu::Frequency: return QStringLiteral(" Частота тестового сигнала");
    case Menu::Level: return QStringLiteral(" Уровень тестового сигнала");
    case Menu::Primary: return QStringLiteral(" Основной параметр");
    case Menu::Secondary: return QStringLiteral("Дополнительный параметр");
    case Menu::Circuit: return QStringLiteral("Схема замещения");
    case Menu::Source: return QStringLiteral("Сопротивление генератора");
  }
  return {};
}

QStringList MenuDesignItems(Menu m) {
  switch (m) {
    case Menu::Frequency:
      return {"Автовыбор", "100 Гц", "120 Гц", "1кГц",  "10кГц", "100кГц", "20кГц", "30кГц",
              "40кГц",     "50кГц",  "60кГц",  "70кГц", "80кГц", "90кГц",  "150кГц"};
    case Menu::Level: return {"Автовыбор", " 1.0Вскз", " 0.5Вскз", " 0.1Вскз"};
    case Menu::Primary:
      // Items 5 and 6 start with the Cyrillic letter, item 2 with the Latin one.
      return {"Автовыбор", "R сопротивление", "C емкость", "L индуктивность", "Z импеданс", "С>0.5мкФ", "С>40.0мФ"};
    case Menu::Secondary: return {"Автовыбор", "R сопротивление", "Q добротность", "D тангенс угла потерь"};
    case Menu::Circuit: return {"Автовыбор", "p-параллельная", "s- последовательная"};
    case Menu::Source: return {"Автовыбор", "100Ом", "1.6кОм"};
  }
  return {};
}

ModelLists ApplyModelToLists(const QStringList& freq, const QStringList& level, std::uint8_t model,
                             const Lexicons& lex) {
  ModelLists out;
  out.freq = freq.mid(0, 6);
  out.level = level.mid(0, 3);
  const QString vrms = Vrms(lex);
  auto setLevels = [&](const QStringList& items) {
    while (out.level.size() < 3) out.level.append(QString());
    out.level[1] = items[0];
    out.level[2] = items[1];
    if (items.size() > 2) out.level.append(items[2]);
  };
  switch (model) {
    case kZT40:
      for (const char* n : {"20", "30", "40", "50", "60", "70", "80", "90", "150"})
        out.freq.append(KHz(QString::fromLatin1(n), lex));
      setLevels({"1.0" + vrms, "0.5" + vrms, "0.1" + vrms});
      out.levelCaption = "1.0" + vrms;
      out.sourceVisible = false;
      break;
    case kZT41:
      out.freq.append(KHz(QStringLiteral("250"), lex));
      setLevels({"1.0" + vrms, "0.5" + vrms, "0.1" + vrms});
      out.levelCaption = "1.0" + vrms;
      out.sourceVisible = true;
      break;
    case kZT42:
      setLevels({"0.7" + vrms, "0.1" + vrms});
      out.levelCaption = "0.7" + vrms;
      out.sourceVisible = false;
      break;
    default: break;
  }
  return out;
}

MenuChoice ApplyMenuChoice(Menu m, int i, MeterSettings& s, std::uint8_t model, const Lexicons& lex) {
  MenuChoice c;
  // A click that lands on no item changes nothing; storing it would send the
  // meter a code no list offers.
  if (i < 0 || i >= MenuSize(m)) return c;
  c.applied = true;
  const QString k = Kilo(lex);
  const QString hz = Hz(lex);
  const QString vrms = Vrms(lex);
  switch (m) {
    case Menu::Frequency: {
      s.FreqAuto = 0;
      const bool allowed = !((model == kZT42 && i > 5) || (model == kZT41 && i > 6));
      if (!allowed) {
        s.FreqCode = 3;
        break;
      }
      switch (i) {
        case 0:
          c.label = "A10" + k + hz;
          s.FreqAuto = 1;
          break;
        case 1: c.label = "100" + hz; break;
        case 2: c.label = "120" + hz; break;
        case 3: c.label = "1" + k + hz; break;
        case 4: c.label = "10" + k + hz; break;
        case 5: c.label = "100" + k + hz; break;
        case 6: c.label = (model == kZT41 ? QStringLiteral("250") : QStringLiteral("20")) + k + hz; break;
        default: c.label = UpperKiloHertz()[i - 7] + k + hz; break;
      }
      s.FreqCode = static_cast<std::uint8_t>(i);
      break;
    }
    case Menu::Level: {
      s.LevelAuto = 0;
      const bool small = model < kZT42;
      const QString top = small ? QStringLiteral("1.0") : QStringLiteral("0.7");
      switch (i) {
        case 0:
          c.label = "A" + top + vrms;
          s.LevelAuto = 1;
          s.LevelCode = 1;
          break;
        case 1:
          c.label = top + vrms;
          s.LevelCode = 1;
          break;
        case 2:
          c.label = (small ? QStringLiteral("0.5") : QStringLiteral("0.1")) + vrms;
          s.LevelCode = 2;
          break;
        default:
          if (small) c.label = "0.1" + vrms;
          s.LevelCode = small ? 3 : 1;
          break;
      }
      break;
    }
    case Menu::Primary: {
      static const QString kLetters[7] = {"C", "R", "C", "L", "Z", QString(QChar(0x0421)), QString(QChar(0x0421))};
      s.PrimaryAuto = i == 0 ? 1 : 0;
      c.label = kLetters[i];
      c.autoMark = i == 0 ? QStringLiteral("A") : QStringLiteral(" ");
      s.PrimaryCode = static_cast<std::uint8_t>(i);
      break;
    }
    case Menu::Secondary: {
      s.SecondaryAuto = i == 0 ? 1 : 0;
      c.autoMark = i == 0 ? QStringLiteral("A") : QString();
      if (i == 1) c.label = QStringLiteral("R");
      if (i == 2) c.label = QStringLiteral("Q");
      if (i == 3) c.label = QStringLiteral("D");
      if (i >= 2) c.circuitMark = QStringLiteral(" ");
      s.SecondaryCode = static_cast<std::uint8_t>(i);
      break;
    }
    case Menu::Circuit: {
      static const QString kMarks[3] = {"A", "P", "S"};
      c.circuitMark = c.circuitMark1 = kMarks[i];
      s.CircuitAuto = i == 0 ? 1 : 0;
      s.CircuitSeries = i == 1 ? 0 : 1;
      break;
    }
    case Menu::Source: {
      s.SourceAuto = 0;
      s.SourceCode = 0;
      if (i == 0) {
        c.label = QStringLiteral("A");
        s.SourceAuto = 1;
      } else if (i == 1) {
        c.label = "100" + OhmSign(lex);
      } else {
        c.label = "1.6" + k + OhmSign(lex);
        s.SourceCode = 1;
      }
      break;
    }
  }
  return c;
}

ListSelection SelectionOfSettings(const MeterSettings& s) {
  ListSelection l;
  l.freq = s.FreqAuto == 1 ? 0 : s.FreqCode;
  l.primary = s.PrimaryAuto == 1 ? 0 : s.PrimaryCode;
  l.secondary = s.SecondaryAuto == 1 ? 0 : s.SecondaryCode;
  l.level = s.LevelAuto == 1 ? 0 : s.LevelCode;
  l.circuit = s.CircuitAuto == 1 ? 0 : s.CircuitSeries + 1;
  return l;
}

TestLevel TestLevelOf(std::uint8_t levelCode, std::uint8_t model) {
  const auto ac = [](double v) { return TestLevel{v, true}; };
  const auto dc = [](double v) { return TestLevel{v, false}; };
  if (model <= kZT41) {
    switch (levelCode) {
      case 0:
      case 1: return ac(1.0);
      case 2: return ac(0.5);
      case 3: return ac(0.1);
      case 4: return dc(0.1);
      default: return {};
    }
  }
  if (model == kZT42) {
    switch (levelCode) {
      case 0:
      case 1: return ac(0.7);
      case 2: return ac(0.1);
      case 3: return dc(0.1);
      case 4: return ac(0.5);
      default: return {};
    }
  }
  return {};
}

SettingsView ViewOfSettings(const MeterSettings& s, std::int32_t testFreqHz, std::uint8_t model, const Lexicons& lex,
                            const QString& freqText, const QString& levelText) {
  SettingsView v;
  const QString blank = QStringLiteral(" ");
  const QString mark = QStringLiteral("A");
  v.primaryAuto = s.PrimaryAuto == 1 ? mark : blank;
  v.hold = s.Hold == 1;
  v.sound = s.Sound == 1;
  v.intervalItem = IntervalItemOfCode(s.IntervalCode);

  v.freqText = freqText;
  if (s.FreqCode != 0) {
    v.freqText = testFreqHz > 999 ? QString::number(testFreqHz / 1000) + Kilo(lex) + Hz(lex)
                                  : QString::number(testFreqHz) + Hz(lex);
    v.freqLabel = (s.FreqAuto == 1 ? mark : blank) + v.freqText;
  }

  v.levelText = levelText;
  if (const TestLevel level = TestLevelOf(s.LevelCode, model); level.valid())
    v.levelText = QString::number(level.volts, 'f', 1) + (level.rms ? Vrms(lex) : lex.Dlang3[2]);
  v.levelLabel = (s.LevelAuto == 1 ? mark : blank) + v.levelText;

  switch (s.PrimaryCode) {
    case 1: v.primaryLetter = QStringLiteral("R"); break;
    case 2: v.primaryLetter = QStringLiteral("C"); break;
    case 3: v.primaryLetter = QStringLiteral("L"); break;
    case 4: v.primaryLetter = QStringLiteral("Z"); break;
    default: break;
  }
  v.secondaryAuto = s.SecondaryAuto == 1 ? mark : blank;
  switch (s.SecondaryCode) {
    case 0: v.secondaryLetter = blank; break;
    case 1: v.secondaryLetter = QStringLiteral("R"); break;
    case 2: v.secondaryLetter = QStringLiteral("Q"); break;
    case 3: v.secondaryLetter = QStringLiteral("D"); break;
    case 4: v.secondaryLetter = QString(QChar(0x019F)); break;
    default: break;
  }
  return v;
}

std::optional<CircuitView> CircuitViewOf(const MeterSettings& s) {
  if (s.CircuitAuto == 1) return CircuitView{0, QStringLiteral("A")};
  if (s.CircuitSeries == 1) return CircuitView{2, QStringLiteral("S")};
  if (s.CircuitSeries == 0) return CircuitView{1, QStringLiteral("P")};
  return std::nullopt;
}

void ApplyDefaultSettings(MeterSettings& s) {
  s.FreqAuto = 1;
  s.FreqCode = 4;
  s.PrimaryAuto = 1;
  s.PrimaryCode = 2;
  s.SecondaryAuto = 1;
  s.SecondaryCode = 1;
  s.LevelAuto = 0;
  s.LevelCode = 1;
  s.CircuitAuto = 1;
  s.CircuitSeries = 0;
  s.IntervalCode = 2;
  s.Hold = 0;
  s.NegativeSign = 0;
  s.Sound = 1;
  s.SourceCode = 0;
}

std::optional<std::uint8_t> IntervalCodeOfItem(int item) {
  if (item < 0 || item > 2) return std::nullopt;
  return static_cast<std::uint8_t>(3 - item);
}

std::optional<int> IntervalItemOfCode(std::uint8_t code) {
  if (code < 1 || code > 3) return std::nullopt;
  return 3 - code;
}

}  // namespace zt
