// The profile editor bound to the profile book.
#include "view_profile.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QKeyEvent>
#include <QSignalBlocker>

#include "event_hooks.h"
#include "tolerance.h"

namespace zt {

namespace {

// Marks the steps of SE2 made by its arrows, arrow keys, page keys or the
// wheel, so that typing a number reads nothing.
class SpinStepWatch : public QObject {
 public:
  SpinStepWatch(QSpinBox* spin, bool* stepping) : QObject(spin), stepping_(stepping) { spin->installEventFilter(this); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    switch (event->type()) {
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonDblClick:
      case QEvent::Wheel: *stepping_ = true; break;
      case QEvent::KeyPress: {
        const int k = static_cast<QKeyEvent*>(event)->key();
        *stepping_ = k == Qt::Key_Up || k == Qt::Key_Down || k == Qt::Key_PageUp || k == Qt::Key_PageDown;
        break;
      }
      case QEvent::MouseButtonRelease:
      case QEvent::KeyRelease:
      case QEvent::FocusOut: *stepping_ = false; break;
      default: break;
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  bool* stepping_;
};

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

void SetIndex(QComboBox* box, int index) {
  box->setCurrentIndex(index >= 0 && index < box->count() ? index : -1);
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
  const QChar sep = v_.session->book().separators().decimal.isEmpty()
                        ? QLatin1Char('.')
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
  const QChar sep = v_.session->book().separators().decimal.isEmpty()
                        ? QLatin1Char('.')
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
  const QList<QWidget*> editor = {c.CBox6, c.CBox5, c.CBox2, c.CBox1, c.CBox3, c.CBox4, c.E2,
                                  c.CBox51, c.CBox11, c.CBox31, c.E11};
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
  c.E2->setText(ref.primary.nominalText);
  showTolerance(c.CBox51, ref.secondary);
  SetIndex(c.CBox11, ref.secondary.kind);
  if (ref.secondary.kind == kSecondaryR) SetIndex(c.CBox31, ref.secondary.unitIndex);
  c.E11->setText(ref.secondary.nominalText);
  showUnitBoxes(ref);
}

void ProfileView::bindSelection() {
  FormControls& c = *v_.ui;
  ProfileBook* book = &v_.session->book();
  connect(c.CBox6, &QComboBox::activated, book, &ProfileBook::chooseName);
  // The list is refilled from the file each time it drops down.
  OnWidgetEvent(c.CBox6->view()->parentWidget() ? c.CBox6->view()->parentWidget() : c.CBox6->view(), QEvent::Show,
                [book] { book->showNames(); });
  connect(book, &ProfileBook::namesChanged, this, [this](const QStringList& names) {
    QComboBox* box = v_.ui->CBox6;
    const QString text = box->currentText();  // the name shown stays
    const QSignalBlocker block(box);
    box->clear();
    box->addItems(names);
    box->setEditText(text);
  });

  new SpinStepWatch(c.SE2, &stepping_);
  connect(c.SE2, &QSpinBox::valueChanged, this, [this](int n) {
    if (stepping_)
      v_.session->book().step(n);  // both arrows read the profile they step to
    else
      v_.session->book().setCurrentNumber(n);
  });
  connect(book, &ProfileBook::numberChanged, this, [this](int number, int maximum, bool stored) {
    QSpinBox* se2 = v_.ui->SE2;
    const QSignalBlocker block(se2);
    se2->setMaximum(maximum);
    se2->setValue(number);
    v_.ui->BB2->setEnabled(stored);
  });
  connect(c.BB2, &QPushButton::clicked, book, &ProfileBook::read);
}

void ProfileView::setProfileEditing(bool on) {
  for (QPushButton* b : {v_.ui->Button_Add, v_.ui->Button_DEL, v_.ui->BB1}) b->setEnabled(on);
}

void ProfileView::bindCommands() {
  FormControls& c = *v_.ui;
  ProfileBook* book = &v_.session->book();
  connect(c.BB1, &QPushButton::clicked, this, [this] {
    if (v_.session->book().store()) v_.ui->Memo1->setFocus();
  });
  connect(c.Button_Add, &QPushButton::clicked, book, &ProfileBook::insert);
  connect(c.Button_DEL, &QPushButton::clicked, book, &ProfileBook::remove);
  // Records are stored, inserted and deleted only while a profile is edited.
  connect(&v_.session->meter(), &MeterState::modeChanged, this,
          [this](WorkMode mode) { setProfileEditing(mode == WorkMode::EditingProfile); });
  connect(&v_.session->link(), &MeterLink::linkCameUp, this, [this] { setProfileEditing(false); });
  connect(&v_.session->link(), &MeterLink::linkWentDown, this, [this] { setProfileEditing(true); });
  connect(&v_.session->recorder(), &Recorder::profileEditingLocked, this, [this] { setProfileEditing(false); });
}

}  // namespace zt
