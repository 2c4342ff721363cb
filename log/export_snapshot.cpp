#include "export_snapshot.h"

#include <QDateTime>

#include <cstring>

#include "log_model.h"

namespace zt {

int ExportRowCount(bool logReady, bool multiPart, int logPosition, int profileCount) {
  if (!logReady) return 0;
  if (multiPart) return profileCount < 0 ? 1 : profileCount + 1;
  return logPosition < 0 ? 0 : logPosition;
}

ExportValues MakeExportValues(const Lexicons& lex) {
  ExportValues v;
  auto at = [&v](ValueColumn c) -> QString& { return v.headings[static_cast<size_t>(c)]; };
  at(ValueColumn::Position) = lex.D2[1];
  at(ValueColumn::Time) = lex.D2[2];
  at(ValueColumn::Primary) = lex.D4[msg::kValuesPrimary];
  at(ValueColumn::PrimaryValue) = lex.D4[msg::kValuesPrimaryValue];
  at(ValueColumn::PrimaryUnit) = lex.D4[msg::kValuesPrimaryUnit];
  at(ValueColumn::Secondary) = lex.D4[msg::kValuesSecondary];
  at(ValueColumn::SecondaryValue) = lex.D4[msg::kValuesSecondaryValue];
  at(ValueColumn::SecondaryUnit) = lex.D4[msg::kValuesSecondaryUnit];
  at(ValueColumn::Frequency) = lex.D4[msg::kValuesFrequency];
  at(ValueColumn::Level) = lex.D4[msg::kValuesLevel];
  at(ValueColumn::Reject) = lex.D2[8];  // the grid's reject column: 1 for a reject
  for (int k = 0; k < kQuantityKinds; ++k) v.units[static_cast<size_t>(k)] = QuantityUnit(Quantity(k), lex);
  return v;
}

ExportValueRow ValueRowOf(const BatchSample& s) {
  ExportValueRow r;
  r.position = s.position;
  if (s.timeMs != 0) {
    // Spreadsheet dates count days from 1899-12-30 in local time.
    const QDateTime t = QDateTime::fromMSecsSinceEpoch(s.timeMs);
    const double localMs = static_cast<double>(s.timeMs) + 1000.0 * t.offsetFromUtc();
    r.time = localMs / 86'400'000.0 + 25'569.0;  // 1970-01-01 is day 25569
  }
  r.primaryKind = s.kind;
  r.primary = s.primary;
  r.secondaryKind = s.secondaryKind;
  r.secondary = s.secondary;
  r.frequencyHz = s.frequencyHz;
  r.levelV = s.levelV;
  r.reject = s.sorted() || s.rejected() ? (s.rejected() ? 1 : 0) : -1;
  return r;
}

QString QuantityLetter(Quantity kind) {
  switch (kind) {
    case Quantity::Resistance: return QStringLiteral("R");
    case Quantity::Capacitance: return QStringLiteral("C");
    case Quantity::Inductance: return QStringLiteral("L");
    case Quantity::Impedance: return QStringLiteral("Z");
    case Quantity::QualityFactor: return QStringLiteral("Q");
    case Quantity::DissipationFactor: return QStringLiteral("D");
    case Quantity::PhaseAngle: return QStringLiteral("θ");
    case Quantity::None: break;
  }
  return QString();
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
