// Log grid and recording.
#include <QStandardItemModel>

#include "main.h"
#include "ui_constants.h"

namespace zt {

void TForm1::ConnectLogSignals() {}

// Until sorting is wired in, every reading passes.
std::int32_t TForm1::CheckTolerance() { return 0; }
void TForm1::AppendLogRow() {}

void TForm1::ShowLogHeaders() {
  auto* model = qobject_cast<QStandardItemModel*>(SG->model());
  if (!model) {
    model = new QStandardItemModel(ui::kGridRows - 1, ui::kGridColumns, SG);
    SG->setModel(model);
  }
  model->clear();
  model->setColumnCount(ui::kGridColumns);
  model->setRowCount(ui::kGridRows - 1);
  for (int c = 0; c < ui::kGridColumns; ++c) model->setHorizontalHeaderItem(c, new QStandardItem(lex().D2[c + 1]));
}

}  // namespace zt
