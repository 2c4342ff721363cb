#pragma once
// The logger's one window. TForm1 owns every control and every piece of
// program-wide state, and wires control, timer and link events to the pure
// cores (protocol/, panel/, log/). Its handlers are spread over several
// source files, one per subsystem (main_*.cpp).
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
#include <QTimer>
#include <QWidget>
#include <functional>
#include <array>
#include <memory>
#include <optional>

#include "command.h"
#include "frame.h"
#include "lang_client.h"
#include "lang_man.h"
#include "lexicons.h"
#include "meter_settings.h"
#include "prompts.h"
#include "transport.h"
#include "ble_link.h"
#include "com_port.h"
#include "modem_probe.h"
#include "port_lookup.h"

namespace zt {

struct ProfileRecord;

// What the window is built with. Tests pass fakes; the program passes the
// real implementations (or nothing, for defaults).
struct TForm1Deps {
  Prompts* prompts = nullptr;  // null: real dialogues
  // ---- deps: link ----
  // Port lookup; null: the system's serial ports plus the virtual-ports folder.
  PortLookup* portLookup = nullptr;
  // ---- deps: ble ----
  // The Bluetooth LE component; null: the platform's stack (QtBle).
  Ble* ble = nullptr;
  // ---- deps: i18n ----
  QString langDir;  // empty: "lang" in the program folder (else in the working folder)
};

// Top left corner of a window frame of size `frame` centred in `area` (a
// screen's available part); a frame larger than the area keeps its top left
// corner inside it.
QPoint CentredPosition(const QSize& frame, const QRect& area);

class TForm1 : public QWidget {
  Q_OBJECT

 public:
  explicit TForm1(const TForm1Deps& deps = {}, QWidget* parent = nullptr);
  ~TForm1() override;

  // The lexicons of the language in use; every run-time text reads them.
  const Lexicons& lex() const;
  Prompts& prompts() const { return *m_prompts; }
  // Reports an error that would otherwise be lost: a critical message box.
  void ReportError(const QString& text);

  // ==== shell: start-up and shutdown ====
  void FormCreate();
  void FormShow();
  void FormCloseQuery();
  void FormClose();
  void FormResize();

  // ==== protocol: frames and commands ====
  void ProcessFrame(Frame frame);
  void ApplyModel();
  // Checks the model's radio button; one that was not checked runs its click.
  void SelectModelButton(std::uint8_t model);
  void Timer_TXTimer();
  // False when nothing was sent (no link up, or a profile being edited); the
  // change-in-flight flag is then dropped unless an earlier send still holds it.
  bool SendSettingsCommand();
  void SendSpecialCommand(std::uint8_t code);
  void TransmitCommand();

  // Shared state.
  MeterSettings meterSettings;
  std::uint8_t MeterModel = kZT40;
  std::uint8_t DisplayMode = 0;
  std::int32_t MeterAsleep = 0;
  std::int32_t SettingsBusy = 0;
  CommandFrame Command{};

  // Link flags.
  std::uint8_t PortOpened = 0;
  std::uint8_t LinkUp = 0;
  std::uint8_t UseBle = 1;
  std::uint8_t BleLinkUp = 0;
  bool Scanning = false;
  // Found field of the last port query: 1 when a serial device was present.
  int PortQueryFound = 0;
  // Where Command frames go: the serial port (6 bytes) or the Bluetooth LE
  // characteristic (8 bytes). Null while that link has no device.
  Transport* serialTransport = nullptr;
  Transport* bleTransport = nullptr;

  // ==== panel hooks (defined in main_panel.cpp) ====
  void ShowRlcReading(const Frame& frame);
  void ShowRdReading(const Frame& frame);
  void ShowUReading(const Frame& frame);
  void LoadDefaultSettings();
  void ShowSettingsInLists();
  // The model radio buttons' click behaviour (set MeterModel, ApplyModel,
  // store the model byte).
  void RB1Click();
  void RB2Click();
  void RB3Click();

  // ==== log hooks (defined in main_log.cpp) ====
  std::int32_t CheckTolerance();
  void AppendLogRow();
  void ShowLogHeaders();

