// The pieces the region builders make their controls from.
#include "form_build.h"

namespace zt::form {

QFont PixelFont(int px, bool bold) {
  QFont f(QStringLiteral("Calibri"));
  f.setPixelSize(px);
  f.setBold(bold);
  return f;
}

QFrame* MakePanel(QWidget* parent, const char* name, bool bevelled) {
  auto* f = Make<QFrame>(parent, name);
  if (bevelled) {
    f->setFrameShape(QFrame::Panel);
    f->setFrameShadow(QFrame::Raised);
  }
  return f;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& text, bool toggle) {
  auto* b = Make<QPushButton>(parent, name);
  b->setText(text);
  b->setCheckable(toggle);
  b->setFocusPolicy(Qt::TabFocus);
  return b;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text) {
  auto* l = Make<QLabel>(parent, name);
  l->setText(text);
  return l;
}

QComboBox* MakeCombo(QWidget* parent, const char* name, const QStringList& items, bool editable) {
  auto* c = Make<QComboBox>(parent, name);
  c->setEditable(editable);
  c->addItems(items);
  c->setCurrentIndex(0);
  return c;
}

}  // namespace zt::form
