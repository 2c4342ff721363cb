// Composition of the window: every region and control with its design-time
// caption, initial state, size and font. Behaviour lives in the main_*.cpp
// file of each subsystem.
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QStandardItemModel>
#include <QVBoxLayout>

#include "main.h"
#include "ui_constants.h"

namespace zt {

namespace {

template <typename W>
W* Make(QWidget* parent, const char* name) {
  auto* w = new W(parent);
  w->setObjectName(QString::fromLatin1(name));
  return w;
}

QFrame* MakePanel(QWidget* parent, const char* name, bool bevelled = false) {
  auto* f = Make<QFrame>(parent, name);
  if (bevelled) {
    f->setFrameShape(QFrame::Panel);
    f->setFrameShadow(QFrame::Raised);
  }
  return f;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& text, bool toggle = false) {
  auto* b = Make<QPushButton>(parent, name);
  b->setText(text);
  b->setCheckable(toggle);
  b->setFocusPolicy(Qt::TabFocus);
  return b;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text = {}) {
  auto* l = Make<QLabel>(parent, name);
  l->setText(text);
  return l;
}

QComboBox* MakeCombo(QWidget* parent, const char* name, const QStringList& items, bool editable = false) {
  auto* c = Make<QComboBox>(parent, name);
  c->setEditable(editable);
  c->addItems(items);
  c->setCurrentIndex(0);
  return c;
}

QFont PixelFont(int px, bool bold) {
  QFont f(QStringLiteral("Calibri"));
  f.setPixelSize(px);
  f.setBold(bold);
  return f;
}

// A pop-up choice panel: a title over a list, hidden until opened.
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

void TForm1::BuildControls() {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QStringLiteral("Регистратор данных для RLC метров ЗТ версия 1.6"));
  setFont(PixelFont(ui::kFontPx, true));
  setMinimumSize(ui::kClientWidth, ui::kMinHeight);
  setMaximumWidth(ui::kClientWidth);
  resize(ui::kClientWidth, ui::kClientHeight);

  auto* root = new QVBoxLayout(this);
  root->setContentsMargins(0, 0, 0, 0);
  root->setSpacing(0);

  // ---- 1. Top region ----
  Panel_top = MakePanel(this, "Panel_top");
  Panel_top->setFixedHeight(ui::kTopHeight);
  root->addWidget(Panel_top);
  auto* topRow = new QHBoxLayout(Panel_top);
  topRow->setContentsMargins(0, 0, 0, 0);
  topRow->setSpacing(0);

  // 1.1 Left column
  Panel3 = MakePanel(Panel_top, "Panel3", true);
  Panel3->setFixedWidth(ui::kLeftColumnWidth);
  topRow->addWidget(Panel3);
  auto* leftCol = new QVBoxLayout(Panel3);
  leftCol->setContentsMargins(2, 2, 2, 2);
  leftCol->setSpacing(2);

  Panel6 = MakePanel(Panel3, "Panel6");
  Panel6->setFixedHeight(35);
  leftCol->addWidget(Panel6);
  auto* modeRow = new QHBoxLayout(Panel6);
  modeRow->setContentsMargins(0, 0, 0, 0);
  modeRow->setSpacing(2);
  Button2 = MakeButton(Panel6, "Button2", QStringLiteral("RLCD"));
  Button1 = MakeButton(Panel6, "Button1", QStringLiteral("RD"));
  Button3 = MakeButton(Panel6, "Button3", QStringLiteral("U"));
  for (auto* b : {Button2, Button1, Button3}) {
    b->setMinimumHeight(31);
    modeRow->addWidget(b);
  }

