// Any bytes as a journal: the reader stays inside them, keeps only rows it
// can put back (positions in range, ten cells of bounded length), and every
// row it keeps is written again and read back the same.
//
// Inputs whose first byte is odd have every line sealed with its checksum
// first, so that mutations reach the records behind the checksum too.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "journal_format.h"

namespace {

QByteArray Sealed(QByteArrayView text) {
  QByteArray out;
  for (const QByteArrayView line : QByteArray(text.data(), text.size()).split('\n')) {
    char crc[9];
    std::snprintf(crc, sizeof crc, "%08x", zt::Crc32(line));
    out.append(crc, 8).append(' ').append(line).append('\n');
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const QByteArrayView raw(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  const QByteArray bytes = size > 0 && (data[0] & 1) ? Sealed(raw.sliced(1)) : raw.toByteArray();
  const zt::JournalLog log = zt::ParseJournal(bytes);
  if (log.damage.lines > log.lines) std::abort();
  if (!log.rows.empty() && !log.rows.contains(log.lastPosition)) std::abort();
  for (const auto& [pos, r] : log.rows) {
    if (pos < 1 || pos > zt::kJournalMaxPosition || r.row.gridRow != pos) std::abort();
    if (log.multiPart != (r.profileNumber > 0)) std::abort();
    for (const QString& t : r.row.texts)
      if (t.size() > zt::kJournalMaxCell) std::abort();
    const zt::JournalLog again = zt::ParseJournal(zt::JournalRowLine(r.row, r.time, r.profileNumber));
    if (again.damage.lines != 0 || again.rows.size() != 1 || !(again.rows.begin()->second.row == r.row)) std::abort();
  }
  (void)log.damage.text();
  return 0;
}
