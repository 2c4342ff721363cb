// Log grid and recording: the grid model, the row writer, start/stop, clear,
// the mode switch, the space bar trigger and the grid's mouse handling.
#include <QApplication>
#include <QDateTime>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLocale>
#include <QMouseEvent>

#include "format.h"
#include "log_model.h"
#include "log_verdict_delegate.h"
#include "main.h"
#include "profile_file.h"
#include "tolerance.h"

namespace zt {

namespace {

constexpr int kColumnWidths[kLogColumns] = {68, 133, 131, 128, 50, 83, 73, 96, 105, 107};
constexpr int kLogHeaderRows = 16;

// A selection model that asks the window before any cell becomes current or
// selected (refused selections leave everything as it was).
class GuardedSelection : public QItemSelectionModel {
 public:
  GuardedSelection(QAbstractItemModel* model, std::function<bool(const QModelIndex&)> allow, QObject* parent)
      : QItemSelectionModel(model, parent), m_allow(std::move(allow)) {}

  void setCurrentIndex(const QModelIndex& index, QItemSelectionModel::SelectionFlags command) override {
    if (index.isValid() && !m_allow(index)) return;
    QItemSelectionModel::setCurrentIndex(index, command);
  }
  void select(const QModelIndex& index, QItemSelectionModel::SelectionFlags command) override {
    if (index.isValid() && !m_allow(index)) return;
    QItemSelectionModel::select(index, command);
  }
  void select(const QItemSelection& selection, QItemSelectionModel::SelectionFlags command) override {
    if (!selection.isEmpty() && !m_allow(selection.first().topLeft())) return;
    QItemSelectionModel::select(selection, command);
  }

 private:
  std::function<bool(const QModelIndex&)> m_allow;
};

// Key preview: the window sees a key before the control that has the focus,
// once per key press, and never consumes it.
class KeyPreview : public QObject {
 public:
  explicit KeyPreview(TForm1* form) : QObject(form), m_form(form) { qApp->installEventFilter(this); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::KeyPress && watched->isWidgetType()) {
      QWidget* focus = QApplication::focusWidget();
      QWidget* first = (focus && focus->window() == m_form) ? focus : m_form;
      // A key press travels from the focus widget up to the window; act on
      // its first stop only.
      if (watched == first) m_form->FormKeyDown(static_cast<QKeyEvent*>(event)->key());
    }
    return false;
  }

 private:
  TForm1* m_form;
};

// Hands the grid's mouse releases, with their position, to SGMouseUp.
class GridMouseUp : public QObject {
 public:
  GridMouseUp(QWidget* viewport, TForm1* form) : QObject(viewport), m_form(form) { viewport->installEventFilter(this); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::MouseButtonRelease)
      m_form->SGMouseUp(static_cast<QMouseEvent*>(event)->position().toPoint());
    return QObject::eventFilter(watched, event);
  }

 private:
  TForm1* m_form;
};

// The system's time separator, read from its short time format.
QString TimeSeparator() {
  const QString f = QLocale::system().timeFormat(QLocale::ShortFormat);
  for (qsizetype i = 0; i + 1 < f.size(); ++i) {
    if ((f[i] == u'h' || f[i] == u'H') && f[i + 1] != u'h' && f[i + 1] != u'H') {
      qsizetype j = i + 1;
      QString sep;
      while (j < f.size() && !f[j].isLetter()) sep += f[j++];
      sep.remove(u'\'');
      if (!sep.isEmpty()) return sep;
    }
  }
  return QStringLiteral(":");
}

}  // namespace

void TForm1::ConnectLogSignals() {
  SGModel = new LogModel(SG);
  SG->setModel(SGModel);
  SG->setItemDelegate(new LogVerdictDelegate(SG));
  SG->setSelectionModel(new GuardedSelection(
      SGModel, [this](const QModelIndex& i) { return SGSelectCell(i.column(), i.row() + 1); }, SG));
  SG->setEditTriggers(QAbstractItemView::NoEditTriggers);
  SG->setSelectionMode(QAbstractItemView::SingleSelection);
  SG->setSelectionBehavior(QAbstractItemView::SelectItems);
  SG->setFocusPolicy(Qt::ClickFocus);  // not a tab stop
  SG->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  for (int c = 0; c < kLogColumns; ++c) SG->setColumnWidth(c, kColumnWidths[c]);
  new GridMouseUp(SG->viewport(), this);

  connect(SP1, &QPushButton::clicked, this, [this] { SP1Click(); });
  connect(B5, &QPushButton::clicked, this, [this] { B5Click(); });
  connect(CBox10, &QComboBox::activated, this, [this] { CBox10Click(); });
  connect(SE1, &QSpinBox::valueChanged, this, [this](int v) {
    if (v < SE1->maximum()) LogFull = false;
  });
  m_keyPreview = new KeyPreview(this);
}