  // ==== settings file hooks (defined in main_settings.cpp) ====
  std::int32_t LoadSettingsFile();

  // ==== link hooks (defined in main_link.cpp) ====
  void LoadPortLookup();  // start-up: the port lookup component
  void StartupProbe();    // first show: probe for the serial dongle
  // Closes the serial port (and says goodbye to the dongle) at shutdown.
  void ShutdownLinks();

  // ==== ble hooks (defined in main_ble.cpp) ====
  void BleSetEnabled(bool on);

  // ---- link ----
  // Serial link: the port component and its events.
  bool DiscoverSerialPort();
  void ComPortRxChar(const QByteArray& burst);
  void ComPortAfterOpen();
  void ComPortBeforeClose();
  void ComPortException(int kind, const QString& message);
  // The port's device vanished (unplugged): the link cannot be up any more.
  void ComPortDeviceGone();
  void StartupProbeDone(bool answered);
  // Link manager.
  // Where the connection stands, whichever transport carries it. Every
  // connect-or-disconnect decision reads this, never B2's caption (a language
  // may word the caption differently from the lexicon); the caption is only
  // its rendering, set by SetLinkState.
  enum class LinkState {
    Idle,           // no link: a press connects
    Connecting,     // a press asked for a link and waits for the outcome
    Up,             // a link is up: a press disconnects
    Disconnecting,  // a press asked the dongle to drop the link
  };
  enum class LinkVia { None, Serial, Ble };
  LinkState linkState = LinkState::Idle;
  LinkVia linkVia = LinkVia::None;
  // Sets the state, shows it on B2 and arms or stops ConnectWait.
  void SetLinkState(LinkState state, LinkVia via = LinkVia::None);
  // A press is waiting for its outcome: B2 stays disabled meanwhile.
  bool LinkActionPending() const;
  // A connect attempt ended without a link (refused, or never answered).
  void ConnectAttemptFailed();
  // Bounds the wait for the serial device's answer to a press.
  void ConnectWaitTimer();
  QTimer* ConnectWait = nullptr;
  void B2Click();
  void CheckBox_connect_autoClick();
  void OnLinkUp();
  void OnLinkDown();
  void T2Timer();
  void T3Timer();
  void T4Timer();
  void T33Timer();
  void T34Timer();
  void T50Timer();
  ComPort* comPort = nullptr;
  PortQuery portQuery;
  // The Bluetooth LE side of a connect attempt, set by the Bluetooth LE
  // wiring: enable-and-scan request, and the disconnect handling (which ends
  // in OnLinkDown). Unset: there is no Bluetooth LE path.
  std::function<BleRequest()> bleStartDiscovery;
  std::function<void()> bleDisconnect;
  ModemProbe* m_modemProbe = nullptr;
  PortLookup* m_portLookup = nullptr;
  std::unique_ptr<PortLookup> m_ownPortLookup;
  // ---- ble ----
  // The Bluetooth LE component `BLE` (owned by the window unless injected).
  Ble* BLE = nullptr;
  void ApplyBleDeps(Ble* injected);
  // The discovery request of B2Click and T3Timer: enables the component and,
  // unless a scan is under way (then nothing is asked and Started is
  // returned), starts a 1900 ms scan. Refused and Error are acted on by the
  // caller (memo line, UseBle := 0, T3).
  BleRequest RequestBleDiscovery();
  // Events of the component.
  void BLEDiscoverLEDevice(const BleDevice& device);
  void BLEEndDiscoverDevices();
  void BLEConnect();
  void BLEConnectFailed();
  void BLEDisconnect();  // also the disconnect handling B2 runs
  void BLEServicesDiscovered(const QList<QBluetoothUuid>& services);
  void BLECharacteristicRead(const QByteArray& value);
  BleDevice m_bleMeter;          // the meter found last; kept after a disconnect
  bool m_bleMeterFound = false;  // the scan under way has found the meter
  std::unique_ptr<Transport> m_bleTransport;
  // ---- panel ----
  // The last RLC reading (sorting and the log read these).
  std::int32_t TestFreqHz = 10000;
  bool NoTestFrequency = false;
  double ReadingR = 0;
  double ReadingX = 0;
  double ParallelR = 0;
  double ParallelX = 0;
  double PhaseDeg = 0;
  double ImpedanceAbs = 0;
  double DutVoltage = 0;
  // Frequency and level as the panel names them, without the auto mark; the
  // log row copies them.
  QString FreqText;
  QString LevelText;
  // Number separators of the system's regional settings (tests may set them).
  QString DecimalSeparator = QStringLiteral(".");
  QString GroupSeparator = QStringLiteral(",");
  // The resistance/diode pictures: diode up, diode down, resistor.
  QList<QPixmap> ImList1;

