#pragma once
// The language engine: the list of languages, the language in use, the
// default language, the lexicons and the control texts of the language in use.
// Widget-free; LangManClient applies the texts to a window.
#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <optional>

#include "lexicons.h"
#include "lng_file.h"

namespace zt {

struct LangInfo {
  QString name;
  QString path;  // empty for the design language
  LngFile file;
};

class LangMan : public QObject {
  Q_OBJECT
 public:
  // Fixed configuration of the engine.
  static QString designLanguageName();  // "Русский"
  static QString designLangIsoCode();   // "ru - Russian"
  static QString langSubdirectory();    // "lang"
  static QString langFileExtension();   // ".lng"
  static QString englishFileName();     // "eng.lng"

  explicit LangMan(QObject* parent = nullptr);
  // The program's messages go back to the design texts when the engine that
  // published them goes.
  ~LangMan() override;

  // Rebuilds the language list from the files in langDir: item 0 is the
  // design language, then eng.lng, then the other valid files by file name;
  // a language name already listed is skipped. The engine then uses the
  // language it used before when still listed, else the default language,
  // else the design language.
  void loadLanguages(const QString& langDir);

  // Reads one file as the scan does; nullopt when it is not offered.
  static std::optional<LngFile> readLanguageFile(const QString& path, QString* error = nullptr);

  QStringList languageNames() const;
  int languageCount() const { return int(languages_.size()); }
  int indexOf(const QString& name) const;  // -1 when not listed
  const LangInfo& language(int index) const { return languages_.at(index); }

  int currentIndex() const { return current_; }
  QString currentLanguageName() const { return languages_.at(current_).name; }
  bool isDesignLanguage() const { return current_ == 0; }

  QString defaultLanguage() const { return defaultLanguage_; }
  // Sets the default language by name. Setting the default that is already
  // set changes nothing; otherwise the engine follows the new default only
  // when the language in use is the previous default.
  void setDefaultLanguage(const QString& name);

  // The operator's pick: asks changeLangQuery first, then switches. Returns
  // true when the language was switched.
  bool requestLanguage(int index);
  // Switches without asking (start-up, default language). Out-of-range
  // indices are ignored.
  void switchTo(int index);

  // The lexicons of the language in use: the design texts overlaid with the
  // language file's items.
  const Lexicons& lexicons() const { return lexicons_; }
  QString lexiconItem(QStringView lexicon, int index) const;

  // Text of a control property in the language in use; nullopt keeps the
  // design text (design language, no entry, %NOTRANS or %OLD).
  std::optional<QString> translation(const QString& owner, const QString& component, int kind, int item = -1) const;

 signals:
  // Before a switch asked for by the operator; a handler may set *proceed to
  // false to keep the language.
  void changeLangQuery(int newIndex, bool* proceed);
  // The language in use changed: clients translate their windows now.
  void translateRequested();
  // After the switch and the translation of every client.
  void languageChanged();

 private:
  void apply(int index);
  static QString key(const QString& owner, const QString& component, int kind, int item);

  QList<LangInfo> languages_;
  int current_ = 0;
  QString defaultLanguage_ = QStringLiteral("English");
  bool loaded_ = false;
  Lexicons lexicons_;
  QHash<QString, QString> texts_;
};

}  // namespace zt
