#include "lang_man.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace zt {

QString LangMan::designLanguageName() { return QStringLiteral("Русский"); }
QString LangMan::designLangIsoCode() { return QStringLiteral("ru - Russian"); }
QString LangMan::langSubdirectory() { return QStringLiteral("lang"); }
QString LangMan::langFileExtension() { return QStringLiteral(".lng"); }
QString LangMan::englishFileName() { return QStringLiteral("eng.lng"); }

namespace {

// The engine whose language the program's messages are in.
const LangMan* g_messagesPublisher = nullptr;

}  // namespace

LangMan::LangMan(QObject* parent) : QObject(parent), lexicons_(Lexicons::russian()) {
  languages_.append(LangInfo{designLanguageName(), QString(), LngFile{}});
}

LangMan::~LangMan() {
  if (g_messagesPublisher != this) return;
  g_messagesPublisher = nullptr;
  PublishProgramMessages(Lexicons::russian().D4);
}

std::optional<LngFile> LangMan::readLanguageFile(const QString& path, QString* error) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) {
    if (error) *error = f.errorString();
    return std::nullopt;
  }
  // Read one byte past the limit so an oversized file is seen as such
  // without reading it whole.
  const QByteArray bytes = f.read(kMaxLngFileBytes + 1);
  LngParseResult r = parseLng(bytes);
  if (!r.file && error) *error = QStringLiteral("line %1: %2").arg(r.line).arg(r.error);
  return r.file;
}

void LangMan::loadLanguages(const QString& langDir) {
  const QString previous = loaded_ ? currentLanguageName() : QString();
  languages_.resize(1);

  QDir dir(langDir);
  QFileInfoList files = dir.entryInfoList(QDir::Files | QDir::Readable, QDir::Name | QDir::IgnoreCase);
  // eng.lng first, so that item 1 is English whatever else the folder holds:
  // the stored language index relies on it.
  std::stable_partition(files.begin(), files.end(), [](const QFileInfo& fi) {
    return fi.fileName().compare(englishFileName(), Qt::CaseInsensitive) == 0;
  });
  for (const QFileInfo& fi : files) {
    if (!fi.fileName().endsWith(langFileExtension(), Qt::CaseInsensitive)) continue;
    std::optional<LngFile> file = readLanguageFile(fi.filePath());
    if (!file || indexOf(file->languageName) >= 0) continue;
    languages_.append(LangInfo{file->languageName, fi.filePath(), std::move(*file)});
  }

  int next = loaded_ ? indexOf(previous) : -1;
  if (next < 0) next = indexOf(defaultLanguage_);
  if (next < 0) next = 0;
  loaded_ = true;
  current_ = -1;  // the file behind the index may have changed: always re-apply
  apply(next);
}

QStringList LangMan::languageNames() const {
  QStringList names;
  for (const LangInfo& l : languages_) names << l.name;
  return names;
}

int LangMan::indexOf(const QString& name) const {
  for (int i = 0; i < languages_.size(); ++i)
    if (languages_.at(i).name == name) return i;
  return -1;
}

void LangMan::setDefaultLanguage(const QString& name) {
  if (name == defaultLanguage_) return;
  const QString previous = defaultLanguage_;
  defaultLanguage_ = name;
  if (currentLanguageName() != previous) return;
  const int idx = indexOf(name);
  if (idx >= 0) switchTo(idx);
}

bool LangMan::requestLanguage(int index) {
  if (index < 0 || index >= languages_.size() || index == current_) return false;
  bool proceed = true;
  emit changeLangQuery(index, &proceed);
  if (!proceed) return false;
  switchTo(index);
  return true;
}

void LangMan::switchTo(int index) {
  if (index < 0 || index >= languages_.size() || index == current_) return;
  apply(index);
}

void LangMan::apply(int index) {
  current_ = index;
  lexicons_ = Lexicons::russian();
  texts_.clear();
  if (index > 0) {
    const LngFile& file = languages_.at(index).file;
    for (const LngLexicon& fl : file.lexicons) {
      Lexicon* lex = lexicons_.byName(fl.name);
      if (!lex) continue;
      // The design fixes how many items a lexicon has; extra items are ignored.
      for (auto it = fl.items.cbegin(); it != fl.items.cend(); ++it)
        if (it.key() < lex->items.size()) lex->items[it.key()] = it.value();
    }
    for (const LngEntry& e : file.entries)
      if (!e.noTrans && !e.old) texts_.insert(key(e.owner, e.component, e.kind, e.item), e.text);
  }
  g_messagesPublisher = this;
  PublishProgramMessages(lexicons_.D4);
  emit translateRequested();
  emit languageChanged();
}

QString LangMan::lexiconItem(QStringView lexicon, int index) const {
  const Lexicon* lex = lexicons_.byName(lexicon);
  return lex ? (*lex)[index] : QString();
}

QString LangMan::key(const QString& owner, const QString& component, int kind, int item) {
  return owner + u'\x1f' + component + u'\x1f' + QString::number(kind) + u'\x1f' + QString::number(item);
}

std::optional<QString> LangMan::translation(const QString& owner, const QString& component, int kind, int item) const {
  auto it = texts_.constFind(key(owner, component, kind, kind == LngListItem ? item : -1));
  if (it == texts_.constEnd()) return std::nullopt;
  return *it;
}

}  // namespace zt
