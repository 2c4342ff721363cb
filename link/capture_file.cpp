#include "capture_file.h"

#include <limits>

namespace zt {

namespace {

constexpr char kHex[] = "0123456789abcdef";

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

void AppendPort(QByteArray& out, const QString& port) {
  if (port.isEmpty()) {
    out += '-';
    return;
  }
  const QByteArray utf8 = port.toUtf8();
  if (utf8 == "-") {
    out += "%2d";
    return;
  }
  for (const char ch : utf8) {
    const auto c = static_cast<unsigned char>(ch);
    if (c <= 0x20 || c >= 0x7F || c == '%') {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += ch;
    }
  }
}

bool ParsePort(QByteArrayView word, QString* port) {
  if (word == "-") {
    port->clear();
    return true;
  }
  QByteArray utf8;
  utf8.reserve(word.size());
  for (qsizetype i = 0; i < word.size(); ++i) {
    if (word[i] != '%') {
      utf8 += word[i];
      continue;
    }
    if (i + 2 >= word.size()) return false;
    const int hi = HexValue(word[i + 1]);
    const int lo = HexValue(word[i + 2]);
    if (hi < 0 || lo < 0) return false;
    utf8 += char(hi * 16 + lo);
    i += 2;
  }
  *port = QString::fromUtf8(utf8);
  return true;
}

// "S.UUUUUU": whole seconds, a point, exactly six digits.
bool ParseTime(QByteArrayView word, std::int64_t* us) {
  const qsizetype dot = word.indexOf('.');
  if (dot <= 0 || word.size() - dot - 1 != 6 || dot > 12) return false;
  std::int64_t s = 0;
  for (qsizetype i = 0; i < dot; ++i) {
    if (word[i] < '0' || word[i] > '9') return false;
    s = s * 10 + (word[i] - '0');
  }
  std::int64_t frac = 0;
  for (qsizetype i = dot + 1; i < word.size(); ++i) {
    if (word[i] < '0' || word[i] > '9') return false;
    frac = frac * 10 + (word[i] - '0');
  }
  *us = s * 1000000 + frac;
  return true;
}

// One record line, split at single spaces into exactly five words.
bool ParseLine(QByteArrayView line, CaptureRecord* r, QString* why) {
  QByteArrayView words[5];
  int n = 0;
  qsizetype start = 0;
  for (qsizetype i = 0; i <= line.size(); ++i) {
    if (i < line.size() && line[i] != ' ') continue;
    if (n == 5) {
      *why = QStringLiteral("more than five fields");
      return false;
    }
    words[n++] = line.sliced(start, i - start);
    start = i + 1;
  }
  if (n != 5) {
    *why = QStringLiteral("a record has five fields: time, rx|tx, serial|ble, port, hex bytes");
    return false;
  }
  for (const QByteArrayView& w : words)
    if (w.isEmpty()) {
      *why = QStringLiteral("an empty field");
      return false;
    }
  if (!ParseTime(words[0], &r->timeUs)) {
    *why = QStringLiteral("the time is not seconds with six decimals");
    return false;
  }
  if (words[1] == "rx")
    r->direction = TapDirection::Received;
  else if (words[1] == "tx")
    r->direction = TapDirection::Sent;
  else {
    *why = QStringLiteral("the direction is neither rx nor tx");
    return false;
  }
  if (words[2] == "serial")
    r->transport = TapTransport::Serial;
  else if (words[2] == "ble")
    r->transport = TapTransport::Ble;
  else {
    *why = QStringLiteral("the transport is neither serial nor ble");
    return false;
  }
  if (!ParsePort(words[3], &r->port)) {
    *why = QStringLiteral("a broken %-escape in the port");
    return false;
  }
  const QByteArrayView hex = words[4] == "-" ? QByteArrayView() : words[4];
  if (hex.size() % 2 != 0) {
    *why = QStringLiteral("an odd number of hex digits");
    return false;
  }
  if (hex.size() / 2 > kCaptureMaxRecordBytes) {
    *why = QStringLiteral("a record longer than %1 bytes").arg(kCaptureMaxRecordBytes);
    return false;
  }
  r->bytes.resize(hex.size() / 2);
  for (qsizetype i = 0; i < hex.size(); i += 2) {
    const int hi = HexValue(hex[i]);
    const int lo = HexValue(hex[i + 1]);
    if (hi < 0 || lo < 0) {
      *why = QStringLiteral("a byte that is not two hex digits");
      return false;
    }
    r->bytes[i / 2] = char(hi * 16 + lo);
  }
  return true;
}

}  // namespace

QByteArray CaptureHeader(const QString& startedUtcIso, const QString& program) {
  QByteArray out(kCaptureMagic);
  out += '\n';
  QString note = QStringLiteral("# started %1 by %2").arg(startedUtcIso, program);
  note.replace(u'\n', u' ').replace(u'\r', u' ');
  out += note.toUtf8();
  out += '\n';
  return out;
}

void AppendCaptureLine(QByteArray& out, const CaptureRecord& r) {
  const std::int64_t us = r.timeUs < 0 ? 0 : r.timeUs;
  char time[32];
  int n = 0;
  char digits[24];
  int d = 0;
  std::int64_t s = us / 1000000;
  do {
    digits[d++] = char('0' + s % 10);
    s /= 10;
  } while (s > 0);
  while (d > 0) time[n++] = digits[--d];
  time[n++] = '.';
  std::int64_t frac = us % 1000000;
  for (int i = 5; i >= 0; --i) {
    time[n + i] = char('0' + frac % 10);
    frac /= 10;
  }
  n += 6;
  out.append(time, n);
  out += r.direction == TapDirection::Received ? " rx " : " tx ";
  out += r.transport == TapTransport::Serial ? "serial " : "ble ";
  AppendPort(out, r.port);
  out += ' ';
  if (r.bytes.isEmpty()) {
    out += "-";  // never written by the link; keeps the line five fields
  } else {
    const qsizetype at = out.size();
    out.resize(at + r.bytes.size() * 2);
    char* p = out.data() + at;
    for (const char ch : r.bytes) {
      const auto c = static_cast<unsigned char>(ch);
      *p++ = kHex[c >> 4];
      *p++ = kHex[c & 15];
    }
  }
  out += '\n';
}

QByteArray CaptureLine(const CaptureRecord& record) {
  QByteArray out;
  AppendCaptureLine(out, record);
  return out;
}

CaptureParse ParseCapture(const QByteArray& text) {
  CaptureParse p;
  qsizetype pos = 0;
  int lineNo = 0;
  bool sawMagic = false;
  std::int64_t last = 0;
  while (pos < text.size()) {
    qsizetype end = text.indexOf('\n', pos);
    const bool terminated = end >= 0;
    if (!terminated) end = text.size();
    QByteArrayView line(text.constData() + pos, end - pos);
    pos = end + 1;
    ++lineNo;
    if (line.endsWith('\r')) line.chop(1);
    auto fail = [&](const QString& why) {
      if (!terminated && sawMagic) {
        p.truncated = true;
        return true;
      }
      p.error = why;
      p.errorLine = lineNo;
      p.records.clear();
      return false;
    };
    if (!sawMagic) {
      if (line != QByteArrayView(kCaptureMagic)) {
        fail(QStringLiteral("not a capture of the link (its first line is not \"%1\")")
                 .arg(QString::fromLatin1(kCaptureMagic)));
        return p;
      }
      sawMagic = true;
      continue;
    }
    if (line.isEmpty() || line.startsWith('#')) continue;
    CaptureRecord r;
    QString why;
    if (!ParseLine(line, &r, &why)) {
      if (!fail(why)) return p;
      break;
    }
    if (r.timeUs < last) {
      if (!fail(QStringLiteral("the time goes backwards"))) return p;
      break;
    }
    last = r.timeUs;
    p.records.append(std::move(r));
  }
  if (!sawMagic) {
    p.error = QStringLiteral("not a capture of the link (empty)");
    p.errorLine = 1;
  }
  return p;
}

}  // namespace zt
