// Region: the left column of the top region (Panel3).
#include "form_build.h"
#include "ui_constants.h"

namespace zt::form {

void BuildLeftColumn(FormControls& c, QWidget* parent, QBoxLayout* layout) {
  c.Panel3 = MakePanel(parent, "Panel3", true);
  c.Panel3->setFixedWidth(ui::kLeftColumnWidth);
  layout->addWidget(c.Panel3);
  auto* leftCol = new QVBoxLayout(c.Panel3);
  leftCol->setContentsMargins(2, 2, 2, 2);
  leftCol->setSpacing(2);

  // Display-mode buttons.
  c.Panel6 = MakePanel(c.Panel3, "Panel6");
  c.Panel6->setFixedHeight(35);
  leftCol->addWidget(c.Panel6);
  auto* modeRow = new QHBoxLayout(c.Panel6);
  modeRow->setContentsMargins(0, 0, 0, 0);
  modeRow->setSpacing(2);
  c.Button2 = MakeButton(c.Panel6, "Button2", QStringLiteral("RLCD"));
  c.Button1 = MakeButton(c.Panel6, "Button1", QStringLiteral("RD"));
  c.Button3 = MakeButton(c.Panel6, "Button3", QStringLiteral("U"));
  for (auto* b : {c.Button2, c.Button1, c.Button3}) {
    b->setMinimumHeight(31);
    modeRow->addWidget(b);
  }

  // Work mode, the profile caption and the profile file buttons.
  c.Panel1 = MakePanel(c.Panel3, "Panel1");
  leftCol->addWidget(c.Panel1, 1);
  auto* p1 = new QVBoxLayout(c.Panel1);
  p1->setContentsMargins(0, 0, 0, 0);
  p1->setSpacing(3);
  c.CBox10 = MakeCombo(c.Panel1, "CBox10", {QStringLiteral("Измерение 1 детали"), QStringLiteral("Мульти")});
  c.CBox10->setFont(PixelFont(17, true));
  p1->addWidget(c.CBox10);
  c.JvP8 = MakeLabel(c.Panel1, "JvP8", QStringLiteral("Профиль"));
  c.JvP8->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  c.JvP8->setMinimumWidth(0);
  c.JvP8->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  p1->addWidget(c.JvP8);
  c.Panel5 = MakePanel(c.Panel1, "Panel5", true);
  c.Panel5->setFont(PixelFont(ui::kFontPx, false));
  p1->addWidget(c.Panel5, 1);
  auto* p5 = new QGridLayout(c.Panel5);
  p5->setContentsMargins(3, 3, 3, 3);
  p5->setSpacing(2);
  c.SB1 = MakeButton(c.Panel5, "SB1", QStringLiteral("Создать"));
  c.SB2 = MakeButton(c.Panel5, "SB2", QStringLiteral("Открыть"));
  c.SB3 = MakeButton(c.Panel5, "SB3", QStringLiteral("Сохранить как"));
  c.SB3->setEnabled(false);
  c.SB4 = MakeButton(c.Panel5, "SB4", QStringLiteral("Изменение профиля"), true);
  c.SB4->setChecked(true);
  p5->addWidget(c.SB1, 0, 0);
  p5->addWidget(c.SB2, 0, 1);
  p5->addWidget(c.SB3, 1, 0, 1, 2);
  p5->addWidget(c.SB4, 2, 0, 1, 2);
}

}  // namespace zt::form
