// The example profile files shipped in examples/, which the README's
// zt-record examples use: they read cleanly, hold what the README says, and
// are byte for byte what the program's own writer makes of their
// description (tests/log/example_profiles.h), so they never drift from it.
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "batch_stats.h"
#include "example_profiles.h"

using namespace zt;

namespace {

const QString kExamples = QStringLiteral(ZT_EXAMPLES_DIR);

QByteArray Bytes(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

class TestExampleProfiles : public QObject {
  Q_OBJECT
 private slots:
  void shippedAsMade() {
    QTemporaryDir tmp;
    QVERIFY(examples::WriteExampleProfiles(tmp.path()));
    const QByteArray shipped = Bytes(kExamples + QStringLiteral("/resistors.hex1"));
    QVERIFY2(!shipped.isEmpty(), qPrintable(kExamples));
    QCOMPARE(shipped, Bytes(tmp.filePath(QStringLiteral("resistors.hex1"))));
  }

  // "Profile 2 of resistors.hex1: R 1 kΩ ±2 %", with the settings the
  // README's rows show (series, 100 kHz, 0.5 Vrms, Q).
  void resistorsHoldWhatTheReadmeSays() {
    const QByteArray bytes = Bytes(kExamples + QStringLiteral("/resistors.hex1"));
    const ProfileFileCheck check = CheckProfileFile(bytes);
    QCOMPARE(int(check.kind), int(ProfileFileKind::Clean));
    QCOMPARE(check.count, 3);
    const ProfileFileView v = ParseProfileFile(bytes);
    QStringList names;
    for (const ProfileRecord& r : v.records) names << r.ProfileName;
    QCOMPARE(names, (QStringList{"R100", "R1k", "R10k"}));
    const ProfileRecord& p = v.records[1];
    const Reference ref = ReferenceOfRecord(p, u'.');
    QVERIFY(ref.primary.toleranceOn);
    QCOMPARE(ref.primary.toleranceText, QStringLiteral("2%"));
    QCOMPARE(ref.primary.kind, int(kPrimaryR));
    const ToleranceLimits band = PrimaryLimits(ref, u'.');
    QCOMPARE(band.kind, Quantity::Resistance);
    QCOMPARE(band.lower, 980.0);
    QCOMPARE(band.upper, 1020.0);
    QVERIFY(!ref.secondary.toleranceOn);
    QCOMPARE(int(p.Settings.CircuitAuto), 0);
    QCOMPARE(int(p.Settings.CircuitSeries), 1);
    QCOMPARE(int(p.Settings.FreqCode), 5);       // 100 kHz
    QCOMPARE(int(p.Settings.LevelCode), 2);      // 0.5 Vrms
    QCOMPARE(int(p.Settings.SecondaryCode), 2);  // Q
    QCOMPARE(int(p.Settings.Hold), 0);
    QCOMPARE(p.StartPosition, 1);
  }
};

QTEST_GUILESS_MAIN(TestExampleProfiles)
#include "test_example_profiles.moc"
