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
                  "Данные эталона", "ru", "Пуск", "Файл %1 уже существует. Заменить его?"};
    l.D2.items = {"",         "Позиция",       "Время",         "Основной",       "Дополнительн.",
                  "Схема",    "Частота",       "Уровень",       "Брак",           "Основ.% откл.",
                  "Допол.% откл.", "Наименование", "Основн. эталон", "Дополн.эталон", "Нач.позиция",
                  "Интервал"};
    l.D3.items = {"п", "о", "ПН", "+", "-", "сек", "", "", "", "", "", "", "", ""};
    return l;
  }();
  return lex;
}

const QStringList& Lexicons::names() {
  static const QStringList n = {QStringLiteral("Dlang_connect"), QStringLiteral("Dlang1"), QStringLiteral("Dlang2"),
                                QStringLiteral("Dlang3"),        QStringLiteral("D1"),     QStringLiteral("D2"),
                                QStringLiteral("D3")};
  return n;
}

Lexicon* Lexicons::byName(QStringView name) {
  Lexicon* all[] = {&Dlang_connect, &Dlang1, &Dlang2, &Dlang3, &D1, &D2, &D3};
  const QStringList& n = names();
  for (int i = 0; i < n.size(); ++i)
    if (n.at(i) == name) return all[i];
  return nullptr;
}

const Lexicon* Lexicons::byName(QStringView name) const { return const_cast<Lexicons*>(this)->byName(name); }

QString OhmSign(const Lexicons& lex) {
  return lex.Dlang3[3] == QStringLiteral("Ом") ? QStringLiteral("Ом") : QString(QChar(0x03A9));
}

QString MicroSign(const Lexicons& lex) {
  return lex.Dlang1[3] == QStringLiteral("мк") ? QStringLiteral("мк") : QString(QChar(0x03BC));
}

}  // namespace zt
