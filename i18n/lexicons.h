#pragma once
// The seven indexed phrase tables that every run-time text is built from.
// Items are read by index at the moment a text is built, so a language switch
// shows in the next text built.
#include <QString>
#include <QStringList>

namespace zt {

struct Lexicon {
  QStringList items;
  // Item i, or an empty text when the lexicon is shorter (a language file may
  // lack items; a missing word must never crash the display).
  QString operator[](int i) const { return (i >= 0 && i < items.size()) ? items.at(i) : QString(); }
};

struct Lexicons {
  Lexicon Dlang_connect;  // connection states
  Lexicon Dlang1;         // metric prefixes
  Lexicon Dlang2;         // circuits
  Lexicon Dlang3;         // units
  Lexicon D1;             // panel captions and messages
  Lexicon D2;             // grid headings
  Lexicon D3;             // short words

  // The design language (Russian) texts.
  static const Lexicons& russian();

  // The lexicon names as language files spell them, in declaration order.
  static const QStringList& names();
  // The lexicon of that name, or nullptr for an unknown name.
  Lexicon* byName(QStringView name);
  const Lexicon* byName(QStringView name) const;
};

// "Ом" in the design language, otherwise the Greek capital omega.
QString OhmSign(const Lexicons& lex);
// "мк" in the design language, otherwise the Greek small mu.
QString MicroSign(const Lexicons& lex);

}  // namespace zt
