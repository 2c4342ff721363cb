#include <QStringEncoder>
#include <QtTest>

#include "lng_file.h"

using namespace zt;

namespace {

// A small but complete file: every kind of line, texts needing escapes.
const QString kSample = QStringLiteral(
    "[LANGUAGE_FILE]\r\n"
    "0\t%LANGUAGE_NAME=\"Deutsch\"\t%CODE=de;\t%SUPERIOR_LANGUAGE=English;\t%FILEVER=THLF1;\r\n"
    "1\t\"Verbinden\"\t%COMPONENT=B2;\t%OWNER=Form1;\r\n"
    "2\t\"Einzelteil\"\t%COMPONENT=CBox10;\t%OWNER=Form1;\t%ITEM=0;\r\n"
    "2\t%NOTRANS\t%COMPONENT=CBox10;\t%OWNER=Form1;\t%ITEM=1;\r\n"
    "1\t\"Sag \\\"Hallo\\\"\\tTab\\nZeile \\\\ Ω\"\t%COMPONENT=L_x;\t%OWNER=Form1;\r\n"
    "1\t\"Weg\"\t%COMPONENT=Gone;\t%OWNER=Form1;\t%OLD\r\n"
    "\r\n"
    "0\t%LEXICON_STRINGS\r\n"
    "0\t%LEXICON_NAME=D1;\r\n"
    "0\t\"Profil\"\r\n"
    "8\t\"Start\"\r\n"
    "0\t%LEXICON_NAME=Dlang3;\r\n"
    "3\t\"Ohm\"\r\n"
    "0\t%SMART_STRINGS\r\n"
    "greeting\t\"Hallo\"\r\n");

QByteArray encode(const QString& text, const QByteArray& bom, QStringConverter::Encoding enc) {
  QStringEncoder e(enc);
  return bom + QByteArray(e.encode(text));
}

}  // namespace

