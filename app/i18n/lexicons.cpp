#include "lexicons.h"

namespace zt {

const Lexicons& Lexicons::russian() {
  static const Lexicons lex = [] {
    Lexicons l;
    l.Dlang_connect.items = {"Подключить", "Отключить", "Подключаемся...", "Нет подключения", "Подключено",
                             "Отключено", "Ошибка сканирования!!", "Экон.", "Сон"};
    l.Dlang1.items = {"М", "к", "м", "мк", "н", "п"};
    l.Dlang2.items = {"Последовательная", "Параллельная", "S", "P", "", ""};
    l.Dlang3.items = {"Гц", "Вскз", "В", "Ом", "Гн", "Ф", "скз", "п-п", "мак", "мин"};
    l.D1.items = {"Профиль", "Запись данных", "Стоп", "Пусто", "Файл успешно создан!", "Неудача!",
                  "Данные эталона", "ru", "Пуск"};
    l.D2.items = {"",         "Позиция",       "Время",         "Основной",       "Дополнительн.",
                  "Схема",    "Частота",       "Уровень",       "Брак",           "Основ.% откл.",
                  "Допол.% откл.", "Наименование", "Основн. эталон", "Дополн.эталон", "Нач.позиция",
                  "Интервал"};
    l.D3.items = {"п", "о", "ПН", "+", "-", "сек", "", "", "", "", "", "", "", ""};
    return l;
  }();
  return lex;
}

QString OhmSign(const Lexicons& lex) {
  return lex.Dlang3[3] == QStringLiteral("Ом") ? QStringLiteral("Ом") : QString(QChar(0x03A9));
}

QString MicroSign(const Lexicons& lex) {
  return lex.Dlang1[3] == QStringLiteral("мк") ? QStringLiteral("мк") : QString(QChar(0x03BC));
}

}  // namespace zt
