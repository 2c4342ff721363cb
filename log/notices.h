#pragma once
// What the recorder and the profile book tell the operator: a level (the
// view picks the icon) and a text in the language in use.
//
// The controllers' own messages are named here so that a translation table
// can take their place; until then they read in the design language. Texts
// that come from a lexicon (D1) follow the language already.
#include <QString>

namespace zt {

enum class NoticeLevel { Information, Warning, Critical };

enum class LogText {
  LogFull,             // %1 the last position
  NoProfileFile,       //
  ProfileFileDamaged,  // %1 the file, %2 the problems, one a line
  OpenFailed,          // "Открыть" failed: the same text in every language
};

QString TextOf(LogText id);

}  // namespace zt
