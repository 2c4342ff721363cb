// Region: the function strip over the display (JvPanel5).
#include "form_build.h"
#include "ui_constants.h"

namespace zt::form {

void BuildFunctionStrip(FormControls& c, QWidget* parent, QBoxLayout* layout) {
  c.JvPanel5 = MakePanel(parent, "JvPanel5");
  c.JvPanel5->setFixedHeight(ui::kStripHeight);
  layout->addWidget(c.JvPanel5);
  auto* strip = new QHBoxLayout(c.JvPanel5);
  strip->setContentsMargins(2, 2, 2, 2);
  strip->setSpacing(4);

  // The meter's function buttons.
  c.JvPanel1 = MakePanel(c.JvPanel5, "JvPanel1");
  strip->addWidget(c.JvPanel1, 1);
  auto* btnRow = new QHBoxLayout(c.JvPanel1);
  btnRow->setContentsMargins(0, 0, 0, 0);
  btnRow->setSpacing(3);
  c.SP4 = MakeButton(c.JvPanel1, "SP4", QStringLiteral("Яркость"), true);
  c.SP4->setChecked(true);
  c.SP3 = MakeButton(c.JvPanel1, "SP3", QStringLiteral("Захват"), true);
  c.SP2 = MakeButton(c.JvPanel1, "SP2", QStringLiteral("Звук"), true);
  c.SBe1 = MakeButton(c.JvPanel1, "SBe1", QStringLiteral("По умолчанию"));
  for (auto* b : {c.SP4, c.SP3, c.SP2, c.SBe1}) btnRow->addWidget(b);
  // LangCombo1 and SP5 share one place at the strip's right end.
  auto* shared = new QWidget(c.JvPanel1);
  shared->setObjectName(QStringLiteral("LangPlace"));
  auto* sharedGrid = new QGridLayout(shared);
  sharedGrid->setContentsMargins(0, 0, 0, 0);
  c.LangCombo1 = MakeCombo(shared, "LangCombo1", {QStringLiteral("Русский")});
  c.LangCombo1->setMinimumWidth(110);
  c.SP5 = MakeButton(shared, "SP5", QStringLiteral("Выключить"));
  c.SP5->hide();
  sharedGrid->addWidget(c.LangCombo1, 0, 0);
  sharedGrid->addWidget(c.SP5, 0, 0);
  btnRow->addWidget(shared);

  // The connect panel.
  c.P_connect = MakePanel(c.JvPanel5, "P_connect", true);
  strip->addWidget(c.P_connect);
  auto* conn = new QHBoxLayout(c.P_connect);
  conn->setContentsMargins(3, 1, 3, 1);
  conn->setSpacing(4);
  c.B2 = MakeButton(c.P_connect, "B2", QStringLiteral("Подключить"));
  c.B2->setMinimumWidth(110);
  c.CheckBox_connect_auto = Make<QCheckBox>(c.P_connect, "CheckBox_connect_auto");
  c.CheckBox_connect_auto->setText(QStringLiteral("Авто"));
  c.CheckBox_connect_auto->setChecked(false);
  conn->addWidget(c.B2);
  conn->addWidget(c.CheckBox_connect_auto);
}

}  // namespace zt::form
