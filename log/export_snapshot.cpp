#include "export_snapshot.h"

#include <cstring>

#include "log_model.h"

namespace zt {

int ExportRowCount(bool logReady, bool multiPart, int logPosition, int profileCount) {
  if (!logReady) return 0;
  if (multiPart) return profileCount < 0 ? 1 : profileCount + 1;
  return logPosition < 0 ? 0 : logPosition;
}

ExportSnapshot ExportSnapshot::Capture(int rows, const std::function<QString(int row, int col)>& cell) {
  ExportSnapshot s;
  if (rows <= 0) return s;
  s.reserve(rows);
  std::array<QString, kColumns> cells;
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < kColumns; ++c) cells[static_cast<size_t>(c)] = cell(r, c);
    s.appendRow(cells);
  }
  return s;
}

ExportSnapshot ExportSnapshot::Capture(const LogModel& log, int rows) {
  // LogModel::cell answers "" outside the grid.
  return Capture(rows, [&log](int row, int col) { return row == 0 ? log.header(col) : log.cell(row, col); });
}

void ExportSnapshot::reserve(int rows, qsizetype bytesPerRow) {
  if (rows <= 0) return;
  rowStart_.reserve(static_cast<size_t>(rows));
  data_.reserve(static_cast<qsizetype>(rows) * bytesPerRow);
}

void ExportSnapshot::appendRow(const std::array<QString, kColumns>& cells) {
  rowStart_.push_back(data_.size());
  for (const QString& t : cells) {
    QByteArray u = t.toUtf8();
    // A NUL inside a text would end the cell early; the grid never shows one.
    if (u.contains('\0')) u.replace('\0', QByteArray());
    data_.append(u);
    data_.append('\0');
  }
}

const char* ExportSnapshot::utf8(int row, int col) const {
  if (row < 0 || row >= rowCount() || col < 0 || col >= kColumns) return "";
  const char* p = data_.constData() + rowStart_[static_cast<size_t>(row)];
  for (int c = 0; c < col; ++c) p += std::strlen(p) + 1;
  return p;
}

qsizetype ExportSnapshot::byteSize() const {
  return data_.capacity() + static_cast<qsizetype>(rowStart_.capacity() * sizeof(qsizetype));
}

}  // namespace zt
