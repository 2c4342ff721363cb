#include "language_folder.h"

#include <QDir>
#include <QFileInfo>

namespace zt {
namespace {

const QString kMarker = QStringLiteral("lang/eng.lng");

bool HasMarker(const QString& folder) { return QFileInfo(folder + u'/' + kMarker).isFile(); }

}  // namespace

LanguageFolder FindLanguageFolder(const QString& workingDir, const QString& programDir,
                                  const QString& dataFromProgram) {
  LanguageFolder r;
  r.searched << workingDir;
  if (HasMarker(workingDir)) {
    r.found = true;
    r.inWorkingFolder = true;
    r.langDir = workingDir + QStringLiteral("/lang");
    return r;
  }
  if (programDir.isEmpty() || dataFromProgram.isEmpty()) return r;
  const QString installed = QDir::cleanPath(programDir + u'/' + dataFromProgram);
  r.searched << installed;
  if (HasMarker(installed)) {
    r.found = true;
    r.langDir = installed + QStringLiteral("/lang");
  }
  return r;
}

QString LanguageDirectory(const LanguageFolder& found, const QString& programDir) {
  if (!found.inWorkingFolder) return found.langDir;
  const QString own = programDir + QStringLiteral("/lang");
  return QDir(own).exists() ? own : found.langDir;
}

QString MissingLanguageMessage(const QString& program, const LanguageFolder& search) {
  QStringList places;
  for (const QString& f : search.searched) places << QDir::toNativeSeparators(f);
  return QStringLiteral(
             "%1: cannot start: %2 is missing from %3; start it in the folder that holds lang/, "
             "or reinstall it")
      .arg(program, kMarker, places.join(QStringLiteral(" and from ")));
}

}  // namespace zt
