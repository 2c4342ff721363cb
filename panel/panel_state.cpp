#include "panel_state.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace zt {

namespace {

QString Translated(const PanelContext& ctx, Menu m, int item, const QString& design) {
  if (ctx.translate && *ctx.translate) return (*ctx.translate)(m, item, design);
  return design;
}

// The first `count` design items of a menu in the language in use.
QStringList DesignItems(const PanelContext& ctx, Menu m, int count) {
  const QStringList design = MenuDesignItems(m);
  QStringList out;
  for (int i = 0; i < std::min<int>(count, int(design.size())); ++i) out.append(Translated(ctx, m, i, design.at(i)));
  return out;
}

void SetItems(MenuView& v, QStringList items) {
  v.items = std::move(items);
  if (v.selected >= v.items.size()) v.selected = -1;
}

void Select(MenuView& v, int row) { v.selected = row >= 0 && row < v.items.size() ? row : -1; }

// A resistance as FormatOhms shows it: over 20 MΩ the panel shows the limit.
QuantityValue Ohms(Quantity kind, double ohms) {
  QuantityValue q{kind, ohms, QStringLiteral("Ω")};
  if (ohms > 2e7) {
    q.value = 2e7;
    q.bound = Bound::Above;
  }
  return q;
}

QuantityValue ResistanceOf(const RlcReading& r) {
  const RlcValues& v = *r.values;
  if (r.settings.CircuitSeries != 1) return Ohms(Quantity::Resistance, v.ParallelR);
  if (r.freq.none && v.ReadingR > 1e6) return {Quantity::Resistance, 1e6, QStringLiteral("Ω"), Bound::Above};
  return Ohms(Quantity::Resistance, v.ReadingR);
}

double Omega(const RlcReading& r) { return 2 * std::numbers::pi * r.freq.hz; }
double Sign(const RlcReading& r) { return r.settings.NegativeSign == 1 ? -1.0 : 1.0; }

QuantityValue NoFrequency(Quantity kind, const QString& unit) {
  QuantityValue q;
  q.kind = kind;
  q.unit = unit;
  return q;  // the panel shows nothing without a test frequency
}

}  // namespace

// ---------------------------------------------------------------- model and menus

void RebuildModelLists(PanelState& s, const PanelContext& ctx) {
  if (s.listsBuiltFor != s.model) {
    if (s.model <= kZT42) s.listModel = s.model;
    ModelLists m = ApplyModelToLists(DesignItems(ctx, Menu::Frequency, 6), DesignItems(ctx, Menu::Level, 1),
                                     s.listModel, ctx.lex());
    if (s.model > kZT42) {
      // A model without lists of its own only loses the model-specific items.
      m.freq = m.freq.mid(0, 6);
      m.level = m.level.mid(0, 3);
      m.levelCaption.reset();
      m.sourceVisible.reset();
    }
    SetItems(s.view.menu(Menu::Frequency), m.freq);
    SetItems(s.view.menu(Menu::Level), m.level);
    s.modelLists = std::move(m);
    s.listsBuiltFor = s.model;
  }
  if (s.modelLists.levelCaption) {
    s.view.level = *s.modelLists.levelCaption;
    s.levelByModel = true;
  }
  if (s.modelLists.sourceVisible) s.view.sourceVisible = *s.modelLists.sourceVisible;
}

void ApplyModel(PanelState& s, const PanelContext& ctx) {
  s.view.modelChooserOpen = false;
  RebuildModelLists(s, ctx);
}

void BuildMenus(PanelState& s, const PanelContext& ctx) {
  s.listsBuiltFor.reset();
  for (Menu m : {Menu::Primary, Menu::Secondary, Menu::Circuit, Menu::Source})
    SetItems(s.view.menu(m), DesignItems(ctx, m, int(MenuDesignItems(m).size())));
  RebuildModelLists(s, ctx);
}

void ShowSettingsInLists(PanelState& s) {
  const ListSelection l = SelectionOfSettings(s.settings);
  Select(s.view.menu(Menu::Frequency), l.freq);
  Select(s.view.menu(Menu::Primary), l.primary);
  Select(s.view.menu(Menu::Secondary), l.secondary);
  Select(s.view.menu(Menu::Level), l.level);
  Select(s.view.menu(Menu::Circuit), l.circuit);
}

void ShowCircuit(PanelState& s) {
  const auto c = CircuitViewOf(s.settings);
  if (!c) return;
  Select(s.view.menu(Menu::Circuit), c->item);
  s.view.circuit = c->mark;
  s.view.circuit1 = c->mark;
}