std::int32_t TForm1::CheckTolerance() {
  ToleranceInput in;
  in.TestFreqHz = TestFreqHz;
  in.CircuitSeries = meterSettings.CircuitSeries;
  in.ReadingR = ReadingR;
  in.ReadingX = ReadingX;
  in.ParallelR = ParallelR;
  in.ParallelX = ParallelX;
  in.decimalSeparator = DecimalSeparator.isEmpty() ? QLatin1Char('.') : DecimalSeparator.at(0);
  const int kind = CBox2->currentIndex();
  const QComboBox* unitBox = kind == kPrimaryL ? CBox3 : kind == kPrimaryC ? CBox4 : CBox1;
  in.primary = {PrimaryToleranceOn(), CBox5->currentText(), kind, unitBox->currentIndex(), E2->text()};
  in.secondary = {SecondaryToleranceOn(), CBox51->currentText(), CBox11->currentIndex(), CBox31->currentIndex(),
                  E11->text()};
  SortResult = zt::CheckTolerance(in, PrimaryDeviation, SecondaryDeviation);
  return SortResult;
}

bool TForm1::PrimaryToleranceOn() const { return CBox5->currentText() != CBox5->itemText(0); }
bool TForm1::SecondaryToleranceOn() const { return CBox51->currentText() != CBox51->itemText(0); }

void TForm1::AppendLogRow() {
  // 1. The meter marks the frames that may be logged.
  if (meterSettings.LogReady != 1) return;
  const bool multi = CBox10->currentIndex() == 1;
  // 2. The row: the start position, or the current profile.
  const int p = multi ? SE2->value() : SE1->value();
  // The free slot after the last profile has no row in the table.
  if (multi && (p < 1 || p > ProfileCount)) return;
  // Row 100,000 is written once; later readings would only overwrite it.
  if (!multi && LogFull && p >= SE1->maximum()) return;
  // 3.
  LogPosition = p;
  // 4. Grow the grid to the row and bring it into view (when cells may be selected).
  if (p + 1 >= SGModel->gridRowCount()) SGModel->setGridRowCount(p + 1);
  if (p > 2 && SGSelectCell(std::max(SG->currentIndex().column(), 0), p)) {
    const QModelIndex at = SGModel->index(p - 1, std::max(SG->currentIndex().column(), 0));
    SG->setCurrentIndex(at);
    SG->scrollTo(at);
  }
  // 5. The cells.
  const Separators sep{DecimalSeparator, GroupSeparator};
  LogReading r;
  r.position = FormatFixed(p, 7, 0, false, sep);
  if (!multi) {
    const QString t = TimeSeparator();
    r.time = QDateTime::currentDateTime().toString(QStringLiteral("dd.MM.yy hh'%1'mm'%1'ss").arg(t));
  }
  r.primary = L_Prim_RLC->text() + QLatin1Char(' ') + L_prim_n->text();
  r.secondary = L_Sec_RLC->text() + QLatin1Char(' ') + L_sec_n->text();
  r.circuit = meterSettings.CircuitSeries == 1 ? lex().Dlang2[2] : lex().Dlang2[3];
  r.frequency = meterSettings.FreqCode == 0 ? QStringLiteral("A") : FreqText;
  r.level = LevelText;
  r.primaryOn = PrimaryToleranceOn();
  r.secondaryOn = SecondaryToleranceOn();
  r.mark = SortResult != 0 ? lex().D3[3] : lex().D3[4];
  r.primaryDeviation = FormatFixed(PrimaryDeviation, 4, 2, false, sep);
  r.secondaryDeviation = FormatFixed(SecondaryDeviation, 4, 2, false, sep);
  r.sortResult = SortResult;
  SGModel->writeReading(p, r);
  // 6.
  LogPosition = p + 1;
  if (!multi) {
    if (p >= SE1->maximum()) {
      LogFull = true;
      if (SP1->isChecked()) {
        SP1->setChecked(false);
        SP1Click();
      }
      prompts().message(this, windowTitle(), lex().D4[msg::kLogFull].arg(SE1->maximum()), Prompts::Icon::Warning);
    }
    SE1->setValue(p + 1);
  }
}

void TForm1::ResetLogGrid(int n) {
  SE1->setValue(1);
  LogFull = false;
  SGModel->resetGrid(n);
}

void TForm1::ShowLogHeaders() {
  ResetLogGrid(kLogHeaderRows);
  for (int c = 0; c < kLogColumns; ++c) SGModel->setHeader(c, lex().D2[c + 1]);
}

