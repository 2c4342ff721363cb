#pragma once
// A profile book over a fresh data folder, with the meter's state and the
// log's table played by the fixture, and everything it tells the operator
// kept for the test.
#include <QDir>
#include <QFile>
#include <QList>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "profile_book.h"
#include "settings_store.h"

namespace zt::test {

inline QByteArray Bytes(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

struct Notice {
  NoticeLevel level;
  QString text;
};

struct BookFixture {
  QTemporaryDir dir;
  SettingsStore store{dir.path()};
  ProfileBook book{&store};
  MeterSettings live;      // the meter's settings now
  std::uint8_t model = 0;  // MeterModel
  QList<Notice> notices;

  explicit BookFixture(bool loadStore = true) {
    if (loadStore) store.load();  // the first start makes 1.dat
    book.setSeparators(Separators{QStringLiteral("."), QStringLiteral(",")});
    book.setLiveMeter({[this] { return live; }, [this] { return model; }});
    QObject::connect(&book, &ProfileBook::notice, [this](NoticeLevel level, const QString& text) {
      notices.append({level, text});
    });
  }

  // A file in the fixture's folder, or `name` itself when it is absolute.
  QString path(const QString& name) const { return QDir(dir.path()).filePath(name); }

  // A profile file with these names (nominal values 100, 200, ...), made
  // current with "Открыть".
  void openProfiles(const QStringList& names, const QString& fileName = QStringLiteral("parts.hex1")) {
    const QString file = path(fileName);
    ProfileFile pf(file);
    ProfileRecord r = book.EditorRecord();
    r.ProfileName = names.value(0);
    r.PrimaryNominal = QStringLiteral("100");
    QVERIFY(pf.create(r).ok);
    std::int32_t count = 1;
    for (int i = 1; i < names.size(); ++i) {
      r.ProfileName = names[i];
      r.PrimaryNominal = QString::number(100 * (i + 1));
      QVERIFY(pf.store(count, i + 1, r).ok);
    }
    QVERIFY(book.open(file));
    QCOMPARE(book.profileCount(), names.size());
    QCOMPARE(book.currentProfilePath(), file);
  }
};

}  // namespace zt::test
