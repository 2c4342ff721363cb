#include "view_log.h"

#include <QApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QSignalBlocker>
#include <functional>

#include "log_verdict_delegate.h"

namespace zt {

namespace {

constexpr int kColumnWidths[kLogColumns] = {68, 133, 131, 128, 50, 83, 73, 96, 105, 107};

// A selection model that asks before any cell becomes current or selected
// (refused selections leave everything as it was).
class GuardedSelection : public QItemSelectionModel {
 public:
  GuardedSelection(QAbstractItemModel* model, std::function<bool()> allow, QObject* parent)
      : QItemSelectionModel(model, parent), allow_(std::move(allow)) {}

  void setCurrentIndex(const QModelIndex& index, QItemSelectionModel::SelectionFlags command) override {
    if (index.isValid() && !allow_()) return;
    QItemSelectionModel::setCurrentIndex(index, command);
  }
  void select(const QModelIndex& index, QItemSelectionModel::SelectionFlags command) override {
    if (index.isValid() && !allow_()) return;
    QItemSelectionModel::select(index, command);
  }
  void select(const QItemSelection& selection, QItemSelectionModel::SelectionFlags command) override {
    if (!selection.isEmpty() && !allow_()) return;
    QItemSelectionModel::select(selection, command);
  }

 private:
  std::function<bool()> allow_;
};

// Key preview: the window sees a key before the control that has the focus,
// once per key press, and never consumes it.
class KeyPreview : public QObject {
 public:
  KeyPreview(QWidget* window, std::function<void(int key)> onKey)
      : QObject(window), window_(window), onKey_(std::move(onKey)) {
    qApp->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::KeyPress && watched->isWidgetType()) {
      QWidget* focus = QApplication::focusWidget();
      QWidget* first = (focus && focus->window() == window_) ? focus : window_;
      // A key press travels from the focus widget up to the window; act on
      // its first stop only.
      if (watched == first) onKey_(static_cast<QKeyEvent*>(event)->key());
    }
    return false;
  }

 private:
  QWidget* window_;
  std::function<void(int)> onKey_;
};

// Hands the grid's mouse releases, with their position, on.
class GridMouseUp : public QObject {
 public:
  GridMouseUp(QWidget* viewport, std::function<void(const QPoint&)> onRelease)
      : QObject(viewport), onRelease_(std::move(onRelease)) {
    viewport->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::MouseButtonRelease) onRelease_(static_cast<QMouseEvent*>(event)->position().toPoint());
    return QObject::eventFilter(watched, event);
  }

 private:
  std::function<void(const QPoint&)> onRelease_;
};

}  // namespace

LogView::LogView(const ViewContext& v) : QObject(v.window), v_(v) {
  bindGrid();
  bindBand();
}

void LogView::bindGrid() {
  QTableView* sg = v_.ui->SG;
  Recorder* recorder = &v_.session->recorder();
  sg->setModel(recorder->model());
  sg->setItemDelegate(new LogVerdictDelegate(sg));
  sg->setSelectionModel(new GuardedSelection(
      recorder->model(), [recorder] { return recorder->cellSelectable(); }, sg));
  sg->setEditTriggers(QAbstractItemView::NoEditTriggers);
  sg->setSelectionMode(QAbstractItemView::SingleSelection);
  sg->setSelectionBehavior(QAbstractItemView::SelectItems);
  sg->setFocusPolicy(Qt::ClickFocus);  // not a tab stop
  sg->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  for (int c = 0; c < kLogColumns; ++c) sg->setColumnWidth(c, kColumnWidths[c]);
  new GridMouseUp(sg->viewport(), [sg, recorder](const QPoint& pos) {
    recorder->gridClicked(sg->rowAt(pos.y()) + 1, sg->columnAt(pos.x()));
  });

  connect(recorder, &Recorder::gridEnabledChanged, sg, &QWidget::setEnabled);
  connect(recorder, &Recorder::currentRowChanged, this, &LogView::moveTo);
  connect(recorder, &Recorder::cellSelected, this, &LogView::selectCell);
  new KeyPreview(v_.window, [recorder](int key) {
    if (key == Qt::Key_Space) recorder->logOnDemand();
  });
}

