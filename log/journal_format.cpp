#include "journal_format.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QStringList>
#include <array>
#include <cmath>
#include <cstdio>
#include <limits>

namespace zt {

namespace {

constexpr std::array<std::uint32_t, 256> MakeCrcTable() {
  std::array<std::uint32_t, 256> t{};
  for (std::uint32_t i = 0; i < 256; ++i) {
    std::uint32_t c = i;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    t[i] = c;
  }
  return t;
}
constexpr std::array<std::uint32_t, 256> kCrcTable = MakeCrcTable();

// ---- writing: each record is a QJsonObject, written compact by QJsonDocument.

// A local time's offset from UTC. Asking the system for it costs tens of
// microseconds each time (it reads the time zone anew), so the offset is kept
// for the local hour it was found for: zones change their offset on the hour.
int OffsetFromUtc(const QDateTime& t, QDate d, QTime h) {
  if (t.timeSpec() != Qt::LocalTime) return t.offsetFromUtc();
  thread_local qint64 hourKept = std::numeric_limits<qint64>::min();
  thread_local int offsetKept = 0;
  const qint64 hour = d.toJulianDay() * 24 + h.hour();
  if (hour != hourKept) {
    offsetKept = t.offsetFromUtc();
    hourKept = hour;
  }
  return offsetKept;
}

// Local time with its offset from UTC ("2024-02-01T10:11:12.345+03:00"), so
// the moment is unambiguous in any zone; empty for an invalid time. Written
// by hand: the general date formatting costs several times more on the UI
// thread.
QString IsoTime(const QDateTime& t) {
  if (!t.isValid()) return QString();
  const QDate d = t.date();
  const QTime h = t.time();
  const int offset = OffsetFromUtc(t, d, h);
  const int mins = std::abs(offset) / 60;
  char buf[48];
  const int len =
      std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d.%03d%c%02d:%02d", d.year(), d.month(), d.day(),
                    h.hour(), h.minute(), h.second(), h.msec(), offset < 0 ? '-' : '+', mins / 60, mins % 60);
  return len > 0 && len < int(sizeof buf) ? QString::fromLatin1(buf, len) : QString();
}

// The CRC, a blank, the compact JSON text and the line break.
QByteArray Seal(const QJsonObject& record) {
  const QByteArray json = QJsonDocument(record).toJson(QJsonDocument::Compact);
  char crc[9];
  std::snprintf(crc, sizeof crc, "%08x", Crc32(json));
  QByteArray line;
  line.reserve(json.size() + 10);
  line.append(crc, 8).append(' ').append(json).append('\n');
  return line;
}

const char* MarkName(LogModel::RowMark m) {
  switch (m) {
    case LogModel::RowMark::Reject: return "reject";
    case LogModel::RowMark::Pass: return "pass";
    case LogModel::RowMark::None: break;
  }
  return "none";
}

const char* EndName(LogEnd why) {
  switch (why) {
    case LogEnd::ModeChanged: return "mode";
    case LogEnd::TableRebuilt: return "table";
    case LogEnd::Cleared: break;
  }
  return "cleared";
}

// ---- reading

bool IsHex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return c - 'A' + 10;
}

// The JSON object of a whole line whose checksum matches, or an empty object.
bool OpenLine(QByteArrayView line, QJsonObject* out) {
  if (line.size() < 11 || line.size() > kJournalMaxLine || line[8] != ' ') return false;
  std::uint32_t want = 0;
  for (int i = 0; i < 8; ++i) {
    if (!IsHex(line[i])) return false;
    want = (want << 4) | static_cast<std::uint32_t>(HexValue(line[i]));
  }
  const QByteArrayView json = line.sliced(9);
  if (Crc32(json) != want) return false;
  QJsonParseError error{};
  const QJsonDocument doc = QJsonDocument::fromJson(json.toByteArray(), &error);
  if (error.error != QJsonParseError::NoError || !doc.isObject()) return false;
  *out = doc.object();
  return true;
}

bool IntOf(const QJsonValue& v, qint64 lo, qint64 hi, qint64* out) {
  if (!v.isDouble()) return false;
  const double d = v.toDouble();
  if (!std::isfinite(d) || d != std::floor(d) || d < double(lo) || d > double(hi)) return false;
  *out = static_cast<qint64>(d);
  return true;
}

