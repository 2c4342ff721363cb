#pragma once
// The example profile files the documentation uses (examples/), made the way
// the window makes them: the editor's reference and the meter's settings
// turned into records by RecordOfReference and written by ProfileFile.
// tools: make_example_profiles writes them; test_log_example_profiles checks
// that the shipped files are exactly what this makes.
#include <QDir>
#include <QString>
#include <QVector>

#include "profile_file.h"
#include "reference.h"

namespace zt::examples {

struct ExampleProfile {
  QString name;
  QString tolerance;  // primary, as the tolerance list offers it
  int unit;           // R: 0 Ом, 1 кОм, 2 МОм
  QString nominal;
  std::uint8_t freqCode;   // 3 1 kHz, 4 10 kHz, 5 100 kHz
  std::uint8_t levelCode;  // 1 1.0 V, 2 0.5 V
  std::uint8_t series;     // circuit: 1 series, 0 parallel
  std::uint8_t interval;   // 1 2 s, 2 1 s, 3 0.5 s
};

// resistors.hex1: profile 2 is R 1 kΩ ±2 %, series, 100 kHz, 0.5 V, R and Q.
inline const QVector<ExampleProfile>& Resistors() {
  static const QVector<ExampleProfile> p = {
      {QStringLiteral("R100"), QStringLiteral("1%"), 0, QStringLiteral("100"), 3, 1, 1, 2},
      {QStringLiteral("R1k"), QStringLiteral("2%"), 1, QStringLiteral("1"), 5, 2, 1, 3},
      {QStringLiteral("R10k"), QStringLiteral("5%"), 1, QStringLiteral("10"), 4, 1, 0, 2},
  };
  return p;
}

inline ProfileRecord RecordOf(const ExampleProfile& e) {
  Reference ref = DefaultReference();
  ref.name = e.name;
  ref.startPosition = 1;
  ref.primary = {true, e.tolerance, kPrimaryR, e.unit, e.nominal};
  ref.secondary.toleranceOn = false;
  ref.secondary.kind = kSecondaryQ;
  MeterSettings s;  // as the meter reports them, its menus set
  s.FreqCode = e.freqCode;
  s.PrimaryCode = 1;    // R
  s.SecondaryCode = 2;  // Q
  s.LevelCode = e.levelCode;
  s.CircuitSeries = e.series;
  s.IntervalCode = e.interval;
  s.SourceAuto = 1;
  return RecordOfReference(ref, s);
}

// Writes every example file into `folder`; false on the first failure.
inline bool WriteExampleProfiles(const QString& folder) {
  const ProfileFile file(QDir(folder).filePath(QStringLiteral("resistors.hex1")));
  const QVector<ExampleProfile>& p = Resistors();
  if (!file.create(RecordOf(p[0])).ok) return false;
  std::int32_t count = 1;
  for (int n = 2; n <= p.size(); ++n)
    if (!file.store(count, n, RecordOf(p[n - 1])).ok) return false;
  return true;
}

}  // namespace zt::examples