  Panel1 = MakePanel(Panel3, "Panel1");
  leftCol->addWidget(Panel1, 1);
  auto* p1 = new QVBoxLayout(Panel1);
  p1->setContentsMargins(0, 0, 0, 0);
  p1->setSpacing(3);
  CBox10 = MakeCombo(Panel1, "CBox10", {QStringLiteral("Измерение 1 детали"), QStringLiteral("Мульти")});
  CBox10->setFont(PixelFont(17, true));
  p1->addWidget(CBox10);
  JvP8 = MakeLabel(Panel1, "JvP8", QStringLiteral("Профиль"));
  JvP8->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  JvP8->setMinimumWidth(0);
  JvP8->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  p1->addWidget(JvP8);
  Panel5 = MakePanel(Panel1, "Panel5", true);
  Panel5->setFont(PixelFont(ui::kFontPx, false));
  p1->addWidget(Panel5, 1);
  auto* p5 = new QGridLayout(Panel5);
  p5->setContentsMargins(3, 3, 3, 3);
  p5->setSpacing(2);
  SB1 = MakeButton(Panel5, "SB1", QStringLiteral("Создать"));
  SB2 = MakeButton(Panel5, "SB2", QStringLiteral("Открыть"));
  SB3 = MakeButton(Panel5, "SB3", QStringLiteral("Сохранить как"));
  SB3->setEnabled(false);
  SB4 = MakeButton(Panel5, "SB4", QStringLiteral("Изменение профиля"), true);
  SB4->setChecked(true);
  p5->addWidget(SB1, 0, 0);
  p5->addWidget(SB2, 0, 1);
  p5->addWidget(SB3, 1, 0, 1, 2);
  p5->addWidget(SB4, 2, 0, 1, 2);

  // 1.2 Front panel area
  Panel4 = MakePanel(Panel_top, "Panel4");
  topRow->addWidget(Panel4, 1);
  auto* p4 = new QVBoxLayout(Panel4);
  p4->setContentsMargins(0, 0, 0, 0);
  P5 = MakePanel(Panel4, "P5");
  p4->addWidget(P5);
  auto* p5col = new QVBoxLayout(P5);
  p5col->setContentsMargins(0, 0, 0, 0);
  p5col->setSpacing(0);

  JvPanel5 = MakePanel(P5, "JvPanel5");
  JvPanel5->setFixedHeight(ui::kStripHeight);
  p5col->addWidget(JvPanel5);
  auto* strip = new QHBoxLayout(JvPanel5);
  strip->setContentsMargins(2, 2, 2, 2);
  strip->setSpacing(4);
  JvPanel1 = MakePanel(JvPanel5, "JvPanel1");
  strip->addWidget(JvPanel1, 1);
  auto* btnRow = new QHBoxLayout(JvPanel1);
  btnRow->setContentsMargins(0, 0, 0, 0);
  btnRow->setSpacing(3);
  SP4 = MakeButton(JvPanel1, "SP4", QStringLiteral("Яркость"), true);
  SP4->setChecked(true);
  SP3 = MakeButton(JvPanel1, "SP3", QStringLiteral("Захват"), true);
  SP2 = MakeButton(JvPanel1, "SP2", QStringLiteral("Звук"), true);
  SBe1 = MakeButton(JvPanel1, "SBe1", QStringLiteral("По умолчанию"));
  for (auto* b : {SP4, SP3, SP2, SBe1}) btnRow->addWidget(b);
  // LangCombo1 and SP5 share one place at the strip's right end.
  auto* shared = new QWidget(JvPanel1);
  shared->setObjectName(QStringLiteral("LangPlace"));
  auto* sharedGrid = new QGridLayout(shared);
  sharedGrid->setContentsMargins(0, 0, 0, 0);
  LangCombo1 = MakeCombo(shared, "LangCombo1", {QStringLiteral("Русский")});
  LangCombo1->setMinimumWidth(110);
  SP5 = MakeButton(shared, "SP5", QStringLiteral("Выключить"));
  SP5->hide();
  sharedGrid->addWidget(LangCombo1, 0, 0);
  sharedGrid->addWidget(SP5, 0, 0);
  btnRow->addWidget(shared);

  P_connect = MakePanel(JvPanel5, "P_connect", true);
  strip->addWidget(P_connect);
  auto* conn = new QHBoxLayout(P_connect);
  conn->setContentsMargins(3, 1, 3, 1);
  conn->setSpacing(4);
  B2 = MakeButton(P_connect, "B2", QStringLiteral("Подключить"));
  B2->setMinimumWidth(110);
  CheckBox_connect_auto = Make<QCheckBox>(P_connect, "CheckBox_connect_auto");
  CheckBox_connect_auto->setText(QStringLiteral("Авто"));
  CheckBox_connect_auto->setChecked(false);
  conn->addWidget(B2);
  conn->addWidget(CheckBox_connect_auto);

