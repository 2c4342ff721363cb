#include "stats_table.h"

#include <cmath>

namespace zt {

namespace {

StatsCell Text(const QString& text) { return {text, kNoValue}; }

StatsCell Integer(int n) { return {QString::number(n), static_cast<double>(n)}; }

StatsCell Fixed(double x, int precision, int decimals, const Separators& sep) {
  if (!std::isfinite(x)) return Text(QString());
  return {FormatFixed(x, precision, decimals, false, sep), x};
}

StatsCell Value(double x, Quantity kind, const Lexicons& lex, const Separators& sep) {
  if (!std::isfinite(x)) return Text(QString());
  return {FormatQuantity(x, kind, lex, sep), x};
}

std::vector<StatsCell> Column(const BatchSummary& s, const Lexicons& lex, const Separators& sep) {
  std::vector<StatsCell> c(kStatsRows);
  auto at = [&c](StatsRow r) -> StatsCell& { return c[static_cast<size_t>(r)]; };
  at(StatsRow::Count) = Integer(s.count);
  at(StatsRow::Passed) = s.sorted > 0 ? Integer(s.passed) : Text(QString());
  at(StatsRow::RejectedPrimary) = Integer(s.rejectedPrimary);
  at(StatsRow::RejectedSecondary) = Integer(s.rejectedSecondary);
  at(StatsRow::Unevaluable) = Integer(s.unevaluable);
  at(StatsRow::Yield) = Fixed(s.yield, 4, 1, sep);
  at(StatsRow::Values) = Integer(s.values);
  at(StatsRow::Unit) = Text(s.kind == Quantity::None ? QString() : QuantityUnit(s.kind, lex));
  at(StatsRow::Mean) = Value(s.mean, s.kind, lex, sep);
  at(StatsRow::Sd) = Value(s.sd, s.kind, lex, sep);
  at(StatsRow::Min) = Value(s.min, s.kind, lex, sep);
  at(StatsRow::Max) = Value(s.max, s.kind, lex, sep);
  // The band is shown with the values it bounds.
  const bool ownBand = s.limits.kind != Quantity::None && s.limits.kind == s.kind;
  at(StatsRow::Lower) = ownBand ? Value(s.limits.lower, s.kind, lex, sep) : Text(QString());
  at(StatsRow::Upper) = ownBand ? Value(s.limits.upper, s.kind, lex, sep) : Text(QString());
  at(StatsRow::Cp) = Fixed(s.cp, 4, 2, sep);
  at(StatsRow::Cpk) = Fixed(s.cpk, 4, 2, sep);
  return c;
}

}  // namespace

bool StatsCell::numeric() const { return std::isfinite(number); }

const StatsCell& StatsTable::cell(int row, int col) const {
  static const StatsCell empty;
  if (row < 0 || row >= static_cast<int>(cells.size())) return empty;
  const auto& r = cells[static_cast<size_t>(row)];
  return col >= 0 && col < static_cast<int>(r.size()) ? r[static_cast<size_t>(col)] : empty;
}

QString QuantityUnit(Quantity kind, const Lexicons& lex) {
  switch (kind) {
    case Quantity::Resistance:
    case Quantity::Impedance: return OhmSign(lex);
    case Quantity::Inductance: return lex.Dlang3[4];
    case Quantity::Capacitance: return lex.Dlang3[5];
    case Quantity::PhaseAngle: return QStringLiteral("°");
    default: return QString();
  }
}

QString FormatQuantity(double value, Quantity kind, const Lexicons& lex, const Separators& sep) {
  const QString unit = QuantityUnit(kind, lex);
  const QString sign = value < 0 ? QStringLiteral("-") : QString();
  const double x = std::fabs(value);
  switch (kind) {
    case Quantity::Resistance:
    case Quantity::Impedance:
    case Quantity::Inductance:
    case Quantity::Capacitance:
      if (x == 0) break;
      return sign + FormatPrefixed(x, kind == Quantity::Inductance ? 1 : 0, 0, TextEnv{lex, sep}) + unit;
    default: break;
  }
  const QString number = sign + FormatFixed(x, 5, 4, false, sep);
  return unit.isEmpty() ? number : number + QLatin1Char(' ') + unit;
}

StatsTable MakeStatsTable(const std::vector<StatsColumn>& columns, const Lexicons& lex, const Separators& sep) {
  StatsTable t;
  for (int r = 0; r < kStatsRows; ++r) t.rowNames << lex.D5[chart::kCount + r];
  t.cells.assign(kStatsRows, {});
  for (const StatsColumn& col : columns) {
    t.columnNames << col.name;
    const std::vector<StatsCell> c = Column(col.summary, lex, sep);
    for (int r = 0; r < kStatsRows; ++r) t.cells[static_cast<size_t>(r)].push_back(c[static_cast<size_t>(r)]);
  }
  return t;
}

StatsTable MakeStatsTable(const BatchStats& stats, bool multiPart, const std::function<QString(int)>& groupName,
                          const Lexicons& lex, const Separators& sep) {
  std::vector<StatsColumn> columns;
  if (!multiPart) {
    columns.push_back({lex.D5[chart::kLog], stats.summary(0)});
  } else {
    columns.push_back({lex.D5[chart::kAllProfiles], stats.total()});
    for (const int g : stats.groups())
      columns.push_back({groupName ? groupName(g) : QString::number(g), stats.summary(g)});
  }
  return MakeStatsTable(columns, lex, sep);
}

}  // namespace zt