QDateTime TimeOf(const QJsonValue& v) {
  if (!v.isString()) return {};
  const QString s = v.toString();
  if (s.size() > 64) return {};
  return QDateTime::fromString(s, Qt::ISODateWithMs);
}

bool MarkOf(const QJsonValue& v, LogModel::RowMark* out) {
  const QString s = v.toString();
  if (s == u"none")
    *out = LogModel::RowMark::None;
  else if (s == u"reject")
    *out = LogModel::RowMark::Reject;
  else if (s == u"pass")
    *out = LogModel::RowMark::Pass;
  else
    return false;
  return true;
}

bool EndOf(const QJsonValue& v, LogEnd* out) {
  const QString s = v.toString();
  if (s == u"cleared")
    *out = LogEnd::Cleared;
  else if (s == u"mode")
    *out = LogEnd::ModeChanged;
  else if (s == u"table")
    *out = LogEnd::TableRebuilt;
  else
    return false;
  return true;
}

bool RowOf(const QJsonObject& o, JournalRow* out) {
  qint64 pos = 0, sort = 0, profile = 0;
  if (!IntOf(o.value(QLatin1String("pos")), 1, kJournalMaxPosition, &pos)) return false;
  if (!IntOf(o.value(QLatin1String("sort")), -128, 127, &sort)) return false;
  if (o.contains(QLatin1String("profile")) &&
      !IntOf(o.value(QLatin1String("profile")), 1, kJournalMaxPosition, &profile))
    return false;
  const QJsonValue cells = o.value(QLatin1String("cells"));
  if (!cells.isArray()) return false;
  const QJsonArray a = cells.toArray();
  if (a.size() != kLogColumns) return false;
  LogModel::StoredRow row;
  for (int c = 0; c < kLogColumns; ++c) {
    if (!a.at(c).isString()) return false;
    row.texts[c] = a.at(c).toString();
    // Our writer never writes a half of a surrogate pair.
    if (row.texts[c].size() > kJournalMaxCell || !row.texts[c].isValidUtf16()) return false;
  }
  if (!MarkOf(o.value(QLatin1String("mark")), &row.mark)) return false;
  row.gridRow = static_cast<int>(pos);
  row.verdict = static_cast<std::int32_t>(sort);
  out->row = row;
  out->time = TimeOf(o.value(QLatin1String("time")));
  out->profileNumber = static_cast<int>(profile);
  return true;
}

}  // namespace

