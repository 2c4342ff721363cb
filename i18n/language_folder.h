#pragma once
// Where a program of ours finds its language files at start (the window and
// the headless recorder alike).
//
// The rule the window always had: lang/eng.lng under the working folder
// marks a complete installation. An installed copy is also started from a desktop
// menu or a terminal in any folder, so when the working folder lacks the
// marker the installed data folder is tried: <program folder>/<the path from
// bin to share/zt-logger>, for /usr/bin/zt-logger /usr/share/zt-logger.
// The working folder itself is left as it is: the file dialogues start there.
#include <QString>
#include <QStringList>

namespace zt {

struct LanguageFolder {
  bool found = false;
  bool inWorkingFolder = false;
  QString langDir;       // the lang folder that holds eng.lng, when found
  QStringList searched;  // the folders looked in, in order, for the message
};

// `dataFromProgram` is the relative path from the program's folder to the
// installed data folder (kInstalledDataFromBin).
LanguageFolder FindLanguageFolder(const QString& workingDir, const QString& programDir, const QString& dataFromProgram);

// The folder the language files are loaded from, once the marker was found:
// an installed copy reads the installed files; a copy started where the
// marker is keeps the program's own rule, "lang" beside the program file
// first, else the marker's folder (a build tree run from the repository).
QString LanguageDirectory(const LanguageFolder& found, const QString& programDir);

// The line for standard error when nothing was found.
QString MissingLanguageMessage(const QString& program, const LanguageFolder& search);

}  // namespace zt
