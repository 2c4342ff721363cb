#include "profile_file.h"

#include <QFile>
#include <QFileInfo>
#include <QtEndian>
#include <algorithm>

#include "format.h"
#include "profile_codepage.h"

namespace zt {

namespace {

namespace off = profile_offset;

void PutShortString(QByteArray& rec, int offset, const QString& text, int limit) {
  const QByteArray bytes = ToProfileCodePage(text).left(limit);
  rec[offset] = static_cast<char>(bytes.size());
  for (qsizetype i = 0; i < bytes.size(); ++i) rec[offset + 1 + i] = bytes[i];
}

// The operator's words for the file's problems, in the language in use.
QString Msg(int item) { return ProgramMessages()[item]; }

QString GetShortString(QByteArrayView rec, int offset, int limit, int field, QStringList* problems) {
  int len = static_cast<unsigned char>(rec[offset]);
  if (len > limit) {
    if (problems) problems->append(Msg(msg::kFieldTooLong).arg(Msg(field)).arg(len).arg(limit));
    len = limit;
  }
  return FromProfileCodePage(rec.sliced(offset + 1, len));
}

QByteArray Int32Bytes(std::int32_t v) {
  QByteArray b(4, '\0');
  qToLittleEndian<std::int32_t>(v, b.data());
  return b;
}

QString OpenError(const QFile& f) { return Msg(msg::kProfileOpenError).arg(f.fileName(), f.errorString()); }

bool OpenExisting(QFile& f, QIODevice::OpenMode mode, ProfileIo& io) {
  if (f.open(mode | QIODevice::ExistingOnly)) return true;
  io.ok = false;
  io.message = OpenError(f);
  return false;
}

// Writes at `offset`, zero-filling any gap behind the current end first.
bool WriteAt(QFile& f, qint64 offset, const QByteArray& bytes, ProfileIo& io) {
  if ((f.size() < offset && !f.resize(offset)) || !f.seek(offset) || f.write(bytes) != bytes.size()) {
    io.ok = false;
    io.message = OpenError(f);
    return false;
  }
  return true;
}

// Reads up to one record; bytes past the end are reported and read as zero.
QByteArray ReadRecordBytes(QFile& f, int n, ProfileIo& io) {
  QByteArray bytes;
  const qint64 at = ProfileRecordOffset(n);
  if (at < f.size() && f.seek(at)) bytes = f.read(kProfileRecordSize);
  if (bytes.size() < kProfileRecordSize) {
    io.problems.append(Msg(bytes.isEmpty() ? msg::kProfileBeyondEnd : msg::kProfileCutShort).arg(n));
    bytes.append(QByteArray(kProfileRecordSize - bytes.size(), '\0'));
  }
  return bytes;
}

bool MoveRecord(QFile& f, int from, int to, ProfileIo& io) {
  ProfileIo ignored;  // a short source only happens with a damaged file; zeros move
  const QByteArray bytes = ReadRecordBytes(f, from, ignored);
  return WriteAt(f, ProfileRecordOffset(to), bytes, io);
}

QString KindLetter(int kind, const char* letters) {
  return (kind >= 0 && kind < 3) ? QString(QLatin1Char(letters[kind])) + QLatin1Char(' ') : QString();
}

}  // namespace

QByteArray EncodeProfileRecord(const ProfileRecord& r) {
  QByteArray rec(kProfileRecordSize, '\0');
  PutShortString(rec, off::kName, r.ProfileName, kProfileNameMax);
  qToLittleEndian<std::int32_t>(r.StartPosition, rec.data() + off::kStartPosition);
  PutShortString(rec, off::kPrimaryTolerance, r.PrimaryTolerance, kProfileToleranceMax);
  rec[off::kPrimaryKind] = static_cast<char>(r.PrimaryKind);
  rec[off::kPrimaryUnit] = static_cast<char>(r.PrimaryUnit);
  PutShortString(rec, off::kPrimaryNominal, r.PrimaryNominal, kProfileNominalMax);
  PutShortString(rec, off::kSecondaryTolerance, r.SecondaryTolerance, kProfileToleranceMax);
  rec[off::kSecondaryKind] = static_cast<char>(r.SecondaryKind);
  rec[off::kSecondaryUnit] = static_cast<char>(r.SecondaryUnit);
  PutShortString(rec, off::kSecondaryNominal, r.SecondaryNominal, kProfileNominalMax);
  const auto s = r.Settings.toBytes();
  for (std::size_t i = 0; i < s.size(); ++i) rec[off::kSettings + static_cast<int>(i)] = static_cast<char>(s[i]);
  return rec;
}

ProfileRecord DecodeProfileRecord(QByteArrayView bytes, QStringList* problems) {
  QByteArray rec = bytes.first(std::min<qsizetype>(bytes.size(), kProfileRecordSize)).toByteArray();
  if (rec.size() < kProfileRecordSize) {
    if (problems) problems->append(Msg(msg::kRecordTooShort).arg(kProfileRecordSize));
    rec.append(QByteArray(kProfileRecordSize - rec.size(), '\0'));
  }
  const QByteArrayView v(rec);
  ProfileRecord r;
  r.ProfileName = GetShortString(v, off::kName, kProfileNameMax, msg::kFieldName, problems);
  r.StartPosition = qFromLittleEndian<std::int32_t>(rec.constData() + off::kStartPosition);
  r.PrimaryTolerance =
      GetShortString(v, off::kPrimaryTolerance, kProfileToleranceMax, msg::kFieldPrimaryTolerance, problems);
  r.PrimaryKind = static_cast<std::uint8_t>(rec[off::kPrimaryKind]);
  r.PrimaryUnit = static_cast<std::uint8_t>(rec[off::kPrimaryUnit]);
  r.PrimaryNominal = GetShortString(v, off::kPrimaryNominal, kProfileNominalMax, msg::kFieldPrimaryNominal, problems);
  r.SecondaryTolerance =
      GetShortString(v, off::kSecondaryTolerance, kProfileToleranceMax, msg::kFieldSecondaryTolerance, problems);
  r.SecondaryKind = static_cast<std::uint8_t>(rec[off::kSecondaryKind]);
  r.SecondaryUnit = static_cast<std::uint8_t>(rec[off::kSecondaryUnit]);
  r.SecondaryNominal =
      GetShortString(v, off::kSecondaryNominal, kProfileNominalMax, msg::kFieldSecondaryNominal, problems);
  std::array<std::uint8_t, MeterSettings::kSize> s{};
  for (std::size_t i = 0; i < s.size(); ++i)
    s[i] = static_cast<std::uint8_t>(rec[off::kSettings + static_cast<int>(i)]);
  r.Settings = MeterSettings::fromBytes(s);
  return r;
}

namespace {

// Decodes record n, telling its field problems under the record's number.
ProfileRecord DecodeNumbered(QByteArrayView bytes, int n, QStringList& problems) {
  QStringList fieldProblems;
  ProfileRecord r = DecodeProfileRecord(bytes, &fieldProblems);
  for (const QString& p : fieldProblems) problems.append(Msg(msg::kProfileFieldProblem).arg(n).arg(p));
  return r;
}

ProfileIo NoSuchProfile(int n) {
  ProfileIo io;
  io.ok = false;
  io.message = Msg(msg::kNoSuchProfile).arg(n);
  return io;
}

}  // namespace

ProfileFileView ParseProfileFile(QByteArrayView bytes) {
  ProfileFileView v;
  if (bytes.size() < 4) {
    v.problems.append(Msg(msg::kFileShorterThanHeader));
    return v;
  }
  v.headerCount = qFromLittleEndian<std::int32_t>(bytes.data());
  const qint64 held = std::max<qint64>(0, (bytes.size() - kProfileHeaderSize) / kProfileRecordSize);
  v.count = static_cast<std::int32_t>(std::clamp<qint64>(v.headerCount, 0, held));
  if (v.headerCount < 0)
    v.problems.append(Msg(msg::kHeaderCountNegative).arg(v.headerCount));
  else if (v.count != v.headerCount)
    v.problems.append(Msg(msg::kHeaderCountTooHigh).arg(v.headerCount).arg(held));
  for (int n = 1; n <= v.count; ++n) {
    v.records.append(DecodeNumbered(bytes.sliced(ProfileRecordOffset(n), kProfileRecordSize), n, v.problems));
  }
  return v;
}

namespace {

bool HasControlCharacters(const QString& text) {
  for (const QChar ch : text)
    if (ch.unicode() < 0x20 || ch.unicode() == 0x7F || ch == QChar::ReplacementCharacter) return true;
  return false;
}

// A tolerance as the editor stores it: "OFF", "<", ">", or digits with at
// most one decimal separator (either, the file may come from another system)
// and a "%" at the end.
bool ToleranceAsWritten(const QString& text) {
  if (text == ProfileToleranceOff() || text == QLatin1String("<") || text == QLatin1String(">")) return true;
  qsizetype i = 0;
  bool separator = false;
  for (; i < text.size(); ++i) {
    const QChar ch = text.at(i);
    if (ch.isDigit() && ch.unicode() < 0x80) continue;
    if ((ch == QLatin1Char('.') || ch == QLatin1Char(',')) && !separator && i > 0) {
      separator = true;
      continue;
    }
    break;
  }
  return i == text.size() || (i == text.size() - 1 && text.at(i) == QLatin1Char('%'));
}

// The largest value of each meter setting: the widths of the fields in the
// meter's frames. Reserved is the logger's own and never sent.
constexpr std::array<std::uint8_t, MeterSettings::kSize> kSettingLimits = {1, 31, 1, 7, 1, 7, 1, 7, 1,
                                                                           1, 7,  1, 1, 1, 1, 1, 3, 255};

}  // namespace

bool SettingsPlausible(const MeterSettings& s) {
  const auto b = s.toBytes();
  for (std::size_t i = 0; i < b.size(); ++i)
    if (b[i] > kSettingLimits[i]) return false;
  return true;
}

QStringList RecordImplausibilities(const ProfileRecord& r) {
  QStringList out;
  const auto texts = {std::pair{&r.ProfileName, msg::kFieldName},
                      {&r.PrimaryTolerance, msg::kFieldPrimaryTolerance},
                      {&r.PrimaryNominal, msg::kFieldPrimaryNominal},
                      {&r.SecondaryTolerance, msg::kFieldSecondaryTolerance},
                      {&r.SecondaryNominal, msg::kFieldSecondaryNominal}};
  for (const auto& [text, field] : texts)
    if (HasControlCharacters(*text)) out.append(Msg(msg::kFieldBadCharacters).arg(Msg(field)));
  for (const auto& [text, field] : {std::pair{&r.PrimaryTolerance, msg::kFieldPrimaryTolerance},
                                    {&r.SecondaryTolerance, msg::kFieldSecondaryTolerance}})
    if (!HasControlCharacters(*text) && !ToleranceAsWritten(*text))
      out.append(Msg(msg::kFieldNotTolerance).arg(Msg(field), *text));
  for (const auto& [value, field] : {std::pair{r.PrimaryKind, msg::kFieldPrimaryKind},
                                     {r.PrimaryUnit, msg::kFieldPrimaryUnit},
                                     {r.SecondaryKind, msg::kFieldSecondaryKind},
                                     {r.SecondaryUnit, msg::kFieldSecondaryUnit}})
    if (value > 2) out.append(Msg(msg::kFieldOutOfRange).arg(Msg(field)).arg(value));
  const auto b = r.Settings.toBytes();
  for (std::size_t i = 0; i < b.size(); ++i)
    if (b[i] > kSettingLimits[i])
      out.append(Msg(msg::kFieldOutOfRange).arg(Msg(msg::kFieldSettings).arg(i + 1)).arg(b[i]));
  return out;
}

ProfileFileCheck CheckProfileFile(QByteArrayView bytes) {
  ProfileFileCheck c;
  auto notProfile = [&c](const QString& reason) {
    c.kind = ProfileFileKind::NotProfile;
    c.reason = reason;
    c.count = 0;
    c.problems.clear();
    c.asWritten.clear();
    return c;
  };
  if (bytes.size() < kProfileHeaderSize) return notProfile(Msg(msg::kFileShorterThanHeader));
  const std::int32_t header = qFromLittleEndian<std::int32_t>(bytes.data());
  if (header < 0 || header > kProfileCountMax)
    return notProfile(Msg(msg::kHeaderCountOutOfRange).arg(header).arg(kProfileCountMax));
  for (qsizetype i = 4; i < kProfileHeaderSize; ++i)
    if (bytes[i] != '\0') return notProfile(Msg(msg::kHeaderNotZero));

  const ProfileFileView v = ParseProfileFile(bytes);
  c.count = v.count;
  c.problems = v.problems;
  QString firstProblem;
  for (int n = 1; n <= v.count; ++n) {
    QStringList wrong;
    DecodeNumbered(bytes.sliced(ProfileRecordOffset(n), kProfileRecordSize), n, wrong);
    for (const QString& p : RecordImplausibilities(v.records[n - 1]))
      wrong.append(Msg(msg::kProfileFieldProblem).arg(n).arg(p));
    c.asWritten.append(wrong.isEmpty());
    for (const QString& p : wrong)
      if (!c.problems.contains(p)) c.problems.append(p);
    if (firstProblem.isEmpty() && !wrong.isEmpty()) firstProblem = wrong.first();
  }
  if (v.count > 0 && !c.asWritten.contains(true)) return notProfile(Msg(msg::kNoProfileAsWritten).arg(firstProblem));
  if (!c.problems.isEmpty()) c.kind = ProfileFileKind::Damaged;
  return c;
}

ProfileIo ProfileFile::check(ProfileFileCheck& out) const {
  ProfileIo io;
  QFile f(path_);
  if (!OpenExisting(f, QIODevice::ReadOnly, io)) return io;
  QByteArray bytes = f.read(kProfileHeaderSize);
  if (bytes.size() == kProfileHeaderSize) {
    const std::int32_t header = qFromLittleEndian<std::int32_t>(bytes.constData());
    if (header > 0 && header <= kProfileCountMax) bytes.append(f.read(kProfileRecordSize * qint64(header)));
  }
  out = CheckProfileFile(bytes);
  return io;
}

ProfileIo ProfileFile::readCount(std::int32_t& count) const {
  ProfileIo io;
  QFile f(path_);
  if (!OpenExisting(f, QIODevice::ReadOnly, io)) return io;
  const QByteArray head = f.read(4);
  if (head.size() < 4) {
    count = 0;
    io.problems.append(Msg(msg::kFileShorterThanHeader));
    return io;
  }
  std::int32_t header = qFromLittleEndian<std::int32_t>(head.constData());
  const qint64 held = std::max<qint64>(0, (f.size() - kProfileHeaderSize) / kProfileRecordSize);
  if (header < 0) {
    io.problems.append(Msg(msg::kHeaderCountNegative).arg(header));
    header = 0;
  } else if (header > held) {
    io.problems.append(Msg(msg::kHeaderCountTooHigh).arg(header).arg(held));
    header = static_cast<std::int32_t>(held);
  }
  count = header;
  return io;
}

ProfileIo ProfileFile::writeCount(std::int32_t count) const {
  ProfileIo io;
  QFile f(path_);
  if (OpenExisting(f, QIODevice::ReadWrite, io)) WriteAt(f, 0, Int32Bytes(count), io);
  return io;
}

ProfileIo ProfileFile::readRecord(int n, ProfileRecord& out) const {
  ProfileIo io;
  if (n < 1) return NoSuchProfile(n);
  QFile f(path_);
  if (!OpenExisting(f, QIODevice::ReadOnly, io)) return io;
  out = DecodeNumbered(ReadRecordBytes(f, n, io), n, io.problems);
  return io;
}

ProfileIo ProfileFile::writeRecord(int n, const ProfileRecord& r) const {
  ProfileIo io;
  if (n < 1) return NoSuchProfile(n);
  QFile f(path_);
  if (OpenExisting(f, QIODevice::ReadWrite, io)) WriteAt(f, ProfileRecordOffset(n), EncodeProfileRecord(r), io);
  return io;
}

ProfileIo ProfileFile::readRecords(int count, QVector<ProfileRecord>& out) const {
  ProfileIo io;
  out.clear();
  QFile f(path_);
  if (!OpenExisting(f, QIODevice::ReadOnly, io)) return io;
  for (int n = 1; n <= count; ++n) {
    if (ProfileRecordOffset(n) >= f.size()) {
      io.problems.append(Msg(msg::kProfilesBeyondEnd).arg(n).arg(count));
      break;
    }
    out.append(DecodeNumbered(ReadRecordBytes(f, n, io), n, io.problems));
  }
  return io;
}

ProfileIo ProfileFile::create(const ProfileRecord& first) const {
  ProfileIo io;
  QFile f(path_);
  if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
    io.ok = false;
    io.message = OpenError(f);
    return io;
  }
  QByteArray bytes = Int32Bytes(1);
  bytes.append(QByteArray(kProfileHeaderSize - 4, '\0'));
  bytes.append(EncodeProfileRecord(first));
  if (f.write(bytes) != bytes.size()) {
    io.ok = false;
    io.message = OpenError(f);
  }
  return io;
}