void ApplySettingsToPanel(PanelState& s, const Lexicons& lex) {
  const SettingsView v = ViewOfSettings(s.settings, s.testFreqHz, s.model, lex, s.freqText, s.levelText);
  PanelView& p = s.view;
  p.hold = v.hold;
  // Recording is offered only while measuring and not holding.
  p.recordEnabled = !v.hold && s.mode != WorkMode::EditingProfile;
  p.sound = v.sound;
  if (v.intervalItem) p.intervalItem = *v.intervalItem;
  ApplySettingsTexts(s, lex);
}

void ApplySettingsTexts(PanelState& s, const Lexicons& lex) {
  const SettingsView v = ViewOfSettings(s.settings, s.testFreqHz, s.model, lex, s.freqText, s.levelText);
  PanelView& p = s.view;
  s.settingsLabelsShown = true;
  s.levelByModel = false;
  p.primaryAuto = v.primaryAuto;
  p.freq = v.freqLabel;
  s.freqText = v.freqText;
  p.level = v.levelLabel;
  s.levelText = v.levelText;
  if (v.primaryLetter) p.primaryLetter = *v.primaryLetter;
  p.secondaryAuto = v.secondaryAuto;
  if (v.secondaryLetter) p.secondaryLetter = *v.secondaryLetter;
}

void LoadDefaultSettings(PanelState& s, const Lexicons& lex) {
  ApplyDefaultSettings(s.settings);
  const TestFrequency f = FrequencyOfIndex(4, s.settings.FreqCode, s.model);
  s.testFreqHz = f.hz;
  s.noTestFrequency = f.none;
  ApplySettingsToPanel(s, lex);
  ShowCircuit(s);
}

void ApplyProfileSettings(PanelState& s, const MeterSettings& settings, const Lexicons& lex) {
  s.settings = settings;
  const TestFrequency f = FrequencyOfIndex(s.settings.FreqCode, s.settings.FreqCode, s.model);
  s.testFreqHz = f.hz;
  s.noTestFrequency = f.none;
  if (s.settings.SourceCode > 1) s.settings.SourceCode = 0;
  s.settings.Reserved = 0;
  ApplySettingsToPanel(s, lex);
  ShowCircuit(s);
}

bool ChooseMenuItem(PanelState& s, Menu m, int index, const Lexicons& lex) {
  MenuView& list = s.view.menu(m);
  // A click that lands on no item of the list as shown changes nothing.
  if (index < 0 || index >= list.items.size()) return false;
  const MenuChoice c = ApplyMenuChoice(m, index, s.settings, s.model, lex);
  if (!c.applied) return false;
  list.selected = index;
  PanelView& p = s.view;
  auto put = [](QString& label, const std::optional<QString>& text) {
    if (text) label = *text;
  };
  switch (m) {
    case Menu::Frequency: put(p.freq, c.label); break;
    case Menu::Level: put(p.level, c.label); break;
    case Menu::Primary:
      put(p.primaryLetter, c.label);
      put(p.primaryAuto, c.autoMark);
      break;
    case Menu::Secondary:
      put(p.secondaryLetter, c.label);
      put(p.secondaryAuto, c.autoMark);
      put(p.circuit, c.circuitMark);
      break;
    case Menu::Circuit:
      put(p.circuit, c.circuitMark);
      put(p.circuit1, c.circuitMark1);
      break;
    case Menu::Source:
      put(p.source, c.label);
      s.sourceSet = true;
      break;
  }
  return true;
}

QString SleepCaption(const PanelState& s, const Lexicons& lex) {
  const QString word = s.deepSleep ? lex.Dlang_connect[8] : lex.Dlang_connect[7];
  return word + QLatin1Char(' ') + QString::number(s.sleepSeconds) + lex.D3[5];
}

QString InitialSourceCaption(const Lexicons& lex) { return QStringLiteral("100") + OhmSign(lex); }

