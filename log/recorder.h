#pragma once
// The recorder: the log grid and what goes into it. It owns the log model,
// LogPosition, the start position (SE1), the single- or multi-part mode
// (CBox10), recording (SP1) and the multi-part table. It takes each
// displayed reading as a value, sorts it with the profile book's reference
// and offers it to the log; it never reads a widget. The view binds its
// controls to the slots and renders the signals.
#include <QDateTime>
#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "batch_stats.h"
#include "export_snapshot.h"
#include "format.h"
#include "grid_row.h"
#include "lexicons.h"
#include "log_model.h"
#include "meter_reading.h"
#include "notices.h"
#include "reference.h"
#include "stats_table.h"

namespace zt {

class ProfileBook;

// One row as the recorder wrote it: for the journal, the chart, the
// publisher and the headless recorder.
struct LogRow {
  int position = 0;       // the grid row: the log position, or the profile number in multi-part mode
  QDateTime time;         // when it was logged
  GridRowTexts texts;     // the row's ten texts as the grid now shows them
  Verdict verdict;        // the sorting the row was written with
  MeterReading reading;   // the reading it came from
  int profileNumber = 0;  // multi-part mode: the profile the part was measured against; else 0
  // How the row's sorting cells are painted. With no tolerance on, a row
  // keeps the mark (and its colour) its grid row had before.
  LogModel::RowMark mark = LogModel::RowMark::None;
  std::int32_t markVerdict = 0;
};

// Why the rows of the log went away: "Очистка", another mode chosen, or the
// multi-part table built anew (profiles edited, the table prepared again).
enum class LogEnd { Cleared, ModeChanged, TableRebuilt };

// The operator's answer when a row of the single-part log would be written
// over a row already logged.
enum class WriteOverAnswer { WriteOver, GoOn, Cancel };

// The question before such a row: the position about to be written, the
// last position written (the highest holding a row), and whether the log
// can go on after it (not when that is the last position of the log).
struct WriteOverQuestion {
  int position = 0;
  int lastLogged = 0;
  bool canGoOn = false;
  int goOnPosition() const { return lastLogged + 1; }
};

// The system's time separator, from its short time format (":" when it has none).
QString SystemTimeSeparator();

class Recorder : public QObject {
  Q_OBJECT

 public:
  static constexpr int kMaxPosition = 100000;               // the last position of the single-part log (SE1's maximum)
  static constexpr int kLogGridRows = 16;                   // the empty log: heading row and 15 rows
  enum class Mode : int { SinglePart = 0, MultiPart = 1 };  // items of CBox10

  // The recorder works with `book` (the reference, the profile count and
  // number, the records of the multi-part table) and keeps it told of the
  // start position and the mode.
  explicit Recorder(ProfileBook* book, QObject* parent = nullptr);

  // The lexicons of the language in use; languageChanged() follows a switch.
  void setLexicons(const Lexicons* lex);
  void setSeparators(const Separators& sep) { sep_ = sep; }
  void setTimeSeparator(const QString& sep) { timeSep_ = sep; }
  // The clock of the space bar's rows (a reading's row takes the reading's time).
  void setClock(std::function<QDateTime()> clock) { clock_ = std::move(clock); }
  // The meter side of the space bar: input not held, measuring (not editing
  // a profile), link up, meter awake. Unset: always.
  void setOnDemandGate(std::function<bool()> gate) { gate_ = std::move(gate); }
  // Whether the single-part log asks (writeOverAsked) before its first row
  // that would write over a row already logged. Off by default: a program
  // with nobody to answer writes over as the start position says.
  void setAskBeforeWritingOver(bool on);

  // ---- state
  LogModel* model() { return &model_; }
  const LogModel& model() const { return model_; }
  std::int32_t logPosition() const { return logPosition_; }  // LogPosition: the row after the last written
  int startPosition() const { return startPosition_; }       // SE1
  Mode mode() const { return mode_; }
  bool multiPart() const { return mode_ == Mode::MultiPart; }
  bool recording() const { return recording_; }            // SP1 down
  bool multiGridReady() const { return multiGridReady_; }  // MultiGridReady
  bool logFull() const { return logFull_; }                // LogFull: row 100,000 written
  bool gridEnabled() const { return gridEnabled_; }        // SG takes clicks
  // SGSelectCell: in single-part mode cells are selected only while recording.
  bool cellSelectable() const { return !(mode_ == Mode::SinglePart && !recording_); }
  const std::optional<MeterReading>& lastReading() const { return lastReading_; }
  // The highest position of the single-part log that holds a row (0: none).
  int lastLoggedPosition() const;
  // Writing over logged rows: not asked yet in this recording, the question
  // is open (rows wait), the operator let it, or refused it.
  enum class WriteOver { Ask, Asking, Allowed, Refused };
  WriteOver writeOver() const { return writeOver_; }
  ProfileBook* book() const { return book_; }

  // The sorting statistics of the rows the log holds (a row written again
  // replaces the one before it), kept row by row: the single-part log is
  // group 0, the multi-part table's rows are grouped by profile. Each
  // group's band is that of the reference its newest row was sorted against.
  const BatchStats& batch() const { return batch_; }
  // The statistics as a table in the language in use (the chart window's
  // and the workbook's).
  StatsTable statisticsTable() const;
  // A group's name in that table: the log's, or a profile's number and name.
  QString groupName(int group) const;

  // ExportRows: the rows an export copies, the heading row included.
  int ExportRows() const;
  // The export's copy of those rows, with the statistics; in multi-part
  // mode LogPosition becomes ProfileCount + 1 as it does.
  ExportSnapshot exportSnapshot();

