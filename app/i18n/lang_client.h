#pragma once
// Applies the language in use to a window: every caption and list item of
// its controls, found by object name.
//
// The design (Russian) texts are captured once, when the window is attached,
// so switching back to the design language restores them. A text that the
// program has rewritten since the client last set it (a reading, a status
// caption) belongs to the code that wrote it and is left alone; that code
// rebuilds it from the lexicons the next time it runs.
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>

#include "lang_man.h"
#include "lng_file.h"

class QComboBox;
class QWidget;

namespace zt {

class LangManClient : public QObject {
  Q_OBJECT
 public:
  explicit LangManClient(LangMan* engine, QObject* parent = nullptr);

  // Controls (and everything inside them) that are never translated, e.g. the
  // language picker or boxes listing the operator's own entries. Call before
  // attach.
  void exclude(const QString& objectName);

  // Captures the design texts of root and its named descendants and applies
  // the language in use. The window's own object name is the owner of every
  // entry ("Form1" when it has none).
  void attach(QWidget* root);

  // Fills the picker with the language list, selects the language in use and
  // asks the engine for a switch when the operator picks another item. The
  // picker is excluded from translation.
  void bindLanguageCombo(QComboBox* combo);

  // Applies the language in use (called on the engine's translateRequested).
  void translate();

  // The captured design texts, in window order: the input of the language
  // file skeleton.
  QList<LngEntry> designEntries() const;
  QString owner() const { return owner_; }

 private:
  struct Slot {
    QPointer<QWidget> widget;
    LngEntry design;
    QString lastApplied;
  };
  bool excluded(const QWidget* w) const;
  static QString readText(QWidget* w, int kind, int item);
  static void writeText(QWidget* w, int kind, int item, const QString& text);

  LangMan* engine_;
  QPointer<QWidget> root_;
  QString owner_ = QStringLiteral("Form1");
  QSet<QString> excluded_;
  QList<Slot> slots_;
};

// A language file holding the design texts of every captured entry and every
// lexicon item, the starting point of a translation.
LngFile makeLngSkeleton(const QList<LngEntry>& designEntries, const QString& languageName, const QString& code);

// Brings a translation up to date with the window: keeps every translated
// text whose control still exists, adds new controls and lexicon items with
// their design text, and marks entries of vanished controls %OLD.
LngFile refreshLng(const LngFile& translation, const LngFile& skeleton);

}  // namespace zt