  void ApplySettingsToPanel(const MeterSettings& settings);
  void ShowCircuit();
  // Settings menus.
  void L_freq_RLCClick();
  void L_Level_RLCClick();
  void L_Prim_nClick();
  void L_Sec_RLCClick();
  void L_SER_PERClick();
  void L_Source_RLCClick();
  void ListBox_freq_RLCClick();
  void ListBox_Level_RLCClick();
  void ListBox_prim_RLCClick();
  void ListBox_sec_RLCClick();
  void ListBox_ser_perClick();
  void ListBox_Source_RLCClick();
  void ListBox_freq_RLCMouseEnter();
  void Panel_RLCDMouseEnter();  // also the leave handlers of the other lists
  // Function buttons.
  void SP2Click();
  void SP3Click();
  void SP4Click();
  void SP5Click();
  void SBe1Click();
  void SB4Click();
  void Button1Click();
  void Button2Click();
  void Button3Click();
  void CB1Click();
  void CB1DropDown();
  void CB1CloseUp();
  void Memo1Click();
  void P16MouseLeave();
  // Connecting removes the memo's click handler for the rest of the run.
  void UnbindMemo1Click();
  // Stores MeterModel in the settings file (the model radio buttons).
  void SaveModelByte();
  // The model-dependent menu items, level caption and source label of
  // ApplyModel. Items already right are left alone, so a steady model costs
  // nothing per frame.
  void RebuildModelLists();
  // True while Panel_RLCDMouseEnter is attached to the RLC panel itself.
  bool RlcPanelEnterBound = true;
  QObject* Memo1ClickHook = nullptr;
  bool CB1Picked = false;
  // ---- log ----
  // The log grid's data; SG shows it (heading row = the view's header).
  class LogModel* SGModel = nullptr;
  // The latest tolerance check (CheckTolerance stores it).
  std::int32_t SortResult = 0;
  double PrimaryDeviation = 0;
  double SecondaryDeviation = 0;
  std::int32_t MultiGridReady = 0;
  // Row 100,000 has been written: further single-part readings are not
  // written over it until the start position is changed or the log cleared.
  bool LogFull = false;
  void ResetLogGrid(int n);
  // Headings for what the grid shows now: the single-part log, the
  // multi-part measurement table or the profile table. Rows stay.
  void ShowGridHeadings();
  void PrepareMultiGrid();
  void SelectGridCell(int row, int col);
  void SP1Click();
  void B5Click();
  void CBox10Click();
  // The window sees keys before its controls; the key is never consumed.
  void FormKeyDown(int key);
  bool SGSelectCell(int col, int row) const;
  void SGMouseUp(const QPoint& pos);
  bool PrimaryToleranceOn() const;
  bool SecondaryToleranceOn() const;
  QObject* m_keyPreview = nullptr;
  // ---- profile ----
  QString CurrentProfilePath;
  // Editor input rules.
  void E2Change();
  void E11Change();
  void CBox5Change();
  void CBox51Change();
  void CBox2Change();
  void CBox11Change();
  // Selection.
  void CBox6DropDown();
  void CBox6Click(int index);
  void SE2TopClick();
  void SE2BottomClick();
  void SE2Change();
  void BB2Click();
  // Editing commands.
  void BB1Click();
  void Button_AddClick();
  void Button_DELClick();
  // Records and the file. They return false after a failure, which they
  // leave in ProfileError for the caller to report.
  bool ReadProfile(int n);
  bool WriteProfile(int n);
  bool LoadProfileNames();
  bool ShowProfileTable(int a);
  // Writes the profile table's rows from the file: all (a = 0) or only the
  // row of record index a. Fills `recs` with the records read.
  bool FillProfileTableRows(int a, QVector<ProfileRecord>& recs);
  // Makes the name list of CBox6 the names of `recs`, keeping the text the
  // box shows.
  void ListProfileNames(const QVector<ProfileRecord>& recs);
  std::int32_t RestoreProfileFile(const QString& path);
  void SB1Click();
  void SB2Click();
  void SB3Click();
  // "Создать" and "Сохранить как": the path of the file to write (the chosen
  // name with ".hex1" added), or empty when the operator cancels (or, for a
  // copy, when there is no current file to copy). An existing file there is
  // replaced only when the operator says so.
  QString AskProfileFileToWrite(const QString& caption, bool copiesCurrentFile);
  // The editor's values as a record.
  struct ProfileRecord EditorRecord() const;
  // Tells the operator what a read of a damaged profile file could not read
  // (once per distinct report).
  void ReportProfileProblems(const QStringList& problems);
  void ReportProfileError();
  QString ProfileError;
  QString LastProfileProblems;
  bool SE2Stepping = false;  // an arrow or key step of SE2 is under way
  bool ToleranceSetByProgram = false;
  // ---- settings ----
  // Stores the profile path in 1.dat and makes the file current: through
  // LoadSettingsFile, or directly when 1.dat cannot take the path (the
  // operator is told). Returns LoadSettingsFile's result.
  std::int32_t RememberProfilePath(const QString& path);
  // ---- export ----
  // Writes the log grid to a file the operator chooses, then opens it.
  void Button4Click();
  // Rows the export copies, heading row included (row count rule).
  int ExportRows() const;
  void ExportFinished(const struct ExportResult& result);
  // Hands a written file to the system's default application; false when
  // there is none. Tests replace it.
  std::function<bool(const QString& path)> OpenExportedFile;
  class ExportRunner* m_exportRunner = nullptr;
  // Log and profile state the export reads. They belong to the log grid and
  // the profile file; declared here until those sections take them over.
  std::int32_t LogPosition = 0;
  std::int32_t ProfileCount = 0;
  QString ProfileTitle;
  // ---- i18n ----
  // The language engine and its client that translates this window.
  zt::LangMan* LangMan = nullptr;
  LangManClient* LangManClient1 = nullptr;
  // The operator picked another language in LangCombo1: store the index,
  // release the dongle, restart the connection poll, keep the combo boxes'
  // positions. Never vetoes.
  void LangManChangeLangQuery(int newIndex, bool* proceed);
  // The engine has switched and translated the window.
  void LangManChangeLanguage();
  // Start-up choice from the stored index: selects it in LangCombo1 (no
  // switch) and makes English the default language for 1, Russian otherwise.
  void ApplyLanguageIndex(std::int32_t index);
  // The eleven combo boxes whose positions survive a language change.
  std::array<QComboBox*, 11> LangSavedCombos() const;
  std::array<std::int32_t, 11> LangSavedIndices{};
  // Texts typed into the editable ones that are not their current item (a
  // tolerance of "15%"); none where the box shows its item.
  std::array<std::optional<QString>, 11> LangSavedTexts{};
  bool LangIndicesSaved = false;
  QString LangDirectory;

