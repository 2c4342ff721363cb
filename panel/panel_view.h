#pragma once
// What the on-screen front panel shows, as one plain value: every label's
// text, which display panel and which menus are visible, the pressed and
// enabled states of the meter's buttons. The meter's state computes it; a
// view copies it onto its controls and never reads them back.
#include <QMetaType>
#include <QString>
#include <QStringList>

#include <array>
#include <cstddef>

#include "menus.h"

namespace zt {

// Profile editing ("Изменение профиля" down) or measuring. Settings commands
// go to the meter only while measuring; frames are shown only while measuring.
enum class WorkMode { EditingProfile, Measuring };

// The three display panels that share one place: RLC, resistance/diode, voltage/current.
enum class DisplayPanel { Rlc, Rd, U };

inline constexpr std::size_t kMenuCount = 6;
inline constexpr std::size_t MenuIndex(Menu m) { return static_cast<std::size_t>(m); }

// One settings menu: its list, the selected row (-1: none) and whether it is open.
struct MenuView {
  QStringList items;
  int selected = -1;
  bool open = false;
  bool operator==(const MenuView&) const = default;
};

struct PanelView {
  DisplayPanel display = DisplayPanel::Rlc;  // Panel_RLCD / Panel_RD / Panel_U
  bool reject = false;                       // Panel_RLCD in the reject colour (sorting verdict)

  // ---- RLC display (Panel_RLCD)
  QString primaryLetter = QStringLiteral("R");    // L_Prim_RLC
  QString primaryAuto = QStringLiteral("A");      // L_RLC_avto
  QString primaryReading;                         // L_prim_n
  QString secondaryLetter = QStringLiteral("Q");  // L_Sec_RLC
  QString secondaryAuto = QStringLiteral("A");    // L_RQD_avto
  QString secondaryReading;                       // L_sec_n
  std::array<QString, 6> right;                   // L_righ1 .. L_righ6
  QString freq;                                   // L_freq_RLC
  QString level;                                  // L_Level_RLC
  QString source;                                 // L_Source_RLC
  bool sourceVisible = false;
  QString circuit = QStringLiteral("S");   // L_SER_PER (beside the secondary letter)
  QString circuit1 = QStringLiteral("A");  // L_SER_PER1 (beside the primary letter)

  // ---- resistance/diode display (Panel_RD)
  QString rdMain;                            // RD_Prim
  QString rdFunction = QStringLiteral("R");  // RD_prim_R
  QString rdVoltage;                         // RD_V
  QString rdAuto;                            // RD_Auto
  QString rdLetter = QStringLiteral("I");    // J_prim
  QString rdSubscript;                       // Joo
  QString rdCurrent;                         // RD_J
  QString rdSecondCurrent;                   // RD_J1
  int rdPicture = -1;                        // Im_Diod: RdPicture, -1 none yet

  // ---- voltage/current display (Panel_U)
  QString uMain;   // U_Prim
  QString uUpper;  // U_vrm
  QString uLower;  // U_pp

  // ---- over the display
  QString sleep;  // JP5: "Экон. 300сек" / "Сон 120сек"
  bool sleepVisible = false;
  std::array<MenuView, kMenuCount> menus;  // by Menu: P_xxx panel + ListBox_xxx
  bool modelChooserOpen = false;           // P16

  // ---- buttons
  bool uButtonVisible = true;  // Button3 "U"
  int modelButton = 0;         // RB1..RB3 checked: 0..2, -1 none
  bool brightness = true;      // SP4 down
  bool hold = false;           // SP3 down
  bool holdEnabled = true;     // SP3 enabled
  bool sound = false;          // SP2 down
  bool profileEditing = true;  // SB4 down
  bool recordEnabled = false;  // SP1 enabled (as far as the meter's state decides)
  int intervalItem = 1;        // CB1 current item, -1 none

  const MenuView& menu(Menu m) const { return menus[MenuIndex(m)]; }
  MenuView& menu(Menu m) { return menus[MenuIndex(m)]; }
  bool operator==(const PanelView&) const = default;
};

}  // namespace zt

Q_DECLARE_METATYPE(zt::WorkMode)
Q_DECLARE_METATYPE(zt::DisplayPanel)
Q_DECLARE_METATYPE(zt::PanelView)
