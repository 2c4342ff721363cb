// The profile editor bound to the profile book.
#include "view_profile.h"

#include <QApplication>
#include <QSignalBlocker>

#include "tolerance.h"
#include "ui_constants.h"

namespace zt {

namespace {

// Puts the filtered text back into the field (keeping the caret where the
// filter says) and returns it.
QString ApplyFilter(QLineEdit* edit, const FilteredText& f) {
  if (edit->text() != f.text) {
    const QSignalBlocker block(edit);
    edit->setText(f.text);
    edit->setCursorPosition(f.caret);
  }
  return f.text;
}

void SetIndex(QComboBox* box, int index) { box->setCurrentIndex(index >= 0 && index < box->count() ? index : -1); }

// A nominal value read from a file shows whole: the box takes up to 7 typed
// characters, a profile holds up to 10, and what shows is what is sorted
// against and stored again.
void ShowNominal(QLineEdit* edit, const QString& text) {
  edit->setMaxLength(std::max<int>(ui::kNominalTypedMax, int(text.size())));
  edit->setText(text);
}

}  // namespace

ProfileView::ProfileView(const ViewContext& v) : QObject(v.window), v_(v) {
  bindEditor();
  bindSelection();
  bindCommands();
  bindFiles();
}

void ProfileView::push(const std::function<void(Reference&)>& change) {
  Reference r = v_.session->book().reference();
  change(r);
  v_.session->book().setReference(r);
}

QComboBox* ProfileView::primaryUnitBox(int kind) const {
  return kind == kPrimaryL ? v_.ui->CBox3 : kind == kPrimaryC ? v_.ui->CBox4 : v_.ui->CBox1;
}

void ProfileView::showUnitBoxes(const Reference& ref) {
  const FormControls& c = *v_.ui;
  c.CBox1->setVisible(ref.primary.kind == kPrimaryR);
  c.CBox3->setVisible(ref.primary.kind == kPrimaryL);
  c.CBox4->setVisible(ref.primary.kind == kPrimaryC);
  c.CBox31->setVisible(ref.secondary.kind == kSecondaryR);
}

void ProfileView::bindEditor() {
  FormControls& c = *v_.ui;
  const QChar sep = v_.session->book().separators().decimal.isEmpty() ? QLatin1Char('.')
                                                                      : v_.session->book().separators().decimal.at(0);
  connect(c.CBox6, &QComboBox::editTextChanged, this,
          [this](const QString& name) { push([&](Reference& r) { r.name = name; }); });
  // Nominal values: the number rule as they are typed.
  connect(c.E2, &QLineEdit::textChanged, this, [this, sep] {
    QLineEdit* e = v_.ui->E2;
    const QString text = ApplyFilter(e, FilterNumberText(e->text(), e->cursorPosition(), sep));
    push([&](Reference& r) { r.primary.nominalText = text; });
  });
  connect(c.E11, &QLineEdit::textChanged, this, [this, sep] {
    QLineEdit* e = v_.ui->E11;
    const QString text = ApplyFilter(e, FilterNumberText(e->text(), e->cursorPosition(), sep));
    push([&](Reference& r) { r.secondary.nominalText = text; });
  });
  bindTolerance(c.CBox5, true);
  bindTolerance(c.CBox51, false);

  // Kinds and units: the unit box of the kind shows, and its unit counts.
  connect(c.CBox2, &QComboBox::currentIndexChanged, this, [this](int kind) {
    const int unit = primaryUnitBox(kind)->currentIndex();
    push([&](Reference& r) {
      r.primary.kind = kind;
      r.primary.unitIndex = unit;
    });
    showUnitBoxes(v_.session->book().reference());
  });
  for (QComboBox* box : {c.CBox1, c.CBox3, c.CBox4}) {
    connect(box, &QComboBox::currentIndexChanged, this, [this, box](int unit) {
      if (box != primaryUnitBox(v_.session->book().reference().primary.kind)) return;
      push([&](Reference& r) { r.primary.unitIndex = unit; });
    });
  }
  connect(c.CBox11, &QComboBox::currentIndexChanged, this, [this](int kind) {
    const int unit = v_.ui->CBox31->currentIndex();
    push([&](Reference& r) {
      r.secondary.kind = kind;
      r.secondary.unitIndex = unit;
    });
    showUnitBoxes(v_.session->book().reference());
  });
  connect(c.CBox31, &QComboBox::currentIndexChanged, this,
          [this](int unit) { push([&](Reference& r) { r.secondary.unitIndex = unit; }); });

  connect(&v_.session->book(), &ProfileBook::referenceLoaded, this, &ProfileView::render);
}

// A tolerance box takes a typed value besides its list. Item 0 switches the
// tolerance off; any other item or a typed value switches it on.
void ProfileView::bindTolerance(QComboBox* box, bool primary) {
  box->setEditable(true);
  box->setInsertPolicy(QComboBox::NoInsert);
  box->setCompleter(nullptr);
  box->setMaxVisibleItems(16);
  const QChar sep = v_.session->book().separators().decimal.isEmpty() ? QLatin1Char('.')
                                                                      : v_.session->book().separators().decimal.at(0);
  auto side = [primary](Reference& r) -> ReferenceSide& { return primary ? r.primary : r.secondary; };
  connect(box->lineEdit(), &QLineEdit::textEdited, this, [this, box, sep, side] {
    QLineEdit* e = box->lineEdit();
    const QString text = ApplyFilter(e, FilterToleranceText(e->text(), e->cursorPosition(), sep));
    push([&](Reference& r) {
      side(r).toleranceOn = true;
      side(r).toleranceText = text;
    });
  });
  connect(box, &QComboBox::activated, this, [this, box, side](int index) {
    const QString text = box->itemText(index);
    push([&](Reference& r) {
      side(r).toleranceOn = index != 0;
      side(r).toleranceText = index != 0 ? text : QString();
    });
  });
  // A value is complete when picked from the list (shown as listed) or
  // confirmed with Enter; only then does the focus leave the box, so that a
  // value of several keystrokes can be typed.
  const auto leave = [this, box] {
    // The box also reports a typed text that names an item when the
    // operator leaves it for another control: that control keeps the focus.
    const QWidget* focus = QApplication::focusWidget();
    if (!focus || focus == box || box->isAncestorOf(focus)) v_.ui->Memo1->setFocus();
  };
  connect(box, &QComboBox::activated, this, leave);
  connect(box->lineEdit(), &QLineEdit::returnPressed, this, leave);
}

void ProfileView::render(const Reference& ref) {
  FormControls& c = *v_.ui;
  const QList<QWidget*> editor = {c.CBox6, c.CBox5,  c.CBox2,  c.CBox1,  c.CBox3, c.CBox4,
                                  c.E2,    c.CBox51, c.CBox11, c.CBox31, c.E11};
  std::vector<std::unique_ptr<QSignalBlocker>> quiet;
  for (QWidget* w : editor) quiet.push_back(std::make_unique<QSignalBlocker>(w));
  c.CBox6->setEditText(ref.name);
  // Shown as stored; an "off" tolerance as the box's first item.
  auto showTolerance = [](QComboBox* box, const ReferenceSide& s) {
    if (s.toleranceOn)
      box->setEditText(s.toleranceText);
    else
      box->setCurrentIndex(0);
  };
  showTolerance(c.CBox5, ref.primary);
  SetIndex(c.CBox2, ref.primary.kind);
  if (ref.primary.kind >= 0 && ref.primary.kind < c.CBox2->count())
    SetIndex(primaryUnitBox(ref.primary.kind), ref.primary.unitIndex);
  ShowNominal(c.E2, ref.primary.nominalText);
  showTolerance(c.CBox51, ref.secondary);
  SetIndex(c.CBox11, ref.secondary.kind);
  if (ref.secondary.kind == kSecondaryR) SetIndex(c.CBox31, ref.secondary.unitIndex);
  ShowNominal(c.E11, ref.secondary.nominalText);
  showUnitBoxes(ref);
}

}  // namespace zt
