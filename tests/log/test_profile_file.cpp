#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include "profile_codepage.h"
#include "profile_file.h"

using namespace zt;

namespace {

QByteArray Bytes(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void PutBytes(const QString& path, const QByteArray& b) {
  QFile f(path);
  QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  QCOMPARE(f.write(b), b.size());
}

QByteArray Le32(qint32 v) {
  QByteArray b(4, '\0');
  qToLittleEndian<qint32>(v, b.data());
  return b;
}

MeterSettings SampleSettings(std::uint8_t base) {
  std::array<std::uint8_t, MeterSettings::kSize> b{};
  for (std::size_t i = 0; i < b.size(); ++i) b[i] = static_cast<std::uint8_t>(base + i);
  return MeterSettings::fromBytes(b);
}

// What the editor holds in its design state.
ProfileRecord EditorDefaults() {
  ProfileRecord r;
  r.ProfileName = QStringLiteral("R1");
  r.StartPosition = 1;
  r.PrimaryTolerance = ProfileToleranceOff();
  r.PrimaryKind = 0;
  r.PrimaryUnit = 0;
  r.PrimaryNominal = QStringLiteral("10000");
  r.SecondaryTolerance = ProfileToleranceOff();
  r.SecondaryNominal = QStringLiteral("10000");
  r.Settings = SampleSettings(1);
  return r;
}

ProfileRecord Named(const QString& name, std::uint8_t settingsBase) {
  ProfileRecord r = EditorDefaults();
  r.ProfileName = name;
  r.Settings = SampleSettings(settingsBase);
  return r;
}

QStringList Names(const ProfileFile& file, int count) {
  QVector<ProfileRecord> recs;
  file.readRecords(count, recs);
  QStringList names;
  for (const ProfileRecord& r : recs) names << r.ProfileName;
  return names;
}

// A file with profiles "P1".."Pn".
std::int32_t MakeFile(const ProfileFile& file, int n) {
  std::int32_t count = 0;
  if (!file.create(Named(QStringLiteral("P1"), 1)).ok) return -1;
  count = 1;
  for (int i = 2; i <= n; ++i) file.store(count, i, Named(QStringLiteral("P%1").arg(i), static_cast<std::uint8_t>(i)));
  return count;
}

int FreqOfIndex(int i, int model, int liveFreqCode) {
  static const int table[] = {120,   100,   120,   1000,  10000, 100000, 20000, 30000,
                              40000, 50000, 60000, 70000, 80000, 90000,  150000};
  if (liveFreqCode == 0) return 120;
  if (i == 6 && model == 1) return 250000;
  return (i >= 0 && i < 15) ? table[i] : 50;
}

// A record as the editor writes it, with settings a meter reports.
QByteArray Written(const QString& name) {
  ProfileRecord r = EditorDefaults();
  r.ProfileName = name;
  r.PrimaryTolerance = QStringLiteral("2%");
  r.Settings = MeterSettings{};
  r.Settings.FreqCode = 3;
  r.Settings.LevelCode = 2;
  r.Settings.IntervalCode = 3;
  return EncodeProfileRecord(r);
}

QByteArray Header(qint32 count) { return Le32(count) + QByteArray(96, '\0'); }

}  // namespace

class TestProfileFile : public QObject {
  Q_OBJECT
 private slots:
  void createGivesTheDesignedBytes();
  void longTextsAreCut();
  void cyrillicNamesMatchWindows1251();
  void codePageIsComplete();
  void storeAtFreeSlotAppends();
  void storeWithoutFileLeavesCount();
  void deleteKeepsLength();
  void deleteRules_data();
  void deleteRules();
  void insertShifts();
  void copyIsByteForByte();
  void damagedFiles_data();
  void damagedFiles();
  void whatAFileIs_data();
  void whatAFileIs();
  void implausibleFields_data();
  void implausibleFields();
  void tableRow_data();
  void tableRow();
  void tableHeaders();
  void referenceColumns_data();
  void referenceColumns();
};

void TestProfileFile::createGivesTheDesignedBytes() {
  QTemporaryDir tmp;
  const ProfileFile file(tmp.filePath(QStringLiteral("a.hex1")));
  QVERIFY(file.create(EditorDefaults()).ok);
  const QByteArray b = Bytes(file.path());
  QCOMPARE(b.size(), 172);
  QCOMPARE(b.left(4), QByteArray("\x01\0\0\0", 4));
  QCOMPARE(b.mid(4, 96), QByteArray(96, '\0'));
  const QByteArray rec = b.mid(100);
  QCOMPARE(rec.left(3), QByteArray("\x02R1"));
  QCOMPARE(qFromLittleEndian<qint32>(rec.constData() + 12), 1);
  QCOMPARE(rec.mid(16, 4), QByteArray("\x03OFF"));
  QCOMPARE(rec.at(22), '\0');
  QCOMPARE(rec.at(23), '\0');
  QCOMPARE(rec.mid(24, 6), QByteArray("\x05"
                                      "10000"));
  QCOMPARE(rec.mid(35, 4), QByteArray("\x03OFF"));
  QByteArray settings;
  for (auto v : SampleSettings(1).toBytes()) settings.append(static_cast<char>(v));
  QCOMPARE(rec.mid(54, 18), settings);

  std::int32_t count = -1;
  QVERIFY(file.readCount(count).ok);
  QCOMPARE(count, 1);
  ProfileRecord back;
  const ProfileIo io = file.readRecord(1, back);
  QVERIFY(io.ok);
  QVERIFY(io.problems.isEmpty());
  QCOMPARE(back, EditorDefaults());
}

void TestProfileFile::longTextsAreCut() {
  ProfileRecord r = EditorDefaults();
  r.ProfileName = QStringLiteral("ABCDEFGHIJKLMN");  // 14 characters
  r.PrimaryTolerance = QStringLiteral("12345678");
  r.PrimaryNominal = QStringLiteral("1234567,8901");
  const ProfileRecord back = DecodeProfileRecord(EncodeProfileRecord(r));
  QCOMPARE(back.ProfileName, QStringLiteral("ABCDEFGHIJ"));
  QCOMPARE(back.PrimaryTolerance, QStringLiteral("12345"));
  QCOMPARE(back.PrimaryNominal, QStringLiteral("1234567,89"));
  // The cut name does not spill into the start position that follows it.
  QCOMPARE(back.StartPosition, r.StartPosition);
}

void TestProfileFile::cyrillicNamesMatchWindows1251() {
  ProfileRecord r = EditorDefaults();
  r.ProfileName = QStringLiteral("Ёмкость №1");
  r.PrimaryTolerance = QStringLiteral("0,2%");
  const QByteArray rec = EncodeProfileRecord(r);
  // The bytes a Windows-1251 system writes for these texts.
  QCOMPARE(rec.left(11), QByteArray("\x0a\xa8\xec\xea\xee\xf1\xf2\xfc\x20\xb9\x31"));
  QCOMPARE(rec.mid(16, 5), QByteArray("\x04"
                                      "0,2%"));
  QCOMPARE(DecodeProfileRecord(rec).ProfileName, r.ProfileName);
  // A character the code page lacks becomes '?', as on Windows.
  QCOMPARE(ToProfileCodePage(QStringLiteral("Ω1")), QByteArray("?1"));
  QCOMPARE(FromProfileCodePage(QByteArray("\xcf\xf0\xe8\xe2\xe5\xf2")), QStringLiteral("Привет"));
}

// Every byte of Windows-1251 but the one it leaves undefined reads as its
// own character and is written back as the same byte: a Qt without the code
// page would read the upper half as U+FFFD.
void TestProfileFile::codePageIsComplete() {
#ifdef Q_OS_WIN
  QSKIP("the ANSI code page of this system");
#endif
  for (int i = 0x80; i < 0x100; ++i) {
    const QByteArray byte(1, static_cast<char>(i));
    const QString ch = FromProfileCodePage(byte);
    QCOMPARE(ch.size(), 1);
    if (i == 0x98) {
      QCOMPARE(ch[0], QChar(0xFFFD));
      QCOMPARE(ToProfileCodePage(ch), QByteArray("?"));
      continue;
    }
    QVERIFY2(ch[0] != QChar(0xFFFD) && ch[0].unicode() > 0x9F, qPrintable(QString::number(i, 16)));
    QCOMPARE(ToProfileCodePage(ch), byte);
  }
  QCOMPARE(FromProfileCodePage(QByteArray("\x88\xb9\xa8")), QStringLiteral("€№Ё"));
  // A character beyond the Basic Multilingual Plane is one '?', not two.
  QCOMPARE(ToProfileCodePage(QString::fromUtf8("\xf0\x9f\x98\x80x")), QByteArray("?x"));
}

void TestProfileFile::storeAtFreeSlotAppends() {
  QTemporaryDir tmp;
  const ProfileFile file(tmp.filePath(QStringLiteral("a.hex1")));
  std::int32_t count = MakeFile(file, 2);
  QCOMPARE(count, 2);
  // Storing over an existing profile keeps the count.
  QVERIFY(file.store(count, 1, Named(QStringLiteral("X"), 9)).ok);
  QCOMPARE(count, 2);
  // The free slot (and anything past it) appends exactly one profile.
  QVERIFY(file.store(count, 7, Named(QStringLiteral("Y"), 9)).ok);
  QCOMPARE(count, 3);
  std::int32_t header = 0;
  file.readCount(header);
  QCOMPARE(header, 3);
  QCOMPARE(Names(file, count), (QStringList{"X", "P2", "Y"}));
  QCOMPARE(Bytes(file.path()).size(), 100 + 3 * 72);
}

void TestProfileFile::storeWithoutFileLeavesCount() {
  QTemporaryDir tmp;
  const ProfileFile file(tmp.filePath(QStringLiteral("missing.hex1")));
  std::int32_t count = 4;
  const ProfileIo io = file.store(count, 5, EditorDefaults());
  QVERIFY(!io.ok);
  QVERIFY(!io.message.isEmpty());
  QCOMPARE(count, 4);
  QVERIFY(!QFile::exists(file.path()));
  QVERIFY(!file.insert(count, 1, EditorDefaults()).ok);
  QVERIFY(!file.remove(count, 1).ok);
  QCOMPARE(count, 4);
}

void TestProfileFile::deleteKeepsLength() {
  QTemporaryDir tmp;
  const ProfileFile file(tmp.filePath(QStringLiteral("a.hex1")));
  std::int32_t count = MakeFile(file, 3);
  QVERIFY(file.remove(count, 2).ok);
  QCOMPARE(count, 2);
  const QByteArray b = Bytes(file.path());
  QCOMPARE(b.size(), 316);
  QCOMPARE(b.left(4), Le32(2));
  QCOMPARE(Names(file, count), (QStringList{"P1", "P3"}));
  ProfileRecord second;
  file.readRecord(2, second);
  QCOMPARE(second.Settings, SampleSettings(3));
}

void TestProfileFile::deleteRules_data() {
  QTest::addColumn<int>("profiles");
  QTest::addColumn<int>("n");
  QTest::addColumn<bool>("ok");
  QTest::addColumn<QStringList>("left");
  QTest::newRow("first of three") << 3 << 1 << true << QStringList{"P2", "P3"};
  QTest::newRow("last of three") << 3 << 3 << true << QStringList{"P1", "P2"};
  QTest::newRow("free slot removes the last") << 3 << 4 << true << QStringList{"P1", "P2"};
  QTest::newRow("only one") << 1 << 1 << true << QStringList{};
  QTest::newRow("none left") << 0 << 1 << false << QStringList{};
  QTest::newRow("number 0") << 2 << 0 << false << QStringList{"P1", "P2"};
}

void TestProfileFile::deleteRules() {
  QFETCH(int, profiles);
  QFETCH(int, n);
  QFETCH(bool, ok);
  QFETCH(QStringList, left);
  QTemporaryDir tmp;
  const ProfileFile file(tmp.filePath(QStringLiteral("a.hex1")));
  std::int32_t count = MakeFile(file, std::max(profiles, 1));
  if (profiles == 0) QVERIFY(file.remove(count, 1).ok);
  QCOMPARE(count, profiles);
  const ProfileIo io = file.remove(count, n);
  QCOMPARE(io.ok, ok);
  QCOMPARE(count, static_cast<std::int32_t>(left.size()));
  QVERIFY(count >= 0);
  std::int32_t header = -1;
  file.readCount(header);
  QCOMPARE(header, count);
  QCOMPARE(Names(file, count), left);
}

void TestProfileFile::insertShifts() {
  QTemporaryDir tmp;
  const ProfileFile file(tmp.filePath(QStringLiteral("a.hex1")));
  std::int32_t count = MakeFile(file, 3);
  QVERIFY(file.insert(count, 1, Named(QStringLiteral("NEW"), 40)).ok);
  QCOMPARE(count, 4);
  QCOMPARE(Names(file, count), (QStringList{"NEW", "P1", "P2", "P3"}));
  QCOMPARE(Bytes(file.path()).size(), 100 + 4 * 72);
  ProfileRecord moved;
  file.readRecord(4, moved);
  QCOMPARE(moved.Settings, SampleSettings(3));
  // Inserting at the free slot appends; past it is refused.
  QVERIFY(file.insert(count, 5, Named(QStringLiteral("END"), 50)).ok);
  QCOMPARE(Names(file, count).last(), QStringLiteral("END"));
  QVERIFY(!file.insert(count, 7, EditorDefaults()).ok);
  QCOMPARE(count, 5);
}

void TestProfileFile::copyIsByteForByte() {
  QTemporaryDir tmp;
  const ProfileFile file(tmp.filePath(QStringLiteral("a.hex1")));
  std::int32_t count = MakeFile(file, 3);
  file.remove(count, 1);  // leaves a stale record behind the end
  const QString target = tmp.filePath(QStringLiteral("b.hex1"));
  PutBytes(target, QByteArray(1000, 'x'));  // replaced, not merged
  QVERIFY(file.copyTo(target).ok);
  QCOMPARE(Bytes(target), Bytes(file.path()));
}

void TestProfileFile::damagedFiles_data() {
  QTest::addColumn<QByteArray>("bytes");
  QTest::addColumn<int>("count");          // what readCount gives
  QTest::addColumn<QStringList>("names");  // readRecords(header count as written)
  QTest::addColumn<int>("headerCount");
  QTest::addColumn<bool>("problems");

  auto header = [](qint32 n) { return Le32(n) + QByteArray(96, '\0'); };
  const QByteArray good = EncodeProfileRecord(Named(QStringLiteral("OK"), 1));
  QByteArray longName = good;
  longName[0] = char(200);  // a length byte far beyond its field
  QByteArray longTol = good;
  longTol[16] = char(6);

  QTest::newRow("count beyond the file") << header(1000) + good + good << 2 << QStringList{"OK", "OK"} << 1000 << true;
  QTest::newRow("negative count") << header(-5) + good << 0 << QStringList{} << -5 << true;
  QTest::newRow("shorter than the header count field") << QByteArray("\x01\0", 2) << 0 << QStringList{} << 0 << true;
  QTest::newRow("cut inside the record") << header(1) + good.left(30) << 0 << QStringList{"OK"} << 1 << true;
  QTest::newRow("name length byte too large")
      << header(1) + longName << 1 << QStringList{QString("OK") + QString(8, QChar(0))} << 1 << true;
  QTest::newRow("tolerance length byte too large") << header(1) + longTol << 1 << QStringList{"OK"} << 1 << true;
  QTest::newRow("longer than needed") << header(1) + good + QByteArray(500, '\xff') << 1 << QStringList{"OK"} << 1
                                      << false;
}

void TestProfileFile::damagedFiles() {
  QFETCH(QByteArray, bytes);
  QFETCH(int, count);
  QFETCH(QStringList, names);
  QFETCH(int, headerCount);
  QFETCH(bool, problems);
  QTemporaryDir tmp;
  const ProfileFile file(tmp.filePath(QStringLiteral("foreign.hex1")));
  PutBytes(file.path(), bytes);

  std::int32_t c = -1;
  const ProfileIo countIo = file.readCount(c);
  QVERIFY(countIo.ok);
  QCOMPARE(c, count);
  QCOMPARE(ParseProfileFile(bytes).count, count);

  QVector<ProfileRecord> recs;
  const ProfileIo recIo = file.readRecords(headerCount, recs);
  QVERIFY(recIo.ok);
  QStringList got;
  for (const ProfileRecord& r : recs) got << r.ProfileName;
  QCOMPARE(got, names);
  QCOMPARE(!(countIo.problems + recIo.problems).isEmpty(), problems);
}

// Before anything acts on a file: is it a profile file at all, and which of
// its profiles read as the editor wrote them.
void TestProfileFile::whatAFileIs_data() {
  QTest::addColumn<QByteArray>("bytes");
  QTest::addColumn<int>("kind");          // ProfileFileKind
  QTest::addColumn<int>("count");         // profiles that can be read
  QTest::addColumn<QList<int>>("clean");  // profiles that read as written
  QTest::addColumn<QString>("reason");    // NotProfile: part of the reason
  using L = QList<int>;
  const int clean = int(ProfileFileKind::Clean), damaged = int(ProfileFileKind::Damaged),
            other = int(ProfileFileKind::NotProfile);
  const QByteArray a = Written(QStringLiteral("A")), b = Written(QStringLiteral("B"));
  QByteArray passwd;
  while (passwd.size() < 2000)
    passwd += "root:x:0:0:root:/root:/bin/bash\ndaemon:x:1:1:daemon:/usr/sbin:/usr/sbin/nologin\n";
  QByteArray badName = b;
  badName[0] = char(200);  // a length byte far beyond its field
  QByteArray badTolerance = b;
  badTolerance.replace(16, 3, QByteArray("\x02:x", 3));
  QByteArray holdByGarbage = b;
  holdByGarbage[54 + 11] = char(0x6e);  // Hold: a bit pattern, not a setting

  QTest::newRow("a short text file") << QByteArray("R1 1k 2%\nR2 10k 1%\n") << other << 0 << L{} << "короче заголовка";
  QTest::newRow("/etc/passwd") << passwd << other << 0 << L{} << "вне пределов 0-99999";
  QTest::newRow("count out of range") << Header(100000) + a << other << 0 << L{} << "100000 вне пределов";
  QTest::newRow("negative count") << Header(-1) + a << other << 0 << L{} << "-1 вне пределов";
  QTest::newRow("unused header bytes written")
      << Le32(1) + QByteArray(40, '\0') + "x" + QByteArray(55, '\0') + a << other << 0 << L{} << "байты 4-99";
  QTest::newRow("a header, then text") << Header(2) + passwd.left(144) << other << 0 << L{}
                                       << "ни один профиль не записан редактором; профиль 1, поле";
  QTest::newRow("a header, then zeros") << Header(1) + QByteArray(72, '\0') << clean << 1 << L{1} << "";
  QTest::newRow("clean, longer than needed")
      << Header(2) + a + b + QByteArray(300, '\xff') << clean << 2 << L{1, 2} << "";
  QTest::newRow("every profile deleted") << Header(0) + a << clean << 0 << L{} << "";
  QTest::newRow("truncated inside profile 3") << Header(3) + a + b + a.left(30) << damaged << 2 << L{1, 2} << "";
  QTest::newRow("count beyond the file") << Header(9) + a + b << damaged << 2 << L{1, 2} << "";
  QTest::newRow("profile 2 with a broken length byte") << Header(3) + a + badName + a << damaged << 3 << L{1, 3} << "";
  QTest::newRow("profile 2 with a tolerance the editor never writes")
      << Header(3) + a + badTolerance + a << damaged << 3 << L{1, 3} << "";
  QTest::newRow("profile 2 with hold set by a stray byte")
      << Header(3) + a + holdByGarbage + a << damaged << 3 << L{1, 3} << "";
}

void TestProfileFile::whatAFileIs() {
  QFETCH(QByteArray, bytes);
  QFETCH(int, kind);
  QFETCH(int, count);
  QFETCH(QList<int>, clean);
  QFETCH(QString, reason);
  QTemporaryDir tmp;
  const ProfileFile file(tmp.filePath(QStringLiteral("f.hex1")));
  PutBytes(file.path(), bytes);
  // From memory and from the file (which reads only what the header counts).
  ProfileFileCheck fromFile;
  QVERIFY(file.check(fromFile).ok);
  for (const ProfileFileCheck& c : {CheckProfileFile(bytes), fromFile}) {
    QCOMPARE(int(c.kind), kind);
    QCOMPARE(c.count, count);
    QList<int> got;
    for (int n = 0; n <= count + 1; ++n)
      if (c.profileClean(n)) got << n;
    QCOMPARE(got, clean);
    QVERIFY2(c.reason.contains(reason), qPrintable(c.reason));
    QCOMPARE(c.reason.isEmpty(), kind != int(ProfileFileKind::NotProfile));
    QCOMPARE(c.problems.isEmpty(), kind != int(ProfileFileKind::Damaged));
  }
  ProfileFileCheck missing;
  QVERIFY(!ProfileFile(tmp.filePath(QStringLiteral("none.hex1"))).check(missing).ok);
}

// What the editor could never have written, field by field; what it can
// write passes (list items, typed values with either separator, 10-character
// nominal values, a hold switched on as a setting).
void TestProfileFile::implausibleFields_data() {
  QTest::addColumn<QString>("field");
  QTest::addColumn<QString>("text");
  QTest::addColumn<int>("value");
  QTest::addColumn<QString>("problem");  // "" none
  QTest::newRow("list tolerance") << "tolerance"
                                  << "0,2%" << 0 << "";
  QTest::newRow("typed tolerance") << "tolerance"
                                   << "12.5%" << 0 << "";
  QTest::newRow("one-sided tolerance") << "tolerance"
                                       << ">" << 0 << "";
  QTest::newRow("tolerance off") << "tolerance"
                                 << "OFF" << 0 << "";
  QTest::newRow("tolerance, a word") << "tolerance"
                                     << "root" << 0 << "поле допуск: «root» не допуск";
  QTest::newRow("tolerance, two separators") << "tolerance"
                                             << "1.2.3" << 0 << "не допуск";
  QTest::newRow("name in Cyrillic") << "name"
                                    << "Резистор 1" << 0 << "";
  QTest::newRow("name with a control character") << "name"
                                                 << "R\x01" << 0 << "поле имя: недопустимые символы";
  QTest::newRow("10-character nominal") << "nominal"
                                        << "1234567.89" << 0 << "";
  QTest::newRow("nominal with a line break") << "nominal"
                                             << "10\n"
                                             << 0 << "поле номинал: недопустимые символы";
  QTest::newRow("kind C") << "kind"
                          << "" << 2 << "";
  QTest::newRow("kind 3") << "kind"
                          << "" << 3 << "поле вид: значение 3 вне пределов";
  QTest::newRow("unit 7") << "unit"
                          << "" << 7 << "поле единица: значение 7 вне пределов";
  QTest::newRow("hold on") << "hold"
                           << "" << 1 << "";
  QTest::newRow("hold 0x6e") << "hold"
                             << "" << 0x6e << "поле настройки прибора, байт 12: значение 110 вне пределов";
  QTest::newRow("frequency code 31") << "freq"
                                     << "" << 31 << "";
  QTest::newRow("frequency code 32") << "freq"
                                     << "" << 32 << "байт 2: значение 32";
}

void TestProfileFile::implausibleFields() {
  QFETCH(QString, field);
  QFETCH(QString, text);
  QFETCH(int, value);
  QFETCH(QString, problem);
  ProfileRecord r = DecodeProfileRecord(Written(QStringLiteral("A")));
  QVERIFY(RecordImplausibilities(r).isEmpty());
  if (field == QLatin1String("tolerance")) r.PrimaryTolerance = text;
  if (field == QLatin1String("name")) r.ProfileName = text;
  if (field == QLatin1String("nominal")) r.PrimaryNominal = text;
  if (field == QLatin1String("kind")) r.PrimaryKind = std::uint8_t(value);
  if (field == QLatin1String("unit")) r.PrimaryUnit = std::uint8_t(value);
  if (field == QLatin1String("hold")) r.Settings.Hold = std::uint8_t(value);
  if (field == QLatin1String("freq")) r.Settings.FreqCode = std::uint8_t(value);
  const QStringList got = RecordImplausibilities(DecodeProfileRecord(EncodeProfileRecord(r)));
  if (problem.isEmpty()) {
    QVERIFY2(got.isEmpty(), qPrintable(got.join(u'|')));
  } else {
    QCOMPARE(got.size(), 1);
    QVERIFY2(got[0].contains(problem), qPrintable(got[0]));
  }
  QCOMPARE(SettingsPlausible(r.Settings),
           field != QLatin1String("hold") && field != QLatin1String("freq") ? true : problem.isEmpty());
}

void TestProfileFile::tableRow_data() {
  QTest::addColumn<QByteArray>("settings");  // 18 bytes
  QTest::addColumn<int>("model");
  QTest::addColumn<int>("liveFreqCode");
  QTest::addColumn<QStringList>("cells");  // columns 4, 5, 6, 7

  auto s = [](int freqAuto, int freq, int levelAuto, int level, int circAuto, int series, int interval) {
    QByteArray b(18, '\0');
    b[0] = char(freqAuto);
    b[1] = char(freq);
    b[6] = char(levelAuto);
    b[7] = char(level);
    b[8] = char(circAuto);
    b[9] = char(series);
    b[10] = char(interval);
    return b;
  };
  QTest::newRow("auto 10 kHz, series, 1 s")
      << s(1, 4, 0, 1, 0, 1, 2) << 0 << 4 << QStringList{"S", "A10кГц", "1.0Вскз", "1сек"};
  QTest::newRow("parallel, 120 Hz, auto level")
      << s(0, 2, 1, 2, 0, 0, 3) << 0 << 4 << QStringList{"P", "120Гц", "A0.5Вскз", "0.5сек"};
  QTest::newRow("auto circuit, 2 s") << s(0, 3, 0, 3, 1, 1, 1) << 0 << 4 << QStringList{"A", "1кГц", "0.1Вскз", "2сек"};
  QTest::newRow("live FreqCode 0 empties low frequencies")
      << s(0, 4, 0, 0, 0, 1, 0) << 0 << 0 << QStringList{"S", "", "1.0Вскз", "сек"};
  QTest::newRow("live FreqCode 0, auto") << s(1, 4, 0, 0, 0, 1, 0) << 0 << 0 << QStringList{"S", "A", "1.0Вскз", "сек"};
  QTest::newRow("ZT42 clamps frequency and level")
      << s(0, 6, 0, 3, 0, 1, 2) << 2 << 4 << QStringList{"S", "1кГц", "0.7Вскз", "1сек"};
  QTest::newRow("ZT42 level 2") << s(0, 5, 0, 2, 0, 1, 2) << 2 << 4 << QStringList{"S", "100кГц", "0.1Вскз", "1сек"};
  QTest::newRow("ZT41 250 kHz") << s(0, 6, 0, 9, 0, 1, 2) << 1 << 4 << QStringList{"S", "250кГц", "1.0Вскз", "1сек"};
  QTest::newRow("ZT40 index 15 clamps") << s(0, 15, 0, 0, 0, 1, 2) << 0 << 4
                                        << QStringList{"S", "1кГц", "1.0Вскз", "1сек"};
  QTest::newRow("model 5: no clamp, no level")
      << s(0, 15, 0, 0, 0, 1, 2) << 5 << 4 << QStringList{"S", "50Гц", "Вскз", "1сек"};
}

void TestProfileFile::tableRow() {
  QFETCH(QByteArray, settings);
  QFETCH(int, model);
  QFETCH(int, liveFreqCode);
  QFETCH(QStringList, cells);
  std::array<std::uint8_t, MeterSettings::kSize> b{};
  for (int i = 0; i < 18; ++i) b[i] = static_cast<std::uint8_t>(settings[i]);
  ProfileRecord r = EditorDefaults();
  r.Settings = MeterSettings::fromBytes(b);
  r.StartPosition = 250;
  const ProfileTableEnv env{Lexicons::russian(), static_cast<std::uint8_t>(model),
                            static_cast<std::uint8_t>(liveFreqCode),
                            [&](int i) { return FreqOfIndex(i, model, liveFreqCode); }};
  const GridRowTexts row = ProfileTableRow(r, 12, env);
  QCOMPARE(row[0], QStringLiteral("12"));
  QCOMPARE(row[1], QStringLiteral("R1"));
  QCOMPARE((QStringList{row[4], row[5], row[6], row[7]}), cells);
  QCOMPARE(row[8], QStringLiteral("250"));
  QVERIFY(row[9].isEmpty());
}

void TestProfileFile::tableHeaders() {
  const GridRowTexts h = ProfileTableHeaders(Lexicons::russian());
  QCOMPARE(h[1], QStringLiteral("Наименование"));
  QCOMPARE(h[2], QStringLiteral("Основн. эталон"));
  QCOMPARE(h[3], QStringLiteral("Дополн.эталон"));
  QCOMPARE(h[7], QStringLiteral("Интервал"));
  QCOMPARE(h[8], QStringLiteral("Нач.позиция"));
  QVERIFY(!h[9].isNull() && h[9].isEmpty());
  for (int c : {0, 4, 5, 6}) QVERIFY(h[c].isNull());
}

void TestProfileFile::referenceColumns_data() {
  QTest::addColumn<QString>("tol");
  QTest::addColumn<int>("kind");
  QTest::addColumn<int>("unit");
  QTest::addColumn<QString>("nominal");
  QTest::addColumn<bool>("secondary");
  QTest::addColumn<QString>("text");
  QTest::newRow("R kOhm") << "1%" << 0 << 1 << "10" << false << "R 1% 10кОм";
  QTest::newRow("R Ohm") << "0,2%" << 0 << 0 << "47" << false << "R 0,2% 47Ом";
  QTest::newRow("R MOhm") << ">" << 0 << 2 << "1" << false << "R > 1МОм";
  QTest::newRow("L uH") << "5%" << 1 << 0 << "100" << false << "L 5% 100мкГн";
  QTest::newRow("L mH") << "5%" << 1 << 1 << "2" << false << "L 5% 2мГн";
  QTest::newRow("L H") << "5%" << 1 << 2 << "1" << false << "L 5% 1Гн";
  QTest::newRow("C pF") << "<" << 2 << 0 << "22" << false << "C < 22пФ";
  QTest::newRow("C nF") << "10%" << 2 << 1 << "100" << false << "C 10% 100нФ";
  QTest::newRow("C uF") << "10%" << 2 << 2 << "1" << false << "C 10% 1мкФ";
  QTest::newRow("primary off") << "OFF" << 0 << 0 << "10" << false << "";
  QTest::newRow("secondary R kOhm") << "2%" << 0 << 1 << "3" << true << "R 2% 3кОм";
  QTest::newRow("secondary Q has no unit") << "10%" << 1 << 2 << "50" << true << "Q 10% 50";
  QTest::newRow("secondary D") << "3%" << 2 << 0 << "0,1" << true << "D 3% 0,1";
  QTest::newRow("secondary off") << "OFF" << 1 << 0 << "50" << true << "";
}

void TestProfileFile::referenceColumns() {
  QFETCH(QString, tol);
  QFETCH(int, kind);
  QFETCH(int, unit);
  QFETCH(QString, nominal);
  QFETCH(bool, secondary);
  QFETCH(QString, text);
  ProfileRecord r = EditorDefaults();
  if (secondary) {
    r.SecondaryTolerance = tol;
    r.SecondaryKind = static_cast<std::uint8_t>(kind);
    r.SecondaryUnit = static_cast<std::uint8_t>(unit);
    r.SecondaryNominal = nominal;
  } else {
    r.PrimaryTolerance = tol;
    r.PrimaryKind = static_cast<std::uint8_t>(kind);
    r.PrimaryUnit = static_cast<std::uint8_t>(unit);
    r.PrimaryNominal = nominal;
  }
  const ProfileTableEnv env{Lexicons::russian(), 0, 4, [](int i) { return FreqOfIndex(i, 0, 4); }};
  const GridRowTexts row = ProfileTableRow(r, 1, env);
  QCOMPARE(row[secondary ? 3 : 2], text);
  QVERIFY(row[secondary ? 2 : 3].isEmpty());
}

QTEST_GUILESS_MAIN(TestProfileFile)
#include "test_profile_file.moc"