ProfileIo ProfileFile::store(std::int32_t& count, int n, const ProfileRecord& r) const {
  ProfileIo io;
  if (n < 1) return NoSuchProfile(n);
  QFile f(path_);
  if (!OpenExisting(f, QIODevice::ReadWrite, io)) return io;
  const bool append = n > count;
  const int slot = append ? count + 1 : n;
  if (!WriteAt(f, ProfileRecordOffset(slot), EncodeProfileRecord(r), io)) return io;
  if (append) {
    if (!WriteAt(f, 0, Int32Bytes(count + 1), io)) return io;
    ++count;
  }
  return io;
}

ProfileIo ProfileFile::insert(std::int32_t& count, int n, const ProfileRecord& r) const {
  ProfileIo io;
  if (n < 1 || n > count + 1) return NoSuchProfile(n);
  QFile f(path_);
  if (!OpenExisting(f, QIODevice::ReadWrite, io)) return io;
  for (int k = count; k >= n; --k)
    if (!MoveRecord(f, k, k + 1, io)) return io;
  if (!WriteAt(f, ProfileRecordOffset(n), EncodeProfileRecord(r), io)) return io;
  if (!WriteAt(f, 0, Int32Bytes(count + 1), io)) return io;
  ++count;
  return io;
}

ProfileIo ProfileFile::remove(std::int32_t& count, int n) const {
  ProfileIo io;
  if (count <= 0) {
    io.ok = false;
    io.message = Msg(msg::kNothingToDelete);
    return io;
  }
  if (n < 1) return NoSuchProfile(n);
  QFile f(path_);
  if (!OpenExisting(f, QIODevice::ReadWrite, io)) return io;
  for (int k = n + 1; k <= count; ++k)
    if (!MoveRecord(f, k, k - 1, io)) return io;
  if (!WriteAt(f, 0, Int32Bytes(count - 1), io)) return io;
  --count;
  return io;
}

