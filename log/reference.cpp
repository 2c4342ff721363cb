#include "reference.h"

namespace zt {

namespace {

std::uint8_t BoxItem(int index) { return static_cast<std::uint8_t>(index >= 0 && index <= 2 ? index : 0); }

ReferenceSide SideOfRecord(const QString& tolerance, std::uint8_t kind, std::uint8_t unit, const QString& nominal,
                           QChar sep) {
  ReferenceSide s;
  s.toleranceOn = tolerance != ProfileToleranceOff();
  if (s.toleranceOn) s.toleranceText = tolerance;
  s.kind = kind;
  s.unitIndex = unit;
  s.nominalText = FilterNumberText(nominal, 0, sep).text;
  return s;
}

ToleranceSide ToleranceSideOf(const ReferenceSide& s) {
  return {s.toleranceOn, s.toleranceText, s.kind, s.unitIndex, s.nominalText};
}

}  // namespace

Reference DefaultReference() {
  Reference r;
  r.name = QStringLiteral("R1");
  r.primary.kind = kPrimaryR;
  r.primary.nominalText = QStringLiteral("10000");
  r.secondary.kind = kSecondaryR;
  r.secondary.nominalText = QStringLiteral("10000");
  return r;
}

ProfileRecord RecordOfReference(const Reference& ref, const MeterSettings& settings) {
  ProfileRecord r;
  r.ProfileName = ref.name;
  r.StartPosition = ref.startPosition;
  r.PrimaryTolerance = ref.primary.toleranceOn ? ref.primary.toleranceText : ProfileToleranceOff();
  r.PrimaryKind = BoxItem(ref.primary.kind);
  r.PrimaryUnit = BoxItem(ref.primary.unitIndex);
  r.PrimaryNominal = ref.primary.nominalText;
  r.SecondaryTolerance = ref.secondary.toleranceOn ? ref.secondary.toleranceText : ProfileToleranceOff();
  r.SecondaryKind = BoxItem(ref.secondary.kind);
  r.SecondaryUnit = r.SecondaryKind == kSecondaryR ? BoxItem(ref.secondary.unitIndex) : 0;
  r.SecondaryNominal = ref.secondary.nominalText;
  r.Settings = settings;
  return r;
}

Reference ReferenceOfRecord(const ProfileRecord& record, QChar sep) {
  Reference r;
  r.name = record.ProfileName;
  r.startPosition = record.StartPosition;
  r.primary = SideOfRecord(record.PrimaryTolerance, record.PrimaryKind, record.PrimaryUnit, record.PrimaryNominal, sep);
  r.secondary =
      SideOfRecord(record.SecondaryTolerance, record.SecondaryKind, record.SecondaryUnit, record.SecondaryNominal, sep);
  return r;
}

ToleranceInput ToleranceInputOf(const Reference& ref, const MeterReading& reading, QChar sep) {
  ToleranceInput in;
  in.TestFreqHz = reading.testFreqHz;
  in.CircuitSeries = reading.settings.CircuitSeries;
  in.ReadingR = reading.values.ReadingR;
  in.ReadingX = reading.values.ReadingX;
  in.ParallelR = reading.values.ParallelR;
  in.ParallelX = reading.values.ParallelX;
  in.primary = ToleranceSideOf(ref.primary);
  in.secondary = ToleranceSideOf(ref.secondary);
  in.decimalSeparator = sep;
  return in;
}

Verdict SortReading(const Reference& ref, const MeterReading& reading, QChar sep, const Verdict& last) {
  Verdict v;
  v.PrimaryDeviation = last.PrimaryDeviation;
  v.SecondaryDeviation = last.SecondaryDeviation;
  v.SortResult = CheckTolerance(ToleranceInputOf(ref, reading, sep), v.PrimaryDeviation, v.SecondaryDeviation);
  v.primaryOn = ref.primary.toleranceOn;
  v.secondaryOn = ref.secondary.toleranceOn;
  v.primaryKind = ref.primary.kind;
  return v;
}

double PrimaryValueDeviation(const Verdict& v) {
  const double d = v.PrimaryDeviation;
  if (v.primaryKind != kPrimaryC) return d;
  // d = (1 − n/m) × 100, so m/n = 1 / (1 − d/100).
  return 100.0 * d / (100.0 - d);
}

}  // namespace zt