class TestLngFile : public QObject {
  Q_OBJECT
 private slots:
  void readsEveryEncoding_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("utf-8 with BOM") << encode(kSample, "\xEF\xBB\xBF", QStringConverter::Utf8);
    QTest::newRow("utf-8 without BOM") << encode(kSample, "", QStringConverter::Utf8);
    QTest::newRow("utf-16 LE") << encode(kSample, "\xFF\xFE", QStringConverter::Utf16LE);
    QTest::newRow("utf-16 BE") << encode(kSample, "\xFE\xFF", QStringConverter::Utf16BE);
    QString lfOnly = kSample;
    lfOnly.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QTest::newRow("LF line ends") << encode(lfOnly, "\xEF\xBB\xBF", QStringConverter::Utf8);
  }
  void readsEveryEncoding() {
    QFETCH(QByteArray, bytes);
    LngParseResult r = parseLng(bytes);
    QVERIFY2(r.file, qPrintable(QStringLiteral("line %1: %2").arg(r.line).arg(r.error)));
    const LngFile& f = *r.file;
    QCOMPARE(f.languageName, QStringLiteral("Deutsch"));
    QCOMPARE(f.code, QStringLiteral("de"));
    QCOMPARE(f.superiorLanguage, QStringLiteral("English"));
    QCOMPARE(f.fileVersion, QStringLiteral("THLF1"));
    QCOMPARE(f.entries.size(), 5);
    QCOMPARE(f.entries[0].component, QStringLiteral("B2"));
    QCOMPARE(f.entries[0].text, QStringLiteral("Verbinden"));
    QCOMPARE(f.entries[0].item, -1);
    QCOMPARE(f.entries[1].kind, int(LngListItem));
    QCOMPARE(f.entries[1].item, 0);
    QVERIFY(f.entries[2].noTrans);
    QCOMPARE(f.entries[3].text, QStringLiteral("Sag \"Hallo\"\tTab\nZeile \\ Ω"));
    QVERIFY(f.entries[4].old);
    QCOMPARE(f.lexicons.size(), 2);
    QCOMPARE(f.lexicons[0].name, QStringLiteral("D1"));
    QCOMPARE(f.lexicons[0].items.value(8), QStringLiteral("Start"));
    QCOMPARE(f.lexicons[1].items.value(3), QStringLiteral("Ohm"));
    QCOMPARE(f.smartStrings.size(), 1);
    QCOMPARE(f.smartStrings[0].second, QStringLiteral("Hallo"));
  }

  void writtenFileReadsBackUnchanged() {
    LngParseResult r = parseLng(encode(kSample, "", QStringConverter::Utf8));
    QVERIFY(r.file);
    const QByteArray written = writeLng(*r.file);
    QVERIFY(written.startsWith("\xEF\xBB\xBF[LANGUAGE_FILE]\r\n"));
    QVERIFY(!written.mid(3).replace("\r\n", "").contains('\n'));
    LngParseResult again = parseLng(written);
    QVERIFY(again.file);
    QCOMPARE(writeLng(*again.file), written);
    QCOMPARE(again.file->entries.size(), r.file->entries.size());
    for (int i = 0; i < r.file->entries.size(); ++i) {
      QCOMPARE(again.file->entries[i].text, r.file->entries[i].text);
      QCOMPARE(again.file->entries[i].old, r.file->entries[i].old);
      QCOMPARE(again.file->entries[i].noTrans, r.file->entries[i].noTrans);
    }
  }

  void quoting_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("plain") << QStringLiteral("Частота");
    QTest::newRow("empty") << QString();
    QTest::newRow("quotes") << QStringLiteral("\"a\" \"\"");
    QTest::newRow("backslash at end") << QStringLiteral("C:\\");
    QTest::newRow("tab cr lf") << QStringLiteral("a\tb\r\nc");
    QTest::newRow("greek") << QStringLiteral("kΩ μF");
  }
  void quoting() {
    QFETCH(QString, text);
    const QString q = quoteLngText(text);
    QVERIFY(!q.contains(u'\t') && !q.contains(u'\n') && !q.contains(u'\r'));
    QCOMPARE(unquoteLngText(q), std::optional<QString>(text));
  }

  void brokenFilesAreRejected_data() {
    QTest::addColumn<QByteArray>("bytes");
    const QByteArray good = encode(kSample, "\xEF\xBB\xBF", QStringConverter::Utf8);
    auto edited = [&](const QByteArray& from, const QByteArray& to) {
      QByteArray b = good;
      return b.replace(from, to);
    };
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("BOM only") << QByteArray("\xEF\xBB\xBF");
    QTest::newRow("no signature") << edited("[LANGUAGE_FILE]", "[LANGUAGE]");
    QTest::newRow("signature not first") << QByteArray("\r\n") + good.mid(3);
    QTest::newRow("no header") << QByteArray("[LANGUAGE_FILE]\r\n");
    QTest::newRow("no name") << edited("%LANGUAGE_NAME=\"Deutsch\"\t", "");
    QTest::newRow("empty name") << edited("\"Deutsch\"", "\"  \"");
    QTest::newRow("unquoted name") << edited("\"Deutsch\"", "Deutsch");
    QTest::newRow("no code") << edited("\t%CODE=de;", "");
    QTest::newRow("unknown file version") << edited("THLF1", "THLF9");
    QTest::newRow("unknown header field") << edited("%FILEVER", "%FOO");
    QTest::newRow("no lexicon section") << edited("0\t%LEXICON_STRINGS\r\n", "");
    QTest::newRow("no last section") << edited("0\t%SMART_STRINGS\r\n", "");
    QTest::newRow("bare quote in text") << edited("\"Verbinden\"", "\"Ver\"binden\"");
    QTest::newRow("unknown escape") << edited("\"Verbinden\"", "\"Ver\\qbinden\"");
    QTest::newRow("escaped closing quote") << edited("\"Verbinden\"", "\"Verbinden\\\"");
    QTest::newRow("no component") << edited("%COMPONENT=B2;", "%COMP=B2;");
    QTest::newRow("component without semicolon") << edited("%COMPONENT=B2;", "%COMPONENT=B2");
    QTest::newRow("list item without index") << edited("\t%ITEM=0;", "");
    QTest::newRow("negative item") << edited("%ITEM=0;", "%ITEM=-1;");
    QTest::newRow("huge lexicon index") << edited("8\t\"Start\"", "2147483647\t\"Start\"");
    QTest::newRow("lexicon item before name") << edited("0\t%LEXICON_NAME=D1;\r\n", "");
    QTest::newRow("lone carriage return") << edited("\"Profil\"", "\"Pro\rfil\"");
    QTest::newRow("NUL byte") << edited("Profil", QByteArray("Pro\0fil", 7));
    QTest::newRow("invalid utf-8") << edited("Profil", "Pro\xC3\x28il");
    QTest::newRow("utf-16 odd length") << encode(kSample, "\xFF\xFE", QStringConverter::Utf16LE).chopped(1);
    QByteArray lone =
        encode(QStringLiteral("[LANGUAGE_FILE]\r\n0\t%LANGUAGE_NAME=\"x"), "\xFF\xFE", QStringConverter::Utf16LE);
    lone += QByteArray("\x00\xD8", 2);  // unpaired high surrogate
    QTest::newRow("utf-16 unpaired surrogate") << lone;
    QByteArray garbage(4096, '\0');
    quint32 x = 12345;
    for (char& c : garbage) c = char((x = x * 1103515245u + 12345u) >> 24);
    QTest::newRow("binary garbage") << garbage;
    QTest::newRow("garbage after signature") << QByteArray("[LANGUAGE_FILE]\r\n") + garbage;
    for (qsizetype cut : {qsizetype(20), qsizetype(60), qsizetype(200), good.size() - 40})
      QTest::addRow("truncated at %d", int(cut)) << good.left(cut);
  }
  void brokenFilesAreRejected() {
    QFETCH(QByteArray, bytes);
    LngParseResult r = parseLng(bytes);
    QVERIFY(!r.file);
    QVERIFY(!r.error.isEmpty());
  }

  void faultIsReportedWithItsLine() {
    QByteArray b = encode(kSample, "", QStringConverter::Utf8);
    b.replace("%OWNER=Form1;\t%ITEM=1;", "%OWNER=;\t%ITEM=1;");
    LngParseResult r = parseLng(b);
    QVERIFY(!r.file);
    QCOMPARE(r.line, 5);
  }

  void oversizedFileIsNotRead() {
    QByteArray b = encode(kSample, "", QStringConverter::Utf8);
    b.append(QByteArray(kMaxLngFileBytes, '\n'));
    QVERIFY(!parseLng(b).file);
  }
};

QTEST_GUILESS_MAIN(TestLngFile)
#include "test_lng_file.moc"