ProfileIo ProfileFile::copyTo(const QString& target) const {
  ProfileIo io;
  QFile src(path_);
  if (!OpenExisting(src, QIODevice::ReadOnly, io)) return io;
  const QByteArray all = src.readAll();
  QFile dst(target);
  if (!dst.open(QIODevice::WriteOnly | QIODevice::Truncate) || dst.write(all) != all.size()) {
    io.ok = false;
    io.message = OpenError(dst);
  }
  return io;
}

QString ResistanceUnitText(int unit, const Lexicons& lex) {
  const QString prefix = unit == 1 ? lex.Dlang1[1] : unit == 2 ? lex.Dlang1[0] : QString();
  return prefix + OhmSign(lex);
}

QString InductanceUnitText(int unit, const Lexicons& lex) {
  const QString prefix = unit == 0 ? MicroSign(lex) : unit == 1 ? lex.Dlang1[2] : QString();
  return prefix + lex.Dlang3[4];
}

QString CapacitanceUnitText(int unit, const Lexicons& lex) {
  const QString prefix = unit == 0 ? lex.Dlang1[5] : unit == 1 ? lex.Dlang1[4] : unit == 2 ? MicroSign(lex) : QString();
  return prefix + lex.Dlang3[5];
}

GridRowTexts ProfileTableHeaders(const Lexicons& lex) {
  GridRowTexts h;
  h[1] = lex.D2[11];
  h[2] = lex.D2[12];
  h[3] = lex.D2[13];
  h[7] = lex.D2[15];
  h[8] = lex.D2[14];
  h[9] = QLatin1String("");  // emptied, not kept
  return h;
}

