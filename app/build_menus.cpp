// Region: over the display panels, hidden at start: the sleep indicator and
// the six pop-up settings menus, each a title over a list.
#include "form_build.h"
#include "ui_constants.h"

namespace zt::form {

namespace {

QFrame* MakeChoicePanel(QWidget* parent, const char* panelName, const char* listName, const QString& title,
                        const QStringList& items, QListWidget** list) {
  QFrame* p = MakePanel(parent, panelName, true);
  p->setAutoFillBackground(true);
  auto* v = new QVBoxLayout(p);
  v->setContentsMargins(2, 2, 2, 2);
  v->setSpacing(1);
  QLabel* t = MakeLabel(p, (QByteArray(panelName) + "_title").constData(), title);
  v->addWidget(t);
  *list = Make<QListWidget>(p, listName);
  (*list)->addItems(items);
  (*list)->setMouseTracking(true);
  v->addWidget(*list);
  p->hide();
  return p;
}

}  // namespace

void BuildMenus(FormControls& c) {
  QWidget* area = c.DisplayArea;
  c.JP5 = MakeLabel(area, "JP5");
  c.JP5->setFont(PixelFont(ui::kSecondaryPx, true));
  c.JP5->setFrameShape(QFrame::Panel);
  c.JP5->setFrameShadow(QFrame::Raised);
  c.JP5->setAutoFillBackground(true);
  c.JP5->setAlignment(Qt::AlignCenter);
  c.JP5->setGeometry(180, 40, 240, 60);
  c.JP5->hide();

  c.P_prim_RLC = MakeChoicePanel(area, "P_prim_RLC", "ListBox_prim_RLC", QStringLiteral(" Основной параметр"),
                                 {QStringLiteral("Автовыбор"), QStringLiteral("R сопротивление"),
                                  QStringLiteral("C емкость"), QStringLiteral("L индуктивность"),
                                  QStringLiteral("Z импеданс"), QStringLiteral("С>0.5мкФ"), QStringLiteral("С>40.0мФ")},
                                 &c.ListBox_prim_RLC);
  c.P_prim_RLC->setGeometry(4, 2, 190, 145);
  c.P_sec_RLC = MakeChoicePanel(area, "P_sec_RLC", "ListBox_sec_RLC", QStringLiteral("Дополнительный параметр"),
                                {QStringLiteral("Автовыбор"), QStringLiteral("R сопротивление"),
                                 QStringLiteral("Q добротность"), QStringLiteral("D тангенс угла потерь")},
                                &c.ListBox_sec_RLC);
  c.P_sec_RLC->setGeometry(4, 40, 220, 105);
  c.P_ser_per = MakeChoicePanel(
      area, "P_ser_per", "ListBox_ser_per", QStringLiteral("Схема замещения"),
      {QStringLiteral("Автовыбор"), QStringLiteral("p-параллельная"), QStringLiteral("s- последовательная")},
      &c.ListBox_ser_per);
  c.P_ser_per->setGeometry(300, 50, 200, 95);
  c.P_level_RLC = MakeChoicePanel(
      area, "P_level_RLC", "ListBox_Level_RLC", QStringLiteral(" Уровень тестового сигнала"),
      {QStringLiteral("Автовыбор"), QStringLiteral(" 1.0Вскз"), QStringLiteral(" 0.5Вскз"), QStringLiteral(" 0.1Вскз")},
      &c.ListBox_Level_RLC);
  c.P_level_RLC->setGeometry(100, 30, 220, 115);
  c.P_freq_RLC = MakeChoicePanel(
      area, "P_freq_RLC", "ListBox_freq_RLC", QStringLiteral(" Частота тестового сигнала"),
      {QStringLiteral("Автовыбор"), QStringLiteral("100 Гц"), QStringLiteral("120 Гц"), QStringLiteral("1кГц"),
       QStringLiteral("10кГц"), QStringLiteral("100кГц"), QStringLiteral("20кГц"), QStringLiteral("30кГц"),
       QStringLiteral("40кГц"), QStringLiteral("50кГц"), QStringLiteral("60кГц"), QStringLiteral("70кГц"),
       QStringLiteral("80кГц"), QStringLiteral("90кГц"), QStringLiteral("150кГц")},
      &c.ListBox_freq_RLC);
  c.P_freq_RLC->setGeometry(4, 2, 220, 145);
  c.P_Source_RLC = MakeChoicePanel(
      area, "P_Source_RLC", "ListBox_Source_RLC", QStringLiteral("Сопротивление генератора"),
      {QStringLiteral("Автовыбор"), QStringLiteral("100Ом"), QStringLiteral("1.6кОм")}, &c.ListBox_Source_RLC);
  c.P_Source_RLC->setGeometry(200, 50, 220, 95);
}

}  // namespace zt::form
