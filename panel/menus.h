#pragma once
// The settings menus and setting labels of the RLC panel as plain functions:
// the lists each model offers, what a menu choice stores into MeterSettings
// and which labels it rewrites, the labels that mirror a settings record, the
// default settings and the interval mapping.
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

#include "lexicons.h"
#include "meter_reading.h"
#include "meter_settings.h"

namespace zt {

enum class Menu { Frequency, Level, Primary, Secondary, Circuit, Source };

// Object name of the menu's list (language files name its items by it).
QString MenuListName(Menu m);
// Title text shown above the menu's list.
QString MenuTitle(Menu m);
// The list as designed (before a model or a language changes it).
QStringList MenuDesignItems(Menu m);

// The frequency and level lists as a model leaves them: frequency items from
// index 6 and level items from index 3 are dropped, then the model's own items
// are (re)written from the lexicons. Models above ZT42 only trim.
struct ModelLists {
  QStringList freq;
  QStringList level;
  std::optional<QString> levelCaption;  // L_Level_RLC
  std::optional<bool> sourceVisible;    // L_Source_RLC
  bool operator==(const ModelLists&) const = default;
};
ModelLists ApplyModelToLists(const QStringList& freq, const QStringList& level, std::uint8_t model,
                             const Lexicons& lex);

// Labels a menu choice rewrites; an empty optional leaves that label alone.
struct MenuChoice {
  bool applied = false;                 // false: index not in the list, nothing changed
  std::optional<QString> label;         // the menu's own label
  std::optional<QString> autoMark;      // L_RLC_avto (primary), L_RQD_avto (secondary)
  std::optional<QString> circuitMark;   // L_SER_PER
  std::optional<QString> circuitMark1;  // L_SER_PER1
};

// Stores item `index` of menu `m` into `s` and says which labels change.
MenuChoice ApplyMenuChoice(Menu m, int index, MeterSettings& s, std::uint8_t model, const Lexicons& lex);

// Items each list selects for the settings (ShowSettingsInLists). The source
// list does not follow the meter.
struct ListSelection {
  int freq = 0;
  int primary = 0;
  int secondary = 0;
  int level = 0;
  int circuit = 0;
};
ListSelection SelectionOfSettings(const MeterSettings& s);

// Label texts and button states that mirror a settings record.
struct SettingsView {
  QString primaryAuto;                     // L_RLC_avto
  bool hold = false;                       // SP3 down, SP1 disabled
  bool sound = false;                      // SP2 down
  std::optional<int> intervalItem;         // CB1
  QString freqLabel;                       // L_freq_RLC
  QString freqText;                        // FreqText after this call
  QString levelLabel;                      // L_Level_RLC
  QString levelText;                       // LevelText after this call
  std::optional<QString> primaryLetter;    // L_Prim_RLC
  QString secondaryAuto;                   // L_RQD_avto
  std::optional<QString> secondaryLetter;  // L_Sec_RLC
};
// The test level a level code selects on a model (LevelText is built from it);
// not valid for a code or model that names no level.
TestLevel TestLevelOf(std::uint8_t levelCode, std::uint8_t model);

// FreqText and LevelText persist: codes that name no text keep the previous ones.
SettingsView ViewOfSettings(const MeterSettings& s, std::int32_t testFreqHz, std::uint8_t model, const Lexicons& lex,
                            const QString& freqText, const QString& levelText);

// Circuit marks and circuit menu item for the settings, nothing for an
// unknown circuit value.
struct CircuitView {
  int item = 0;
  QString mark;
};
std::optional<CircuitView> CircuitViewOf(const MeterSettings& s);

// The meter's defaults; LogReady, SourceAuto and Reserved are kept.
void ApplyDefaultSettings(MeterSettings& s);

// Interval drop-down: item 0 "0.5с" = code 3, item 1 "1с" = 2, item 2 "2с" = 1.
std::optional<std::uint8_t> IntervalCodeOfItem(int item);
std::optional<int> IntervalItemOfCode(std::uint8_t code);

}  // namespace zt
