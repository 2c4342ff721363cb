#include "lexicons.h"

namespace zt {

const Lexicons& Lexicons::russian() {
  static const Lexicons lex = [] {
    Lexicons l;
    l.Dlang_connect.items = {"Подключить", "Отключить", "Подключаемся...",       "Нет подключения",
                             "Подключено", "Отключено", "Ошибка сканирования!!", "Экон.",
                             "Сон",        "Нет ответа"};
    l.Dlang1.items = {"М", "к", "м", "мк", "н", "п"};
    l.Dlang2.items = {"Последовательная", "Параллельная", "S", "P", "", ""};
    l.Dlang3.items = {"Гц", "Вскз", "В", "Ом", "Гн", "Ф", "скз", "п-п", "мак", "мин"};
    l.D1.items = {"Профиль",  "Запись данных",  "Стоп", "Пусто", "Файл успешно создан!",
                  "Неудача!", "Данные эталона", "ru",   "Пуск"};
    l.D2.items = {"",
                  "Позиция",
                  "Время",
                  "Основной",
                  "Дополнительн.",
                  "Схема",
                  "Частота",
                  "Уровень",
                  "Брак",
                  "Основ.% откл.",
                  "Допол.% откл.",
                  "Наименование",
                  "Основн. эталон",
                  "Дополн.эталон",
                  "Нач.позиция",
                  "Интервал"};
    l.D3.items = {"п", "о", "ПН", "+", "-", "сек", "", "", "", "", "", "", "", ""};
    l.D4.items = {
        "Журнал заполнен: записана последняя позиция %1. Запись остановлена.",
        "Файл профилей не открыт: создайте или откройте его.",
        "Файл профилей %1 повреждён; прочитано то, что удалось.\n%2",
        "Файл профилей %1: %2",
        "Нет профиля с номером %1",
        "В файле нет профилей для удаления",
        "профиль %1 лежит за концом файла",
        "профиль %1 обрезан концом файла",
        "профили %1-%2 лежат за концом файла",
        "запись короче %1 байт",
        "профиль %1, %2",
        "поле %1: длина %2 больше %3",
        "имя",
        "допуск",
        "номинал",
        "доп. допуск",
        "доп. номинал",
        "файл короче заголовка",
        "число профилей в заголовке отрицательно (%1)",
        "в заголовке %1 профилей, в файле только %2",
        "Не удалось открыть файл настроек %1: %2",
        "Не удалось записать файл настроек %1: %2",
        "Путь к файлу профиля длиннее %1 байт и не будет запомнен:\n%2",
        "Книга Excel (*.xlsx)",
        "Текст CSV (*.csv)",
        "Отмена",
        "Не удалось записать %1: %2",
        "это папка",
        "не указано имя файла",
        "не хватает памяти",
        "не удалось начать книгу (не хватает памяти)",
        "не удалось создать временное хранилище листа",
        "строка %1, столбец %2: %3",
        "не удалось завершить книгу: %1",
        "непригодный разделитель списка",
        "не удалось создать временный файл: %1",
        "ошибка записи: %1",
        "не удалось поставить файл на место: %1",
        "Неизвестная ошибка",
        "Нет доступа к порту %1: добавьте пользователя в группу %2 и войдите в систему заново",
        "Файл %1 уже существует. Заменить его?",
    };
    return l;
  }();
  return lex;
}

const QStringList& Lexicons::names() {
  static const QStringList n = {QStringLiteral("Dlang_connect"),
                                QStringLiteral("Dlang1"),
                                QStringLiteral("Dlang2"),
                                QStringLiteral("Dlang3"),
                                QStringLiteral("D1"),
                                QStringLiteral("D2"),
                                QStringLiteral("D3"),
                                QStringLiteral("D4")};
  return n;
}

Lexicon* Lexicons::byName(QStringView name) {
  Lexicon* all[] = {&Dlang_connect, &Dlang1, &Dlang2, &Dlang3, &D1, &D2, &D3, &D4};
  const QStringList& n = names();
  for (int i = 0; i < n.size(); ++i)
    if (n.at(i) == name) return all[i];
  return nullptr;
}

const Lexicon* Lexicons::byName(QStringView name) const { return const_cast<Lexicons*>(this)->byName(name); }

namespace {

Lexicon& PublishedMessages() {
  static Lexicon messages = Lexicons::russian().D4;
  return messages;
}

}  // namespace

const Lexicon& ProgramMessages() { return PublishedMessages(); }

void PublishProgramMessages(const Lexicon& messages) { PublishedMessages() = messages; }

QString OhmSign(const Lexicons& lex) {
  return lex.Dlang3[3] == QStringLiteral("Ом") ? QStringLiteral("Ом") : QString(QChar(0x03A9));
}

QString MicroSign(const Lexicons& lex) {
  return lex.Dlang1[3] == QStringLiteral("мк") ? QStringLiteral("мк") : QString(QChar(0x03BC));
}

}  // namespace zt
