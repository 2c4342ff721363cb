#pragma once
// Language files (.lng): reading, checking and writing.
//
// A language file is text in UTF-8 or UTF-16 (either byte order) with its
// byte-order mark; lines end in CR LF (a bare LF is accepted too). Layout:
//
//   [LANGUAGE_FILE]
//   0 <TAB> %LANGUAGE_NAME="English" <TAB> %CODE=en; [<TAB> %SUPERIOR_LANGUAGE=name;] [<TAB> %FILEVER=THLF1;]
//   <kind> <TAB> "text"|%NOTRANS <TAB> %COMPONENT=name; <TAB> %OWNER=name; [<TAB> %ITEM=n;] [<TAB> %OLD]
//   ...
//   0 <TAB> %LEXICON_STRINGS
//   0 <TAB> %LEXICON_NAME=D1;
//   <index> <TAB> "text"
//   ...
//   0 <TAB> %SMART_STRINGS
//   <name> <TAB> "text"
//
// The number that starts a property line is the kind of property, never a
// position, so adding or removing a control renumbers nothing:
//   1 = the control's caption (button, label, group box title, window title,
//       read-only line edit), 2 = one list item (%ITEM= its index, from 0),
//   3 = the tool tip. Unknown kinds are read and ignored, for newer files.
// %OWNER is the window, %COMPONENT the control's object name (the window's own
// title has COMPONENT = OWNER). %NOTRANS keeps the design text; %OLD marks an
// entry kept for reference whose control no longer exists: it is not applied.
//
// Quoted texts: inside the quotes a backslash escapes the next character:
// \" quote, \\ backslash, \t tab, \n line break, \r carriage return. Any
// other escape, a bare quote, tab or line break inside a text breaks the file.
// Blank lines are ignored. The %SMART_STRINGS section holds named strings
// (name TAB quoted text); they are checked but nothing reads them yet.
//
// A file that breaks any of this is rejected as a whole, with the line number
// of the first fault, so a half-read language is never offered.
#include <QByteArray>
#include <QList>
#include <QMap>
#include <QPair>
#include <QString>
#include <optional>

namespace zt {

enum LngKind : int { LngCaption = 1, LngListItem = 2, LngToolTip = 3 };

struct LngEntry {
  int kind = LngCaption;
  QString component;
  QString owner;
  int item = -1;  // list item index for LngListItem, otherwise -1
  QString text;
  bool noTrans = false;
  bool old = false;
};

struct LngLexicon {
  QString name;
  QMap<int, QString> items;  // index -> text; items absent keep the design text
};

struct LngFile {
  QString languageName;
  QString code;
  QString superiorLanguage;  // empty when absent
  QString fileVersion;       // "THLF1" or empty when absent
  QList<LngEntry> entries;
  QList<LngLexicon> lexicons;
  QList<QPair<QString, QString>> smartStrings;
};

struct LngParseResult {
  std::optional<LngFile> file;
  QString error;  // empty on success
  int line = 0;   // 1-based line of the first fault, 0 when not tied to a line
};

// Files larger than this are not read at all.
constexpr qint64 kMaxLngFileBytes = 4 * 1024 * 1024;
// Highest list item or lexicon index a file may name.
constexpr int kMaxLngIndex = 9999;

// Decodes the bytes by their byte-order mark (UTF-8 without one is accepted).
// Returns std::nullopt for text that is not valid in its encoding or holds NUL.
std::optional<QString> decodeLngText(QByteArrayView bytes);

LngParseResult parseLng(QByteArrayView bytes);

// Writes UTF-8 with byte-order mark and CR LF lines; parseLng reads it back
// unchanged.
QByteArray writeLng(const LngFile& file);

// Quoting of a text as written in a language file, and its reverse.
QString quoteLngText(const QString& text);
std::optional<QString> unquoteLngText(QStringView quoted);

}  // namespace zt
