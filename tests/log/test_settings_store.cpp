// 1.dat as an object: what a load hands on (and what it leaves alone), and
// the writers reporting failure as values.
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include "settings_store.h"

using namespace zt;

namespace {

QByteArray Le32(qint32 v) {
  QByteArray b(4, '\0');
  qToLittleEndian<qint32>(v, b.data());
  return b;
}

// A 1.dat of the given fields; a `pathLength` of -1 takes the path's own length.
QByteArray Dat(const QByteArray& path, qint32 language, char autoConnect, char model, qint32 pathLength = -1) {
  QByteArray b = Le32(pathLength == -1 ? qint32(path.size()) : pathLength) + path;
  b.append(QByteArray(200 - b.size(), '\0'));
  b += Le32(language);
  b += autoConnect;
  b += model;
  return b;
}

QByteArray FileBytes(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void Put(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  QCOMPARE(f.write(bytes), bytes.size());
}

}  // namespace

class TestSettingsStore : public QObject {
  Q_OBJECT
 private slots:
  void load_data();
  void load();
  void firstStartAppliesNothing();
  void pathIsStoredWithTheModelInUse();
  void writersReportFailures();
  void firstFieldBringsTheLanguage_data();
  void firstFieldBringsTheLanguage();
  void reReadLeavesAMissingFile();
  void writeBacksOfAReadingAddNoLanguage();
};

// What each load hands on. The path "@" is an existing profile file.
void TestSettingsStore::load_data() {
  QTest::addColumn<QString>("path");
  QTest::addColumn<int>("lengthField");  // -1: the path's own length
  QTest::addColumn<int>("fileLanguage");
  QTest::addColumn<int>("fileAuto");
  QTest::addColumn<int>("fileModel");
  QTest::addColumn<int>("size");  // bytes of the file kept; -1: all 206
  QTest::addColumn<int>("modelBefore");
  QTest::addColumn<bool>("autoConnect");
  QTest::addColumn<int>("modelSignal");  // -1: no modelLoaded
  QTest::addColumn<int>("modelAfter");
  QTest::addColumn<int>("language");
  QTest::addColumn<bool>("profile");  // profilePathLoaded with the existing file
  QTest::addColumn<bool>("damaged");
  QTest::newRow("empty file: all zero") << "" << -1 << 0 << 0 << 0 << 0 << 1 << false << 0 << 0 << 0 << false << false;
  QTest::newRow("complete") << "@" << -1 << 1 << 1 << 2 << -1 << 0 << true << 2 << 2 << 1 << true << false;
  QTest::newRow("auto-connect any non-zero")
      << "" << -1 << 2 << 7 << 0 << -1 << 0 << true << 0 << 0 << 2 << false << false;
  QTest::newRow("model 5 has no button but is taken")
      << "" << -1 << 0 << 0 << 5 << -1 << 0 << false << 5 << 5 << 0 << false << false;
  QTest::newRow("model 10 is ignored") << "" << -1 << 0 << 0 << 10 << -1 << 1 << false << -1 << 1 << 0 << false
                                       << false;
  QTest::newRow("a file no longer there")
      << "/nowhere/gone.hex1" << -1 << 1 << 0 << 0 << -1 << 0 << false << 0 << 0 << 1 << false << false;
  QTest::newRow("negative length") << "@" << -3 << 1 << 0 << 0 << -1 << 0 << false << 0 << 0 << 1 << false << true;
  QTest::newRow("length past its field") << "@" << 300 << 1 << 0 << 0 << -1 << 0 << false << 0 << 0 << 1 << false
                                         << true;
  QTest::newRow("short file: fields past the end read 0")
      << "@" << -1 << 1 << 1 << 2 << 202 << 2 << false << 0 << 0 << 1 << true << false;
}

void TestSettingsStore::load() {
  QFETCH(QString, path);
  QFETCH(int, lengthField);
  QFETCH(int, fileLanguage);
  QFETCH(int, fileAuto);
  QFETCH(int, fileModel);
  QFETCH(int, size);
  QFETCH(int, modelBefore);
  QFETCH(bool, autoConnect);
  QFETCH(int, modelSignal);
  QFETCH(int, modelAfter);
  QFETCH(int, language);
  QFETCH(bool, profile);
  QFETCH(bool, damaged);
  QTemporaryDir tmp;
  const QString profilePath = tmp.filePath(QStringLiteral("p.hex1"));
  Put(profilePath, QByteArray(100, '\0'));
  const QByteArray pathBytes = EncodeSettingsPath(path == QLatin1String("@") ? profilePath : path);
  QByteArray file = Dat(pathBytes, fileLanguage, char(fileAuto), char(fileModel), lengthField);
  if (size >= 0) file.truncate(size);

  SettingsStore store(tmp.path());
  Put(store.filePath(), file);
  store.setMeterModel(static_cast<std::uint8_t>(modelBefore));
  QSignalSpy autoSpy(&store, &SettingsStore::autoConnectLoaded);
  QSignalSpy modelSpy(&store, &SettingsStore::modelLoaded);
  QSignalSpy langSpy(&store, &SettingsStore::languageIndexLoaded);
  QSignalSpy pathSpy(&store, &SettingsStore::profilePathLoaded);

  const SettingsLoad r = store.load();
  QCOMPARE(r.status, SettingsFileLoad::Read);
  QCOMPARE(autoSpy.size(), 1);
  QCOMPARE(autoSpy.at(0).at(0).toBool(), autoConnect);
  QCOMPARE(modelSpy.size(), modelSignal < 0 ? 0 : 1);
  if (modelSignal >= 0) QCOMPARE(int(modelSpy.at(0).at(0).value<std::uint8_t>()), modelSignal);
  QCOMPARE(int(store.meterModel()), modelAfter);
  QCOMPARE(int(r.model), modelAfter);
  QCOMPARE(langSpy.size(), 1);
  QCOMPARE(langSpy.at(0).at(0).toInt(), language);
  QCOMPARE(pathSpy.size(), profile ? 1 : 0);
  QCOMPARE(r.profilePath, profile ? profilePath : QString());
  if (profile) QCOMPARE(pathSpy.at(0).at(0).toString(), profilePath);
  QCOMPARE(r.pathDamaged, damaged);
}

void TestSettingsStore::firstStartAppliesNothing() {
  QTemporaryDir tmp;
  SettingsStore store(tmp.filePath(QStringLiteral("RLC_Data")));
  store.setMeterModel(2);
  QSignalSpy autoSpy(&store, &SettingsStore::autoConnectLoaded);
  QSignalSpy langSpy(&store, &SettingsStore::languageIndexLoaded);
  const SettingsLoad r = store.load();
  QCOMPARE(r.status, SettingsFileLoad::Created);
  QVERIFY(QFile::exists(store.filePath()));
  QCOMPARE(QFileInfo(store.filePath()).size(), 0);
  QVERIFY(autoSpy.isEmpty());
  QVERIFY(langSpy.isEmpty());
  QCOMPARE(int(store.meterModel()), 2);
  // The second start reads the empty file: now it applies (language 0 is Russian).
  QCOMPARE(store.load().status, SettingsFileLoad::Read);
  QCOMPARE(langSpy.size(), 1);
}

// The model byte written with a path is the model in use: loaded, saved by
// the model buttons, or set by the meter.
void TestSettingsStore::pathIsStoredWithTheModelInUse() {
  QTemporaryDir tmp;
  SettingsStore store(tmp.path());
  store.load();
  QVERIFY(store.SaveAutoConnect(true).ok);
  QCOMPARE(FileBytes(store.filePath()).size(), 205);
  QCOMPARE(FileBytes(store.filePath()).at(204), '\1');
  QVERIFY(store.SaveMeterModel(2).ok);
  QVERIFY(store.SaveLastProfilePath(QStringLiteral("/a.hex1")).ok);
  QByteArray b = FileBytes(store.filePath());
  QCOMPARE(b.left(11), Le32(7) + QByteArray("/a.hex1"));
  QCOMPARE(b.at(205), '\2');
  store.setMeterModel(1);
  QVERIFY(store.SaveLastProfilePath(QStringLiteral("/b.hex1")).ok);
  QCOMPARE(FileBytes(store.filePath()).at(205), '\1');
  QVERIFY(store.SaveLanguageIndex(1).ok);
  b = FileBytes(store.filePath());
  QCOMPARE(b.mid(200, 4), Le32(1));
  QCOMPARE(b.at(204), '\1');
}

void TestSettingsStore::writersReportFailures() {
  QTemporaryDir tmp;
  SettingsStore store(tmp.path());
  store.load();
  // A path 1.dat cannot hold is refused and the file keeps its bytes.
  QVERIFY(store.SaveLastProfilePath(QStringLiteral("/x.hex1")).ok);
  const QByteArray before = FileBytes(store.filePath());
  const SettingsWrite tooLong = store.SaveLastProfilePath(QStringLiteral("/") + QString(196, QLatin1Char('a')));
  QVERIFY(!tooLong.ok);
  QVERIFY(tooLong.message.contains(QStringLiteral("196")));
  QCOMPARE(FileBytes(store.filePath()), before);
  // 1.dat removed while running: every writer says so and none creates it.
  QVERIFY(QFile::remove(store.filePath()));
  for (const SettingsWrite& w : {store.SaveAutoConnect(false), store.SaveMeterModel(0), store.SaveLanguageIndex(0),
                                 store.SaveLastProfilePath(QStringLiteral("/y.hex1"))}) {
    QVERIFY(!w.ok);
    QVERIFY(w.message.contains(QStringLiteral("1.dat")));
  }
  QVERIFY(!QFile::exists(store.filePath()));
}

// A writer that adds the first field to a file with no language field yet
// writes the language in use with it: the zeros it would leave name the
// design language, and the next re-read would switch to it. A file that has
// one keeps it; the reading's own write-backs add nothing.
void TestSettingsStore::firstFieldBringsTheLanguage_data() {
  QTest::addColumn<QByteArray>("before");
  QTest::addColumn<QString>("writer");
  QTest::addColumn<QByteArray>("after");
  const QByteArray path = QByteArray("/a.hex1");
  QTest::newRow("auto-connect on an empty file") << QByteArray() << "auto" << QByteArray(200, '\0') + Le32(1) + '\1';
  QTest::newRow("model on an empty file") << QByteArray() << "model" << QByteArray(200, '\0') + Le32(1) + '\0' + '\2';
  QTest::newRow("path on an empty file") << QByteArray() << "path"
                                         << Le32(7) + path + QByteArray(189, '\0') + Le32(1) + '\0' + '\0';
  QTest::newRow("path on a file of a path") << Le32(2) + "/b"
                                            << "path" << Le32(7) + path + QByteArray(189, '\0') + Le32(1) + '\0' + '\0';
  QTest::newRow("a file with its language keeps it")
      << Dat("/b", 0, 0, 0) << "auto" << Le32(2) + "/b" + QByteArray(194, '\0') + Le32(0) + '\1' + '\0';
}

void TestSettingsStore::firstFieldBringsTheLanguage() {
  QFETCH(QByteArray, before);
  QFETCH(QString, writer);
  QFETCH(QByteArray, after);
  QTemporaryDir tmp;
  SettingsStore store(tmp.path());
  store.load();
  Put(store.filePath(), before);
  store.setLanguageInUse([] { return 1; });
  SettingsWrite w;
  if (writer == QLatin1String("auto")) w = store.SaveAutoConnect(true);
  if (writer == QLatin1String("model")) w = store.SaveMeterModel(2);
  if (writer == QLatin1String("path")) w = store.SaveLastProfilePath(QStringLiteral("/a.hex1"));
  QVERIFY(w.ok);
  QCOMPARE(FileBytes(store.filePath()), after);
  // The next reading names the language in use.
  QSignalSpy language(&store, &SettingsStore::languageIndexLoaded);
  store.load();
  QCOMPARE(language.size(), 1);
  QCOMPARE(language.at(0).at(0).toInt(), before.size() >= 204 ? 0 : 1);
}

// Only the first reading (the start) makes 1.dat; a re-read while the
// program runs finds it gone and leaves it gone, so the writers go on
// refusing and the next start does not find a file of one field.
void TestSettingsStore::reReadLeavesAMissingFile() {
  QTemporaryDir tmp;
  SettingsStore store(tmp.filePath(QStringLiteral("RLC_Data")));
  QCOMPARE(store.load().status, SettingsFileLoad::Created);
  QVERIFY(store.SaveAutoConnect(true).ok);
  QVERIFY(QFile::remove(store.filePath()));
  QSignalSpy any(&store, &SettingsStore::autoConnectLoaded);
  QCOMPARE(store.load().status, SettingsFileLoad::Missing);
  QVERIFY(any.isEmpty());
  QVERIFY(!QFile::exists(store.filePath()));
  QVERIFY(!store.SaveLastProfilePath(QStringLiteral("/a.hex1")).ok);
  QVERIFY(!QFile::exists(store.filePath()));
  // The start of the next run makes it again.
  SettingsStore next(store.folder());
  QCOMPARE(next.load().status, SettingsFileLoad::Created);
}

// The second start reads an empty file (the design language) and its owners
// write what they took back: that is the file's own content, not a language
// the window had before it applied the file.
void TestSettingsStore::writeBacksOfAReadingAddNoLanguage() {
  QTemporaryDir tmp;
  SettingsStore store(tmp.path());
  store.load();  // the first start: an empty file
  store.setLanguageInUse([] { return 1; });
  connect(&store, &SettingsStore::modelLoaded, &store, [&store](std::uint8_t m) { store.SaveMeterModel(m); });
  store.load();
  QCOMPARE(FileBytes(store.filePath()), QByteArray(206, '\0'));
}

QTEST_GUILESS_MAIN(TestSettingsStore)
#include "test_settings_store.moc"
