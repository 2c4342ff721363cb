#pragma once
// Helpers of the window tests that work with profile files and readings.
#include <QFile>
#include <QtTest>

#include "controls.h"
#include "profile_file.h"
#include "window_fixture.h"

namespace zt::test {

inline QByteArray Bytes(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A profile file in the data folder with these names (nominal values 100,
// 200, ... Ом, primary tolerance `tolerance` or off), opened with "Открыть".
inline void OpenProfiles(WindowFixture& fx, const QStringList& names,
                         const QString& fileName = QStringLiteral("parts.hex1"), const QString& tolerance = {}) {
  const QString path = fx.dataDir.filePath(fileName);
  ProfileFile file(path);
  ProfileRecord r;
  r.ProfileName = names.value(0);
  r.PrimaryNominal = QStringLiteral("100");
  r.PrimaryTolerance = tolerance.isEmpty() ? ProfileToleranceOff() : tolerance;
  QVERIFY(file.create(r).ok);
  std::int32_t count = 1;
  for (int i = 1; i < names.size(); ++i) {
    r.ProfileName = names[i];
    r.PrimaryNominal = QString::number(100 * (i + 1));
    QVERIFY(file.store(count, i + 1, r).ok);
  }
  fx.prompts.openAnswers << path;
  QTest::mouseClick(Control(fx.window(), "SB2"), Qt::LeftButton);
  QCOMPARE(fx.book().currentProfilePath(), path);
  QCOMPARE(fx.book().profileCount(), names.size());
}

// An awake RLC reading of a resistor, as the meter's state hands it on.
inline MeterReading ResistorReading(double ohms, const QString& text) {
  MeterReading m;
  m.time = QDateTime::currentDateTime();
  m.settings.LogReady = 1;
  m.settings.CircuitSeries = 1;
  m.settings.FreqCode = 3;
  m.testFreqHz = 1000;
  m.values.ReadingR = ohms;
  m.values.ReadingX = 1.0;
  m.primaryLetter = QStringLiteral("R");
  m.primaryText = text;
  m.secondaryLetter = QStringLiteral("Q");
  m.secondaryText = QStringLiteral("0.0100");
  m.freqText = QStringLiteral("1кГц");
  m.levelText = QStringLiteral("1.0Вскз");
  return m;
}

// Sorting against R `nominal` Ом at `tolerance` (empty: off).
inline void SortAgainst(WindowFixture& fx, const QString& tolerance, const QString& nominal) {
  Reference ref = fx.book().reference();
  ref.primary.kind = kPrimaryR;
  ref.primary.unitIndex = 0;
  ref.primary.nominalText = nominal;
  ref.primary.toleranceOn = !tolerance.isEmpty();
  ref.primary.toleranceText = tolerance;
  fx.book().setReference(ref);
}

}  // namespace zt::test
