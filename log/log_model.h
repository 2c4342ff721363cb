#pragma once
// The log grid's data: ten columns, one heading row and up to 100,000 reading
// rows, kept compact (one UTF-8 buffer per row) so a full log stays light.
//
// Rows are addressed in grid rows, as the window counts them: grid row 0 is
// the heading row, shown by the view's horizontal header (headerData), and
// grid row p >= 1 is model row p - 1. gridRowCount() counts the heading row,
// so a grid of 16 rows is a model of 15.
#include <QAbstractTableModel>
#include <QByteArray>
#include <array>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

#include "grid_row.h"

namespace zt {

// The texts of one reading, as the log writes them.
struct LogReading {
  QString position;             // column 0
  std::optional<QString> time;  // column 1; left as it is when empty (the profile name in multi-part mode)
  QString primary;              // column 2
  QString secondary;            // column 3
  QString circuit;              // column 4
  QString frequency;            // column 5
  QString level;                // column 6
  bool primaryOn = false;       // the primary tolerance is switched on
  bool secondaryOn = false;
  QString mark;                 // reject or pass mark for column 7, written when a tolerance is on
                                // (sortResult != 0 is a reject)
  QString primaryDeviation;     // column 8 when primaryOn
  QString secondaryDeviation;   // column 9 when secondaryOn
  std::int32_t sortResult = 0;  // the verdict the row is painted with
};

class LogModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  static constexpr int kMarkColumn = 7;
  static constexpr int kPrimaryDeviationColumn = 8;
  static constexpr int kSecondaryDeviationColumn = 9;

  // How a cell of the sorting columns (7 to 9) is to be painted. The view
  // picks the colours; the model only says what the row's verdict means for
  // that cell.
  enum class CellVerdict : int { None = 0, Reject = 1, Pass = 2 };
  // data() answers this role with a CellVerdict (as int) for every cell.
  static constexpr int VerdictRole = Qt::UserRole + 1;

  // What the text of a row's column 7 stands for: the mark of a reading
  // that was sorted (reject or pass), or any other text (none: no tolerance
  // was on yet, a profile table's interval, a cleared cell).
  enum class RowMark : std::uint8_t { None = 0, Reject = 1, Pass = 2 };

  // One row whole: its ten texts and how its sorting cells are painted. The
  // journal keeps rows in this form and puts them back with it.
  struct StoredRow {
    int gridRow = 0;
    GridRowTexts texts;
    RowMark mark = RowMark::None;
    std::int32_t verdict = 0;  // the sort result a reject mark stands for

    bool operator==(const StoredRow&) const = default;
  };

  explicit LogModel(QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

  // Grid rows including the heading row (at least 1).
  int gridRowCount() const { return static_cast<int>(rows_.size()) + 1; }
  // `gridRows` rows, all reading rows empty; the headings stay.
  void resetGrid(int gridRows);
  // Grows with empty rows or drops rows from the end.
  void setGridRowCount(int gridRows);

  QString cell(int gridRow, int col) const;
  void setCell(int gridRow, int col, const QString& text);
  // Writes the non-null texts of `texts` into the row (null texts are left as they are).
  void setRowTexts(int gridRow, const GridRowTexts& texts);
  // Empties all ten cells of a row and forgets its verdict.
  void clearRow(int gridRow);

  QString header(int col) const;
  void setHeader(int col, const QString& text);

  // Writes a reading into a row: columns 0-6, then the mark and deviations
  // by which tolerances are on. The row keeps its own verdict for painting:
  // whether its mark means reject or pass, and which parameters were out.
  // The painting never depends on the mark's text, which stays in the
  // language it was written in while the program may have switched to
  // another.
  void writeReading(int gridRow, const LogReading& r);
  std::int32_t rowVerdict(int gridRow) const;
  RowMark rowMark(int gridRow) const;

  // The row as writeReading(gridRow, r) would leave it, without writing it.
  StoredRow rowAfterReading(int gridRow, const LogReading& r) const;
  // The row as it stands (empty texts outside the grid).
  StoredRow storedRow(int gridRow) const;
  // Puts rows back as they were logged, in one go (one model reset: a view
  // of a long log redraws once). Rows outside the grid are left out.
  void putRows(const std::vector<StoredRow>& rows);

  // A reject row: its mark cell, and the deviation cells of the parameters
  // that were out. A pass row: its mark cell. Anything else: None (also a
  // text put into column 7 by other means, such as the profile table's).
  CellVerdict cellVerdict(int gridRow, int col) const;

 private:
  struct Row {
    QByteArray text;                               // the cells' UTF-8 bytes, one after another
    std::array<std::uint16_t, kLogColumns> end{};  // end offset of each cell in `text`
    std::int8_t verdict = 0;
    RowMark mark = RowMark::None;
  };

  bool validCell(int gridRow, int col) const;
  static QByteArrayView cellBytes(const Row& row, int col);
  static void putCell(Row& row, int col, const QString& text);
  void emitRowChanged(int gridRow, int firstCol, int lastCol);

  std::deque<Row> rows_;
  std::array<QString, kLogColumns> headers_;
};

}  // namespace zt
