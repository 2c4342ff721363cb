#include "log_model.h"

#include <algorithm>
#include <limits>

namespace zt {

LogModel::LogModel(QObject* parent) : QAbstractTableModel(parent) {}

int LogModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int LogModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kLogColumns; }

QVariant LogModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  const int gridRow = index.row() + 1;
  switch (role) {
    case Qt::DisplayRole: return cell(gridRow, index.column());
    case VerdictRole: return static_cast<int>(cellVerdict(gridRow, index.column()));
    default: return {};
  }
}

QVariant LogModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 || section >= kLogColumns) return {};
  return headers_[section];
}

void LogModel::resetGrid(int gridRows) {
  beginResetModel();
  rows_.clear();
  rows_.resize(static_cast<std::size_t>(std::max(gridRows, 1) - 1));
  endResetModel();
}

void LogModel::setGridRowCount(int gridRows) {
  const int want = std::max(gridRows, 1) - 1;
  const int have = static_cast<int>(rows_.size());
  if (want > have) {
    beginInsertRows(QModelIndex(), have, want - 1);
    rows_.resize(static_cast<std::size_t>(want));
    endInsertRows();
  } else if (want < have) {
    beginRemoveRows(QModelIndex(), want, have - 1);
    rows_.resize(static_cast<std::size_t>(want));
    endRemoveRows();
  }
}

bool LogModel::validCell(int gridRow, int col) const {
  return gridRow >= 1 && gridRow < gridRowCount() && col >= 0 && col < kLogColumns;
}

QByteArrayView LogModel::cellBytes(const Row& row, int col) {
  const int begin = col == 0 ? 0 : row.end[col - 1];
  return QByteArrayView(row.text).sliced(begin, row.end[col] - begin);
}

void LogModel::putCell(Row& row, int col, const QString& text) {
  const int begin = col == 0 ? 0 : row.end[col - 1];
  const int oldLen = row.end[col] - begin;
  QByteArray bytes = text.toUtf8();
  // Offsets are 16-bit: a row holds at most 65535 bytes, far more than any reading.
  const int room = std::numeric_limits<std::uint16_t>::max() - (row.text.size() - oldLen);
  if (bytes.size() > room) bytes.truncate(room);
  row.text.replace(begin, oldLen, bytes);
  const int delta = static_cast<int>(bytes.size()) - oldLen;
  for (int c = col; c < kLogColumns; ++c) row.end[c] = static_cast<std::uint16_t>(row.end[c] + delta);
  if (row.text.isEmpty()) row.text = QByteArray();  // give the buffer back
}

void LogModel::emitRowChanged(int gridRow, int firstCol, int lastCol) {
  emit dataChanged(index(gridRow - 1, firstCol), index(gridRow - 1, lastCol), {Qt::DisplayRole, VerdictRole});
}

QString LogModel::cell(int gridRow, int col) const {
  if (!validCell(gridRow, col)) return {};
  return QString::fromUtf8(cellBytes(rows_[static_cast<std::size_t>(gridRow - 1)], col));
}

void LogModel::setCell(int gridRow, int col, const QString& text) {
  if (!validCell(gridRow, col)) return;
  Row& row = rows_[static_cast<std::size_t>(gridRow - 1)];
  putCell(row, col, text);
  if (col == kMarkColumn) row.mark = RowMark::None;  // not a reading's verdict
  // Column 7 decides the colours of 8 and 9 as well.
  emitRowChanged(gridRow, col, col == kMarkColumn ? kLogColumns - 1 : col);
}

void LogModel::setRowTexts(int gridRow, const GridRowTexts& texts) {
  if (!validCell(gridRow, 0)) return;
  Row& row = rows_[static_cast<std::size_t>(gridRow - 1)];
  for (int c = 0; c < kLogColumns; ++c)
    if (!texts[c].isNull()) putCell(row, c, texts[c]);
  if (!texts[kMarkColumn].isNull()) row.mark = RowMark::None;
  emitRowChanged(gridRow, 0, kLogColumns - 1);
}

void LogModel::clearRow(int gridRow) {
  if (!validCell(gridRow, 0)) return;
  rows_[static_cast<std::size_t>(gridRow - 1)] = Row{};
  emitRowChanged(gridRow, 0, kLogColumns - 1);
}

QString LogModel::header(int col) const { return (col >= 0 && col < kLogColumns) ? headers_[col] : QString(); }

