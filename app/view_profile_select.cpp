// The profile selection (names, number) and the record commands, bound to
// the profile book.
#include <QAbstractItemView>
#include <QKeyEvent>
#include <QSignalBlocker>

#include "event_hooks.h"
#include "view_profile.h"

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

}  // namespace

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