  // ---- routines
  void ResetLogGrid(int n);  // start position 1, n empty grid rows
  void ShowLogHeaders();     // the empty single-part log with its headings
  void PrepareMultiGrid();   // the multi-part table: numbered rows named after the file's profiles
  // The profile table: all records (a = 0) or only record index a. False,
  // with the reason, when the file cannot be read.
  bool ShowProfileTable(int a, QString* error = nullptr);

  // A log kept from an earlier run (the journal), put back: the grid in
  // `mode`, every row at its position with its texts and colours, and the
  // log going on after `lastPosition`, the row written last. In multi-part
  // mode the table is built from the current profile file first; rows beyond
  // its profiles have no place and are only counted.
  struct Restored {
    std::vector<int> positions;  // the rows put back
    int outside = 0;             // rows with no place in the grid
  };
  Restored restoreLog(Mode mode, const std::vector<LogModel::StoredRow>& rows, int lastPosition);

 public slots:
  // A displayed, awake RLC reading: sorted (verdict), then offered to the
  // log when exactly one of recording and hold is on.
  void takeReading(const zt::MeterReading& reading);
  void setRecording(bool on);           // SP1 clicked
  void stop();                          // recording stopped without SP1's click (the export)
  void clear();                         // B5 "Очистка" (single-part mode only)
  void setMode(int item);               // CBox10: 0 single part, 1 multi part
  void logOnDemand();                   // the space bar
  void setStartPosition(int position);  // SE1
  void gridClicked(int row, int col);   // mouse released on a grid cell (col -1: outside the columns)
  void languageChanged();               // headings follow; rows stay
  // The operator's answer to writeOverAsked (ignored when no question is open).
  void answerWriteOver(zt::WriteOverAnswer answer);

 signals:
  // The latest reading's sorting (the panel's colour).
  void verdict(const zt::Verdict& verdict);
  // SP1 up or down. `byOperator`: SP1's own click behaviour ran (the view
  // enables or disables the hold button with it).
  void recordingChanged(bool on, bool byOperator);
  void gridEnabledChanged(bool enabled);
  void modeChanged(int item);
  void startPositionChanged(int position);
  // A row was written at a grid row the log moves to (scroll it into view).
  void currentRowChanged(int gridRow);
  // Select this cell and give the grid the focus (SelectGridCell).
  void cellSelected(int gridRow, int col);
  // The multi-part table is ready: storing, inserting and deleting profiles
  // are locked (Button_Add, Button_DEL, BB1) until profile editing starts.
  void profileEditingLocked();
  void cleared();
  // The log holds no rows any more: emptied, a new multi-part table or
  // profile table, another mode. Follows cleared() where both apply.
  void rowsReset();
  void notice(zt::NoticeLevel level, const QString& text);
  // A row is about to be written: the grid shows it once every receiver has
  // returned (the journal keeps it first, so a row on screen is on disk).
  void rowToBeWritten(const zt::LogRow& row);
  void rowWritten(const zt::LogRow& row);
  // The rows of the log are gone (emitted before the grid is emptied).
  void logEnded(zt::LogEnd why);
  // A row of the measurement table now shows its profile again (a profile
  // stored while the table is up): not a reading, but the log changed.
  void rowRefilled(int gridRow);
  // The start position was set from outside (SE1 by hand, or a profile
  // read): not the advance after a row, nor the reset of an emptied log.
  void startPositionChosen(int position);
  // The next row of the single-part log would write over a logged row: ask
  // the operator, and hand the answer to answerWriteOver. Until then no row
  // is written; the row that asked is written after a "write over" or a "go
  // on". Asked once per recording: again after recording starts or stops, the
  // start position is set from outside, or the log is emptied.
  void writeOverAsked(const zt::WriteOverQuestion& question);
  // The operator chose to write over logged rows, from `position` on: the
  // rows about to be replaced are still in the log (the journal keeps them).
  void writingOver(int position);

 private:
  // A row held while the operator is asked about writing over.
  struct Pending {
    QDateTime when;
    MeterReading reading;
    Verdict verdict;
  };

  bool AppendLogRow(const QDateTime& when);
  void writeRow(int p, const QDateTime& when, const MeterReading& reading, const Verdict& v);
  // Whether the row at `p` may be written now; false when it waits for the
  // operator or was refused.
  bool mayWrite(int p, const QDateTime& when);
  void askAgain();
  // Moves SE1 (clamped); true when it changed.
  bool moveStartPosition(int position);
  void buildMultiGrid();
  void setRecordingState(bool on, bool byOperator);
  void setGridEnabled(bool on);
  void setHeadings(const GridRowTexts& headings);
  GridRowTexts logHeadings() const;
  GridRowTexts measurementHeadings() const;
  GridRowTexts profileTableHeadings() const;
  bool fillProfileTable(int a, QString* error);
  void tellTableError(const QString& error);
  const Lexicons& lex() const { return *lex_; }

  ProfileBook* book_;
  const Lexicons* lex_;
  Separators sep_;
  QString timeSep_;
  std::function<QDateTime()> clock_;
  std::function<bool()> gate_;
  LogModel model_;
  BatchStats batch_;

  std::int32_t logPosition_ = 0;
  int startPosition_ = 1;
  Mode mode_ = Mode::SinglePart;
  bool recording_ = false;
  bool multiGridReady_ = false;
  bool logFull_ = false;
  bool gridEnabled_ = true;
  bool askBeforeWritingOver_ = false;
  WriteOver writeOver_ = WriteOver::Ask;
  std::optional<Pending> pending_;
  std::optional<MeterReading> lastReading_;
};

}  // namespace zt
