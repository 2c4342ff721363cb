// Region: the log grid (SG in Panel10) and the floating model chooser (P16).
#include <QHeaderView>

#include "form_build.h"
#include "ui_constants.h"

namespace zt::form {

void BuildGrid(FormControls& c, QWidget* parent, QBoxLayout* layout) {
  c.Panel10 = MakePanel(parent, "Panel10");
  layout->addWidget(c.Panel10, 1);
  auto* p10 = new QVBoxLayout(c.Panel10);
  p10->setContentsMargins(0, 0, 0, 0);
  c.SG = Make<QTableView>(c.Panel10, "SG");
  c.SG->setFont(PixelFont(16, true));
  c.SG->setShowGrid(true);
  c.SG->verticalHeader()->hide();
  c.SG->horizontalHeader()->setDefaultSectionSize(ui::kGridColumnWidth);
  c.SG->verticalHeader()->setDefaultSectionSize(22);
  p10->addWidget(c.SG);
}

void BuildModelPanel(FormControls& c, QWidget* window) {
  c.P16 = MakePanel(window, "P16", true);
  c.P16->setAutoFillBackground(true);
  c.P16->setGeometry(ui::kClientWidth - 134 - 184, 45, 134, 119);
  auto* p16 = new QVBoxLayout(c.P16);
  p16->setContentsMargins(3, 3, 3, 3);
  c.RG1 = Make<QGroupBox>(c.P16, "RG1");
  c.RG1->setTitle(QStringLiteral("Прибор"));
  p16->addWidget(c.RG1);
  auto* rg = new QVBoxLayout(c.RG1);
  c.RB1 = Make<QRadioButton>(c.RG1, "RB1");
  c.RB1->setText(QStringLiteral("ЗТ40"));
  c.RB1->setChecked(true);
  c.RB2 = Make<QRadioButton>(c.RG1, "RB2");
  c.RB2->setText(QStringLiteral("ЗТ41"));
  c.RB3 = Make<QRadioButton>(c.RG1, "RB3");
  c.RB3->setText(QStringLiteral("ЗТ42"));
  rg->addWidget(c.RB1);
  rg->addWidget(c.RB2);
  rg->addWidget(c.RB3);
  c.P16->hide();
}

}  // namespace zt::form