  JvPanel3 = MakePanel(P5, "JvPanel3");
  p5col->addWidget(JvPanel3, 1);
  auto* disp = new QHBoxLayout(JvPanel3);
  disp->setContentsMargins(0, 0, 6, 2);
  disp->setSpacing(0);
  DisplayArea = new QWidget(JvPanel3);
  DisplayArea->setObjectName(QStringLiteral("DisplayArea"));
  disp->addWidget(DisplayArea, 1);
  Memo1 = Make<QPlainTextEdit>(JvPanel3, "Memo1");
  Memo1->setReadOnly(true);
  Memo1->setFixedWidth(ui::kMemoWidth);
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo1->setPlainText(QStringLiteral("Memo1"));
  Memo1->setFont(PixelFont(13, true));
  disp->addWidget(Memo1);

  // The three display panels share one cell, so exactly the visible one shows.
  auto* stack = new QGridLayout(DisplayArea);
  stack->setContentsMargins(0, 0, 0, 0);
  Panel_RLCD = MakePanel(DisplayArea, "Panel_RLCD", true);
  Panel_RD = MakePanel(DisplayArea, "Panel_RD", true);
  Panel_U = MakePanel(DisplayArea, "Panel_U", true);
  for (QFrame* p : {Panel_RLCD, Panel_RD, Panel_U}) {
    p->setAutoFillBackground(true);
    QPalette pal = p->palette();
    pal.setColor(QPalette::Window, ui::DisplayColour());
    p->setPalette(pal);
    stack->addWidget(p, 0, 0);
  }
  Panel_RD->hide();
  Panel_U->hide();

  // RLC display: large primary reading, smaller secondary, a right-hand column,
  // and the setting labels along the bottom.
  const QFont big = PixelFont(ui::kPrimaryPx, true);
  const QFont mid = PixelFont(ui::kSecondaryPx, true);
  const QFont small = PixelFont(ui::kFontPx, true);
  L_Prim_RLC = MakeLabel(Panel_RLCD, "L_Prim_RLC", QStringLiteral("R"));
  L_Prim_RLC->setFont(mid);
  L_Prim_RLC->setGeometry(6, 10, 28, 34);
  L_RLC_avto = MakeLabel(Panel_RLCD, "L_RLC_avto", QStringLiteral("A"));
  L_RLC_avto->setFont(small);
  L_RLC_avto->setGeometry(8, 42, 20, 18);
  L_prim_n = MakeLabel(Panel_RLCD, "L_prim_n");
  L_prim_n->setFont(big);
  L_prim_n->setGeometry(54, 2, 336, 56);
  L_prim_n->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  L_Sec_RLC = MakeLabel(Panel_RLCD, "L_Sec_RLC", QStringLiteral("Q"));
  L_Sec_RLC->setFont(mid);
  L_Sec_RLC->setGeometry(6, 62, 28, 30);
  L_RQD_avto = MakeLabel(Panel_RLCD, "L_RQD_avto", QStringLiteral("A"));
  L_RQD_avto->setFont(small);
  L_RQD_avto->setGeometry(8, 90, 20, 18);
  L_sec_n = MakeLabel(Panel_RLCD, "L_sec_n");
  L_sec_n->setFont(mid);
  L_sec_n->setGeometry(54, 60, 336, 34);
  L_sec_n->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  QLabel** right[] = {&L_righ1, &L_righ2, &L_righ3, &L_righ4, &L_righ5, &L_righ6};
  const char* rightNames[] = {"L_righ1", "L_righ2", "L_righ3", "L_righ4", "L_righ5", "L_righ6"};
  for (int i = 0; i < 6; ++i) {
    *right[i] = MakeLabel(Panel_RLCD, rightNames[i]);
    (*right[i])->setFont(small);
    (*right[i])->setGeometry(400, 4 + i * 18, 204, 18);
  }
  L_righ5->hide();
  L_righ6->hide();
  L_freq_RLC = MakeLabel(Panel_RLCD, "L_freq_RLC", QStringLiteral("1кГц"));
  L_Level_RLC = MakeLabel(Panel_RLCD, "L_Level_RLC", QStringLiteral("1.0Вскз"));
  L_Source_RLC = MakeLabel(Panel_RLCD, "L_Source_RLC", QStringLiteral("100Ом"));
  L_SER_PER = MakeLabel(Panel_RLCD, "L_SER_PER", QStringLiteral("S"));
  L_SER_PER1 = MakeLabel(Panel_RLCD, "L_SER_PER1", QStringLiteral("A"));
  int x = 6;
  for (QLabel* l : {L_freq_RLC, L_Level_RLC, L_Source_RLC}) {
    l->setFont(small);
    l->setFrameShape(QFrame::Panel);
    l->setFrameShadow(QFrame::Raised);
    l->setAlignment(Qt::AlignCenter);
    l->setGeometry(x, 120, 96, 24);
    x += 102;
  }
  L_SER_PER->setFont(small);
  L_SER_PER->setFrameShape(QFrame::Panel);
  L_SER_PER->setFrameShadow(QFrame::Raised);
  L_SER_PER->setAlignment(Qt::AlignCenter);
  // Each circuit mark sits beside the parameter letter it qualifies.
  L_SER_PER->setGeometry(30, 68, 22, 22);
  L_SER_PER1->setFont(small);
  L_SER_PER1->setAlignment(Qt::AlignCenter);
  L_SER_PER1->setGeometry(30, 16, 22, 22);
  L_Source_RLC->hide();

