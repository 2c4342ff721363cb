#include "notices.h"

namespace zt {

QString TextOf(LogText id) {
  switch (id) {
    case LogText::LogFull:
      return QStringLiteral("Журнал заполнен: записана последняя позиция %1. Запись остановлена.");
    case LogText::NoProfileFile:
      return QStringLiteral("Файл профилей не открыт: создайте или откройте его.");
    case LogText::ProfileFileDamaged:
      return QStringLiteral("Файл профилей %1 повреждён; прочитано то, что удалось.\n%2");
    case LogText::OpenFailed:
      return QStringLiteral("Неудача!");
  }
  return {};
}

}  // namespace zt
