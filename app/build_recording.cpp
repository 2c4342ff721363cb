// Region: the recording controls (Panel2) on the right of the band.
#include "form_build.h"

namespace zt::form {

void BuildRecordingBand(FormControls& c, QWidget* parent, QGridLayout* band) {
  c.Panel2 = MakePanel(parent, "Panel2");
  band->addWidget(c.Panel2, 1, 1);
  auto* p2 = new QHBoxLayout(c.Panel2);
  p2->setContentsMargins(0, 0, 0, 0);
  c.Panel13 = MakePanel(c.Panel2, "Panel13", true);
  p2->addWidget(c.Panel13);
  auto* rec = new QGridLayout(c.Panel13);
  rec->setContentsMargins(4, 3, 4, 3);
  rec->setHorizontalSpacing(6);
  rec->setVerticalSpacing(0);
  auto* lStart1 = MakeLabel(c.Panel13, "Label_start1", QStringLiteral("Начальная"));
  auto* lStart2 = MakeLabel(c.Panel13, "Label_start2", QStringLiteral("позиция"));
  c.SE1 = Make<QSpinBox>(c.Panel13, "SE1");
  c.SE1->setRange(1, 100000);
  c.SE1->setValue(1);
  c.SE1->setMinimumWidth(80);
  auto* lInt1 = MakeLabel(c.Panel13, "Label_interval1", QStringLiteral("Интервал"));
  auto* lInt2 = MakeLabel(c.Panel13, "Label_interval2", QStringLiteral("записи"));
  c.CB1 = MakeCombo(c.Panel13, "CB1", {QStringLiteral("0.5с"), QStringLiteral("1с"), QStringLiteral("2с")});
  c.CB1->setCurrentIndex(1);
  c.SP1 = MakeButton(c.Panel13, "SP1", QStringLiteral("Пуск"), true);
  c.SP1->setFont(PixelFont(27, true));
  c.SP1->setMinimumSize(110, 56);
  c.Button4 = MakeButton(c.Panel13, "Button4", QStringLiteral("В файл EXCEL"));
  c.B5 = MakeButton(c.Panel13, "B5", QStringLiteral("Очистка"));
  rec->addWidget(lStart1, 0, 0);
  rec->addWidget(lStart2, 1, 0);
  rec->addWidget(c.SE1, 0, 1, 2, 1);
  rec->addWidget(lInt1, 0, 2);
  rec->addWidget(lInt2, 1, 2);
  rec->addWidget(c.CB1, 0, 3, 2, 1);
  rec->addWidget(c.SP1, 0, 4, 2, 1);
  rec->addWidget(c.Button4, 0, 5);
  rec->addWidget(c.B5, 1, 5);
  // The archive, chart and publishing buttons sit on the band's caption row, where
  // there is room.
  c.BChart = MakeButton(parent, "BChart", QStringLiteral("График"));
  c.BChart->setFixedHeight(20);
  c.BPublish = MakeButton(parent, "BPublish", QStringLiteral("MQTT"));
  c.BPublish->setFixedHeight(20);
  c.BArchive = MakeButton(parent, "BArchive", QStringLiteral("Архив"));
  c.BArchive->setFixedHeight(20);
  auto* extras = new QHBoxLayout;
  extras->setContentsMargins(0, 0, 0, 0);
  extras->setSpacing(4);
  extras->addWidget(c.BArchive);
  extras->addWidget(c.BChart);
  extras->addWidget(c.BPublish);
  band->addLayout(extras, 0, 1, Qt::AlignRight | Qt::AlignVCenter);
}

}  // namespace zt::form