  // RD display
  Im_Diod = MakeLabel(Panel_RD, "Im_Diod");
  Im_Diod->setGeometry(8, 30, 60, 80);
  RD_prim_R = MakeLabel(Panel_RD, "RD_prim_R", QStringLiteral("R"));
  RD_prim_R->setFont(mid);
  RD_prim_R->setGeometry(76, 10, 30, 40);
  RD_Prim = MakeLabel(Panel_RD, "RD_Prim");
  RD_Prim->setFont(big);
  RD_Prim->setGeometry(104, 2, 330, 56);
  RD_Prim->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  RD_V = MakeLabel(Panel_RD, "RD_V");
  RD_V->setFont(small);
  RD_V->setGeometry(444, 10, 150, 20);
  RD_Auto = MakeLabel(Panel_RD, "RD_Auto");
  RD_Auto->setFont(small);
  RD_Auto->setGeometry(444, 32, 30, 20);
  J_prim = MakeLabel(Panel_RD, "J_prim", QStringLiteral("I"));
  J_prim->setFont(mid);
  J_prim->setGeometry(104, 66, 16, 34);
  Joo = MakeLabel(Panel_RD, "Joo");
  Joo->setFont(small);
  Joo->setGeometry(120, 82, 16, 18);
  RD_J = MakeLabel(Panel_RD, "RD_J");
  RD_J->setFont(mid);
  RD_J->setGeometry(134, 66, 300, 34);
  RD_J1 = MakeLabel(Panel_RD, "RD_J1");
  RD_J1->setFont(mid);
  RD_J1->setGeometry(104, 104, 330, 34);

  // U display
  U_Prim = MakeLabel(Panel_U, "U_Prim");
  U_Prim->setFont(big);
  U_Prim->setGeometry(10, 2, 420, 56);
  U_Prim->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  U_vrm = MakeLabel(Panel_U, "U_vrm");
  U_vrm->setFont(mid);
  U_vrm->setGeometry(10, 66, 420, 34);
  U_vrm->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  U_pp = MakeLabel(Panel_U, "U_pp");
  U_pp->setFont(mid);
  U_pp->setGeometry(10, 104, 420, 34);
  U_pp->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

  // Over the display panels, hidden at start: the sleep indicator and the six
  // pop-up choice panels.
  JP5 = MakeLabel(DisplayArea, "JP5");
  JP5->setFont(mid);
  JP5->setFrameShape(QFrame::Panel);
  JP5->setFrameShadow(QFrame::Raised);
  JP5->setAutoFillBackground(true);
  JP5->setAlignment(Qt::AlignCenter);
  JP5->setGeometry(180, 40, 240, 60);
  JP5->hide();

