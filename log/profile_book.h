#pragma once
// The profile book: the current profile file, its count and title, the
// profile editor's reference (the values every reading is sorted against),
// the current profile number and the names, and the commands on records and
// files. Widget-free: the view pushes the editor's values and forwards the
// operator's commands (with the names its dialogues returned); the book tells
// the view what to show through signals and reports failures as notices.
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVector>
#include <cstdint>
#include <functional>

#include "batch_stats.h"
#include "format.h"
#include "grid_row.h"
#include "lexicons.h"
#include "meter_reading.h"
#include "meter_settings.h"
#include "notices.h"
#include "profile_file.h"
#include "reference.h"

namespace zt {

class SettingsStore;

class ProfileBook : public QObject {
  Q_OBJECT

 public:
  // What the book asks of the meter's state when it needs it.
  struct LiveMeter {
    std::function<MeterSettings()> settings;  // stored with a profile; its FreqCode shapes the table's frequencies
    std::function<std::uint8_t()> model;      // MeterModel, for the profile table
  };
  // What the book asks of the log: whether its table lists the profiles
  // ("Мульти"), and ShowProfileTable(a) when records changed (false and the
  // reason when the file could not be read). The recorder provides both.
  struct TableHooks {
    std::function<bool()> multiPart;
    std::function<bool(int a, QString* error)> show;
  };

  // The file "Создать" and "Сохранить как" write for the name the operator
  // chose: ".hex1" is appended to a name that does not end with it. A view
  // that asks before replacing a file asks about this one.
  static QString profileFilePath(const QString& chosenName);

  // `store` is 1.dat (may be null: nothing is remembered between runs).
  explicit ProfileBook(SettingsStore* store, QObject* parent = nullptr);

  // The lexicons of the language in use (kept by the language engine; the
  // design texts until set) and the number separators of the system.
  void setLexicons(const Lexicons* lex);
  const Lexicons& lex() const { return *lex_; }
  void setSeparators(const Separators& sep) { sep_ = sep; }
  const Separators& separators() const { return sep_; }
  void setLiveMeter(LiveMeter meter) { meter_ = std::move(meter); }
  void setTableHooks(TableHooks hooks) { hooks_ = std::move(hooks); }

  // ---- state
  const QString& currentProfilePath() const { return path_; }  // CurrentProfilePath
  // Where the profile file dialogues start: the folder of the current file,
  // else the data folder (1.dat's), else nothing (the dialogue's own choice).
  QString dialogueFolder() const;
  std::int32_t profileCount() const { return count_; }    // ProfileCount
  const QString& profileTitle() const { return title_; }  // ProfileTitle: " " + file name less ".hex1"
  QString caption() const;                                // the profile panel's caption
  // The profile number (1-based) the commands act on, its upper limit (the
  // free slot after the last profile) and whether a profile is stored there.
  int currentNumber() const { return number_; }
  int maximumNumber() const { return maximum_; }
  bool currentStored() const { return number_ <= count_; }
  const QStringList& names() const { return names_; }
  const Reference& reference() const { return reference_; }
  // The profile of the current file read into the reference last (0: none
  // since the file became current): what the log's rows are sorted against.
  int loadedNumber() const { return loaded_; }
  // The reference's primary tolerance as limits on the primary value.
  ToleranceLimits primaryLimits() const;
  const Verdict& verdict() const { return verdict_; }

  // Sorts a reading against the reference; the result becomes the latest verdict.
  Verdict sortReading(const MeterReading& reading);