GridRowTexts ProfileTableRow(const ProfileRecord& r, int row, const ProfileTableEnv& env) {
  const Lexicons& lex = env.lex;
  const MeterSettings& s = r.Settings;
  GridRowTexts c;
  c[0] = FormatFixed(row, 7, 0, false, Separators{});
  c[1] = r.ProfileName;
  if (r.PrimaryTolerance != ProfileToleranceOff()) {
    QString unit;
    switch (r.PrimaryKind) {
      case 0: unit = ResistanceUnitText(r.PrimaryUnit, lex); break;
      case 1: unit = InductanceUnitText(r.PrimaryUnit, lex); break;
      case 2: unit = CapacitanceUnitText(r.PrimaryUnit, lex); break;
      default: break;
    }
    c[2] = KindLetter(r.PrimaryKind, "RLC") + r.PrimaryTolerance + QLatin1Char(' ') + r.PrimaryNominal + unit;
  }
  if (r.SecondaryTolerance != ProfileToleranceOff()) {
    const QString unit = r.SecondaryKind == 0 ? ResistanceUnitText(r.SecondaryUnit, lex) : QString();
    c[3] = KindLetter(r.SecondaryKind, "RQD") + r.SecondaryTolerance + QLatin1Char(' ') + r.SecondaryNominal + unit;
  }
  QString interval;
  switch (s.IntervalCode) {
    case 1: interval = QStringLiteral("2"); break;
    case 2: interval = QStringLiteral("1"); break;
    case 3: interval = QStringLiteral("0.5"); break;
    default: break;
  }
  c[7] = interval + lex.D3[5];
  c[8] = QString::number(r.StartPosition);
  if (s.CircuitAuto == 1)
    c[4] = QStringLiteral("A");
  else
    c[4] = s.CircuitSeries == 1 ? lex.Dlang2[2] : s.CircuitSeries == 0 ? lex.Dlang2[3] : QString();

  int i = s.FreqCode;
  if ((env.meterModel == 2 && i > 5) || (env.meterModel == 1 && i > 6) || (env.meterModel == 0 && i > 14)) i = 3;
  const int f = env.frequencyOfIndex ? env.frequencyOfIndex(i) : 0;
  QString freq;
  if (f > 999) {
    freq = QString::number(f / 1000) + lex.Dlang1[1] + lex.Dlang3[0];
  } else if (env.liveFreqCode != 0) {
    freq = QString::number(f) + lex.Dlang3[0];
  }
  c[5] = (s.FreqAuto == 1 ? QStringLiteral("A") : QString()) + freq;

  int l = s.LevelCode;
  QString level;
  if (env.meterModel == 2) {
    if (l > 2) l = 0;
    level = l == 2 ? QStringLiteral("0.1") : QStringLiteral("0.7");
  } else if (env.meterModel == 0 || env.meterModel == 1) {
    if (l > 3) l = 0;
    level = l == 2 ? QStringLiteral("0.5") : l == 3 ? QStringLiteral("0.1") : QStringLiteral("1.0");
  }
  c[6] = (s.LevelAuto == 1 ? QStringLiteral("A") : QString()) + level + lex.Dlang3[1];
  return c;
}

}  // namespace zt
