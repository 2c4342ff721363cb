#pragma once
// Qt's own texts (the file dialogues' "Look in", "File name", the standard
// buttons) in the language in use: Qt's translation catalogue for the
// language's code is installed in the application while that language is
// used, and removed for a language Qt has none for (English needs none).
#include <QObject>
#include <QString>
#include <QTranslator>

#include <memory>

namespace zt {

class LangMan;

class QtTranslations : public QObject {
  Q_OBJECT
 public:
  // Follows `engine` from now on, starting with the language in use.
  // `folder` holds Qt's catalogues (qtbase_<code>.qm); empty: Qt's own
  // translations folder.
  explicit QtTranslations(LangMan* engine, QString folder = {}, QObject* parent = nullptr);
  ~QtTranslations() override;

  // The catalogue installed now ("qtbase_ru"); empty when none is.
  QString installed() const { return installed_; }

  // The language code of a language file's header ("ru - Russian", "en",
  // "de;") as Qt names catalogues: the first letters, lower case.
  static QString CatalogueCode(const QString& code);

 private:
  void follow();

  LangMan* engine_;
  QString folder_;
  std::unique_ptr<QTranslator> translator_;
  QString installed_;
};

}  // namespace zt
