#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include "settings_file.h"

using namespace zt;

namespace {

QByteArray FileBytes(const QString& folder) {
  QFile f(SettingsFilePath(folder));
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray Le32(qint32 v) {
  QByteArray b(4, '\0');
  qToLittleEndian<qint32>(v, b.data());
  return b;
}

}  // namespace

class TestSettingsFile : public QObject {
  Q_OBJECT
 private slots:
  void firstStartCreatesFolderAndEmptyFile();
  void emptyFileReadsAllZero();
  void autoConnectOnEmptyFile();
  void modelWrittenAndReadBack();
  void profilePathRoundTrip_data();
  void profilePathRoundTrip();
  void tooLongPathIsNotStored();
  void writersDoNotTruncate();
  void writersNeedTheFile();
  void parse_data();
  void parse();
  void storedModel_data();
  void storedModel();
};

void TestSettingsFile::firstStartCreatesFolderAndEmptyFile() {
  QTemporaryDir tmp;
  const QString folder = tmp.filePath(QStringLiteral("RLC_Data"));
  const SettingsFileLoad load = ReadSettingsFile(folder);
  QCOMPARE(load.status, SettingsFileLoad::Created);
  QVERIFY(QDir(folder).exists());
  QVERIFY(QFile::exists(SettingsFilePath(folder)));
  QCOMPARE(QFileInfo(SettingsFilePath(folder)).size(), 0);
}

void TestSettingsFile::emptyFileReadsAllZero() {
  QTemporaryDir tmp;
  ReadSettingsFile(tmp.path());
  const SettingsFileLoad load = ReadSettingsFile(tmp.path());
  QCOMPARE(load.status, SettingsFileLoad::Read);
  QVERIFY(load.data.pathBytes.isEmpty());
  QVERIFY(!load.data.pathDamaged);
  QCOMPARE(load.data.languageIndex, 0);
  QCOMPARE(load.data.autoConnect, 0);
  QCOMPARE(load.data.storedModel, 0);
}

void TestSettingsFile::autoConnectOnEmptyFile() {
  QTemporaryDir tmp;
  ReadSettingsFile(tmp.path());
  QVERIFY(SaveAutoConnect(tmp.path(), true).ok);
  const QByteArray b = FileBytes(tmp.path());
  QCOMPARE(b.size(), 205);
  QCOMPARE(b.left(204), QByteArray(204, '\0'));
  QCOMPARE(b.at(204), '\1');
  QVERIFY(SaveAutoConnect(tmp.path(), false).ok);
  QCOMPARE(FileBytes(tmp.path()).at(204), '\0');
}

void TestSettingsFile::modelWrittenAndReadBack() {
  QTemporaryDir tmp;
  ReadSettingsFile(tmp.path());
  QVERIFY(SaveMeterModel(tmp.path(), 2).ok);
  const QByteArray b = FileBytes(tmp.path());
  QCOMPARE(b.size(), 206);
  QCOMPARE(b.at(205), '\2');
  QCOMPARE(ReadSettingsFile(tmp.path()).data.storedModel, 2);
  QVERIFY(SaveLanguageIndex(tmp.path(), 1).ok);
  QCOMPARE(FileBytes(tmp.path()).mid(200, 4), Le32(1));
  QCOMPARE(ReadSettingsFile(tmp.path()).data.languageIndex, 1);
}

void TestSettingsFile::profilePathRoundTrip_data() {
  QTest::addColumn<QString>("name");
  QTest::newRow("latin") << QStringLiteral("parts.hex1");
  QTest::newRow("cyrillic folder") << QStringLiteral("Профили/детали.hex1");
}

void TestSettingsFile::profilePathRoundTrip() {
  QFETCH(QString, name);
  QTemporaryDir tmp;
  ReadSettingsFile(tmp.path());
  const QString path = tmp.filePath(name);
  QVERIFY(SaveLastProfilePath(tmp.path(), path, 1).ok);
  const QByteArray b = FileBytes(tmp.path());
  const QByteArray stored = EncodeSettingsPath(path);
  QCOMPARE(b.left(4), Le32(stored.size()));
  QCOMPARE(b.mid(4, stored.size()), stored);
  QCOMPARE(b.size(), 206);
  QCOMPARE(b.at(205), '\1');  // the model is written with the path
  const SettingsFileLoad load = ReadSettingsFile(tmp.path());
  QCOMPARE(load.data.lastProfilePath(), path);
}

void TestSettingsFile::tooLongPathIsNotStored() {
  QTemporaryDir tmp;
  ReadSettingsFile(tmp.path());
  QVERIFY(SaveLanguageIndex(tmp.path(), 1).ok);
  const QByteArray before = FileBytes(tmp.path());

  // 196 bytes fit exactly; one more would run into the language index.
  const QString fits = QStringLiteral("/") + QString(195, QLatin1Char('a'));
  QCOMPARE(EncodeSettingsPath(fits).size(), 196);
  QVERIFY(SaveLastProfilePath(tmp.path(), fits, 0).ok);
  QCOMPARE(ReadSettingsFile(tmp.path()).data.lastProfilePath(), fits);
  QCOMPARE(ReadSettingsFile(tmp.path()).data.languageIndex, 1);

  const QByteArray afterFit = FileBytes(tmp.path());
  const SettingsWrite w = SaveLastProfilePath(tmp.path(), fits + QLatin1Char('b'), 0);
  QVERIFY(!w.ok);
  QVERIFY(!w.message.isEmpty());
  QCOMPARE(FileBytes(tmp.path()), afterFit);
  QVERIFY(before != afterFit);
}

void TestSettingsFile::writersDoNotTruncate() {
  QTemporaryDir tmp;
  ReadSettingsFile(tmp.path());
  const QString earlier = QStringLiteral("/a/much/longer/earlier/path.hex1");
  QVERIFY(SaveLastProfilePath(tmp.path(), earlier, 2).ok);
  QVERIFY(SaveLanguageIndex(tmp.path(), 1).ok);
  QVERIFY(SaveAutoConnect(tmp.path(), true).ok);
  QVERIFY(SaveLastProfilePath(tmp.path(), QStringLiteral("/b.hex1"), 2).ok);
  const QByteArray b = FileBytes(tmp.path());
  QCOMPARE(b.size(), 206);
  // Bytes of the longer earlier path stay behind the new one and mean nothing.
  QCOMPARE(b.mid(4, 7), QByteArray("/b.hex1"));
  QCOMPARE(b.mid(11, 8), EncodeSettingsPath(earlier).mid(7, 8));
  const SettingsFileData d = ReadSettingsFile(tmp.path()).data;
  QCOMPARE(d.lastProfilePath(), QStringLiteral("/b.hex1"));
  QCOMPARE(d.languageIndex, 1);
  QCOMPARE(d.autoConnect, 1);
  QCOMPARE(d.storedModel, 2);
}

void TestSettingsFile::writersNeedTheFile() {
  QTemporaryDir tmp;  // folder exists, 1.dat does not
  const QList<SettingsWrite> results = {
      SaveLastProfilePath(tmp.path(), QStringLiteral("/x.hex1"), 0),
      SaveMeterModel(tmp.path(), 1),
      SaveAutoConnect(tmp.path(), true),
      SaveLanguageIndex(tmp.path(), 1),
  };
  for (const SettingsWrite& w : results) {
    QVERIFY(!w.ok);
    QVERIFY(w.message.contains(QStringLiteral("1.dat")));
  }
  QVERIFY(!QFile::exists(SettingsFilePath(tmp.path())));
}

void TestSettingsFile::parse_data() {
  QTest::addColumn<QByteArray>("bytes");
  QTest::addColumn<QByteArray>("path");
  QTest::addColumn<bool>("damaged");
  QTest::addColumn<int>("language");
  QTest::addColumn<int>("autoConnect");
  QTest::addColumn<int>("model");

  auto full = [](qint32 len, const QByteArray& path, qint32 lang, char a, char m) {
    QByteArray b = Le32(len) + path;
    b.append(QByteArray(200 - b.size(), 'z'));
    return b + Le32(lang) + a + m;
  };
  QTest::newRow("empty") << QByteArray() << QByteArray() << false << 0 << 0 << 0;
  QTest::newRow("three bytes") << QByteArray("\x05\0\0", 3) << QByteArray() << true << 0 << 0 << 0;
  QTest::newRow("complete") << full(3, "abc", 1, 7, 2) << QByteArray("abc") << false << 1 << 7 << 2;
  QTest::newRow("length 196") << full(196, QByteArray(196, 'p'), 0, 0, 0) << QByteArray(196, 'p') << false << 0 << 0
                              << 0;
  QTest::newRow("length 197") << full(197, "abc", 1, 1, 1) << QByteArray() << true << 1 << 1 << 1;
  QTest::newRow("negative length") << full(-1, "abc", 1, 1, 1) << QByteArray() << true << 1 << 1 << 1;
  QTest::newRow("huge length") << full(0x7fffffff, "abc", 1, 1, 1) << QByteArray() << true << 1 << 1 << 1;
  QTest::newRow("path past the end") << (Le32(10) + QByteArray("abc")) << QByteArray() << true << 0 << 0 << 0;
  QTest::newRow("ends inside language") << full(1, "a", 0x01020304, 1, 1).left(202) << QByteArray("a") << false
                                        << 0x0304 << 0 << 0;
  QTest::newRow("ends before model") << full(1, "a", 2, 1, 1).left(205) << QByteArray("a") << false << 2 << 1 << 0;
  QTest::newRow("longer than complete") << full(1, "a", 2, 1, 2) + QByteArray(50, '\xff') << QByteArray("a") << false
                                        << 2 << 1 << 2;
}

void TestSettingsFile::parse() {
  QFETCH(QByteArray, bytes);
  QFETCH(QByteArray, path);
  QFETCH(bool, damaged);
  QFETCH(int, language);
  QFETCH(int, autoConnect);
  QFETCH(int, model);
  const SettingsFileData d = ParseSettingsFile(bytes);
  QCOMPARE(d.pathBytes, path);
  QCOMPARE(d.pathDamaged, damaged);
  QCOMPARE(d.languageIndex, language);
  QCOMPARE(int(d.autoConnect), autoConnect);
  QCOMPARE(int(d.storedModel), model);
}

void TestSettingsFile::storedModel_data() {
  QTest::addColumn<int>("stored");
  QTest::addColumn<int>("current");
  QTest::addColumn<int>("expected");
  QTest::newRow("ZT42") << 2 << 0 << 2;
  QTest::newRow("3 is taken") << 3 << 1 << 3;
  QTest::newRow("9 is taken") << 9 << 1 << 9;
  QTest::newRow("10 is ignored") << 10 << 1 << 1;
  QTest::newRow("255 is ignored") << 255 << 2 << 2;
}

void TestSettingsFile::storedModel() {
  QFETCH(int, stored);
  QFETCH(int, current);
  QFETCH(int, expected);
  QTemporaryDir tmp;
  ReadSettingsFile(tmp.path());
  QVERIFY(SaveMeterModel(tmp.path(), static_cast<std::uint8_t>(stored)).ok);
  const SettingsFileData d = ReadSettingsFile(tmp.path()).data;
  QCOMPARE(int(ModelFromSettings(d.storedModel, static_cast<std::uint8_t>(current))), expected);
}

QTEST_GUILESS_MAIN(TestSettingsFile)
#include "test_settings_file.moc"
