// Region: the display area (JvPanel3): the RLC, resistance/diode and
// voltage/current display panels stacked in one place, and the status memo.
#include "form_build.h"
#include "ui_constants.h"

namespace zt::form {

namespace {

void BuildRlcPanel(FormControls& c, const QFont& big, const QFont& mid, const QFont& small) {
  // Large primary reading, smaller secondary, a right-hand column, and the
  // setting labels along the bottom.
  QFrame* p = c.Panel_RLCD;
  c.L_Prim_RLC = MakeLabel(p, "L_Prim_RLC", QStringLiteral("R"));
  c.L_Prim_RLC->setFont(mid);
  c.L_Prim_RLC->setGeometry(6, 10, 28, 34);
  c.L_RLC_avto = MakeLabel(p, "L_RLC_avto", QStringLiteral("A"));
  c.L_RLC_avto->setFont(small);
  c.L_RLC_avto->setGeometry(8, 42, 20, 18);
  c.L_prim_n = MakeLabel(p, "L_prim_n");
  c.L_prim_n->setFont(big);
  c.L_prim_n->setGeometry(54, 2, 336, 56);
  c.L_prim_n->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  c.L_Sec_RLC = MakeLabel(p, "L_Sec_RLC", QStringLiteral("Q"));
  c.L_Sec_RLC->setFont(mid);
  c.L_Sec_RLC->setGeometry(6, 62, 28, 30);
  c.L_RQD_avto = MakeLabel(p, "L_RQD_avto", QStringLiteral("A"));
  c.L_RQD_avto->setFont(small);
  c.L_RQD_avto->setGeometry(8, 90, 20, 18);
  c.L_sec_n = MakeLabel(p, "L_sec_n");
  c.L_sec_n->setFont(mid);
  c.L_sec_n->setGeometry(54, 60, 336, 34);
  c.L_sec_n->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  QLabel** right[] = {&c.L_righ1, &c.L_righ2, &c.L_righ3, &c.L_righ4, &c.L_righ5, &c.L_righ6};
  const char* rightNames[] = {"L_righ1", "L_righ2", "L_righ3", "L_righ4", "L_righ5", "L_righ6"};
  for (int i = 0; i < 6; ++i) {
    *right[i] = MakeLabel(p, rightNames[i]);
    (*right[i])->setFont(small);
    (*right[i])->setGeometry(400, 4 + i * 18, 204, 18);
  }
  c.L_righ5->hide();
  c.L_righ6->hide();
  c.L_freq_RLC = MakeLabel(p, "L_freq_RLC", QStringLiteral("1кГц"));
  c.L_Level_RLC = MakeLabel(p, "L_Level_RLC", QStringLiteral("1.0Вскз"));
  c.L_Source_RLC = MakeLabel(p, "L_Source_RLC", QStringLiteral("100Ом"));
  c.L_SER_PER = MakeLabel(p, "L_SER_PER", QStringLiteral("S"));
  c.L_SER_PER1 = MakeLabel(p, "L_SER_PER1", QStringLiteral("A"));
  int x = 6;
  for (QLabel* l : {c.L_freq_RLC, c.L_Level_RLC, c.L_Source_RLC}) {
    l->setFont(small);
    l->setFrameShape(QFrame::Panel);
    l->setFrameShadow(QFrame::Raised);
    l->setAlignment(Qt::AlignCenter);
    l->setGeometry(x, 120, 96, 24);
    x += 102;
  }
  c.L_SER_PER->setFont(small);
  c.L_SER_PER->setFrameShape(QFrame::Panel);
  c.L_SER_PER->setFrameShadow(QFrame::Raised);
  c.L_SER_PER->setAlignment(Qt::AlignCenter);
  // Each circuit mark sits beside the parameter letter it qualifies.
  c.L_SER_PER->setGeometry(30, 68, 22, 22);
  c.L_SER_PER1->setFont(small);
  c.L_SER_PER1->setAlignment(Qt::AlignCenter);
  c.L_SER_PER1->setGeometry(30, 16, 22, 22);
  c.L_Source_RLC->hide();
}

void BuildRdPanel(FormControls& c, const QFont& big, const QFont& mid, const QFont& small) {
  QFrame* p = c.Panel_RD;
  c.Im_Diod = MakeLabel(p, "Im_Diod");
  c.Im_Diod->setGeometry(8, 30, 60, 80);
  c.RD_prim_R = MakeLabel(p, "RD_prim_R", QStringLiteral("R"));
  c.RD_prim_R->setFont(mid);
  c.RD_prim_R->setGeometry(76, 10, 30, 40);
  c.RD_Prim = MakeLabel(p, "RD_Prim");
  c.RD_Prim->setFont(big);
  c.RD_Prim->setGeometry(104, 2, 330, 56);
  c.RD_Prim->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  c.RD_V = MakeLabel(p, "RD_V");
  c.RD_V->setFont(small);
  c.RD_V->setGeometry(444, 10, 150, 20);
  c.RD_Auto = MakeLabel(p, "RD_Auto");
  c.RD_Auto->setFont(small);
  c.RD_Auto->setGeometry(444, 32, 30, 20);
  c.J_prim = MakeLabel(p, "J_prim", QStringLiteral("I"));
  c.J_prim->setFont(mid);
  c.J_prim->setGeometry(104, 66, 16, 34);
  c.Joo = MakeLabel(p, "Joo");
  c.Joo->setFont(small);
  c.Joo->setGeometry(120, 82, 16, 18);
  c.RD_J = MakeLabel(p, "RD_J");
  c.RD_J->setFont(mid);
  c.RD_J->setGeometry(134, 66, 300, 34);
  c.RD_J1 = MakeLabel(p, "RD_J1");
  c.RD_J1->setFont(mid);
  c.RD_J1->setGeometry(104, 104, 330, 34);
}

void BuildUPanel(FormControls& c, const QFont& big, const QFont& mid) {
  QFrame* p = c.Panel_U;
  c.U_Prim = MakeLabel(p, "U_Prim");
  c.U_Prim->setFont(big);
  c.U_Prim->setGeometry(10, 2, 420, 56);
  c.U_Prim->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  c.U_vrm = MakeLabel(p, "U_vrm");
  c.U_vrm->setFont(mid);
  c.U_vrm->setGeometry(10, 66, 420, 34);
  c.U_vrm->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  c.U_pp = MakeLabel(p, "U_pp");
  c.U_pp->setFont(mid);
  c.U_pp->setGeometry(10, 104, 420, 34);
  c.U_pp->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
}

}  // namespace

void BuildDisplayPanels(FormControls& c, QWidget* parent, QBoxLayout* layout) {
  c.JvPanel3 = MakePanel(parent, "JvPanel3");
  layout->addWidget(c.JvPanel3, 1);
  auto* disp = new QHBoxLayout(c.JvPanel3);
  disp->setContentsMargins(0, 0, 6, 2);
  disp->setSpacing(0);
  c.DisplayArea = new QWidget(c.JvPanel3);
  c.DisplayArea->setObjectName(QStringLiteral("DisplayArea"));
  disp->addWidget(c.DisplayArea, 1);
  c.Memo1 = Make<QPlainTextEdit>(c.JvPanel3, "Memo1");
  c.Memo1->setReadOnly(true);
  c.Memo1->setFixedWidth(ui::kMemoWidth);
  c.Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  c.Memo1->setPlainText(QStringLiteral("Memo1"));
  c.Memo1->setFont(PixelFont(13, true));
  disp->addWidget(c.Memo1);

  // The three display panels share one cell, so exactly the visible one shows.
  auto* stack = new QGridLayout(c.DisplayArea);
  stack->setContentsMargins(0, 0, 0, 0);
  c.Panel_RLCD = MakePanel(c.DisplayArea, "Panel_RLCD", true);
  c.Panel_RD = MakePanel(c.DisplayArea, "Panel_RD", true);
  c.Panel_U = MakePanel(c.DisplayArea, "Panel_U", true);
  for (QFrame* p : {c.Panel_RLCD, c.Panel_RD, c.Panel_U}) {
    p->setAutoFillBackground(true);
    QPalette pal = p->palette();
    pal.setColor(QPalette::Window, ui::DisplayColour());
    p->setPalette(pal);
    stack->addWidget(p, 0, 0);
  }
  c.Panel_RD->hide();
  c.Panel_U->hide();

  const QFont big = PixelFont(ui::kPrimaryPx, true);
  const QFont mid = PixelFont(ui::kSecondaryPx, true);
  const QFont small = PixelFont(ui::kFontPx, true);
  BuildRlcPanel(c, big, mid, small);
  BuildRdPanel(c, big, mid, small);
  BuildUPanel(c, big, mid);
}

}  // namespace zt::form