void LogModel::setHeader(int col, const QString& text) {
  if (col < 0 || col >= kLogColumns || headers_[col] == text) return;
  headers_[col] = text;
  emit headerDataChanged(Qt::Horizontal, col, col);
}

void LogModel::writeReading(int gridRow, const LogReading& r) {
  if (!validCell(gridRow, 0)) return;
  Row& row = rows_[static_cast<std::size_t>(gridRow - 1)];
  putCell(row, 0, r.position);
  if (r.time) putCell(row, 1, *r.time);
  putCell(row, 2, r.primary);
  putCell(row, 3, r.secondary);
  putCell(row, 4, r.circuit);
  putCell(row, 5, r.frequency);
  putCell(row, 6, r.level);
  if (r.primaryOn || r.secondaryOn) {
    putCell(row, kMarkColumn, r.mark);
    row.mark = r.sortResult != 0 ? RowMark::Reject : RowMark::Pass;
    row.verdict = static_cast<std::int8_t>(std::clamp<std::int32_t>(r.sortResult, -128, 127));
  }
  putCell(row, kPrimaryDeviationColumn, r.primaryOn ? r.primaryDeviation : QString());
  putCell(row, kSecondaryDeviationColumn, r.secondaryOn ? r.secondaryDeviation : QString());
  emitRowChanged(gridRow, 0, kLogColumns - 1);
}

std::int32_t LogModel::rowVerdict(int gridRow) const {
  return validCell(gridRow, 0) ? rows_[static_cast<std::size_t>(gridRow - 1)].verdict : 0;
}

LogModel::RowMark LogModel::rowMark(int gridRow) const {
  return validCell(gridRow, 0) ? rows_[static_cast<std::size_t>(gridRow - 1)].mark : RowMark::None;
}

LogModel::StoredRow LogModel::storedRow(int gridRow) const {
  StoredRow s;
  s.gridRow = gridRow;
  for (int c = 0; c < kLogColumns; ++c) s.texts[c] = cell(gridRow, c);
  s.mark = rowMark(gridRow);
  s.verdict = rowVerdict(gridRow);
  return s;
}

LogModel::StoredRow LogModel::rowAfterReading(int gridRow, const LogReading& r) const {
  // The same choices as writeReading, made on a copy.
  StoredRow s = storedRow(gridRow);
  s.texts[0] = r.position;
  if (r.time) s.texts[1] = *r.time;
  s.texts[2] = r.primary;
  s.texts[3] = r.secondary;
  s.texts[4] = r.circuit;
  s.texts[5] = r.frequency;
  s.texts[6] = r.level;
  if (r.primaryOn || r.secondaryOn) {
    s.texts[kMarkColumn] = r.mark;
    s.mark = r.sortResult != 0 ? RowMark::Reject : RowMark::Pass;
    s.verdict = std::clamp<std::int32_t>(r.sortResult, -128, 127);
  }
  s.texts[kPrimaryDeviationColumn] = r.primaryOn ? r.primaryDeviation : QString();
  s.texts[kSecondaryDeviationColumn] = r.secondaryOn ? r.secondaryDeviation : QString();
  return s;
}

void LogModel::putRows(const std::vector<StoredRow>& rows) {
  beginResetModel();
  for (const StoredRow& s : rows) {
    if (!validCell(s.gridRow, 0)) continue;
    Row& row = rows_[static_cast<std::size_t>(s.gridRow - 1)];
    row = Row{};
    for (int c = 0; c < kLogColumns; ++c) putCell(row, c, s.texts[c]);
    row.mark = s.mark;
    row.verdict = static_cast<std::int8_t>(std::clamp<std::int32_t>(s.verdict, -128, 127));
  }
  endResetModel();
}

LogModel::CellVerdict LogModel::cellVerdict(int gridRow, int col) const {
  if (!validCell(gridRow, col) || col < kMarkColumn) return CellVerdict::None;
  const Row& row = rows_[static_cast<std::size_t>(gridRow - 1)];
  if (row.mark == RowMark::Reject) {
    const int v = row.verdict;
    if (col == kMarkColumn) return CellVerdict::Reject;
    if (col == kPrimaryDeviationColumn && (v == 1 || v == 3)) return CellVerdict::Reject;
    if (col == kSecondaryDeviationColumn && (v == 2 || v == 3)) return CellVerdict::Reject;
    return CellVerdict::None;
  }
  if (col == kMarkColumn && row.mark == RowMark::Pass) return CellVerdict::Pass;
  return CellVerdict::None;
}

}  // namespace zt
