// The window's own properties and its frame of regions: the top region (left
// column, front panel area) and the lower region (band, grid), with the
// model chooser floating over them.
#include "form_build.h"
#include "ui_constants.h"

namespace zt::form {

namespace {

void BuildFrontPanelArea(FormControls& c, QBoxLayout* topRow) {
  c.Panel4 = MakePanel(c.Panel_top, "Panel4");
  topRow->addWidget(c.Panel4, 1);
  auto* p4 = new QVBoxLayout(c.Panel4);
  p4->setContentsMargins(0, 0, 0, 0);
  c.P5 = MakePanel(c.Panel4, "P5");
  p4->addWidget(c.P5);
  auto* p5col = new QVBoxLayout(c.P5);
  p5col->setContentsMargins(0, 0, 0, 0);
  p5col->setSpacing(0);
  BuildFunctionStrip(c, c.P5, p5col);
  BuildDisplayPanels(c, c.P5, p5col);
  BuildMenus(c);
}

void BuildLowerRegion(FormControls& c, QWidget* window, QBoxLayout* root) {
  c.Panel9 = MakePanel(window, "Panel9");
  root->addWidget(c.Panel9, 1);
  auto* lower = new QVBoxLayout(c.Panel9);
  lower->setContentsMargins(0, 8, 0, 0);
  lower->setSpacing(0);

  // The band: captions on its top edge over the editor and the recording controls.
  c.JvPanel2 = MakePanel(c.Panel9, "JvPanel2");
  c.JvPanel2->setFixedHeight(ui::kBandHeight + 20);
  lower->addWidget(c.JvPanel2);
  auto* band = new QGridLayout(c.JvPanel2);
  band->setContentsMargins(0, 0, 0, 0);
  band->setHorizontalSpacing(0);
  band->setVerticalSpacing(0);
  c.JvP1 = MakeLabel(c.JvPanel2, "JvP1");
  c.JvP11 = MakeLabel(c.JvPanel2, "JvP11");
  for (QLabel* l : {c.JvP1, c.JvP11}) {
    l->setFont(PixelFont(16, true));
    l->setFixedHeight(20);
    l->setIndent(8);
  }
  band->addWidget(c.JvP1, 0, 0);
  band->addWidget(c.JvP11, 0, 1);
  BuildProfileEditor(c, c.JvPanel2, band);
  BuildRecordingBand(c, c.JvPanel2, band);

  BuildGrid(c, c.Panel9, lower);
}

}  // namespace

void BuildWindow(FormControls& c, QWidget* window) {
  window->setObjectName(QStringLiteral("Form1"));
  window->setWindowTitle(QStringLiteral("Регистратор данных для RLC метров ЗТ версия 1.6"));
  window->setFont(PixelFont(ui::kFontPx, true));
  window->setMinimumSize(ui::kClientWidth, ui::kMinHeight);
  window->setMaximumWidth(ui::kClientWidth);
  window->resize(ui::kClientWidth, ui::kClientHeight);

  auto* root = new QVBoxLayout(window);
  root->setContentsMargins(0, 0, 0, 0);
  root->setSpacing(0);

  c.Panel_top = MakePanel(window, "Panel_top");
  c.Panel_top->setFixedHeight(ui::kTopHeight);
  root->addWidget(c.Panel_top);
  auto* topRow = new QHBoxLayout(c.Panel_top);
  topRow->setContentsMargins(0, 0, 0, 0);
  topRow->setSpacing(0);
  BuildLeftColumn(c, c.Panel_top, topRow);
  BuildFrontPanelArea(c, topRow);

  BuildLowerRegion(c, window, root);
  BuildModelPanel(c, window);
}

}  // namespace zt::form