void RetranslatePanel(PanelState& s, const PanelContext& ctx) {
  PanelView& p = s.view;
  const bool levelByModel = s.levelByModel;
  BuildMenus(s, ctx);  // the lists, and the model's level caption
  if (s.settingsLabelsShown) {
    // The level label stays the model's caption when the model wrote it last.
    const QString caption = p.level;
    ApplySettingsTexts(s, ctx.lex());
    if (levelByModel) {
      p.level = caption;
      s.levelByModel = true;
    }
  }
  if (p.sleepVisible) p.sleep = SleepCaption(s, ctx.lex());
  if (!s.sourceSet) p.source = InitialSourceCaption(ctx.lex());
  if (!s.shownFrame) return;
  // The frame drawn again on a copy; a text takes the new wording only
  // where the panel still shows one.
  PanelState again = s;
  switch (s.displayMode) {
    case 1: ShowRlcReading(again, *s.shownFrame, ctx); break;
    case 2: ShowRdReading(again, *s.shownFrame, ctx.env); break;
    case 3: ShowUReading(again, *s.shownFrame, ctx.env); break;
    default: return;
  }
  const PanelView& fresh = again.view;
  auto take = [](QString& shown, const QString& redrawn) {
    if (!shown.isEmpty() && !redrawn.isEmpty()) shown = redrawn;
  };
  take(p.primaryReading, fresh.primaryReading);
  take(p.secondaryReading, fresh.secondaryReading);
  for (std::size_t i = 0; i < p.right.size(); ++i) take(p.right[i], fresh.right[i]);
  if (s.sourceSet) take(p.source, fresh.source);
  for (auto [shown, redrawn] : {std::pair{&p.rdMain, &fresh.rdMain},
                                {&p.rdVoltage, &fresh.rdVoltage},
                                {&p.rdAuto, &fresh.rdAuto},
                                {&p.rdSubscript, &fresh.rdSubscript},
                                {&p.rdCurrent, &fresh.rdCurrent},
                                {&p.rdSecondCurrent, &fresh.rdSecondCurrent},
                                {&p.uMain, &fresh.uMain},
                                {&p.uUpper, &fresh.uUpper},
                                {&p.uLower, &fresh.uLower}})
    take(*shown, *redrawn);
}

// ---------------------------------------------------------------- frames

FrameOutcome ProcessFrame(const PanelState& before, const Frame& frame, const PanelContext& ctx) {
  FrameOutcome out;
  out.state = before;
  const FrameStatus st = ValidateFrame(frame);
  if (!st.accepted) return out;  // bad terminator, sleep layout or checksum: nothing changes
  out.accepted = true;
  PanelState& s = out.state;
  PanelView& p = s.view;

  s.model = st.model;
  if (st.displayMode != 0) s.displayMode = st.displayMode;

  s.asleep = st.asleep;
  if (st.asleep) {
    s.deepSleep = st.deepSleep;
    s.sleepSeconds = st.sleepSeconds;
    p.sleep = SleepCaption(s, ctx.lex());
    p.sleepVisible = true;
    out.sleepRepeat = st.deepSleep;  // economy needs no waking
  } else {
    p.sleepVisible = false;
  }

  // Models without a button of their own change neither the buttons nor "U".
  if (s.model <= kZT42) {
    p.uButtonVisible = s.model != kZT41;
    if (p.modelButton != s.model) {
      p.modelButton = s.model;
      ApplyModel(s, ctx);
      out.modelSelected = true;
    }
  }
  p.brightness = st.brightness;

  // While a profile is being edited the panel keeps what the operator set.
  if (s.mode == WorkMode::EditingProfile) return out;

  out.displayed = true;
  s.shownFrame = frame;
  ApplyModel(s, ctx);
  switch (s.displayMode) {
    case 1: out.reading = ShowRlcReading(s, frame, ctx); break;
    case 2: ShowRdReading(s, frame, ctx.env); break;
    case 3: ShowUReading(s, frame, ctx.env); break;
    default: break;
  }
  return out;
}

std::optional<MeterReading> ShowRlcReading(PanelState& s, const Frame& frame, const PanelContext& ctx) {
  PanelView& p = s.view;
  p.display = DisplayPanel::Rlc;
  p.holdEnabled = true;

  const RlcReading r = ComputeRlcReading(frame, s.settings, s.model, ctx.env);
  s.settings = r.settings;
  ShowSettingsInLists(s);
  s.testFreqHz = r.freq.hz;
  s.noTestFrequency = r.freq.none;
  if (r.values) s.values = *r.values;

  if (r.source) {
    p.source = *r.source;
    s.sourceSet = true;
  }
  p.circuit1 = r.serPer1;
  if (r.primary) p.primaryReading = *r.primary;
  p.circuit = r.serPer;
  if (r.secondary) p.secondaryReading = *r.secondary;
  ApplySettingsToPanel(s, ctx.lex());
  p.right = r.right;

  if (r.asleep) return std::nullopt;  // no reading to sort or log
  MeterReading m;
  m.settings = s.settings;
  m.model = s.model;
  m.testFreqHz = s.testFreqHz;
  m.noTestFrequency = s.noTestFrequency;
  m.values = s.values;
  m.primaryLetter = p.primaryLetter;
  m.primaryText = p.primaryReading;
  m.secondaryLetter = p.secondaryLetter;
  m.secondaryText = p.secondaryReading;
  m.freqText = s.freqText;
  m.levelText = s.levelText;
  m.primary = PrimaryQuantity(r);
  m.secondary = SecondaryQuantity(r);
  m.level = TestLevelOf(s.settings.LevelCode, s.model);
  return m;
}

