#include "recorder.h"

#include <QLocale>
#include <algorithm>

#include "display.h"
#include "profile_book.h"

namespace zt {

QString SystemTimeSeparator() {
  const QString f = QLocale::system().timeFormat(QLocale::ShortFormat);
  for (qsizetype i = 0; i + 1 < f.size(); ++i) {
    if ((f[i] == u'h' || f[i] == u'H') && f[i + 1] != u'h' && f[i + 1] != u'H') {
      qsizetype j = i + 1;
      QString sep;
      while (j < f.size() && !f[j].isLetter()) sep += f[j++];
      sep.remove(u'\'');
      if (!sep.isEmpty()) return sep;
    }
  }
  return QStringLiteral(":");
}

Recorder::Recorder(ProfileBook* book, QObject* parent)
    : QObject(parent),
      book_(book),
      lex_(&Lexicons::russian()),
      sep_(Separators::system()),
      timeSep_(SystemTimeSeparator()),
      clock_([] { return QDateTime::currentDateTime(); }) {
  book_->setTableHooks(
      {[this] { return multiPart(); }, [this](int a, QString* error) { return ShowProfileTable(a, error); }});
  book_->setStartPosition(startPosition_);
  // A profile read into the editor brings its start position.
  connect(book_, &ProfileBook::referenceLoaded, this,
          [this](const Reference& ref) { setStartPosition(ref.startPosition); });
  // A profile picked by name or number: its row in the table, while the
  // grid takes selections.
  connect(book_, &ProfileBook::profileChosen, this, [this](int n) {
    if (multiPart() && !recording_) emit cellSelected(n, 1);
  });
  ShowLogHeaders();
}

void Recorder::setLexicons(const Lexicons* lex) {
  lex_ = lex ? lex : &Lexicons::russian();
  languageChanged();
}

// ---------------------------------------------------------------- headings

GridRowTexts Recorder::logHeadings() const {
  GridRowTexts h;
  for (int c = 0; c < kLogColumns; ++c) h[c] = lex().D2[c + 1];
  return h;
}

GridRowTexts Recorder::measurementHeadings() const {
  GridRowTexts h = logHeadings();
  h[1] = lex().D2[11];  // the rows are named after the profiles
  return h;
}

GridRowTexts Recorder::profileTableHeadings() const {
  GridRowTexts h = logHeadings();
  const GridRowTexts table = ProfileTableHeaders(lex());
  for (int c = 0; c < kLogColumns; ++c)
    if (!table[c].isNull()) h[c] = table[c];
  return h;
}

void Recorder::setHeadings(const GridRowTexts& headings) {
  for (int c = 0; c < kLogColumns; ++c)
    if (!headings[c].isNull()) model_.setHeader(c, headings[c]);
}

// ---------------------------------------------------------------- state changes

void Recorder::setRecordingState(bool on, bool byOperator) {
  if (on != recording_) askAgain();
  recording_ = on;
  emit recordingChanged(on, byOperator);
}

void Recorder::setGridEnabled(bool on) {
  if (gridEnabled_ == on) return;
  gridEnabled_ = on;
  emit gridEnabledChanged(on);
}

bool Recorder::moveStartPosition(int position) {
  position = std::clamp(position, 1, kMaxPosition);
  // A position below the last one lets the log write again after it was full.
  if (position < kMaxPosition) logFull_ = false;
  if (position == startPosition_) return false;
  startPosition_ = position;
  book_->setStartPosition(position);
  emit startPositionChanged(position);
  return true;
}

void Recorder::setStartPosition(int position) {
  if (!moveStartPosition(position)) return;
  askAgain();
  emit startPositionChosen(startPosition_);
}

void Recorder::setAskBeforeWritingOver(bool on) {
  askBeforeWritingOver_ = on;
  askAgain();
}

void Recorder::askAgain() {
  writeOver_ = WriteOver::Ask;
  pending_.reset();
}

int Recorder::lastLoggedPosition() const {
  if (multiPart()) return 0;
  // Every row the log wrote shows its position; the grid grows only to the
  // row after the highest one written, so this looks at a few rows at most.
  for (int p = model_.gridRowCount() - 1; p >= 1; --p)
    if (!model_.cell(p, 0).isEmpty()) return p;
  return 0;
}

// ---------------------------------------------------------------- grid routines

void Recorder::ResetLogGrid(int n) {
  moveStartPosition(1);
  logFull_ = false;
  model_.resetGrid(n);
  batch_.reset();
  askAgain();
  emit rowsReset();
}

void Recorder::ShowLogHeaders() {
  ResetLogGrid(kLogGridRows);
  setHeadings(logHeadings());
}

void Recorder::tellTableError(const QString& error) {
  emit notice(NoticeLevel::Critical, error.isEmpty() ? lex().D1[5] : error);
}

bool Recorder::fillProfileTable(int a, QString* error) {
  QVector<ProfileRecord> recs;
  const int last = a == 0 ? book_->profileCount() : a + 1;
  if (!book_->readRecords(last, recs, error)) return false;
  for (int k = (a == 0 ? 0 : a); k < recs.size(); ++k) model_.setRowTexts(k + 1, book_->tableRow(recs[k], k + 1));
  return true;
}

bool Recorder::ShowProfileTable(int a, QString* error) {
  // 1.dat is read again first, so that the table is as long as the file it
  // names now.
  book_->LoadSettingsFile();
  if (a == 0) {
    emit logEnded(LogEnd::TableRebuilt);
    ResetLogGrid(book_->profileCount() + 1);
    // The grid is the profile table now: the next start of recording
    // builds the measurement table again.
    multiGridReady_ = false;
    setHeadings(profileTableHeadings());
    return fillProfileTable(a, error);
  }
  model_.clearRow(a + 1);
  batch_.erase(a + 1);
  const bool ok = fillProfileTable(a, error);
  if (multiGridReady_) emit rowRefilled(a + 1);
  return ok;
}

void Recorder::PrepareMultiGrid() {
  if (multiGridReady_) return;
  emit profileEditingLocked();
  buildMultiGrid();
}

void Recorder::buildMultiGrid() {
  // 1.dat is read again first, so that the table is as long as the file it
  // names now.
  book_->LoadSettingsFile();
  emit logEnded(LogEnd::TableRebuilt);
  const int count = book_->profileCount();
  ResetLogGrid(count + 1);
  // The rows are named from the file itself, as it is now: not from a name
  // list that may belong to another file or predate an insert or a deletion.
  QVector<ProfileRecord> recs;
  QString error;
  if (count > 0 && !book_->readRecords(count, recs, &error)) tellTableError(error);
  for (int i = 1; i <= count; ++i) {
    model_.setCell(i, 0, FormatFixed(i, 7, 0, false, sep_));
    model_.setCell(i, 1, i - 1 < recs.size() ? recs[i - 1].ProfileName : QString());
  }
  multiGridReady_ = true;
  setHeadings(measurementHeadings());
}

// ---------------------------------------------------------------- readings and rows

void Recorder::takeReading(const MeterReading& reading) {
  lastReading_ = reading;
  emit verdict(book_->sortReading(reading));
  if (OfferReadingToLog(recording_, reading.settings.Hold))
    AppendLogRow(reading.time.isValid() ? reading.time : clock_());
}

bool Recorder::AppendLogRow(const QDateTime& when) {
  // The meter marks the frames that may be logged.
  if (!lastReading_ || lastReading_->settings.LogReady != 1) return false;
  const bool multi = multiPart();
  // The row: the start position, or the current profile.
  const int p = multi ? book_->currentNumber() : startPosition_;
  // The free slot after the last profile has no row in the table.
  if (multi && (p < 1 || p > book_->profileCount())) return false;
  // Row 100,000 is written once; later readings would only overwrite it.
  if (!multi && logFull_ && p >= kMaxPosition) return false;
  if (!mayWrite(p, when)) return false;
  writeRow(p, when, *lastReading_, book_->verdict());
  return true;
}

bool Recorder::mayWrite(int p, const QDateTime& when) {
  // In "Мульти" a profile's row is measured again by design.
  if (multiPart() || !askBeforeWritingOver_ || model_.cell(p, 0).isEmpty()) return true;
  switch (writeOver_) {
    case WriteOver::Allowed: return true;
    case WriteOver::Asking:
    case WriteOver::Refused: return false;
    case WriteOver::Ask: break;
  }
  writeOver_ = WriteOver::Asking;
  pending_ = Pending{when, *lastReading_, book_->verdict()};
  const int last = lastLoggedPosition();
  emit writeOverAsked(WriteOverQuestion{p, last, last < kMaxPosition});
  return false;
}

void Recorder::answerWriteOver(WriteOverAnswer answer) {
  if (writeOver_ != WriteOver::Asking || !pending_) return;
  const Pending row = std::move(*pending_);
  pending_.reset();
  const int last = lastLoggedPosition();
  if (answer == WriteOverAnswer::GoOn && last >= kMaxPosition) answer = WriteOverAnswer::Cancel;
  switch (answer) {
    case WriteOverAnswer::WriteOver:
      writeOver_ = WriteOver::Allowed;
      emit writingOver(startPosition_);
      break;
    case WriteOverAnswer::GoOn:
      writeOver_ = WriteOver::Allowed;
      if (moveStartPosition(last + 1)) emit startPositionChosen(startPosition_);
      break;
    case WriteOverAnswer::Cancel:
      // A recording stops as if "Стоп" was pressed (and the next one asks
      // again); rows of the hold or the space bar stay refused until the
      // start position is set or recording starts.
      if (recording_) {
        setRecording(false);
      } else {
        writeOver_ = WriteOver::Refused;
      }
      return;
  }
  writeRow(startPosition_, row.when, row.reading, row.verdict);
}

void Recorder::writeRow(int p, const QDateTime& when, const MeterReading& reading, const Verdict& v) {
  const bool multi = multiPart();
  logPosition_ = p;
  if (p + 1 >= model_.gridRowCount()) model_.setGridRowCount(p + 1);
  if (p > 2 && cellSelectable()) emit currentRowChanged(p);

  LogReading r;
  r.position = FormatFixed(p, 7, 0, false, sep_);
  if (!multi) r.time = when.toString(QStringLiteral("dd.MM.yy hh'%1'mm'%1'ss").arg(timeSep_));
  r.primary = reading.primaryLetter + QLatin1Char(' ') + reading.primaryText;
  r.secondary = reading.secondaryLetter + QLatin1Char(' ') + reading.secondaryText;
  r.circuit = reading.settings.CircuitSeries == 1 ? lex().Dlang2[2] : lex().Dlang2[3];
  r.frequency = reading.settings.FreqCode == 0 ? QStringLiteral("A") : reading.freqText;
  r.level = reading.levelText;
  r.primaryOn = v.primaryOn;
  r.secondaryOn = v.secondaryOn;
  r.mark = v.rejected() ? lex().D3[3] : lex().D3[4];
  r.primaryDeviation = FormatFixed(v.PrimaryDeviation, 4, 2, false, sep_);
  r.secondaryDeviation = FormatFixed(v.SecondaryDeviation, 4, 2, false, sep_);
  r.sortResult = v.SortResult;

  LogRow row;
  row.position = p;
  row.time = when;
  const LogModel::StoredRow after = model_.rowAfterReading(p, r);
  row.texts = after.texts;
  row.mark = after.mark;
  row.markVerdict = after.verdict;
  row.verdict = v;
  row.reading = reading;
  row.profileNumber = multi ? p : 0;
  emit rowToBeWritten(row);
  model_.writeReading(p, r);

  logPosition_ = p + 1;
  if (!multi) {
    if (p >= kMaxPosition) {
      logFull_ = true;
      if (recording_) setRecording(false);
      emit notice(NoticeLevel::Warning, lex().D4[msg::kLogFull].arg(kMaxPosition));
    }
    moveStartPosition(p + 1);
  }

  const int group = multi ? p : 0;
  batch_.setLimits(group, book_->primaryLimits());
  batch_.put(SampleOf(p, when, group, reading, v));
  emit rowWritten(row);
}

void Recorder::logOnDemand() {
  if (recording_ || (gate_ && !gate_())) return;
  if (multiPart()) PrepareMultiGrid();
  AppendLogRow(clock_());
}

// ---------------------------------------------------------------- operator commands

void Recorder::setRecording(bool on) {
  if (on && multiPart()) PrepareMultiGrid();
  setRecordingState(on, true);
  setGridEnabled(!on);
}

void Recorder::stop() {
  if (recording_) setRecordingState(false, false);
}

void Recorder::clear() {
  if (multiPart()) return;  // "Очистка" belongs to the single-part log
  stop();
  emit logEnded(LogEnd::Cleared);
  ResetLogGrid(kLogGridRows);
  emit cleared();
}

void Recorder::setMode(int item) {
  if (item != static_cast<int>(Mode::SinglePart) && item != static_cast<int>(Mode::MultiPart)) return;
  mode_ = static_cast<Mode>(item);
  stop();
  emit logEnded(LogEnd::ModeChanged);
  setGridEnabled(true);
  emit modeChanged(item);
  multiGridReady_ = false;
  if (multiPart()) {
    QString error;
    if (!ShowProfileTable(0, &error)) tellTableError(error);
    emit cellSelected(book_->currentNumber(), 1);
  } else {
    ShowLogHeaders();
    emit cellSelected(1, 0);
  }
}

void Recorder::gridClicked(int row, int col) {
  if (!multiPart()) return;
  if (row < 1 || row > book_->profileCount() || col >= 4) return;  // number, name, primary, secondary
  book_->selectFromTable(row);
}

void Recorder::languageChanged() {
  if (!multiPart()) {
    setHeadings(logHeadings());
  } else if (multiGridReady_) {
    setHeadings(measurementHeadings());
  } else {
    // The profile table is built from the file in words of the language:
    // built again (it holds no readings).
    model_.resetGrid(book_->profileCount() + 1);
    QString error;
    if (book_->profileCount() > 0 && !fillProfileTable(0, &error)) tellTableError(error);
    setHeadings(profileTableHeadings());
  }
}

// ---------------------------------------------------------------- restore

Recorder::Restored Recorder::restoreLog(Mode mode, const std::vector<LogModel::StoredRow>& rows, int lastPosition) {
  Restored done;
  if (mode != mode_) setMode(static_cast<int>(mode));
  askAgain();
  const bool multi = multiPart();
  if (multi) {
    // The table as recording would prepare it, without locking the profile
    // buttons: nothing is being measured yet.
    if (!multiGridReady_) buildMultiGrid();
  }
  const int last = multi ? book_->profileCount() : kMaxPosition;
  std::vector<LogModel::StoredRow> fit;
  fit.reserve(rows.size());
  int highest = 0;
  for (const LogModel::StoredRow& r : rows) {
    if (r.gridRow < 1 || r.gridRow > last) {
      ++done.outside;
      continue;
    }
    fit.push_back(r);
    done.positions.push_back(r.gridRow);
    highest = std::max(highest, r.gridRow);
  }
  if (!multi && highest + 1 > model_.gridRowCount()) model_.setGridRowCount(highest + 1);
  model_.putRows(fit);
  // The statistics start afresh with the next row, which comes after the
  // restored ones: their room is made here, while the operator waits for the
  // start anyway, not in the middle of recording.
  batch_.reserve(std::min(last, std::max(highest, lastPosition) + 1));
  if (lastPosition >= 1 && lastPosition <= last) {
    logPosition_ = lastPosition + 1;
    if (!multi) {
      moveStartPosition(lastPosition + 1);
      logFull_ = lastPosition >= kMaxPosition;
    }
  }
  return done;
}

// ---------------------------------------------------------------- export

int Recorder::ExportRows() const {
  const bool logReady = lastReading_ && lastReading_->settings.LogReady == 1;
  return ExportRowCount(logReady, multiPart(), logPosition_, book_->profileCount());
}

ExportSnapshot Recorder::exportSnapshot() {
  const int rows = ExportRows();
  if (lastReading_ && lastReading_->settings.LogReady == 1 && multiPart()) logPosition_ = book_->profileCount() + 1;
  ExportSnapshot snap = ExportSnapshot::Capture(model_, rows);
  snap.setStatistics(statisticsTable());
  snap.setDecimalSeparator(sep_.decimal.isEmpty() ? QChar(u'.') : sep_.decimal.front());
  // The same rows as numbers, from the readings the statistics keep (rows
  // put back from the journal have their texts only, and no numbers).
  ExportValues values = MakeExportValues(lex());
  values.rows.reserve(static_cast<size_t>(std::min(batch_.rowCount(), std::max(rows, 0))));
  for (int p = 1; p < rows; ++p)
    if (const BatchSample* s = batch_.at(p)) values.rows.push_back(ValueRowOf(*s));
  snap.setValues(std::move(values));
  return snap;
}

// ---------------------------------------------------------------- statistics

QString Recorder::groupName(int group) const {
  if (group == 0) return lex().D5[chart::kLog];
  const QString name = model_.cell(group, 1);
  const QString number = FormatFixed(group, 7, 0, false, sep_);
  return name.isEmpty() ? number : number + QLatin1Char(' ') + name;
}

StatsTable Recorder::statisticsTable() const {
  return MakeStatsTable(
      batch_, multiPart(), [this](int g) { return groupName(g); }, lex(), sep_);
}

}  // namespace zt