  P_prim_RLC = MakeChoicePanel(DisplayArea, "P_prim_RLC", "ListBox_prim_RLC", QStringLiteral(" Основной параметр"),
                               {QStringLiteral("Автовыбор"), QStringLiteral("R сопротивление"),
                                QStringLiteral("C емкость"), QStringLiteral("L индуктивность"),
                                QStringLiteral("Z импеданс"), QStringLiteral("С>0.5мкФ"), QStringLiteral("С>40.0мФ")},
                               &ListBox_prim_RLC);
  P_prim_RLC->setGeometry(4, 2, 190, 145);
  P_sec_RLC = MakeChoicePanel(DisplayArea, "P_sec_RLC", "ListBox_sec_RLC", QStringLiteral("Дополнительный параметр"),
                              {QStringLiteral("Автовыбор"), QStringLiteral("R сопротивление"),
                               QStringLiteral("Q добротность"), QStringLiteral("D тангенс угла потерь")},
                              &ListBox_sec_RLC);
  P_sec_RLC->setGeometry(4, 40, 220, 105);
  P_ser_per = MakeChoicePanel(
      DisplayArea, "P_ser_per", "ListBox_ser_per", QStringLiteral("Схема замещения"),
      {QStringLiteral("Автовыбор"), QStringLiteral("p-параллельная"), QStringLiteral("s- последовательная")},
      &ListBox_ser_per);
  P_ser_per->setGeometry(300, 50, 200, 95);
  P_level_RLC = MakeChoicePanel(
      DisplayArea, "P_level_RLC", "ListBox_Level_RLC", QStringLiteral(" Уровень тестового сигнала"),
      {QStringLiteral("Автовыбор"), QStringLiteral(" 1.0Вскз"), QStringLiteral(" 0.5Вскз"), QStringLiteral(" 0.1Вскз")},
      &ListBox_Level_RLC);
  P_level_RLC->setGeometry(100, 30, 220, 115);
  P_freq_RLC = MakeChoicePanel(
      DisplayArea, "P_freq_RLC", "ListBox_freq_RLC", QStringLiteral(" Частота тестового сигнала"),
      {QStringLiteral("Автовыбор"), QStringLiteral("100 Гц"), QStringLiteral("120 Гц"), QStringLiteral("1кГц"),
       QStringLiteral("10кГц"), QStringLiteral("100кГц"), QStringLiteral("20кГц"), QStringLiteral("30кГц"),
       QStringLiteral("40кГц"), QStringLiteral("50кГц"), QStringLiteral("60кГц"), QStringLiteral("70кГц"),
       QStringLiteral("80кГц"), QStringLiteral("90кГц"), QStringLiteral("150кГц")},
      &ListBox_freq_RLC);
  P_freq_RLC->setGeometry(4, 2, 220, 145);
  P_Source_RLC = MakeChoicePanel(
      DisplayArea, "P_Source_RLC", "ListBox_Source_RLC", QStringLiteral("Сопротивление генератора"),
      {QStringLiteral("Автовыбор"), QStringLiteral("100Ом"), QStringLiteral("1.6кОм")}, &ListBox_Source_RLC);
  P_Source_RLC->setGeometry(200, 50, 220, 95);

  // ---- 2. Lower region ----
  Panel9 = MakePanel(this, "Panel9");
  root->addWidget(Panel9, 1);
  auto* lower = new QVBoxLayout(Panel9);
  lower->setContentsMargins(0, 8, 0, 0);
  lower->setSpacing(0);

  JvPanel2 = MakePanel(Panel9, "JvPanel2");
  JvPanel2->setFixedHeight(ui::kBandHeight + 20);
  lower->addWidget(JvPanel2);
  auto* band = new QGridLayout(JvPanel2);
  band->setContentsMargins(0, 0, 0, 0);
  band->setHorizontalSpacing(0);
  band->setVerticalSpacing(0);
  JvP1 = MakeLabel(JvPanel2, "JvP1");
  JvP11 = MakeLabel(JvPanel2, "JvP11");
  for (QLabel* l : {JvP1, JvP11}) {
    l->setFont(PixelFont(16, true));
    l->setFixedHeight(20);
    l->setIndent(8);
  }
  band->addWidget(JvP1, 0, 0);
  band->addWidget(JvP11, 0, 1);

  // Reference-profile editor.
  Panel7 = MakePanel(JvPanel2, "Panel7", true);
  Panel7->setFixedWidth(ui::kEditorWidth);
  band->addWidget(Panel7, 1, 0);
  auto* ed = new QGridLayout(Panel7);
  ed->setContentsMargins(3, 3, 3, 3);
  ed->setHorizontalSpacing(3);
  ed->setVerticalSpacing(3);
  BB1 = MakeButton(Panel7, "BB1", QStringLiteral("Запись"));
  Button_DEL = MakeButton(Panel7, "Button_DEL", QStringLiteral("Удалить"));
  Button_Add = MakeButton(Panel7, "Button_Add", QStringLiteral("Добавить"));
  SE2 = Make<QSpinBox>(Panel7, "SE2");
  SE2->setRange(1, 2);
  SE2->setValue(1);
  CBox6 = MakeCombo(Panel7, "CBox6", {}, true);
  CBox6->setEditText(QStringLiteral("R1"));
  CBox6->lineEdit()->setMaxLength(18);
  CBox6->setMaxVisibleItems(20);
  CBox6->setMinimumWidth(110);
  BB2 = MakeButton(Panel7, "BB2", QStringLiteral("Чтение"));
  BB2->hide();
  ed->addWidget(BB1, 0, 0);
  ed->addWidget(Button_DEL, 0, 1);
  ed->addWidget(Button_Add, 0, 2);
  ed->addWidget(SE2, 0, 3);
  ed->addWidget(CBox6, 0, 4, 1, 2);

