#include "data_folder.h"

#include <QDir>
#include <QStandardPaths>

namespace zt {

QString DataFolder() {
  const QByteArray env = qgetenv("RLC_DATA_DIR");
  if (!env.isEmpty()) return QDir::cleanPath(QString::fromLocal8Bit(env));
#ifdef Q_OS_WIN
  return QStringLiteral("C:\\Users\\Public\\Documents\\RLC_Data");
#else
  QString docs = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  if (docs.isEmpty()) docs = QDir::homePath();
  return QDir(docs).filePath(QStringLiteral("RLC_Data"));
#endif
}

QString VirtualPortsFolder() { return QDir(DataFolder()).filePath(QStringLiteral("virtual-ports")); }

}  // namespace zt