  // ==== controls (objectName equals the member name) ====
  // Top region
  QFrame* Panel_top = nullptr;
  QFrame* Panel3 = nullptr;
  QFrame* Panel6 = nullptr;
  QPushButton* Button2 = nullptr;  // "RLCD"
  QPushButton* Button1 = nullptr;  // "RD"
  QPushButton* Button3 = nullptr;  // "U"
  QFrame* Panel1 = nullptr;
  QComboBox* CBox10 = nullptr;
  QLabel* JvP8 = nullptr;
  QFrame* Panel5 = nullptr;
  QPushButton* SB1 = nullptr;
  QPushButton* SB2 = nullptr;
  QPushButton* SB3 = nullptr;
  QPushButton* SB4 = nullptr;  // toggle
  QFrame* Panel4 = nullptr;
  QFrame* P5 = nullptr;
  QFrame* JvPanel5 = nullptr;
  QFrame* JvPanel1 = nullptr;
  QPushButton* SP4 = nullptr;  // toggle "Яркость"
  QPushButton* SP3 = nullptr;  // toggle "Захват"
  QPushButton* SP2 = nullptr;  // toggle "Звук"
  QPushButton* SBe1 = nullptr;
  QComboBox* LangCombo1 = nullptr;
  QPushButton* SP5 = nullptr;
  QFrame* P_connect = nullptr;
  QPushButton* B2 = nullptr;
  QCheckBox* CheckBox_connect_auto = nullptr;
  QFrame* JvPanel3 = nullptr;
  QPlainTextEdit* Memo1 = nullptr;
  QWidget* DisplayArea = nullptr;  // the place the three display panels share

