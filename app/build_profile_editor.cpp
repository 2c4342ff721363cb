// Region: the reference-profile editor (Panel7) on the left of the band.
#include "form_build.h"
#include "ui_constants.h"

namespace zt::form {

namespace {

const QStringList& Tolerances() {
  static const QStringList t = {QStringLiteral("выкл."), QStringLiteral("0,2%"), QStringLiteral("0,3%"),
                                QStringLiteral("0,5%"),  QStringLiteral("1%"),   QStringLiteral("2%"),
                                QStringLiteral("3%"),    QStringLiteral("5%"),   QStringLiteral("10%"),
                                QStringLiteral("20%"),   QStringLiteral(">"),    QStringLiteral("<")};
  return t;
}

QLineEdit* MakeNominal(QWidget* parent, const char* name) {
  auto* e = Make<QLineEdit>(parent, name);
  e->setText(QStringLiteral("10000"));
  e->setMaxLength(ui::kNominalTypedMax);
  e->setFixedWidth(60);
  return e;
}

QComboBox* MakeTolerance(QWidget* parent, const char* name) {
  QComboBox* box = MakeCombo(parent, name, Tolerances());
  box->setMinimumWidth(ui::kToleranceBoxWidth);
  return box;
}

// Kind, tolerance, nominal value and the three unit boxes sharing one place.
void BuildPrimary(FormControls& c, QGridLayout* ed) {
  c.Panel8 = MakePanel(c.Panel7, "Panel8");
  auto* g8 = new QHBoxLayout(c.Panel8);
  g8->setContentsMargins(0, 0, 0, 0);
  g8->setSpacing(2);
  c.CBox2 = MakeCombo(c.Panel8, "CBox2", {QStringLiteral("R"), QStringLiteral("L"), QStringLiteral("C")});
  c.CBox5 = MakeTolerance(c.Panel8, "CBox5");
  c.E2 = MakeNominal(c.Panel8, "E2");
  auto* unitPlace = new QWidget(c.Panel8);
  auto* unitGrid = new QGridLayout(unitPlace);
  unitGrid->setContentsMargins(0, 0, 0, 0);
  c.CBox1 = MakeCombo(unitPlace, "CBox1", {QStringLiteral("Ом"), QStringLiteral("кОм"), QStringLiteral("МОм")});
  c.CBox3 = MakeCombo(unitPlace, "CBox3", {QStringLiteral("мкГн"), QStringLiteral("мГн"), QStringLiteral("Гн")});
  c.CBox4 = MakeCombo(unitPlace, "CBox4", {QStringLiteral("рФ"), QStringLiteral("нФ"), QStringLiteral("мкФ")});
  unitGrid->addWidget(c.CBox1, 0, 0);
  unitGrid->addWidget(c.CBox3, 0, 0);
  unitGrid->addWidget(c.CBox4, 0, 0);
  c.CBox3->hide();
  c.CBox4->hide();
  for (QWidget* w :
       {static_cast<QWidget*>(c.CBox2), static_cast<QWidget*>(c.CBox5), static_cast<QWidget*>(c.E2), unitPlace})
    g8->addWidget(w);
  ed->addWidget(c.Panel8, 1, 0, 1, 3);
}

void BuildSecondary(FormControls& c, QGridLayout* ed) {
  c.Panel11 = MakePanel(c.Panel7, "Panel11");
  auto* g11 = new QHBoxLayout(c.Panel11);
  g11->setContentsMargins(0, 0, 0, 0);
  g11->setSpacing(2);
  c.CBox11 = MakeCombo(c.Panel11, "CBox11", {QStringLiteral("R"), QStringLiteral("Q"), QStringLiteral("D")});
  c.CBox51 = MakeTolerance(c.Panel11, "CBox51");
  c.E11 = MakeNominal(c.Panel11, "E11");
  c.CBox31 = MakeCombo(c.Panel11, "CBox31", {QStringLiteral("Ом"), QStringLiteral("кОм"), QStringLiteral("МОм")});
  for (QWidget* w : {static_cast<QWidget*>(c.CBox11), static_cast<QWidget*>(c.CBox51), static_cast<QWidget*>(c.E11),
                     static_cast<QWidget*>(c.CBox31)})
    g11->addWidget(w);
  ed->addWidget(c.Panel11, 1, 3, 1, 3);
}

}  // namespace

void BuildProfileEditor(FormControls& c, QWidget* parent, QGridLayout* band) {
  c.Panel7 = MakePanel(parent, "Panel7", true);
  c.Panel7->setFixedWidth(ui::kEditorWidth);
  band->addWidget(c.Panel7, 1, 0);
  auto* ed = new QGridLayout(c.Panel7);
  ed->setContentsMargins(3, 3, 3, 3);
  ed->setHorizontalSpacing(3);
  ed->setVerticalSpacing(3);

  // Record commands, the profile number and its name.
  c.BB1 = MakeButton(c.Panel7, "BB1", QStringLiteral("Запись"));
  c.Button_DEL = MakeButton(c.Panel7, "Button_DEL", QStringLiteral("Удалить"));
  c.Button_Add = MakeButton(c.Panel7, "Button_Add", QStringLiteral("Добавить"));
  c.SE2 = Make<QSpinBox>(c.Panel7, "SE2");
  c.SE2->setRange(1, 2);
  c.SE2->setValue(1);
  c.CBox6 = MakeCombo(c.Panel7, "CBox6", {}, true);
  c.CBox6->setEditText(QStringLiteral("R1"));
  c.CBox6->lineEdit()->setMaxLength(18);
  c.CBox6->setMaxVisibleItems(20);
  c.CBox6->setMinimumWidth(110);
  c.BB2 = MakeButton(c.Panel7, "BB2", QStringLiteral("Чтение"));
  c.BB2->hide();
  ed->addWidget(c.BB1, 0, 0);
  ed->addWidget(c.Button_DEL, 0, 1);
  ed->addWidget(c.Button_Add, 0, 2);
  ed->addWidget(c.SE2, 0, 3);
  ed->addWidget(c.CBox6, 0, 4, 1, 2);

  BuildPrimary(c, ed);
  BuildSecondary(c, ed);
  ed->addWidget(c.BB2, 0, 6);
}

}  // namespace zt::form
