#pragma once
// The sorting statistics as a table: one row per statistic, one column per
// group of rows (the single-part log, or all profiles and then each
// profile of the multi-part table). Each cell carries the text a window
// shows and, for numbers, the value itself (SI units) for a spreadsheet.
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

#include "batch_stats.h"
#include "format.h"
#include "lexicons.h"

namespace zt {

struct StatsCell {
  QString text;              // as shown: prefixes and units like the panel's; empty when there is none
  double number = kNoValue;  // the value in SI units; NaN for a text-only or empty cell
  bool numeric() const;
};

struct StatsTable {
  QStringList rowNames;                       // the statistics (D5 kCount to kCpk)
  QStringList columnNames;                    // the groups
  std::vector<std::vector<StatsCell>> cells;  // [row][column]

  int rowCount() const { return static_cast<int>(rowNames.size()); }
  int columnCount() const { return static_cast<int>(columnNames.size()); }
  const StatsCell& cell(int row, int col) const;
};

// Rows of the table, in order.
enum class StatsRow : int {
  Count,
  Passed,
  RejectedPrimary,
  RejectedSecondary,
  Unevaluable,
  Yield,
  Values,
  Unit,
  Mean,
  Sd,
  Min,
  Max,
  Lower,
  Upper,
  Cp,
  Cpk,
};
inline constexpr int kStatsRows = static_cast<int>(StatsRow::Cpk) + 1;

struct StatsColumn {
  QString name;
  BatchSummary summary;
};

// The unit of a quantity in the language in use ("Ом"/"Ω", "Гн", "Ф", "°",
// nothing for Q and D).
QString QuantityUnit(Quantity kind, const Lexicons& lex);

// A value of a quantity as the panel writes it: five significant digits,
// the metric prefix by magnitude, the unit; a sign in front of a negative
// value.
QString FormatQuantity(double value, Quantity kind, const Lexicons& lex, const Separators& sep);

StatsTable MakeStatsTable(const std::vector<StatsColumn>& columns, const Lexicons& lex, const Separators& sep);

// The table of a log's statistics: the single-part log's one column, or in
// the multi-part table all profiles and then each profile holding a row,
// named by `groupName(profile)`.
StatsTable MakeStatsTable(const BatchStats& stats, bool multiPart, const std::function<QString(int group)>& groupName,
                          const Lexicons& lex, const Separators& sep);

}  // namespace zt