  // ---- routines
  // Re-reads 1.dat (whose signals reach the composition again) and makes the
  // file it names current. 1 when that file was restored; then fileReady().
  std::int32_t LoadSettingsFile();
  // Makes `path` (an existing file) current: title, caption, count, and in
  // single-part mode the names and profile 1. 1 on success, else 0.
  std::int32_t RestoreProfileFile(const QString& path);
  // Loads record n into the reference (referenceLoaded) and hands on its
  // meter settings (settingsRead). False when the record cannot be read.
  bool ReadProfile(int n);
  // Refills the names from the file and reads profile 1.
  bool LoadProfileNames();
  // Records 1..last of the current file (as many as it holds); damaged parts
  // are reported. Reading every profile refreshes the names.
  bool readRecords(int last, QVector<ProfileRecord>& out, QString* error = nullptr);
  // The profile table's cells for a record shown in grid row `row`.
  GridRowTexts tableRow(const ProfileRecord& record, int row) const;
  // The record the editor and the meter's settings make now.
  ProfileRecord EditorRecord() const;

 public slots:
  // The editor's values, pushed by the view on every edit.
  void setReference(const zt::Reference& ref);
  // SE1, kept in step by the recorder: the start position stored with a profile.
  void setStartPosition(int position);
  // SE2 typed or set: reads nothing.
  void setCurrentNumber(int n);

  // File commands. `chosenName` is what the save dialogue returned (empty:
  // cancelled); ".hex1" is appended when it lacks it. `path` is what the open
  // dialogue returned, taken as it is.
  bool create(const QString& chosenName);  // SB1 "Создать"
  bool open(const QString& path);          // SB2 "Открыть"
  bool saveAs(const QString& chosenName);  // SB3 "Сохранить как"

  // Selection.
  void showNames();             // CBox6 drops down: names refilled, profile 1 read
  void chooseName(int index);   // CBox6 item picked: profile index + 1
  void step(int n);             // SE2 arrows: profile n, or nothing at the free slot
  void read();                  // BB2 "Чтение": the current profile
  void selectFromTable(int n);  // a row of the multi-part table clicked

  // Record commands on the current profile number.
  bool store();   // BB1 "Запись": a number past the last profile appends one
  bool insert();  // Button_Add "Добавить": before the current number
  bool remove();  // Button_DEL "Удалить": refused when there is no profile

  void languageChanged();

 signals:
  void notice(zt::NoticeLevel level, const QString& text);
  void captionChanged(const QString& caption);  // JvP8
  // SE2's value and maximum, and whether a profile is stored at the value (BB2).
  void numberChanged(int number, int maximum, bool stored);
  // The name list (CBox6's items); the text the box shows follows referenceLoaded.
  void namesChanged(const QStringList& names);
  // A profile was read into the editor.
  void referenceLoaded(const zt::Reference& ref);
  // What readings are sorted against changed: edited or read from a file
  // (the start position kept with it is not part of it).
  void referenceChanged(const zt::Reference& ref);
  // Its meter settings, to apply and send (SourceCode above 1 reads 0, Reserved 0).
  void settingsRead(const zt::MeterSettings& settings);
  // A profile picked by name or by the arrows was read (the log selects its row).
  void profileChosen(int n);
  // The current file was restored where the file buttons follow (SB3, SB4 enabled).
  void fileReady();
  void verdictChanged(const zt::Verdict& verdict);

 private:
  bool multiPart() const { return hooks_.multiPart && hooks_.multiPart(); }
  bool showTable(int a);
  std::int32_t loadSettings();
  std::int32_t RememberProfilePath(const QString& path);
  bool needFile();
  void setCount(std::int32_t count, int maximum);
  void emitNumber();
  void setNames(const QVector<ProfileRecord>& records);
  void ReportProfileProblems(const QStringList& problems);
  void ReportProfileError();

  SettingsStore* store_ = nullptr;
  const Lexicons* lex_;
  Separators sep_;
  LiveMeter meter_;
  TableHooks hooks_;

  QString path_;
  std::int32_t count_ = 0;
  QString title_;
  int number_ = 1;
  int maximum_ = 2;
  QStringList names_;
  Reference reference_;
  int loaded_ = 0;
  Verdict verdict_;
  QString profileError_;      // what the last failed record access said
  QString unstoredPath_;      // the current file when 1.dat could not take its path (too long, 1.dat gone)
  QString problemsPath_;      // the file of the damaged-file report shown last
  QStringList lastProblems_;  // and what it told (not repeated)
};

}  // namespace zt
