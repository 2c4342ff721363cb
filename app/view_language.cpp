#include "view_language.h"

#include <QSignalBlocker>

namespace zt {

LanguageView::LanguageView(const ViewContext& v)
    : QObject(v.window),
      v_(v),
      client_(new LangManClient(&v.session->lang(), this)),
      qt_(new QtTranslations(&v.session->lang(), {}, this)) {
  qt_->setObjectName(QStringLiteral("QtTranslations"));
  client_->setObjectName(QStringLiteral("LangManClient1"));
  client_->exclude(QStringLiteral("CBox6"));  // the operator's own profile names
  client_->bindLanguageCombo(v_.ui->LangCombo1);
  client_->attach(v_.window);

  LangMan& lang = v_.session->lang();
  // The index 1.dat names is shown in the picker; showing it is not a pick.
  connect(v_.session, &Session::languageIndexLoaded, this, [this](std::int32_t index) {
    QComboBox* picker = v_.ui->LangCombo1;
    const QSignalBlocker block(picker);
    picker->setCurrentIndex(index >= 0 && index < picker->count() ? index : -1);
  });
  connect(&lang, &LangMan::changeLangQuery, this, [this] { keepComboPositions(); });
  connect(&lang, &LangMan::languageChanged, this, [this] {
    restoreComboPositions();
    showBandCaptions();
  });
}

void LanguageView::showBandCaptions() {
  v_.ui->JvP1->setText(v_.lex().D1[6]);
  v_.ui->JvP11->setText(v_.lex().D1[1]);
}

std::array<QComboBox*, LanguageView::kKeptCombos> LanguageView::keptCombos() const {
  const FormControls& c = *v_.ui;
  return {c.CB1, c.CBox51, c.CBox5, c.CBox31, c.CBox11, c.CBox2, c.CBox6, c.CBox10, c.CBox1, c.CBox3, c.CBox4};
}

// The translation rewrites the boxes' items: their positions, and texts typed
// over them, are kept for after the switch.
void LanguageView::keepComboPositions() {
  const auto combos = keptCombos();
  for (std::size_t i = 0; i < combos.size(); ++i) {
    QComboBox* c = combos[i];
    savedIndices_[i] = c->currentIndex();
    // Translating the current item would put its text over a typed value.
    const bool typed = c->isEditable() && c->currentText() != c->itemText(c->currentIndex());
    savedTexts_[i] = typed ? std::optional<QString>(c->currentText()) : std::nullopt;
  }
  saved_ = true;
}

void LanguageView::restoreComboPositions() {
  // A switch to a new default language at start-up has none to restore.
  if (!saved_) return;
  const auto combos = keptCombos();
  for (std::size_t i = 0; i < combos.size(); ++i) {
    // A position that moved is set back; a typed text (profile name,
    // tolerance) that the translated item has covered is put back.
    const QSignalBlocker block(combos[i]);
    if (combos[i]->currentIndex() != savedIndices_[i]) combos[i]->setCurrentIndex(savedIndices_[i]);
    if (savedTexts_[i]) combos[i]->setEditText(*savedTexts_[i]);
  }
  saved_ = false;
}

}  // namespace zt