void LogView::bindBand() {
  FormControls& c = *v_.ui;
  Recorder* recorder = &v_.session->recorder();
  connect(c.SP1, &QPushButton::clicked, recorder, &Recorder::setRecording);
  connect(c.B5, &QPushButton::clicked, recorder, &Recorder::clear);
  connect(c.CBox10, &QComboBox::activated, recorder, &Recorder::setMode);
  connect(c.SE1, &QSpinBox::valueChanged, recorder, &Recorder::setStartPosition);
  // The window has an operator to ask before logged rows are written over;
  // the box opens from the event loop, not inside the reading that asked.
  recorder->setAskBeforeWritingOver(true);
  connect(recorder, &Recorder::writeOverAsked, this, [this](const WriteOverQuestion& q) {
    QMetaObject::invokeMethod(
        this, [this, q] { askWriteOver(q); }, Qt::QueuedConnection);
  });

  connect(recorder, &Recorder::recordingChanged, this, &LogView::renderRecording);
  c.SP1->setEnabled(v_.session->recordButtonEnabled());
  connect(v_.session, &Session::recordButtonEnabledChanged, c.SP1, &QWidget::setEnabled);
  connect(recorder, &Recorder::modeChanged, this, [this](int item) {
    const QSignalBlocker block(v_.ui->CBox10);
    v_.ui->CBox10->setCurrentIndex(item);
    v_.ui->B5->setEnabled(item == static_cast<int>(Recorder::Mode::SinglePart));
  });
  connect(recorder, &Recorder::startPositionChanged, this, [this](int position) {
    const QSignalBlocker block(v_.ui->SE1);
    v_.ui->SE1->setValue(position);
  });
  // SP1's caption follows the language as the recording stands.
  connect(&v_.session->lang(), &LangMan::languageChanged, this,
          [this] { v_.ui->SP1->setText(v_.session->recorder().recording() ? v_.lex().D1[2] : v_.lex().D1[8]); });
}

void LogView::renderRecording(bool on, bool byOperator) {
  QPushButton* sp1 = v_.ui->SP1;
  {
    const QSignalBlocker block(sp1);
    sp1->setChecked(on);
  }
  sp1->setText(on ? v_.lex().D1[2] : v_.lex().D1[8]);
  // The operator's own start and stop also lock and free the hold button.
  if (byOperator) v_.ui->SP3->setEnabled(!on);
}

// A row was written: the grid moves to it, keeping its column.
void LogView::moveTo(int gridRow) {
  QTableView* sg = v_.ui->SG;
  const QModelIndex at = sg->model()->index(gridRow - 1, std::max(sg->currentIndex().column(), 0));
  sg->setCurrentIndex(at);
  sg->scrollTo(at);
}

void LogView::askWriteOver(const WriteOverQuestion& q) {
  const Lexicon& d4 = v_.lex().D4;
  QStringList buttons{d4[msg::kWriteOverReplace]};
  if (q.canGoOn) buttons << d4[msg::kWriteOverGoOn].arg(q.goOnPosition());
  buttons << d4[msg::kWriteOverCancel];
  // Return keeps the rows: it goes on after them where it can.
  const int chosen = v_.prompts->choice(v_.window, v_.window->windowTitle(),
                                        d4[msg::kWriteOverQuestion].arg(q.position).arg(q.lastLogged), buttons,
                                        q.canGoOn ? 1 : static_cast<int>(buttons.size()) - 1);
  WriteOverAnswer answer = WriteOverAnswer::Cancel;
  if (chosen == 0) answer = WriteOverAnswer::WriteOver;
  if (q.canGoOn && chosen == 1) answer = WriteOverAnswer::GoOn;
  v_.session->recorder().answerWriteOver(answer);
}

void LogView::selectCell(int gridRow, int col) {
  QTableView* sg = v_.ui->SG;
  sg->setFocus();
  if (!v_.session->recorder().cellSelectable()) return;
  const QModelIndex at = sg->model()->index(gridRow - 1, col);
  if (!at.isValid()) return;
  sg->setCurrentIndex(at);
  sg->selectionModel()->select(at, QItemSelectionModel::ClearAndSelect);
}

}  // namespace zt