void ShowRdReading(PanelState& s, const Frame& frame, const TextEnv& env) {
  PanelView& p = s.view;
  p.display = DisplayPanel::Rd;
  p.holdEnabled = false;
  const RdReading r = ComputeRdReading(frame, env);
  if (r.autoMark) p.rdAuto = *r.autoMark;
  if (r.secondCurrent) p.rdSecondCurrent = *r.secondCurrent;
  if (r.voltage) p.rdVoltage = *r.voltage;
  if (r.functionLetter) p.rdFunction = *r.functionLetter;
  if (r.picture) p.rdPicture = *r.picture;
  p.rdMain = r.main;
  p.rdSubscript = r.subscript;
  p.rdCurrent = r.current;
  p.rdLetter = r.letter;
}

void ShowUReading(PanelState& s, const Frame& frame, const TextEnv& env) {
  PanelView& p = s.view;
  p.display = DisplayPanel::U;
  p.holdEnabled = false;
  const UReading u = ComputeUReading(frame, env);
  p.uMain = u.main;
  p.uUpper = u.upper;
  p.uLower = u.lower;
}

QuantityValue PrimaryQuantity(const RlcReading& r) {
  if (!r.values) return {};
  const RlcValues& v = *r.values;
  const bool series = r.settings.CircuitSeries == rlc_code::kCircuitSeries;
  switch (r.settings.PrimaryCode) {
    case rlc_code::kPrimaryR: return ResistanceOf(r);
    case rlc_code::kPrimaryC: {
      QuantityValue q{Quantity::Capacitance, 0, QStringLiteral("F")};
      const double c = 1 / (Omega(r) * (series ? v.ReadingX : v.ParallelX));
      if (series && r.below40) {
        q.value = 0.04;
        q.bound = Bound::Below;
      } else if (series && r.freq.none && c < 4.5e-7) {
        q.value = 5e-7;
        q.bound = Bound::Below;
      } else {
        q.value = c;
      }
      q.value *= Sign(r);
      return q;
    }
    case rlc_code::kPrimaryL: {
      QuantityValue q{Quantity::Inductance, (series ? v.ReadingX : v.ParallelX) / Omega(r), QStringLiteral("H")};
      if (q.value > 500) {
        q.value = 500;
        q.bound = Bound::Above;
      }
      q.value *= Sign(r);
      return q;
    }
    case rlc_code::kPrimaryZ:
      if (r.freq.none) return NoFrequency(Quantity::Impedance, QStringLiteral("Ω"));
      return Ohms(Quantity::Impedance, v.ImpedanceAbs);
    default: return {};  // the panel keeps the previous text: no number for this frame
  }
}

QuantityValue SecondaryQuantity(const RlcReading& r) {
  if (!r.values) return {};
  const RlcValues& v = *r.values;
  switch (r.settings.SecondaryCode) {
    case rlc_code::kSecondaryR: return ResistanceOf(r);
    case rlc_code::kSecondaryQ:
      if (r.freq.none) return NoFrequency(Quantity::QualityFactor, QString());
      return {Quantity::QualityFactor, v.ReadingX / v.ReadingR, QString()};
    case rlc_code::kSecondaryD:
      if (r.freq.none) return NoFrequency(Quantity::DissipationFactor, QString());
      return {Quantity::DissipationFactor, v.ReadingR / v.ReadingX, QString()};
    case rlc_code::kSecondaryAngle:
      if (r.freq.none) return NoFrequency(Quantity::PhaseAngle, QStringLiteral("°"));
      return {Quantity::PhaseAngle, v.PhaseDeg, QStringLiteral("°")};
    default: return {};
  }
}

}  // namespace zt