std::uint32_t Crc32(QByteArrayView bytes, std::uint32_t crc) {
  crc = ~crc;
  for (const char ch : bytes) crc = kCrcTable[(crc ^ static_cast<unsigned char>(ch)) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

// ---------------------------------------------------------------- encoding

QByteArray JournalHeaderLine(const QDateTime& started, bool multiPart) {
  return Seal({{QStringLiteral("rec"), QStringLiteral("journal")},
               {QStringLiteral("version"), kJournalVersion},
               {QStringLiteral("started"), IsoTime(started)},
               {QStringLiteral("mode"), multiPart ? QStringLiteral("multi") : QStringLiteral("single")}});
}

QByteArray JournalRowLine(const LogModel::StoredRow& row, const QDateTime& time, int profileNumber) {
  QJsonArray cells;
  for (const QString& text : row.texts) cells.append(text);
  QJsonObject o{{QStringLiteral("rec"), QStringLiteral("row")},
                {QStringLiteral("pos"), row.gridRow},
                {QStringLiteral("time"), IsoTime(time)},
                {QStringLiteral("cells"), cells},
                {QStringLiteral("mark"), QLatin1String(MarkName(row.mark))},
                {QStringLiteral("sort"), static_cast<int>(row.verdict)}};
  if (profileNumber > 0) o.insert(QStringLiteral("profile"), profileNumber);
  return Seal(o);
}

QByteArray JournalRowLine(const LogRow& row) {
  LogModel::StoredRow s;
  s.gridRow = row.position;
  s.texts = row.texts;
  s.mark = row.mark;
  s.verdict = row.markVerdict;
  return JournalRowLine(s, row.time, row.profileNumber);
}

QByteArray JournalRecordingLine(const QDateTime& time, bool on) {
  return Seal({{QStringLiteral("rec"), QStringLiteral("recording")},
               {QStringLiteral("time"), IsoTime(time)},
               {QStringLiteral("on"), on}});
}

QByteArray JournalLinkLine(const QDateTime& time, bool up) {
  return Seal({{QStringLiteral("rec"), QStringLiteral("link")},
               {QStringLiteral("time"), IsoTime(time)},
               {QStringLiteral("up"), up}});
}

QByteArray JournalPositionLine(const QDateTime& time, int position) {
  return Seal({{QStringLiteral("rec"), QStringLiteral("position")},
               {QStringLiteral("time"), IsoTime(time)},
               {QStringLiteral("pos"), position}});
}

QByteArray JournalEndLine(const QDateTime& time, LogEnd why) {
  return Seal({{QStringLiteral("rec"), QStringLiteral("end")},
               {QStringLiteral("time"), IsoTime(time)},
               {QStringLiteral("why"), QLatin1String(EndName(why))}});
}

QByteArray JournalProfileLine(const QDateTime& time, int number, const QString& file) {
  return Seal({{QStringLiteral("rec"), QStringLiteral("profile")},
               {QStringLiteral("time"), IsoTime(time)},
               {QStringLiteral("number"), number},
               {QStringLiteral("file"), file}});
}

QByteArray JournalWriteOverLine(const QDateTime& time, int position, const QString& kept) {
  return Seal({{QStringLiteral("rec"), QStringLiteral("overwrite")},
               {QStringLiteral("time"), IsoTime(time)},
               {QStringLiteral("pos"), position},
               {QStringLiteral("kept"), kept}});
}

QByteArray JournalRestoredLine(const QDateTime& time, int rows, const QDateTime& from, int skipped,
                               std::uint32_t gridDigest) {
  return Seal({{QStringLiteral("rec"), QStringLiteral("restored")},
               {QStringLiteral("time"), IsoTime(time)},
               {QStringLiteral("rows"), rows},
               {QStringLiteral("from"), IsoTime(from)},
               {QStringLiteral("skipped"), skipped},
               {QStringLiteral("grid"), QStringLiteral("%1").arg(gridDigest, 8, 16, QLatin1Char('0'))}});
}

void RowsDigest::add(const LogModel::StoredRow& row) {
  QByteArray b = QByteArray::number(row.gridRow);
  for (const QString& t : row.texts) b.append('\x1f').append(t.toUtf8());
  b.append('\x1f').append(MarkName(row.mark)).append('\x1f').append(QByteArray::number(row.verdict)).append('\x1e');
  crc_ = Crc32(b, crc_);
}

// ---------------------------------------------------------------- parsing

void JournalDamage::add(qsizetype line) {
  ++lines;
  if (!ranges.empty() && ranges.back().second + 1 == line) {
    ranges.back().second = line;
  } else if (ranges.size() < std::size_t(kKeptRanges)) {
    ranges.emplace_back(line, line);
  }
}

QString JournalDamage::text() const {
  QStringList parts;
  qsizetype listed = 0;
  for (const auto& [a, b] : ranges) {
    parts << (a == b ? QString::number(a) : QStringLiteral("%1-%2").arg(a).arg(b));
    listed += b - a + 1;
  }
  if (listed < lines) parts << QStringLiteral("...");
  return parts.join(QStringLiteral(", "));
}

std::vector<LogModel::StoredRow> JournalLog::storedRows() const {
  std::vector<LogModel::StoredRow> out;
  out.reserve(rows.size());
  for (const auto& [pos, r] : rows) out.push_back(r.row);
  return out;
}

JournalLog ParseJournal(QByteArrayView bytes) {
  JournalLog log;
  bool modeKnown = false;
  qsizetype lineNo = 0;
  qsizetype at = 0;
  const qsizetype n = bytes.size();
  while (at < n) {
    const qsizetype nl = bytes.indexOf('\n', at);
    const bool whole = nl >= 0;
    const qsizetype end = whole ? nl : n;
    QByteArrayView line = bytes.sliced(at, end - at);
    at = whole ? nl + 1 : n;
    ++lineNo;
    if (!line.isEmpty() && line.back() == '\r') line.chop(1);
    if (line.isEmpty()) continue;
    ++log.lines;

    QJsonObject o;
    if (!OpenLine(line, &o)) {
      log.damage.add(lineNo);
      if (!whole) log.damage.tornTail = true;
      continue;
    }
    const QString rec = o.value(QLatin1String("rec")).toString();
    if (rec == u"journal") {
      if (log.header || log.rowRecords > 0) continue;  // only the first header, before any row, counts
      qint64 version = 0;
      const QString mode = o.value(QLatin1String("mode")).toString();
      if (!IntOf(o.value(QLatin1String("version")), 1, 1000000, &version) || (mode != u"single" && mode != u"multi")) {
        log.damage.add(lineNo);
        continue;
      }
      log.header = true;
      log.version = static_cast<int>(version);
      log.multiPart = mode == u"multi";
      modeKnown = true;
      const QDateTime started = TimeOf(o.value(QLatin1String("started")));
      if (started.isValid()) log.started = started;
      continue;
    }
    if (rec == u"row") {
      JournalRow r;
      if (!RowOf(o, &r)) {
        log.damage.add(lineNo);
        continue;
      }
      const bool multiRow = r.profileNumber > 0;
      if (!modeKnown) {
        log.multiPart = multiRow;
        modeKnown = true;
      }
      // A row of the other mode, or a multi-part row not in its profile's place.
      if (multiRow != log.multiPart || (multiRow && r.profileNumber != r.row.gridRow)) {
        log.damage.add(lineNo);
        continue;
      }
      if (log.ended) {
        // Rows after an end belong to a log begun afterwards.
        log.rows.clear();
        log.ended = false;
      }
      if (!log.started.isValid()) log.started = r.time;
      r.line = lineNo;
      log.lastPosition = r.row.gridRow;
      ++log.rowRecords;
      log.rows[r.row.gridRow] = std::move(r);
      continue;
    }
    if (rec == u"profile") {
      qint64 number = 0;
      const QJsonValue file = o.value(QLatin1String("file"));
      if (!IntOf(o.value(QLatin1String("number")), 1, kJournalMaxPosition, &number) || !file.isString() ||
          file.toString().size() > kJournalMaxCell) {
        log.damage.add(lineNo);
        continue;
      }
      // Selected for every log that follows in the file, not only this one.
      log.profileNumber = static_cast<int>(number);
      log.profileFile = file.toString();
      continue;
    }
    JournalEvent e;
    e.line = lineNo;
    e.time = TimeOf(o.value(QLatin1String("time")));
    bool ok = true;
    if (rec == u"recording") {
      e.kind = JournalEvent::Kind::Recording;
      ok = o.value(QLatin1String("on")).isBool();
      e.on = o.value(QLatin1String("on")).toBool();
    } else if (rec == u"link") {
      e.kind = JournalEvent::Kind::Link;
      ok = o.value(QLatin1String("up")).isBool();
      e.on = o.value(QLatin1String("up")).toBool();
    } else if (rec == u"position") {
      e.kind = JournalEvent::Kind::Position;
      qint64 p = 0;
      ok = IntOf(o.value(QLatin1String("pos")), 1, kJournalMaxPosition, &p);
      e.value = static_cast<int>(p);
    } else if (rec == u"end") {
      e.kind = JournalEvent::Kind::End;
      ok = EndOf(o.value(QLatin1String("why")), &e.why);
    } else if (rec == u"restored") {
      e.kind = JournalEvent::Kind::Restored;
      qint64 rows = 0, skipped = 0;
      const QString grid = o.value(QLatin1String("grid")).toString();
      bool hex = false;
      e.digest = grid.toUInt(&hex, 16);
      ok = hex && grid.size() == 8 && IntOf(o.value(QLatin1String("rows")), 0, kJournalMaxPosition, &rows) &&
           IntOf(o.value(QLatin1String("skipped")), 0, std::numeric_limits<int>::max(), &skipped);
      e.value = static_cast<int>(rows);
      e.skipped = static_cast<int>(skipped);
    } else {
      continue;  // a record of a later version: not ours to judge
    }
    if (!ok) {
      log.damage.add(lineNo);
      continue;
    }
    if (!log.started.isValid()) log.started = e.time;
    if (e.kind == JournalEvent::Kind::End) {
      log.ended = true;
      log.endedWhy = e.why;
    }
    if (log.events.size() < std::size_t(JournalLog::kKeptEvents)) log.events.push_back(e);
  }
  return log;
}

}  // namespace zt
