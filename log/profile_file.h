#pragma once
// Profile files (.hex1): a 4-byte count, 96 unused bytes and 72-byte
// reference profile records. Little-endian, no magic, no version.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QVector>
#include <array>
#include <cstdint>
#include <functional>

#include "grid_row.h"
#include "lexicons.h"
#include "meter_settings.h"

namespace zt {

inline constexpr qint64 kProfileHeaderSize = 100;
inline constexpr qint64 kProfileRecordSize = 72;
inline constexpr int kProfileNameMax = 10;
inline constexpr int kProfileToleranceMax = 5;
inline constexpr int kProfileNominalMax = 10;

// Record offsets.
namespace profile_offset {
inline constexpr int kName = 0;               // short string, 12 bytes
inline constexpr int kStartPosition = 12;     // int32
inline constexpr int kPrimaryTolerance = 16;  // short string, 6 bytes
inline constexpr int kPrimaryKind = 22;
inline constexpr int kPrimaryUnit = 23;
inline constexpr int kPrimaryNominal = 24;      // short string, 11 bytes
inline constexpr int kSecondaryTolerance = 35;  // short string, 6 bytes
inline constexpr int kSecondaryKind = 41;
inline constexpr int kSecondaryUnit = 42;
inline constexpr int kSecondaryNominal = 43;  // short string, 11 bytes
inline constexpr int kSettings = 54;          // 18 bytes of MeterSettings
}  // namespace profile_offset

// The text stored for a tolerance that is switched off.
inline QString ProfileToleranceOff() { return QStringLiteral("OFF"); }

struct ProfileRecord {
  QString ProfileName;
  std::int32_t StartPosition = 1;
  QString PrimaryTolerance = ProfileToleranceOff();
  std::uint8_t PrimaryKind = 0;
  std::uint8_t PrimaryUnit = 0;
  QString PrimaryNominal;
  QString SecondaryTolerance = ProfileToleranceOff();
  std::uint8_t SecondaryKind = 0;
  std::uint8_t SecondaryUnit = 0;
  QString SecondaryNominal;
  MeterSettings Settings;

  bool operator==(const ProfileRecord&) const = default;
};

// 72 bytes; texts in the profile code page, cut to their field's limit;
// bytes no text covers are zero.
QByteArray EncodeProfileRecord(const ProfileRecord& r);

// Reads a record from up to 72 bytes. Missing bytes read as zero; a length
// byte is never trusted beyond its field's limit. Each thing that could not be
// read as written is added to `problems`.
ProfileRecord DecodeProfileRecord(QByteArrayView bytes, QStringList* problems = nullptr);

// A whole profile file read from memory: the count limited to the records
// present (a negative count reads as 0) and those records.
struct ProfileFileView {
  std::int32_t headerCount = 0;
  std::int32_t count = 0;
  QVector<ProfileRecord> records;
  QStringList problems;
};
ProfileFileView ParseProfileFile(QByteArrayView bytes);

// The most profiles a file may count: the multi-part table gives each a row
// of the log, and the log has 100,000 rows, one of them the free slot.
inline constexpr std::int32_t kProfileCountMax = 99999;

// What a file is, judged from its bytes before anything acts on it. A file
// is not a profile file when its header could not have been written by the
// program (shorter than the header, a count below 0 or above
// kProfileCountMax, the unused header bytes not zero) or when none of the
// profiles it counts could have been written by the editor (texts with
// control characters, a tolerance that is no tolerance, a kind, unit or
// meter setting out of its range). A profile file whose count, size or some
// profiles do not add up is damaged: what reads as written can be used.
enum class ProfileFileKind { Clean, Damaged, NotProfile };
struct ProfileFileCheck {
  ProfileFileKind kind = ProfileFileKind::Clean;
  QString reason;           // NotProfile: why, for the operator
  std::int32_t count = 0;   // the profiles that can be read (the header's count, limited to the file)
  QStringList problems;     // Damaged: what does not add up, one item each
  QVector<bool> asWritten;  // per profile 1..count: reads as the editor wrote it

  // Profile n is there and reads as the editor wrote it.
  bool profileClean(int n) const { return n >= 1 && n <= asWritten.size() && asWritten[n - 1]; }
};
ProfileFileCheck CheckProfileFile(QByteArrayView bytes);

// What in record `r` the editor could never have written (its length
// bytes are the decoder's to report). Empty when it reads as written.
QStringList RecordImplausibilities(const ProfileRecord& r);
// The meter settings of a record are all within the ranges the meter reports.
bool SettingsPlausible(const MeterSettings& s);

// Byte offset of profile n (1-based).
constexpr qint64 ProfileRecordOffset(int n) { return kProfileHeaderSize + kProfileRecordSize * (qint64(n) - 1); }

// Result of a file operation. `message` says what failed, for the operator;
// `problems` what a read found damaged but read around.
struct ProfileIo {
  bool ok = true;
  QString message;
  QStringList problems;
};

// Operations on one profile file. Each opens the file, does its work and
// closes it again.
class ProfileFile {
 public:
  explicit ProfileFile(QString path) : path_(std::move(path)) {}
  const QString& path() const { return path_; }

  // The count of the header, limited to the records the file holds. A
  // negative count reads as 0. Disagreement is reported in `problems`.
  ProfileIo readCount(std::int32_t& count) const;
  ProfileIo writeCount(std::int32_t count) const;

  ProfileIo readRecord(int n, ProfileRecord& out) const;
  ProfileIo writeRecord(int n, const ProfileRecord& r) const;

  // Records 1..count, as many as can be read.
  ProfileIo readRecords(int count, QVector<ProfileRecord>& out) const;

  // A new file (an existing one is replaced): count 1 and `first`.
  ProfileIo create(const ProfileRecord& first) const;

  // Stores `r` as profile n; a slot past the last profile appends one more
  // (n is then taken as count + 1). `count` changes only on success.
  ProfileIo store(std::int32_t& count, int n, const ProfileRecord& r) const;
  // Inserts `r` before profile n (1..count + 1).
  ProfileIo insert(std::int32_t& count, int n, const ProfileRecord& r) const;
  // Deletes profile n; the free slot after the last deletes the last. Refused
  // when there is none. The file keeps its length.
  ProfileIo remove(std::int32_t& count, int n) const;

  // CheckProfileFile over the header and the profiles it counts (never
  // more of a large file than that); `io.ok` false when it cannot be read.
  ProfileIo check(ProfileFileCheck& out) const;

  // Byte-for-byte copy to `target` (created or replaced).
  ProfileIo copyTo(const QString& target) const;

 private:
  QString path_;
};

// What the grid shows for a record in the profile table.
struct ProfileTableEnv {
  const Lexicons& lex;
  std::uint8_t meterModel = 0;
  std::uint8_t liveFreqCode = 0;             // FreqCode of the live settings
  std::function<int(int)> frequencyOfIndex;  // hertz of a frequency index (120 while the live FreqCode is 0)
};

// The ten cells of grid row `row` for record `r`. Cells the table does not
// write are empty.
GridRowTexts ProfileTableRow(const ProfileRecord& r, int row, const ProfileTableEnv& env);

// Headers the profile table changes: columns 1, 2, 3, 7, 8, 9. The others
// keep theirs (returned as a null QString).
GridRowTexts ProfileTableHeaders(const Lexicons& lex);

// Unit texts of the record's units, e.g. "кОм", "мкГн", "нФ".
QString ResistanceUnitText(int unit, const Lexicons& lex);
QString InductanceUnitText(int unit, const Lexicons& lex);
QString CapacitanceUnitText(int unit, const Lexicons& lex);

}  // namespace zt
