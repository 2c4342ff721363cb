#include "log_verdict_delegate.h"

namespace zt {

QColor VerdictColour(LogModel::CellVerdict verdict) {
  switch (verdict) {
    case LogModel::CellVerdict::Reject: return kRejectColour;
    case LogModel::CellVerdict::Pass: return kPassColour;
    case LogModel::CellVerdict::None: break;
  }
  return {};
}

void LogVerdictDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const {
  QStyledItemDelegate::initStyleOption(option, index);
  const QVariant v = index.data(LogModel::VerdictRole);
  if (!v.isValid()) return;
  const QColor c = VerdictColour(static_cast<LogModel::CellVerdict>(v.toInt()));
  if (c.isValid()) option->backgroundBrush = c;
}

}  // namespace zt
