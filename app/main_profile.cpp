// Reference profiles: the editor and its input rules, selecting, storing,
// inserting and deleting profiles, the profile file commands and the
// profile table of the grid.
#include <QAbstractItemView>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSignalBlocker>

#include "display.h"
#include "event_hooks.h"
#include "log_model.h"
#include "main.h"
#include "profile_file.h"
#include "settings_file.h"
#include "tolerance.h"

namespace zt {

namespace {

const QString kProfileFilter = QStringLiteral("*.hex1");
const QString kProfileSuffix = QStringLiteral(".hex1");

// Marks the steps of SE2 made by its arrows, arrow keys, page keys or the
// wheel, so that typing a number reads nothing.
class SpinStepWatch : public QObject {
 public:
  SpinStepWatch(QSpinBox* spin, bool* stepping) : QObject(spin), m_stepping(stepping) {
    spin->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    switch (event->type()) {
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonDblClick:
      case QEvent::Wheel: *m_stepping = true; break;
      case QEvent::KeyPress: {
        const int k = static_cast<QKeyEvent*>(event)->key();
        *m_stepping = k == Qt::Key_Up || k == Qt::Key_Down || k == Qt::Key_PageUp || k == Qt::Key_PageDown;
        break;
      }
      case QEvent::MouseButtonRelease:
      case QEvent::KeyRelease:
      case QEvent::FocusOut: *m_stepping = false; break;
      default: break;
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  bool* m_stepping;
};

void ApplyFilter(QLineEdit* edit, const FilteredText& f) {
  if (edit->text() == f.text) return;
  const QSignalBlocker block(edit);
  edit->setText(f.text);
  edit->setCursorPosition(f.caret);
}

}  // namespace

void TForm1::ConnectProfileSignals() {
  // The tolerance boxes take typed values besides their list.
  for (QComboBox* box : {CBox5, CBox51}) {
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setCompleter(nullptr);
    box->setMaxVisibleItems(16);
  }
  connect(E2, &QLineEdit::textChanged, this, [this] { E2Change(); });
  connect(E11, &QLineEdit::textChanged, this, [this] { E11Change(); });
  connect(CBox5->lineEdit(), &QLineEdit::textEdited, this, [this] { CBox5Change(); });
  connect(CBox51->lineEdit(), &QLineEdit::textEdited, this, [this] { CBox51Change(); });
  // A value is complete when picked from the list (shown as listed) or
  // confirmed with Enter; only then does the focus leave the box, so that a
  // value of several keystrokes can be typed.
  for (QComboBox* box : {CBox5, CBox51}) {
    const auto leave = [this, box] {
      // The box also reports a typed text that names an item when the
      // operator leaves it for another control: that control keeps the focus.
      const QWidget* focus = QApplication::focusWidget();
      if (!focus || focus == box || box->isAncestorOf(focus)) Memo1->setFocus();
    };
    connect(box, &QComboBox::activated, this, leave);
    connect(box->lineEdit(), &QLineEdit::returnPressed, this, leave);
  }
  connect(CBox2, &QComboBox::currentIndexChanged, this, [this] { CBox2Change(); });
  connect(CBox11, &QComboBox::currentIndexChanged, this, [this] { CBox11Change(); });

  connect(CBox6, &QComboBox::activated, this, [this](int i) { CBox6Click(i); });
  // The list is refilled from the file each time it drops down.
  OnWidgetEvent(CBox6->view()->parentWidget() ? CBox6->view()->parentWidget() : CBox6->view(), QEvent::Show,
                [this] { CBox6DropDown(); });
  new SpinStepWatch(SE2, &SE2Stepping);
  connect(SE2, &QSpinBox::valueChanged, this, [this](int) {
    SE2Change();
    if (!SE2Stepping) return;
    SE2TopClick();  // both arrows do the same
  });
  connect(BB2, &QPushButton::clicked, this, [this] { BB2Click(); });
  connect(BB1, &QPushButton::clicked, this, [this] { BB1Click(); });
  connect(Button_Add, &QPushButton::clicked, this, [this] { Button_AddClick(); });
  connect(Button_DEL, &QPushButton::clicked, this, [this] { Button_DELClick(); });
  connect(SB1, &QPushButton::clicked, this, [this] { SB1Click(); });
  connect(SB2, &QPushButton::clicked, this, [this] { SB2Click(); });
  connect(SB3, &QPushButton::clicked, this, [this] { SB3Click(); });
}

// ---------------------------------------------------------------- input rules

void TForm1::E2Change() { ApplyFilter(E2, FilterNumberText(E2->text(), E2->cursorPosition(), DecimalSeparator.at(0))); }

void TForm1::E11Change() {
  ApplyFilter(E11, FilterNumberText(E11->text(), E11->cursorPosition(), DecimalSeparator.at(0)));
}

void TForm1::CBox5Change() {
  QLineEdit* e = CBox5->lineEdit();
  ApplyFilter(e, FilterToleranceText(e->text(), e->cursorPosition(), DecimalSeparator.at(0)));
}

void TForm1::CBox51Change() {
  QLineEdit* e = CBox51->lineEdit();
  ApplyFilter(e, FilterToleranceText(e->text(), e->cursorPosition(), DecimalSeparator.at(0)));
}

void TForm1::CBox2Change() {
  const int kind = CBox2->currentIndex();
  CBox1->setVisible(kind == kPrimaryR);
  CBox3->setVisible(kind == kPrimaryL);
  CBox4->setVisible(kind == kPrimaryC);
}

void TForm1::CBox11Change() { CBox31->setVisible(CBox11->currentIndex() == kSecondaryR); }

// ---------------------------------------------------------------- selection

void TForm1::CBox6DropDown() {
  if (!LoadProfileNames()) ReportProfileError();
}

void TForm1::CBox6Click(int index) {
  const int n = index + 1;
  SE2->setValue(n);
  if (!ReadProfile(n)) {
    ReportProfileError();
    return;
  }
  if (CBox10->currentIndex() == 1 && !SP1->isChecked()) SelectGridCell(n, 1);
}

void TForm1::SE2TopClick() {
  const int n = SE2->value();
  if (n > ProfileCount) return;  // the free slot keeps the editor's values
  if (!ReadProfile(n)) {
    ReportProfileError();
    return;
  }
  if (CBox10->currentIndex() == 1 && !SP1->isChecked()) SelectGridCell(n, 1);
}

void TForm1::SE2BottomClick() { SE2TopClick(); }

void TForm1::SE2Change() { BB2->setEnabled(SE2->value() <= ProfileCount); }

void TForm1::BB2Click() {
  if (!ReadProfile(SE2->value())) ReportProfileError();
}

// ---------------------------------------------------------------- editing commands

void TForm1::BB1Click() {
  const int n = SE2->value();
  ProfileIo io;
  if (CurrentProfilePath.isEmpty()) {
    ProfileError = lex().D4[msg::kNoProfileFile];
    ReportProfileError();
    return;
  }
  const std::int32_t before = ProfileCount;
  io = ProfileFile(CurrentProfilePath).store(ProfileCount, n, EditorRecord());
  if (!io.ok) {
    ProfileError = io.message;
    ReportProfileError();
    return;
  }
  if (ProfileCount != before) {
    SE2->setMaximum(ProfileCount + 1);
    BB2->setEnabled(true);
  }
  if (CBox10->currentIndex() == 1 && !ShowProfileTable(n == ProfileCount ? 0 : n - 1)) ReportProfileError();
  Memo1->setFocus();
}

void TForm1::Button_AddClick() {
  if (CurrentProfilePath.isEmpty()) {
    ProfileError = lex().D4[msg::kNoProfileFile];
    ReportProfileError();
    return;
  }
  const ProfileIo io = ProfileFile(CurrentProfilePath).insert(ProfileCount, SE2->value(), EditorRecord());
  if (!io.ok) {
    ProfileError = io.message;
    ReportProfileError();
    return;
  }
  SE2->setMaximum(ProfileCount + 1);
  if (CBox10->currentIndex() == 1 && !ShowProfileTable(0)) ReportProfileError();
}

void TForm1::Button_DELClick() {
  if (CurrentProfilePath.isEmpty()) {
    ProfileError = lex().D4[msg::kNoProfileFile];
    ReportProfileError();
    return;
  }
  const ProfileIo io = ProfileFile(CurrentProfilePath).remove(ProfileCount, SE2->value());
  if (!io.ok) {
    ProfileError = io.message;
    ReportProfileError();
    return;
  }
  if (CBox10->currentIndex() == 1 && !ShowProfileTable(0)) ReportProfileError();
}

// ---------------------------------------------------------------- records

ProfileRecord TForm1::EditorRecord() const {
  ProfileRecord r;
  r.ProfileName = CBox6->currentText();
  r.StartPosition = SE1->value();
  r.PrimaryTolerance = PrimaryToleranceOn() ? CBox5->currentText() : ProfileToleranceOff();
  r.PrimaryKind = static_cast<std::uint8_t>(std::max(CBox2->currentIndex(), 0));
  const QComboBox* unitBox = r.PrimaryKind == kPrimaryL ? CBox3 : r.PrimaryKind == kPrimaryC ? CBox4 : CBox1;
  r.PrimaryUnit = static_cast<std::uint8_t>(std::max(unitBox->currentIndex(), 0));
  r.PrimaryNominal = E2->text();
  r.SecondaryTolerance = SecondaryToleranceOn() ? CBox51->currentText() : ProfileToleranceOff();
  r.SecondaryKind = static_cast<std::uint8_t>(std::max(CBox11->currentIndex(), 0));
  r.SecondaryUnit = r.SecondaryKind == kSecondaryR ? static_cast<std::uint8_t>(std::max(CBox31->currentIndex(), 0)) : 0;
  r.SecondaryNominal = E11->text();
  r.Settings = meterSettings;
  return r;
}

bool TForm1::ReadProfile(int n) {
  ProfileRecord r;
  const ProfileIo io = ProfileFile(CurrentProfilePath).readRecord(n, r);
  if (!io.ok) {
    ProfileError = io.message;
    return false;
  }
  ReportProfileProblems(io.problems);
  SettingsBusy = 1;
  CBox6->setEditText(r.ProfileName);
  {
    const QSignalBlocker block(CBox5);  // shown as stored, not filtered
    CBox5->setEditText(r.PrimaryTolerance == ProfileToleranceOff() ? CBox5->itemText(0) : r.PrimaryTolerance);
  }
  CBox2->setCurrentIndex(r.PrimaryKind < CBox2->count() ? r.PrimaryKind : -1);
  switch (CBox2->currentIndex()) {
    case kPrimaryR: CBox1->setCurrentIndex(r.PrimaryUnit < CBox1->count() ? r.PrimaryUnit : -1); break;
    case kPrimaryL: CBox3->setCurrentIndex(r.PrimaryUnit < CBox3->count() ? r.PrimaryUnit : -1); break;
    case kPrimaryC: CBox4->setCurrentIndex(r.PrimaryUnit < CBox4->count() ? r.PrimaryUnit : -1); break;
    default: break;
  }
  E2->setText(r.PrimaryNominal);  // the input rule runs
  {
    const QSignalBlocker block(CBox51);
    CBox51->setEditText(r.SecondaryTolerance == ProfileToleranceOff() ? CBox51->itemText(0) : r.SecondaryTolerance);
  }
  CBox11->setCurrentIndex(r.SecondaryKind < CBox11->count() ? r.SecondaryKind : -1);
  if (CBox11->currentIndex() == kSecondaryR) {
    CBox31->setCurrentIndex(r.SecondaryUnit < CBox31->count() ? r.SecondaryUnit : -1);
    CBox31->setVisible(true);
  } else {
    CBox31->setVisible(false);
  }
  E11->setText(r.SecondaryNominal);
  SE1->setValue(r.StartPosition);
  meterSettings = r.Settings;
  const TestFrequency f = FrequencyOfIndex(meterSettings.FreqCode, meterSettings.FreqCode, MeterModel);
  TestFreqHz = f.hz;
  NoTestFrequency = f.none;
  if (meterSettings.SourceCode > 1) meterSettings.SourceCode = 0;
  meterSettings.Reserved = 0;
  ApplySettingsToPanel(meterSettings);
  ShowCircuit();
  CBox2Change();
  SendSettingsCommand();
  // Nothing went out (no link, or the profile is being edited): no answer
  // will come to end the wait, so frames must not stay blocked.
  if (!Timer_TX->isActive()) SettingsBusy = 0;
  return true;
}

bool TForm1::WriteProfile(int n) {
  const ProfileIo io = ProfileFile(CurrentProfilePath).writeRecord(n, EditorRecord());
  if (!io.ok) ProfileError = io.message;
  return io.ok;
}

bool TForm1::LoadProfileNames() {
  QVector<ProfileRecord> recs;
  const ProfileIo io = ProfileFile(CurrentProfilePath).readRecords(ProfileCount, recs);
  if (!io.ok) {
    ProfileError = io.message;
    return false;
  }
  ReportProfileProblems(io.problems);
  const QString text = CBox6->currentText();
  {
    const QSignalBlocker block(CBox6);
    CBox6->clear();
    for (const ProfileRecord& r : recs) CBox6->addItem(r.ProfileName);
    CBox6->setCurrentIndex(CBox6->count() > 0 ? 0 : -1);
    if (CBox6->count() == 0) CBox6->setEditText(text);
  }
  // With every profile deleted there is nothing to read: the record behind
  // the end is a stale copy.
  if (ProfileCount < 1) return true;
  return ReadProfile(1);
}

bool TForm1::ShowProfileTable(int a) {
  if (a == 0) {
    ResetLogGrid(ProfileCount + 1);
    // The grid is the profile table now: the next start of recording
    // builds the measurement table again.
    MultiGridReady = 0;
    const GridRowTexts h = ProfileTableHeaders(lex());
    for (int c = 0; c < kLogColumns; ++c)
      if (!h[c].isNull()) SGModel->setHeader(c, h[c]);
  } else {
    SGModel->clearRow(a + 1);
  }
  if (LoadSettingsFile() == 1) {
    SB3->setEnabled(true);
    SB4->setEnabled(true);
  }
  QVector<ProfileRecord> recs;
  if (!FillProfileTableRows(a, recs)) return false;
  if (a == 0) ListProfileNames(recs);
  return true;
}

bool TForm1::FillProfileTableRows(int a, QVector<ProfileRecord>& recs) {
  const int last = a == 0 ? ProfileCount : a + 1;
  const ProfileIo io = ProfileFile(CurrentProfilePath).readRecords(last, recs);
  if (!io.ok) {
    ProfileError = io.message;
    return false;
  }
  ReportProfileProblems(io.problems);
  const std::uint8_t liveFreq = meterSettings.FreqCode;
  const std::uint8_t model = MeterModel;
  const ProfileTableEnv env{lex(), model, liveFreq,
                            [liveFreq, model](int i) { return FrequencyOfIndex(i, liveFreq, model).hz; }};
  for (int k = (a == 0 ? 0 : a); k < recs.size(); ++k)
    SGModel->setRowTexts(k + 1, ProfileTableRow(recs[k], k + 1, env));
  return true;
}

void TForm1::ListProfileNames(const QVector<ProfileRecord>& recs) {
  const QString text = CBox6->currentText();
  const QSignalBlocker block(CBox6);
  CBox6->clear();
  for (const ProfileRecord& r : recs) CBox6->addItem(r.ProfileName);
  CBox6->setEditText(text);
}

std::int32_t TForm1::RestoreProfileFile(const QString& path) {
  CurrentProfilePath = path;
  QString title = QFileInfo(path).fileName();
  title.chop(5);
  ProfileTitle = QLatin1Char(' ') + title;
  JvP8->setText(lex().D1[0] + QLatin1Char(' ') + title);
  std::int32_t count = 0;
  const ProfileIo io = ProfileFile(path).readCount(count);
  if (!io.ok) {
    ProfileError = io.message;
    return 0;
  }
  ReportProfileProblems(io.problems);
  ProfileCount = count;
  SE2->setMaximum(ProfileCount + 1);
  SE2Change();
  if (CBox10->currentIndex() == 0 && !LoadProfileNames()) return 0;
  return 1;
}

void TForm1::ReportProfileProblems(const QStringList& problems) {
  if (problems.isEmpty()) return;
  const QString text = lex().D4[msg::kProfileFileDamaged].arg(QDir::toNativeSeparators(CurrentProfilePath),
                                                              problems.join(QLatin1Char('\n')));
  if (text == LastProfileProblems) return;  // re-reads of the same file do not repeat it
  LastProfileProblems = text;
  prompts().message(this, windowTitle(), text, Prompts::Icon::Warning);
}

void TForm1::ReportProfileError() {
  ReportError(ProfileError.isEmpty() ? lex().D1[5] : ProfileError);
  ProfileError.clear();
}

// ---------------------------------------------------------------- file commands

QString TForm1::AskProfileFileToWrite(const QString& caption, bool copiesCurrentFile) {
  QString proposed;
  for (;;) {
    const QString chosen = prompts().newFileName(this, caption, proposed, kProfileFilter);
    if (chosen.isEmpty()) return {};
    if (copiesCurrentFile && !QFileInfo(CurrentProfilePath).isFile()) return {};  // nothing to copy
    // The extension is always added, also to a name that has it: the file
    // asked about is the one that will be written.
    const QString path = chosen + kProfileSuffix;
    if (!QFileInfo::exists(path)) return path;
    const QString where = QDir::toNativeSeparators(path);
    QString ask = lex().D4[msg::kReplaceFile];
    ask = ask.contains(QLatin1String("%1")) ? ask.arg(where) : ask + QLatin1Char(' ') + where;
    if (prompts().question(this, windowTitle(), ask)) return path;
    proposed = chosen;  // "no": the dialogue again, to pick another name
  }
}

void TForm1::SB1Click() {
  const QString path = AskProfileFileToWrite(SB1->text(), false);
  if (path.isEmpty()) {
    prompts().message(this, windowTitle(), lex().D1[5], Prompts::Icon::Warning);
    return;
  }
  const ProfileIo io = ProfileFile(path).create(EditorRecord());
  if (!io.ok) {
    prompts().message(this, windowTitle(), lex().D1[5] + QLatin1Char('\n') + io.message, Prompts::Icon::Critical);
    return;
  }
  ProfileCount = 1;
  CurrentProfilePath = path;
  SE2->setMaximum(2);
  SE2Change();
  prompts().message(this, windowTitle(), lex().D1[4], Prompts::Icon::Information);
  RememberProfilePath(path);
}

void TForm1::SB2Click() {
  const QString path = prompts().openOrNewFileName(this, SB2->text(), QString(), kProfileFilter);
  if (path.isEmpty()) return;
  CurrentProfilePath = path;
  const QString failed = QStringLiteral("Неудача!");
  if (!QFileInfo::exists(path)) {
    const ProfileIo io = ProfileFile(path).create(EditorRecord());
    if (!io.ok) {
      prompts().message(this, windowTitle(), failed + QLatin1Char('\n') + io.message, Prompts::Icon::Critical);
      return;
    }
    ProfileCount = 1;
    SE2->setMaximum(2);
    SE2Change();
    return;
  }
  std::int32_t count = 0;
  const ProfileIo io = ProfileFile(path).readCount(count);
  if (!io.ok) {
    prompts().message(this, windowTitle(), failed + QLatin1Char('\n') + io.message, Prompts::Icon::Critical);
    return;
  }
  ReportProfileProblems(io.problems);
  ProfileCount = count;
  SE2->setMaximum(ProfileCount + 1);
  SE2Change();
  if (RememberProfilePath(path) == 1) {
    SB3->setEnabled(true);
    SB4->setEnabled(true);
  } else if (!ProfileError.isEmpty()) {
    prompts().message(this, windowTitle(), failed + QLatin1Char('\n') + ProfileError, Prompts::Icon::Critical);
    ProfileError.clear();
    return;
  }
  if (CBox10->currentIndex() == 1 && !ShowProfileTable(0)) {
    prompts().message(this, windowTitle(), failed + QLatin1Char('\n') + ProfileError, Prompts::Icon::Critical);
    ProfileError.clear();
  }
}

void TForm1::SB3Click() {
  const QString path = AskProfileFileToWrite(SB3->text(), true);
  if (path.isEmpty()) return;
  const ProfileIo io = ProfileFile(CurrentProfilePath).copyTo(path);
  if (!io.ok) {
    prompts().message(this, windowTitle(), lex().D1[5] + QLatin1Char('\n') + io.message, Prompts::Icon::Critical);
    return;
  }
  RememberProfilePath(path);
}

}  // namespace zt
