#include "qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>

#include "lang_man.h"

namespace zt {

QtTranslations::QtTranslations(LangMan* engine, QString folder, QObject* parent)
    : QObject(parent),
      engine_(engine),
      folder_(folder.isEmpty() ? QLibraryInfo::path(QLibraryInfo::TranslationsPath) : std::move(folder)) {
  // Before the window's own texts: Qt's widgets retranslate themselves on
  // the change event the installation sends.
  connect(engine_, &LangMan::translateRequested, this, &QtTranslations::follow);
  follow();
}

QtTranslations::~QtTranslations() {
  if (translator_) QCoreApplication::removeTranslator(translator_.get());
}

QString QtTranslations::CatalogueCode(const QString& code) {
  QString out;
  for (QChar c : code.trimmed()) {
    if (!c.isLetter() || c.unicode() > 0x7f) break;
    out += c.toLower();
  }
  return out;
}

void QtTranslations::follow() {
  const int index = engine_->currentIndex();
  const QString code = CatalogueCode(index == 0 ? LangMan::designLangIsoCode() : engine_->language(index).file.code);
  const QString name = code.isEmpty() ? QString() : QStringLiteral("qtbase_") + code;
  if (name == installed_) return;
  if (translator_) {
    QCoreApplication::removeTranslator(translator_.get());
    translator_.reset();
    installed_.clear();
  }
  if (name.isEmpty()) return;
  auto t = std::make_unique<QTranslator>();
  // No catalogue (English, or a language Qt does not speak): Qt's English.
  if (!t->load(name, folder_) || t->isEmpty()) return;
  QCoreApplication::installTranslator(t.get());
  translator_ = std::move(t);
  installed_ = name;
}

}  // namespace zt
