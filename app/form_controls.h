#pragma once
// The window's controls, each named as its objectName (the language files
// and the operators know them by these names; app/README.md says what each
// one is). Built by the region builders (form_build.h); the views bind and
// render them. Private to app/.
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableView>
#include <QWidget>

namespace zt {

struct FormControls {
  // ---- top region
  QFrame* Panel_top = nullptr;
  // left column
  QFrame* Panel3 = nullptr;
  QFrame* Panel6 = nullptr;
  QPushButton* Button2 = nullptr;  // "RLCD"
  QPushButton* Button1 = nullptr;  // "RD"
  QPushButton* Button3 = nullptr;  // "U"
  QFrame* Panel1 = nullptr;
  QComboBox* CBox10 = nullptr;  // single part / multi part
  QLabel* JvP8 = nullptr;       // profile caption
  QFrame* Panel5 = nullptr;
  QPushButton* SB1 = nullptr;  // "Создать"
  QPushButton* SB2 = nullptr;  // "Открыть"
  QPushButton* SB3 = nullptr;  // "Сохранить как"
  QPushButton* SB4 = nullptr;  // toggle "Изменение профиля"
  // front panel area
  QFrame* Panel4 = nullptr;
  QFrame* P5 = nullptr;
  // function strip
  QFrame* JvPanel5 = nullptr;
  QFrame* JvPanel1 = nullptr;
  QPushButton* SP4 = nullptr;   // toggle "Яркость"
  QPushButton* SP3 = nullptr;   // toggle "Захват"
  QPushButton* SP2 = nullptr;   // toggle "Звук"
  QPushButton* SBe1 = nullptr;  // "По умолчанию"
  QComboBox* LangCombo1 = nullptr;
  QPushButton* SP5 = nullptr;  // "Выключить"
  QFrame* P_connect = nullptr;
  QPushButton* B2 = nullptr;  // connect / disconnect
  QCheckBox* CheckBox_connect_auto = nullptr;
  // display area
  QFrame* JvPanel3 = nullptr;
  QPlainTextEdit* Memo1 = nullptr;
  QWidget* DisplayArea = nullptr;  // the place the three display panels share

  // ---- RLC display
  QFrame* Panel_RLCD = nullptr;
  QLabel* L_Prim_RLC = nullptr;
  QLabel* L_RLC_avto = nullptr;
  QLabel* L_prim_n = nullptr;
  QLabel* L_Sec_RLC = nullptr;
  QLabel* L_RQD_avto = nullptr;
  QLabel* L_sec_n = nullptr;
  QLabel* L_righ1 = nullptr;
  QLabel* L_righ2 = nullptr;
  QLabel* L_righ3 = nullptr;
  QLabel* L_righ4 = nullptr;
  QLabel* L_righ5 = nullptr;
  QLabel* L_righ6 = nullptr;
  QLabel* L_freq_RLC = nullptr;
  QLabel* L_Level_RLC = nullptr;
  QLabel* L_Source_RLC = nullptr;
  QLabel* L_SER_PER = nullptr;
  QLabel* L_SER_PER1 = nullptr;
  // ---- RD display
  QFrame* Panel_RD = nullptr;
  QLabel* Im_Diod = nullptr;
  QLabel* RD_prim_R = nullptr;
  QLabel* RD_Prim = nullptr;
  QLabel* RD_V = nullptr;
  QLabel* RD_Auto = nullptr;
  QLabel* J_prim = nullptr;
  QLabel* Joo = nullptr;
  QLabel* RD_J = nullptr;
  QLabel* RD_J1 = nullptr;
  // ---- U display
  QFrame* Panel_U = nullptr;
  QLabel* U_Prim = nullptr;
  QLabel* U_vrm = nullptr;
  QLabel* U_pp = nullptr;
  // ---- over the display
  QLabel* JP5 = nullptr;  // economy / sleep indicator
  QFrame* P_prim_RLC = nullptr;
  QListWidget* ListBox_prim_RLC = nullptr;
  QFrame* P_sec_RLC = nullptr;
  QListWidget* ListBox_sec_RLC = nullptr;
  QFrame* P_ser_per = nullptr;
  QListWidget* ListBox_ser_per = nullptr;
  QFrame* P_level_RLC = nullptr;
  QListWidget* ListBox_Level_RLC = nullptr;
  QFrame* P_freq_RLC = nullptr;
  QListWidget* ListBox_freq_RLC = nullptr;
  QFrame* P_Source_RLC = nullptr;
  QListWidget* ListBox_Source_RLC = nullptr;

  // ---- lower region
  QFrame* Panel9 = nullptr;
  QFrame* JvPanel2 = nullptr;
  QLabel* JvP1 = nullptr;   // caption over the profile editor
  QLabel* JvP11 = nullptr;  // caption over the recording band
  // profile editor
  QFrame* Panel7 = nullptr;
  QPushButton* BB1 = nullptr;         // "Запись"
  QPushButton* Button_DEL = nullptr;  // "Удалить"
  QPushButton* Button_Add = nullptr;  // "Добавить"
  QSpinBox* SE2 = nullptr;            // profile number
  QComboBox* CBox6 = nullptr;         // profile name
  QFrame* Panel8 = nullptr;
  QComboBox* CBox2 = nullptr;  // primary kind
  QComboBox* CBox5 = nullptr;  // primary tolerance
  QLineEdit* E2 = nullptr;     // primary nominal
  QComboBox* CBox1 = nullptr;  // unit of R
  QComboBox* CBox3 = nullptr;  // unit of L
  QComboBox* CBox4 = nullptr;  // unit of C
  QFrame* Panel11 = nullptr;
  QComboBox* CBox11 = nullptr;  // secondary kind
  QComboBox* CBox51 = nullptr;  // secondary tolerance
  QLineEdit* E11 = nullptr;     // secondary nominal
  QComboBox* CBox31 = nullptr;  // unit of the secondary R
  QPushButton* BB2 = nullptr;   // "Чтение" (hidden)
  // recording band
  QFrame* Panel2 = nullptr;
  QFrame* Panel13 = nullptr;
  QSpinBox* SE1 = nullptr;          // start position
  QComboBox* CB1 = nullptr;         // recording interval
  QPushButton* SP1 = nullptr;       // toggle "Пуск"
  QPushButton* Button4 = nullptr;   // export
  QPushButton* B5 = nullptr;        // "Очистка"
  QPushButton* BChart = nullptr;    // "График": the chart window
  QPushButton* BArchive = nullptr;  // "Архив": the archived logs
  QPushButton* BPublish = nullptr;  // "MQTT": the publishing dialogue
  // grid
  QFrame* Panel10 = nullptr;
  QTableView* SG = nullptr;

  // ---- floating model panel
  QFrame* P16 = nullptr;
  QGroupBox* RG1 = nullptr;
  QRadioButton* RB1 = nullptr;
  QRadioButton* RB2 = nullptr;
  QRadioButton* RB3 = nullptr;
};

}  // namespace zt