  const QStringList tolerances = {QStringLiteral("выкл."), QStringLiteral("0,2%"), QStringLiteral("0,3%"),
                                  QStringLiteral("0,5%"),  QStringLiteral("1%"),   QStringLiteral("2%"),
                                  QStringLiteral("3%"),    QStringLiteral("5%"),   QStringLiteral("10%"),
                                  QStringLiteral("20%"),   QStringLiteral(">"),    QStringLiteral("<")};
  Panel8 = MakePanel(Panel7, "Panel8");
  auto* g8 = new QHBoxLayout(Panel8);
  g8->setContentsMargins(0, 0, 0, 0);
  g8->setSpacing(2);
  CBox2 = MakeCombo(Panel8, "CBox2", {QStringLiteral("R"), QStringLiteral("L"), QStringLiteral("C")});
  CBox5 = MakeCombo(Panel8, "CBox5", tolerances);
  CBox5->setMinimumWidth(ui::kToleranceBoxWidth);
  E2 = Make<QLineEdit>(Panel8, "E2");
  E2->setText(QStringLiteral("10000"));
  E2->setMaxLength(7);
  E2->setFixedWidth(60);
  auto* unitPlace = new QWidget(Panel8);
  auto* unitGrid = new QGridLayout(unitPlace);
  unitGrid->setContentsMargins(0, 0, 0, 0);
  CBox1 = MakeCombo(unitPlace, "CBox1", {QStringLiteral("Ом"), QStringLiteral("кОм"), QStringLiteral("МОм")});
  CBox3 = MakeCombo(unitPlace, "CBox3", {QStringLiteral("мкГн"), QStringLiteral("мГн"), QStringLiteral("Гн")});
  CBox4 = MakeCombo(unitPlace, "CBox4", {QStringLiteral("рФ"), QStringLiteral("нФ"), QStringLiteral("мкФ")});
  unitGrid->addWidget(CBox1, 0, 0);
  unitGrid->addWidget(CBox3, 0, 0);
  unitGrid->addWidget(CBox4, 0, 0);
  CBox3->hide();
  CBox4->hide();
  for (QWidget* w : {static_cast<QWidget*>(CBox2), static_cast<QWidget*>(CBox5), static_cast<QWidget*>(E2), unitPlace})
    g8->addWidget(w);
  ed->addWidget(Panel8, 1, 0, 1, 3);

  Panel11 = MakePanel(Panel7, "Panel11");
  auto* g11 = new QHBoxLayout(Panel11);
  g11->setContentsMargins(0, 0, 0, 0);
  g11->setSpacing(2);
  CBox11 = MakeCombo(Panel11, "CBox11", {QStringLiteral("R"), QStringLiteral("Q"), QStringLiteral("D")});
  CBox51 = MakeCombo(Panel11, "CBox51", tolerances);
  CBox51->setMinimumWidth(ui::kToleranceBoxWidth);
  E11 = Make<QLineEdit>(Panel11, "E11");
  E11->setText(QStringLiteral("10000"));
  E11->setMaxLength(7);
  E11->setFixedWidth(60);
  CBox31 = MakeCombo(Panel11, "CBox31", {QStringLiteral("Ом"), QStringLiteral("кОм"), QStringLiteral("МОм")});
  for (QWidget* w : {static_cast<QWidget*>(CBox11), static_cast<QWidget*>(CBox51), static_cast<QWidget*>(E11),
                     static_cast<QWidget*>(CBox31)})
    g11->addWidget(w);
  ed->addWidget(Panel11, 1, 3, 1, 3);
  ed->addWidget(BB2, 0, 6);

