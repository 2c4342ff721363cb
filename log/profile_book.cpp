#include "profile_book.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>

#include "display.h"
#include "settings_store.h"

namespace zt {

namespace {

const QString kProfileSuffix = QStringLiteral(".hex1");
// What a failed "Открыть" says, the same in every language.
const QString kOpenFailed = QStringLiteral("Неудача!");

QChar DecimalOf(const Separators& sep) { return sep.decimal.isEmpty() ? QLatin1Char('.') : sep.decimal.at(0); }

}  // namespace

ProfileBook::ProfileBook(SettingsStore* store, QObject* parent)
    : QObject(parent),
      store_(store),
      lex_(&Lexicons::russian()),
      sep_(Separators::system()),
      reference_(DefaultReference()) {}

QString ProfileBook::profileFilePath(const QString& chosenName) {
  // Some save dialogues (Windows' own) add the filter's suffix themselves.
  return chosenName.endsWith(kProfileSuffix, Qt::CaseInsensitive) ? chosenName : chosenName + kProfileSuffix;
}

void ProfileBook::setLexicons(const Lexicons* lex) { lex_ = lex ? lex : &Lexicons::russian(); }

QString ProfileBook::caption() const { return lex().D1[0] + title_; }

QString ProfileBook::dialogueFolder() const {
  if (!path_.isEmpty()) {
    const QFileInfo file(path_);
    if (file.absoluteDir().exists()) return file.absolutePath();
  }
  return store_ ? store_->folder() : QString();
}

Verdict ProfileBook::sortReading(const MeterReading& reading) {
  verdict_ = SortReading(reference_, reading, DecimalOf(sep_), verdict_);
  emit verdictChanged(verdict_);
  return verdict_;
}

ProfileRecord ProfileBook::EditorRecord() const {
  return RecordOfReference(reference_, meter_.settings ? meter_.settings() : MeterSettings{});
}

GridRowTexts ProfileBook::tableRow(const ProfileRecord& record, int row) const {
  const std::uint8_t liveFreq = meter_.settings ? meter_.settings().FreqCode : MeterSettings{}.FreqCode;
  const std::uint8_t model = meter_.model ? meter_.model() : 0;
  const ProfileTableEnv env{lex(), model, liveFreq,
                            [liveFreq, model](int i) { return FrequencyOfIndex(i, liveFreq, model).hz; }};
  return ProfileTableRow(record, row, env);
}

// ---------------------------------------------------------------- editor

void ProfileBook::setReference(const Reference& ref) {
  Reference next = ref;
  next.startPosition = reference_.startPosition;
  const bool changed = !(next == reference_);
  reference_ = ref;
  if (changed) emit referenceChanged(reference_);
}

ToleranceLimits ProfileBook::primaryLimits() const { return PrimaryLimits(reference_, DecimalOf(sep_)); }

void ProfileBook::setStartPosition(int position) { reference_.startPosition = position; }

void ProfileBook::setCurrentNumber(int n) {
  n = std::clamp(n, 1, std::max(maximum_, 1));
  if (n == number_) return;
  number_ = n;
  emitNumber();
}

void ProfileBook::emitNumber() { emit numberChanged(number_, maximum_, currentStored()); }

void ProfileBook::setCount(std::int32_t count, int maximum) {
  count_ = count;
  maximum_ = std::max(maximum, 1);
  number_ = std::clamp(number_, 1, maximum_);
  emitNumber();
}

void ProfileBook::setNames(const QVector<ProfileRecord>& records) {
  QStringList names;
  names.reserve(records.size());
  for (const ProfileRecord& r : records) names.append(r.ProfileName);
  names_ = names;
  emit namesChanged(names_);
}

// ---------------------------------------------------------------- reports

void ProfileBook::ReportProfileProblems(const QStringList& problems) {
  if (problems.isEmpty()) return;
  // Re-reads of the same file do not repeat what was told already, nor a
  // part of it (a record read alone finds less than the whole file's check).
  const bool told = path_ == problemsPath_ && std::all_of(problems.begin(), problems.end(), [this](const QString& p) {
                      return lastProblems_.contains(p);
                    });
  if (told) return;
  problemsPath_ = path_;
  lastProblems_ = problems;
  emit notice(NoticeLevel::Warning, lex().D4[msg::kProfileFileDamaged].arg(QDir::toNativeSeparators(path_),
                                                                           problems.join(QLatin1Char('\n'))));
}

void ProfileBook::ReportProfileError() {
  emit notice(NoticeLevel::Critical, profileError_.isEmpty() ? lex().D1[5] : profileError_);
  profileError_.clear();
}

bool ProfileBook::needFile() {
  if (!path_.isEmpty()) return true;
  profileError_ = lex().D4[msg::kNoProfileFile];
  ReportProfileError();
  return false;
}

bool ProfileBook::showTable(int a) {
  if (!multiPart() || !hooks_.show) return true;
  QString error;
  if (hooks_.show(a, &error)) return true;
  profileError_ = error;
  return false;
}

// ---------------------------------------------------------------- records and the file

std::int32_t ProfileBook::loadSettings() {
  if (!store_) return 0;
  const SettingsLoad load = store_->load();
  // A file 1.dat could not take stays the current one through every re-read
  // of this run; 1.dat's older path would undo the operator's choice.
  const QString path = !unstoredPath_.isEmpty() && QFileInfo(unstoredPath_).isFile() ? unstoredPath_ : load.profilePath;
  if (path.isEmpty()) return 0;
  return RestoreProfileFile(path);
}

std::int32_t ProfileBook::LoadSettingsFile() {
  const std::int32_t r = loadSettings();
  if (r == 1) emit fileReady();
  return r;
}

std::int32_t ProfileBook::RememberProfilePath(const QString& path) {
  if (store_) {
    const SettingsWrite w = store_->SaveLastProfilePath(path);
    unstoredPath_ = w.ok ? QString() : path;
    if (w.ok) return loadSettings();
    // 1.dat cannot take this path: the file is still the current one for
    // this run, and the operator learns it will not be reopened next time.
    emit notice(NoticeLevel::Warning, w.message);
  }
  return RestoreProfileFile(path);
}

std::int32_t ProfileBook::RestoreProfileFile(const QString& path) {
  if (path != path_) loaded_ = 0;
  path_ = path;
  QString title = QFileInfo(path).fileName();
  title.chop(kProfileSuffix.size());
  title_ = QLatin1Char(' ') + title;
  emit captionChanged(caption());
  std::int32_t count = 0;
  const ProfileIo io = ProfileFile(path).readCount(count);
  if (!io.ok) {
    profileError_ = io.message;
    return 0;
  }
  ReportProfileProblems(io.problems);
  setCount(count, count + 1);
  if (!multiPart() && !LoadProfileNames()) return 0;
  return 1;
}

bool ProfileBook::ReadProfile(int n) {
  ProfileRecord r;
  const ProfileIo io = ProfileFile(path_).readRecord(n, r);
  if (!io.ok) {
    profileError_ = io.message;
    return false;
  }
  ReportProfileProblems(io.problems);
  reference_ = ReferenceOfRecord(r, DecimalOf(sep_));
  loaded_ = n;
  emit referenceLoaded(reference_);
  emit referenceChanged(reference_);
  MeterSettings s = r.Settings;
  if (s.SourceCode > 1) s.SourceCode = 0;
  s.Reserved = 0;
  // Hold on stops the meter's readings: it is sent only when the record says
  // so as the editor writes it, never from a stray bit of a damaged record.
  if (s.Hold != 1 || !SettingsPlausible(r.Settings)) s.Hold = 0;
  emit settingsRead(s);
  return true;
}

bool ProfileBook::readRecords(int last, QVector<ProfileRecord>& out, QString* error) {
  const ProfileIo io = ProfileFile(path_).readRecords(last, out);
  if (!io.ok) {
    if (error) *error = io.message;
    return false;
  }
  ReportProfileProblems(io.problems);
  if (last >= count_) setNames(out);
  return true;
}

bool ProfileBook::LoadProfileNames() {
  QVector<ProfileRecord> recs;
  QString error;
  if (!readRecords(count_, recs, &error)) {
    profileError_ = error;
    return false;
  }
  // With every profile deleted there is nothing to read: the record behind
  // the end is a stale copy.
  if (count_ < 1) return true;
  return ReadProfile(1);
}

// ---------------------------------------------------------------- file commands

bool ProfileBook::create(const QString& chosenName) {
  profileError_.clear();
  if (chosenName.isEmpty()) {
    emit notice(NoticeLevel::Warning, lex().D1[5]);
    return false;
  }
  const QString path = profileFilePath(chosenName);
  const ProfileIo io = ProfileFile(path).create(EditorRecord());
  if (!io.ok) {
    emit notice(NoticeLevel::Critical, lex().D1[5] + QLatin1Char('\n') + io.message);
    return false;
  }
  if (path != path_) loaded_ = 0;
  path_ = path;
  setCount(1, 2);
  emit notice(NoticeLevel::Information, lex().D1[4]);
  RememberProfilePath(path);
  return true;
}

bool ProfileBook::open(const QString& path) {
  profileError_.clear();
  if (path.isEmpty()) return false;
  const QString& failed = kOpenFailed;
  if (!QFileInfo::exists(path)) {
    if (path != path_) loaded_ = 0;
    path_ = path;
    // A new name: a file with the editor as its one profile. 1.dat and the
    // caption stay as they were.
    const ProfileIo io = ProfileFile(path).create(EditorRecord());
    if (!io.ok) {
      emit notice(NoticeLevel::Critical, failed + QLatin1Char('\n') + io.message);
      return false;
    }
    setCount(1, 2);
    return true;
  }
  // A file of another kind is refused before anything is taken from it:
  // the current file, 1.dat and the editor stay as they were.
  ProfileFileCheck check;
  const ProfileIo checked = ProfileFile(path).check(check);
  if (!checked.ok) {
    emit notice(NoticeLevel::Critical, failed + QLatin1Char('\n') + checked.message);
    return false;
  }
  if (check.kind == ProfileFileKind::NotProfile) {
    emit notice(
        NoticeLevel::Critical,
        failed + QLatin1Char('\n') + lex().D4[msg::kNotProfileFile].arg(QDir::toNativeSeparators(path), check.reason));
    return false;
  }
  if (path != path_) loaded_ = 0;
  path_ = path;
  ReportProfileProblems(check.problems);
  std::int32_t count = 0;
  const ProfileIo io = ProfileFile(path).readCount(count);
  if (!io.ok) {
    emit notice(NoticeLevel::Critical, failed + QLatin1Char('\n') + io.message);
    return false;
  }
  ReportProfileProblems(io.problems);
  setCount(count, count + 1);
  if (RememberProfilePath(path) == 1) {
    emit fileReady();
  } else if (!profileError_.isEmpty()) {
    emit notice(NoticeLevel::Critical, failed + QLatin1Char('\n') + profileError_);
    profileError_.clear();
    return false;
  }
  if (!showTable(0)) {
    emit notice(NoticeLevel::Critical, failed + QLatin1Char('\n') + profileError_);
    profileError_.clear();
    return false;
  }
  return true;
}

bool ProfileBook::saveAs(const QString& chosenName) {
  profileError_.clear();
  if (chosenName.isEmpty() || !QFileInfo(path_).isFile()) return false;
  const QString path = profileFilePath(chosenName);
  const ProfileIo io = ProfileFile(path_).copyTo(path);
  if (!io.ok) {
    emit notice(NoticeLevel::Critical, lex().D1[5] + QLatin1Char('\n') + io.message);
    return false;
  }
  RememberProfilePath(path);
  return true;
}

// ---------------------------------------------------------------- selection

void ProfileBook::showNames() {
  if (!LoadProfileNames()) ReportProfileError();
}

void ProfileBook::chooseName(int index) {
  const int n = index + 1;
  setCurrentNumber(n);
  if (!ReadProfile(n)) {
    ReportProfileError();
    return;
  }
  emit profileChosen(n);
}

void ProfileBook::step(int n) {
  setCurrentNumber(n);
  if (number_ > count_) return;  // the free slot keeps the editor's values
  if (!ReadProfile(number_)) {
    ReportProfileError();
    return;
  }
  emit profileChosen(number_);
}

void ProfileBook::read() {
  if (!ReadProfile(number_)) ReportProfileError();
}

void ProfileBook::selectFromTable(int n) {
  if (!ReadProfile(n)) {
    ReportProfileError();
    return;
  }
  setCurrentNumber(n);
}

// ---------------------------------------------------------------- record commands

bool ProfileBook::store() {
  profileError_.clear();
  if (!needFile()) return false;
  std::int32_t count = count_;
  const ProfileIo io = ProfileFile(path_).store(count, number_, EditorRecord());
  if (!io.ok) {
    profileError_ = io.message;
    ReportProfileError();
    return false;
  }
  // A number past the last profile (the free slot, or one further after a
  // delete left SE2's range as it was) appends: the new profile is the last
  // one, SE2 shows it and the table gets its row.
  const bool appended = count != count_;
  if (appended) {
    number_ = count;
    setCount(count, count + 1);
  }
  if (!showTable(number_ == count_ ? 0 : number_ - 1)) ReportProfileError();
  return true;
}

bool ProfileBook::insert() {
  profileError_.clear();
  if (!needFile()) return false;
  std::int32_t count = count_;
  const ProfileIo io = ProfileFile(path_).insert(count, number_, EditorRecord());
  if (!io.ok) {
    profileError_ = io.message;
    ReportProfileError();
    return false;
  }
  setCount(count, count + 1);
  if (!showTable(0)) ReportProfileError();
  return true;
}

bool ProfileBook::remove() {
  profileError_.clear();
  if (!needFile()) return false;
  std::int32_t count = count_;
  const ProfileIo io = ProfileFile(path_).remove(count, number_);
  if (!io.ok) {
    profileError_ = io.message;
    ReportProfileError();
    return false;
  }
  // SE2 keeps its range and the editor its values.
  setCount(count, maximum_);
  if (!showTable(0)) ReportProfileError();
  return true;
}

void ProfileBook::languageChanged() { emit captionChanged(caption()); }

}  // namespace zt
