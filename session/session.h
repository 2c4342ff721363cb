#pragma once
// The logger's working session without any window: the language engine, the
// meter link, the meter's state, the settings file, the profile book and the
// recorder, built once and wired to each other in one place. The window and
// the headless recorder both run on a Session; each adds only what it shows
// or writes.
#include <QObject>
#include <QString>

#include <memory>
#include <optional>

#include "format.h"
#include "journal.h"
#include "lang_man.h"
#include "link_capture.h"
#include "meter_link.h"
#include "meter_state.h"
#include "notices.h"
#include "profile_book.h"
#include "recorder.h"
#include "settings_store.h"

namespace zt {

struct SessionDeps {
  // Null: the system's serial ports plus the virtual-ports folder, and the
  // platform's Bluetooth LE stack.
  PortLookup* portLookup = nullptr;
  Ble* ble = nullptr;
  LinkTimings linkTimings{};
  // Where 1.dat and the other files of the program live; empty: DataFolder().
  QString dataFolder;
  // The language files; empty: only the design language is offered.
  QString langDir;
  Separators separators = Separators::system();
};

class Session : public QObject {
  Q_OBJECT

 public:
  explicit Session(SessionDeps deps = {}, QObject* parent = nullptr);
  ~Session() override;

  LangMan& lang() { return *lang_; }
  MeterLink& link() { return *link_; }
  MeterState& meter() { return *meter_; }
  SettingsStore& settings() { return *settings_; }
  ProfileBook& book() { return *book_; }
  Recorder& recorder() { return *recorder_; }
  Journal& journal() { return *journal_; }
  // A capture of the exchange with the meter ("Записать обмен…", zt-record
  // --capture): the link's tap; start() and stop() it.
  LinkCapture& capture() { return *capture_; }
  const QString& dataFolder() const { return dataFolder_; }

  // The start-up steps that concern no window: the link's poll and Bluetooth
  // LE component start, and 1.dat is read and applied (its language index
  // reaches the view through languageIndexLoaded). Returns LoadSettingsFile's
  // result: 1 when the last profile file was restored.
  std::int32_t start();

  // The last step of a start, once the log is set up as every start leaves
  // it: the log the last run left in the journal comes back
  // (journalRestored), and every row from now on is journaled. A program
  // that keeps no journal does not call it.
  void restoreJournal();

  // The space bar's conditions on the meter side: no change in flight, not
  // editing a profile, a link up, the meter awake.
  bool onDemandAllowed() const;

  // What the meter is set to each time a link comes up, once it has answered
  // the wake-up (the first reading after the link settled): the settings of
  // the profile in use (the one the book read last, while its file is still
  // the current one), with the interval below (an item of the interval
  // menu) on top; or the interval alone.
  // A meter that restarted, or another meter, then measures as the profile
  // says, and its rows are sorted against that profile.
  void setIntervalOnLink(std::optional<int> intervalItem);
  bool hasLinkSettings() const;
  // Applies and sends those settings now (the headless recorder asks again
  // when the meter did not take them). False when there are none.
  bool sendLinkSettings();

  // SP1 takes a click: a start when the meter's state allows one, and a
  // stop whenever a recording runs (a meter that went away must not keep
  // the operator from ending it).
  bool recordButtonEnabled() const;

 signals:
  // The settings went to the meter: as the command normalised them.
  void linkSettingsSent(const zt::MeterSettings& asked);
  // A line for the operator's status memo (the profile's settings went out
  // as a link came up).
  void statusLine(const QString& text);

  // A message for the operator from any controller (settings file writes,
  // profile file commands, the log).
  void notice(zt::NoticeLevel level, const QString& text);
  // 1.dat named this language index: the view selects it in its picker.
  void languageIndexLoaded(std::int32_t index);
  // The rows of the last run's log are back in the grid: one line for the
  // operator (how many, from when, what was skipped), once, at start.
  void journalRestored(const QString& line);
  // recordButtonEnabled() changed.
  void recordButtonEnabledChanged(bool enabled);

 private:
  void wire();
  void report(const SettingsWrite& w);
  bool profileInUse() const;
  void readingShown();
  void updateRecordButton();

  // The profile in use: its settings, number and file.
  std::optional<MeterSettings> profileSettings_;
  int profileNumber_ = 0;
  QString profilePath_;
  std::optional<int> intervalOnLink_;
  // Between a link coming up and the first reading after it settled.
  enum class LinkSettings { None, AwaitSettled, AwaitReading };
  LinkSettings linkSettings_ = LinkSettings::None;

  QString dataFolder_;
  // Before the link: it outlives the link, whose last words it still takes.
  std::unique_ptr<LinkCapture> capture_;
  std::unique_ptr<LangMan> lang_;
  std::unique_ptr<MeterLink> link_;
  std::unique_ptr<MeterState> meter_;
  std::unique_ptr<SettingsStore> settings_;
  std::unique_ptr<ProfileBook> book_;
  std::unique_ptr<Recorder> recorder_;
  std::unique_ptr<Journal> journal_;
  bool recordButtonEnabled_ = false;
};

}  // namespace zt
