// Localisation of the window: the language engine, the translation of the
// window's captions and lists, and the language switch.
#include <QCoreApplication>
#include <QDir>
#include <QSignalBlocker>

#include "data_folder.h"
#include "log_model.h"
#include "main.h"
#include "profile_file.h"
#include "settings_file.h"

namespace zt {

namespace {

// The program folder's "lang"; when the program runs from elsewhere (a build
// tree) the working folder's, which the start-up check has already found.
QString DefaultLangDirectory() {
  const QString own = QCoreApplication::applicationDirPath() + u'/' + zt::LangMan::langSubdirectory();
  if (QDir(own).exists()) return own;
  return QDir::currentPath() + u'/' + zt::LangMan::langSubdirectory();
}

}  // namespace

void TForm1::ConnectI18nSignals() {
  LangMan = new zt::LangMan(this);
  LangMan->setObjectName(QStringLiteral("LangMan"));
  // The engine starts in its default language, English.
  LangMan->loadLanguages(LangDirectory.isEmpty() ? DefaultLangDirectory() : LangDirectory);

  LangManClient1 = new LangManClient(LangMan, this);
  LangManClient1->setObjectName(QStringLiteral("LangManClient1"));
  LangManClient1->exclude(QStringLiteral("CBox6"));  // the operator's own profile names
  LangManClient1->bindLanguageCombo(LangCombo1);
  LangManClient1->attach(this);

  connect(LangMan, &zt::LangMan::changeLangQuery, this,
          [this](int newIndex, bool* proceed) { LangManChangeLangQuery(newIndex, proceed); });
  connect(LangMan, &zt::LangMan::languageChanged, this, [this] { LangManChangeLanguage(); });
}

const Lexicons& TForm1::lex() const { return LangMan ? LangMan->lexicons() : Lexicons::russian(); }

std::array<QComboBox*, 11> TForm1::LangSavedCombos() const {
  return {CB1, CBox51, CBox5, CBox31, CBox11, CBox2, CBox6, CBox10, CBox1, CBox3, CBox4};
}

void TForm1::ApplyLanguageIndex(std::int32_t index) {
  {
    // Showing the stored index is not a pick.
    QSignalBlocker block(LangCombo1);
    LangCombo1->setCurrentIndex(index >= 0 && index < LangCombo1->count() ? index : -1);
  }
  LangMan->setDefaultLanguage(index == 1 ? QStringLiteral("English") : zt::LangMan::designLanguageName());
}

void TForm1::LangManChangeLangQuery(int newIndex, bool* proceed) {
  (void)newIndex;
  (void)proceed;  // the switch is never refused
  // 1. The picked index goes to 1.dat.
  const SettingsWrite w = SaveLanguageIndex(DataFolder(), LangCombo1->currentIndex());
  if (!w.ok) ReportError(w.message);
  // 2. Release the dongle's radio link and poll for the meter again.
  if (serialTransport && serialTransport->isOpen()) serialTransport->write(QByteArrayLiteral("AT"));
  T3->start();
  // 3. The translation rewrites the boxes' items; keep their positions.
  const auto combos = LangSavedCombos();
  for (std::size_t i = 0; i < combos.size(); ++i) {
    QComboBox* c = combos[i];
    LangSavedIndices[i] = c->currentIndex();
    // Translating the current item would put its text over a typed value.
    const bool typed = c->isEditable() && c->currentText() != c->itemText(c->currentIndex());
    LangSavedTexts[i] = typed ? std::optional<QString>(c->currentText()) : std::nullopt;
  }
  LangIndicesSaved = true;
}

void TForm1::LangManChangeLanguage() {
  // 1. Positions saved by the query (a switch to a new default language at
  //    start-up has none to restore).
  if (LangIndicesSaved) {
    const auto combos = LangSavedCombos();
    for (std::size_t i = 0; i < combos.size(); ++i) {
      // A position that moved is set back; a typed text (profile name,
      // tolerance) that the translated item has covered is put back.
      QSignalBlocker block(combos[i]);
      if (combos[i]->currentIndex() != LangSavedIndices[i]) combos[i]->setCurrentIndex(LangSavedIndices[i]);
      if (LangSavedTexts[i]) combos[i]->setEditText(*LangSavedTexts[i]);
    }
    LangIndicesSaved = false;
  }
  // 2. The three band captions.
  JvP8->setText(lex().D1[0] + ProfileTitle);
  JvP1->setText(lex().D1[6]);
  JvP11->setText(lex().D1[1]);
  // 3. The grid keeps its rows, readings not yet exported among them; only
  //    the headings, and the profile table built from the file, are
  //    rewritten in the new language. Logged rows keep the texts they were
  //    written with (their colours do not depend on them).
  if (CBox10->currentIndex() == 1 && MultiGridReady == 0) {
    SGModel->resetGrid(ProfileCount + 1);
    QVector<ProfileRecord> recs;
    if (ProfileCount > 0 && !FillProfileTableRows(0, recs)) ReportProfileError();
  }
  ShowGridHeadings();
  //    The translation gives SP1 its caption at rest; while recording it
  //    says "stop".
  SP1->setText(SP1->isChecked() ? lex().D1[2] : lex().D1[8]);
  // 4. The frequency and level menus carry units built from the lexicons;
  //    rebuilt now, since no frame arrives to do it while the picker is
  //    shown (no meter connected).
  RebuildModelLists();
}

}  // namespace zt