  // RLC display
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
  // RD display
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
  // U display
  QFrame* Panel_U = nullptr;
  QLabel* U_Prim = nullptr;
  QLabel* U_vrm = nullptr;
  QLabel* U_pp = nullptr;

  QLabel* JP5 = nullptr;  // economy / sleep indicator
  // Pop-up choice panels: title over list.
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

  // Lower region
  QFrame* Panel9 = nullptr;
  QFrame* JvPanel2 = nullptr;
  QLabel* JvP1 = nullptr;
  QLabel* JvP11 = nullptr;
  QFrame* Panel7 = nullptr;
  QPushButton* BB1 = nullptr;
  QPushButton* Button_DEL = nullptr;
  QPushButton* Button_Add = nullptr;
  QSpinBox* SE2 = nullptr;
  QComboBox* CBox6 = nullptr;
  QFrame* Panel8 = nullptr;
  QComboBox* CBox2 = nullptr;
  QComboBox* CBox5 = nullptr;
  QLineEdit* E2 = nullptr;
  QComboBox* CBox1 = nullptr;
  QComboBox* CBox3 = nullptr;
  QComboBox* CBox4 = nullptr;
  QFrame* Panel11 = nullptr;
  QComboBox* CBox11 = nullptr;
  QComboBox* CBox51 = nullptr;
  QLineEdit* E11 = nullptr;
  QComboBox* CBox31 = nullptr;
  QPushButton* BB2 = nullptr;
  QFrame* Panel2 = nullptr;
  QFrame* Panel13 = nullptr;
  QSpinBox* SE1 = nullptr;
  QComboBox* CB1 = nullptr;
  QPushButton* SP1 = nullptr;  // toggle "Пуск"
  QPushButton* Button4 = nullptr;
  QPushButton* B5 = nullptr;
  QFrame* Panel10 = nullptr;
  QTableView* SG = nullptr;

  // Model panel
  QFrame* P16 = nullptr;
  QGroupBox* RG1 = nullptr;
  QRadioButton* RB1 = nullptr;
  QRadioButton* RB2 = nullptr;
  QRadioButton* RB3 = nullptr;

  // Timers
  QTimer* T2 = nullptr;
  QTimer* T3 = nullptr;
  QTimer* T4 = nullptr;
  QTimer* T33 = nullptr;
  QTimer* T34 = nullptr;
  QTimer* T50 = nullptr;
  QTimer* Timer_TX = nullptr;

 protected:
  void showEvent(QShowEvent* e) override;
  void closeEvent(QCloseEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;

 private:
  void BuildControls();  // main_ui.cpp
  // Takes each subsystem's injected dependencies before the controls exist
  // (defined in main_deps.cpp; each subsystem adds its lines there).
  void ApplyDeps(const TForm1Deps& deps);
  void ConnectSignals();  // main_form.cpp: wires every subsystem's handlers
  // Each subsystem wires its own controls (called from ConnectSignals).
  void ConnectProtocolSignals();
  void ConnectLinkSignals();
  void ConnectBleSignals();
  void ConnectPanelSignals();
  void ConnectLogSignals();
  void ConnectProfileSignals();
  void ConnectExportSignals();
  void ConnectI18nSignals();

  std::unique_ptr<Prompts> m_ownPrompts;
  Prompts* m_prompts = nullptr;
  bool m_shownOnce = false;
};

}  // namespace zt