void TForm1::ShowGridHeadings() {
  GridRowTexts h;
  for (int c = 0; c < kLogColumns; ++c) h[c] = lex().D2[c + 1];
  if (CBox10->currentIndex() == 1) {
    const GridRowTexts table = ProfileTableHeaders(lex());
    if (MultiGridReady != 0) {
      h[1] = table[1];  // the measurement table names its rows after the profiles
    } else {
      for (int c = 0; c < kLogColumns; ++c)
        if (!table[c].isNull()) h[c] = table[c];
    }
  }
  for (int c = 0; c < kLogColumns; ++c) SGModel->setHeader(c, h[c]);
}

void TForm1::PrepareMultiGrid() {
  if (MultiGridReady != 0) return;
  Button_Add->setEnabled(false);
  Button_DEL->setEnabled(false);
  BB1->setEnabled(false);
  // Re-reading 1.dat first makes the table as long as the file it names.
  if (LoadSettingsFile() == 1) {
    SB3->setEnabled(true);
    SB4->setEnabled(true);
  }
  ResetLogGrid(ProfileCount + 1);
  // The rows are named from the file itself: the name list of CBox6 may
  // still hold another file's names, or names from before an insert or a
  // deletion.
  QVector<ProfileRecord> recs;
  if (ProfileCount > 0) {
    const ProfileIo io = ProfileFile(CurrentProfilePath).readRecords(ProfileCount, recs);
    if (io.ok) {
      ReportProfileProblems(io.problems);
      ListProfileNames(recs);
    } else {
      ProfileError = io.message;
      ReportProfileError();
    }
  }
  const Separators sep{DecimalSeparator, GroupSeparator};
  for (int i = 1; i <= ProfileCount; ++i) {
    SGModel->setCell(i, 0, FormatFixed(i, 7, 0, false, sep));
    SGModel->setCell(i, 1, i - 1 < recs.size() ? recs[i - 1].ProfileName : QString());
  }
  MultiGridReady = 1;
  ShowGridHeadings();
}

void TForm1::SelectGridCell(int row, int col) {
  SG->setFocus();
  if (!SGSelectCell(col, row)) return;
  const QModelIndex at = SGModel->index(row - 1, col);
  if (!at.isValid()) return;
  SG->setCurrentIndex(at);
  SG->selectionModel()->select(at, QItemSelectionModel::ClearAndSelect);
}

bool TForm1::SGSelectCell(int col, int row) const {
  (void)col;
  (void)row;
  // A running log moves to each new row itself; while idle the operator
  // cannot pick cells in single-part mode.
  return !(CBox10->currentIndex() == 0 && !SP1->isChecked());
}

void TForm1::SP1Click() {
  if (SP1->isChecked()) {
    if (CBox10->currentIndex() == 1) PrepareMultiGrid();
    SP1->setText(lex().D1[2]);
    SG->setEnabled(false);
    SP3->setEnabled(false);
  } else {
    SP1->setText(lex().D1[8]);
    SG->setEnabled(true);
    SP3->setEnabled(true);
  }
}

void TForm1::B5Click() {
  SP1->setChecked(false);  // up, without the click behaviour
  SP1->setText(lex().D1[8]);
  ResetLogGrid(kLogHeaderRows);
}

void TForm1::CBox10Click() {
  SP1->setChecked(false);
  SP1->setText(lex().D1[8]);
  SG->setEnabled(true);
  if (CBox10->currentIndex() == 1) {
    B5->setEnabled(false);
    MultiGridReady = 0;
    if (!ShowProfileTable(0)) ReportProfileError();
    SelectGridCell(SE2->value(), 1);
  } else {
    B5->setEnabled(true);
    ShowLogHeaders();
    SelectGridCell(1, 0);
  }
}

void TForm1::FormKeyDown(int key) {
  if (SettingsBusy == 1 || SB4->isChecked() || key != Qt::Key_Space || SP1->isChecked() || LinkUp != 1 ||
      MeterAsleep != 0)
    return;
  if (CBox10->currentIndex() == 1) PrepareMultiGrid();
  AppendLogRow();
}

void TForm1::SGMouseUp(const QPoint& pos) {
  if (CBox10->currentIndex() != 1) return;
  const int r = SG->rowAt(pos.y()) + 1;
  const int col = SG->columnAt(pos.x());
  if (r < 1 || r > ProfileCount || col >= 4) return;  // col -1: outside the columns
  if (!ReadProfile(r)) {
    ReportProfileError();
    return;
  }
  SE2->setValue(r);
}

}  // namespace zt
