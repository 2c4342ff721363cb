#pragma once
// Paints the sorting columns of the log grid: the model tells each cell's
// verdict (reject, pass or none), this delegate gives it its colour.
#include <QColor>
#include <QStyledItemDelegate>

#include "log_model.h"

namespace zt {

inline const QColor kRejectColour{255, 0, 0};
inline const QColor kPassColour{0, 128, 0};

// The background of a cell with that verdict; an invalid colour keeps the
// grid's own background.
QColor VerdictColour(LogModel::CellVerdict verdict);

// No Q_OBJECT: it has no signals or slots of its own.
class LogVerdictDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  // Public so that tests can see what a cell will be painted with.
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
};

}  // namespace zt