  // Recording controls.
  Panel2 = MakePanel(JvPanel2, "Panel2");
  band->addWidget(Panel2, 1, 1);
  auto* p2 = new QHBoxLayout(Panel2);
  p2->setContentsMargins(0, 0, 0, 0);
  Panel13 = MakePanel(Panel2, "Panel13", true);
  p2->addWidget(Panel13);
  auto* rec = new QGridLayout(Panel13);
  rec->setContentsMargins(4, 3, 4, 3);
  rec->setHorizontalSpacing(6);
  rec->setVerticalSpacing(0);
  auto* lStart1 = MakeLabel(Panel13, "Label_start1", QStringLiteral("Начальная"));
  auto* lStart2 = MakeLabel(Panel13, "Label_start2", QStringLiteral("позиция"));
  SE1 = Make<QSpinBox>(Panel13, "SE1");
  SE1->setRange(1, 100000);
  SE1->setValue(1);
  SE1->setMinimumWidth(80);
  auto* lInt1 = MakeLabel(Panel13, "Label_interval1", QStringLiteral("Интервал"));
  auto* lInt2 = MakeLabel(Panel13, "Label_interval2", QStringLiteral("записи"));
  CB1 = MakeCombo(Panel13, "CB1", {QStringLiteral("0.5с"), QStringLiteral("1с"), QStringLiteral("2с")});
  CB1->setCurrentIndex(1);
  SP1 = MakeButton(Panel13, "SP1", QStringLiteral("Пуск"), true);
  SP1->setFont(PixelFont(27, true));
  SP1->setMinimumSize(110, 56);
  Button4 = MakeButton(Panel13, "Button4", QStringLiteral("В файл EXCEL"));
  B5 = MakeButton(Panel13, "B5", QStringLiteral("Очистка"));
  rec->addWidget(lStart1, 0, 0);
  rec->addWidget(lStart2, 1, 0);
  rec->addWidget(SE1, 0, 1, 2, 1);
  rec->addWidget(lInt1, 0, 2);
  rec->addWidget(lInt2, 1, 2);
  rec->addWidget(CB1, 0, 3, 2, 1);
  rec->addWidget(SP1, 0, 4, 2, 1);
  rec->addWidget(Button4, 0, 5);
  rec->addWidget(B5, 1, 5);

  Panel10 = MakePanel(Panel9, "Panel10");
  lower->addWidget(Panel10, 1);
  auto* p10 = new QVBoxLayout(Panel10);
  p10->setContentsMargins(0, 0, 0, 0);
  SG = Make<QTableView>(Panel10, "SG");
  SG->setFont(PixelFont(16, true));
  SG->setShowGrid(true);
  SG->verticalHeader()->hide();
  SG->horizontalHeader()->setDefaultSectionSize(ui::kGridColumnWidth);
  SG->verticalHeader()->setDefaultSectionSize(22);
  p10->addWidget(SG);

  // ---- 3. Floating model panel ----
  P16 = MakePanel(this, "P16", true);
  P16->setAutoFillBackground(true);
  P16->setGeometry(ui::kClientWidth - 134 - 184, 45, 134, 119);
  auto* p16 = new QVBoxLayout(P16);
  p16->setContentsMargins(3, 3, 3, 3);
  RG1 = Make<QGroupBox>(P16, "RG1");
  RG1->setTitle(QStringLiteral("Прибор"));
  p16->addWidget(RG1);
  auto* rg = new QVBoxLayout(RG1);
  RB1 = Make<QRadioButton>(RG1, "RB1");
  RB1->setText(QStringLiteral("ЗТ40"));
  RB1->setChecked(true);
  RB2 = Make<QRadioButton>(RG1, "RB2");
  RB2->setText(QStringLiteral("ЗТ41"));
  RB3 = Make<QRadioButton>(RG1, "RB3");
  RB3->setText(QStringLiteral("ЗТ42"));
  rg->addWidget(RB1);
  rg->addWidget(RB2);
  rg->addWidget(RB3);
  P16->hide();

  // ---- Timers ----
  auto makeTimer = [this](const char* name, int ms, bool singleShot) {
    auto* t = new QTimer(this);
    t->setObjectName(QString::fromLatin1(name));
    t->setInterval(ms);
    t->setSingleShot(singleShot);
    return t;
  };
  T2 = makeTimer("T2", ui::kT2Ms, true);
  T3 = makeTimer("T3", ui::kT3Ms, false);
  T4 = makeTimer("T4", ui::kT4Ms, true);
  T33 = makeTimer("T33", ui::kT33Ms, false);
  T34 = makeTimer("T34", ui::kT34Ms, false);
  T50 = makeTimer("T50", ui::kT50Ms, true);
  Timer_TX = makeTimer("Timer_TX", ui::kTimerTxMs, true);
}

}  // namespace zt
