#pragma once
// The capture file: the exchange with the meter as text lines, one burst or
// write a line, readable in any editor, greppable and safe to mail. The
// layout is in docs/capture.md:
//
//   # zt-capture 1
//   # started 2026-12-11T15:00:00.123Z by zt-record 1.6
//   0.000000 tx serial /dev/ttyUSB0 41542b434f4e4e4c
//   0.004012 rx serial /dev/ttyUSB0 4f4b2b434f4e4e4c
//
// Seconds since the capture started (a monotonic clock, microseconds), the
// direction as the program sees it (rx received, tx sent), the transport,
// the port (percent-escaped so it is one word) and the bytes in hex. Lines
// starting with '#' are comments. Pure: no I/O.
#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdint>

#include "link_tap.h"

namespace zt {

inline constexpr char kCaptureMagic[] = "# zt-capture 1";
// Longest record accepted from a file: a read takes at most 1000 bytes; a
// hand-made file gets room to spare, a hostile one no more than this.
inline constexpr int kCaptureMaxRecordBytes = 65536;
// Largest file a reader loads.
inline constexpr qint64 kCaptureMaxFileBytes = 64LL * 1024 * 1024;

struct CaptureRecord {
  std::int64_t timeUs = 0;  // since the capture started
  TapDirection direction = TapDirection::Received;
  TapTransport transport = TapTransport::Serial;
  QString port;
  QByteArray bytes;
  bool operator==(const CaptureRecord&) const = default;
};

// The first lines of a file: the magic line and one comment line.
QByteArray CaptureHeader(const QString& startedUtcIso, const QString& program);
// One record as a line, '\n' included.
QByteArray CaptureLine(const CaptureRecord& record);
// Appends the line to `out` (the writer's way: no allocation per line once
// `out` has grown).
void AppendCaptureLine(QByteArray& out, const CaptureRecord& record);

struct CaptureParse {
  QList<CaptureRecord> records;
  QString error;  // empty: the whole text was read
  int errorLine = 0;
  bool truncated = false;  // the last line had no line end and was left out
  bool ok() const { return error.isEmpty(); }
};

// Reads a whole capture. Refuses a text that is not a capture (no magic
// line first), a malformed line (with its number), time going backwards, or
// a record longer than kCaptureMaxRecordBytes. A last line without its line
// end (a capture cut short by a crash or a full disk) is left out when it
// does not read, and `truncated` says so. CR LF line ends are accepted.
CaptureParse ParseCapture(const QByteArray& text);

}  // namespace zt
