#pragma once
// The meter's state: its settings, model, display mode, sleep state,
// brightness, the work mode (profile editing or measuring), the last reading
// and everything the front panel shows, with the two timers that belong to
// them (no data: blank the readings; asleep: repeat the wake-up). Controls
// call its slots; a view renders panelChanged() and never reads its controls
// back. Qt Core only: the headless recorder runs it without a display.
#include <QDeadlineTimer>
#include <QObject>
#include <QTimer>

#include <cstdint>

#include "meter_channel.h"
#include "panel_state.h"

namespace zt {

class LangMan;

// The language engine's list-item texts for the six menus of the window
// `owner` (the object name the language files give the window).
MenuItemTranslator MenuItemsOf(const LangMan* engine, const QString& owner = QStringLiteral("Form1"));

struct MeterStateTimings {
  int noDataMs = 3000;      // T33: no frame shown for this long blanks the readings (repeats)
  int wakeRepeatMs = 2000;  // T34: wake-up repeat while the meter sleeps
  // How long a sent command keeps incoming frames out (the channel's release
  // timer): a handler that sends nothing leaves an earlier hold alone within it.
  int transmitSettleMs = 50;
};

class MeterState : public QObject {
  Q_OBJECT

 public:
  // `channel` carries the commands and the input hold; `lexicons` are those
  // of the language in use (the engine keeps the object and changes its
  // content; call languageChanged() after a switch). Starts with the
  // defaults shown, ZT40's menus, profile editing on.
  MeterState(MeterChannel* channel, const Lexicons* lexicons, QObject* parent = nullptr);

  // ---- configuration
  void setLexicons(const Lexicons* lexicons);                // then rebuilds as languageChanged()
  void setMenuItemTranslator(MenuItemTranslator translate);  // idem
  void setSeparators(const Separators& separators);          // decimal and group separators of numbers
  void setTimings(const MeterStateTimings& timings);

  // ---- the state, for the view, the recorder and the profile book
  const PanelState& state() const { return state_; }
  const PanelView& view() const { return state_.view; }
  const MeterSettings& settings() const { return state_.settings; }
  std::uint8_t model() const { return state_.model; }
  std::uint8_t displayMode() const { return state_.displayMode; }
  bool asleep() const { return state_.asleep; }
  WorkMode mode() const { return state_.mode; }
  bool brightnessDown() const { return state_.view.brightness; }
  std::int32_t testFreqHz() const { return state_.testFreqHz; }
  bool noTestFrequency() const { return state_.noTestFrequency; }
  const RlcValues& values() const { return state_.values; }
  const QString& freqText() const { return state_.freqText; }
  const QString& levelText() const { return state_.levelText; }
  const Lexicons& lexicons() const { return *lex_; }
  const Separators& separators() const { return sep_; }
  bool noDataTimerActive() const { return t33_.isActive(); }  // T33
  bool wakeRepeatActive() const { return t34_.isActive(); }   // T34

  // ---- commands. Settings commands go out only while a link is up and the
  // mode is measuring; otherwise nothing is sent and the input hold is
  // released (unless a command sent just before still holds it). Both return
  // true when a frame went to the channel.
  bool SendSettingsCommand();
  bool SendSpecialCommand(std::uint8_t code);

 public slots:
  // A Measurement frame (ProcessFrame).
  void processFrame(const zt::Frame& frame);

  // ---- settings menus (label click, list click, closing)
  void openMenu(zt::Menu menu);
  void chooseMenuItem(zt::Menu menu, int item);
  void closeMenus();
  // Pointer routing of the menus: leaving any list but the frequency list
  // closes them; the frequency list arms the RLC display panel, whose next
  // entry closes them; entering the RD or U display panel always does.
  void menuListLeft(zt::Menu menu);
  void frequencyListEntered();
  void displayPanelEntered(zt::DisplayPanel panel);

  // ---- function buttons
  void setBrightness(bool down);  // SP4Click ("Яркость")
  void setHold(bool down);        // SP3Click ("Захват")
  void setSound(bool down);       // SP2Click ("Звук")
  void loadDefaults();            // SBe1Click ("По умолчанию")
  // Button2 "RLCD" (129), Button1 "RD" (130), Button3 "U" (131, only on ZT40
  // and ZT42), SP5 "Выключить" (137).
  void sendSpecial(std::uint8_t code);
  // CB1: the drop-down opens, an item is picked, the drop-down closes.
  void intervalDropDown();
  void chooseInterval(int item);
  void intervalClosed();

  // ---- model: RB1..RB3 (by the operator) and the settings file at start
  void setModel(std::uint8_t model);
  void restoreModel(std::uint8_t model);
  void openModelChooser();   // Memo1Click: only until the first link of the run
  void closeModelChooser();  // P16MouseLeave

  // SB4 by the operator: editing sends nothing; measuring sends the settings.
  void setMode(zt::WorkMode mode);
  // A profile was read: its settings are shown and sent.
  void applyProfileSettings(const zt::MeterSettings& settings);
  // The sorting verdict of the latest reading (0 = pass) colours the RLC panel.
  void setVerdict(int sortResult);

  // ---- the link
  void linkUp();            // measuring (nothing sent); the model chooser is gone
  void wakeUp();            // 1 s after link-up: hold, wake-up command, repeat while asleep
  void linkDown();          // editing; the readings blanked; no more wake-ups
  void portClosing();       // serial port closing: all readings blanked, no more wake-ups
  void recordingBlocked();  // a connect attempt failed: no recording
  void portError();         // an error of the serial port blanks the fourth derived line

  // The language in use changed: menus, level caption, sleep text and an
  // untouched source label follow.
  void languageChanged();

 signals:
  void panelChanged(const zt::PanelView& view);
  // A model button was selected (by the operator, a frame or the settings
  // file): `model` must be stored in the settings file.
  void modelChanged(std::uint8_t model, bool byUser);
  void modeChanged(zt::WorkMode mode);
  // Every displayed awake RLC frame.
  void rlcReading(const zt::MeterReading& reading);
  // No frame shown for the no-data time: the readings were blanked.
  void readingsStale();

 private:
  class Publish {
   public:
    explicit Publish(MeterState* s);
    ~Publish();
    Publish(const Publish&) = delete;
    Publish& operator=(const Publish&) = delete;

   private:
    MeterState* s_;
  };

  PanelContext context() const;
  bool canSendSettings() const;
  void beginChange();           // a change is on its way: hold the input when it will be sent
  void releaseUnlessPending();  // nothing was sent
  bool transmit(const CommandFrame& frame);
  void publish();
  void selectModelButton(std::uint8_t model, bool byUser);
  void blank(std::initializer_list<QString*> labels);
  void noDataTimeout();

  MeterChannel* channel_;
  const Lexicons* lex_;
  MenuItemTranslator translate_;
  Separators sep_ = Separators::system();
  MeterStateTimings timings_;
  PanelState state_;
  PanelView published_;
  QTimer t33_;
  QTimer t34_;
  QDeadlineTimer transmitSettles_;  // expired: no sent command holds the input
  bool intervalPicked_ = false;
  bool frequencyCloseArmed_ = true;
  bool modelChooserAllowed_ = true;
  int batch_ = 0;  // >0 while a slot runs: one panelChanged at its end
};

}  // namespace zt
