#pragma once
// The meter's state as one value, and the routines that move it: a frame, a
// menu choice, a model, the defaults or a profile's settings in; the new
// state, with what the panel shows, out. No timers, no sending, no widgets:
// MeterState (meter_state.h) runs these and does the rest.
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>

#include "display.h"
#include "format.h"
#include "frame.h"
#include "lexicons.h"
#include "menus.h"
#include "meter_reading.h"
#include "meter_settings.h"
#include "panel_view.h"

namespace zt {

// Translates a menu's design item (the language engine's list-item texts);
// unset: the design texts.
using MenuItemTranslator = std::function<QString(Menu menu, int item, const QString& designText)>;

// What the texts are built with: the lexicons and separators in use and the
// translated menu items.
struct PanelContext {
  TextEnv env;
  const MenuItemTranslator* translate = nullptr;
  const Lexicons& lex() const { return env.lex; }
};

struct PanelState {
  MeterSettings settings;
  std::uint8_t model = kZT40;      // MeterModel
  std::uint8_t displayMode = 0;    // DisplayMode: 0 until a frame names one
  bool asleep = false;             // MeterAsleep: the last frame had the sleep bit
  bool deepSleep = false;          // "Сон" rather than "Экон."
  std::uint16_t sleepSeconds = 0;  // what the meter's indicator counts
  WorkMode mode = WorkMode::EditingProfile;
  // The last RLC reading.
  std::int32_t testFreqHz = 10000;  // TestFreqHz
  bool noTestFrequency = false;     // NoTestFrequency
  RlcValues values;
  QString freqText;   // FreqText: frequency without the auto mark
  QString levelText;  // LevelText
  // The last model with lists of its own; a model the logger does not know
  // keeps that model's first items.
  std::uint8_t listModel = kZT40;
  // The model the frequency and level lists were last built for, and what
  // was built; rebuilt when the model or the language changes.
  std::optional<std::uint8_t> listsBuiltFor;
  ModelLists modelLists;
  bool sourceSet = false;  // a frame or a menu has written the source label
  // The frame the display panels were last drawn from (a language switch
  // draws its texts again).
  std::optional<Frame> shownFrame;
  // Who wrote the settings' labels last: none yet, the settings (a frame,
  // the defaults, a profile), or, for the level label, the model's lists.
  bool settingsLabelsShown = false;
  bool levelByModel = false;
  PanelView view;

  bool brightnessDown() const { return view.brightness; }
  bool operator==(const PanelState&) const = default;
};

// ---------------------------------------------------------------- model and menus

// The frequency and level lists, the level caption and the source label's
// visibility for the model, built from the design items and the lexicons.
// Models above ZT42 keep the first items of the last known model's lists.
// Also closes the model chooser.
void ApplyModel(PanelState& s, const PanelContext& ctx);

// ApplyModel without closing the model chooser: what follows the model and
// the language. The lists are built again only for another model (or after
// BuildMenus); the caption and the source label are set every time.
void RebuildModelLists(PanelState& s, const PanelContext& ctx);

// The six menus' items in the language in use (RebuildModelLists included).
void BuildMenus(PanelState& s, const PanelContext& ctx);

// Selects the frequency, primary, secondary, level and circuit rows from the
// settings; a row past a list selects nothing.
void ShowSettingsInLists(PanelState& s);

// Circuit marks and the circuit row from the settings.
void ShowCircuit(PanelState& s);

// Labels and buttons that mirror the settings; FreqText and LevelText.
void ApplySettingsToPanel(PanelState& s, const Lexicons& lex);
// Its texts only: the frequency and level labels and the parameter letters.
void ApplySettingsTexts(PanelState& s, const Lexicons& lex);

// The meter's defaults, shown (sends nothing).
void LoadDefaultSettings(PanelState& s, const Lexicons& lex);

// A profile's settings taken over and shown (sends nothing).
void ApplyProfileSettings(PanelState& s, const MeterSettings& settings, const Lexicons& lex);

// Item `index` of menu `m` stored and its labels rewritten. False (and
// nothing changed) when the index names no item of the menu as shown.
bool ChooseMenuItem(PanelState& s, Menu m, int index, const Lexicons& lex);

// The JP5 text for the sleep state in the state.
QString SleepCaption(const PanelState& s, const Lexicons& lex);

// The source label before any frame has set it (the design text, in the language in use).
QString InitialSourceCaption(const Lexicons& lex);

// ---------------------------------------------------------------- frames

struct FrameOutcome {
  bool accepted = false;       // false: the frame was discarded and nothing changed
  PanelState state;            // the state after the frame
  bool displayed = false;      // handed to a display routine (the no-data wait starts again)
  bool sleepRepeat = false;    // the meter sleeps: repeat the wake-up command
  bool modelSelected = false;  // a model button was selected: the model byte must be stored
  // An awake RLC frame was shown: the reading (time not set). Its verdict
  // colours the panel.
  std::optional<MeterReading> reading;
};

// A Measurement frame against the state before it.
FrameOutcome ProcessFrame(const PanelState& before, const Frame& frame, const PanelContext& ctx);

// The display routines, as ProcessFrame calls them.
std::optional<MeterReading> ShowRlcReading(PanelState& s, const Frame& frame, const PanelContext& ctx);
void ShowRdReading(PanelState& s, const Frame& frame, const TextEnv& env);
void ShowUReading(PanelState& s, const Frame& frame, const TextEnv& env);

// Every text of the panel again in the language of `ctx`, as the next frame
// would draw it: the menus, the settings' labels, the sleep caption, and the
// readings of the frame last shown, where the panel still shows them (a
// blanked reading stays blank). Nothing but texts changes.
void RetranslatePanel(PanelState& s, const PanelContext& ctx);

// The primary and secondary reading of an RLC frame as numbers, signed where
// the panel shows a sign, bounded where it shows a limit instead of a number.
QuantityValue PrimaryQuantity(const RlcReading& r);
QuantityValue SecondaryQuantity(const RlcReading& r);

}  // namespace zt
