#pragma once
// The reference a reading is sorted against: the profile editor's values as
// a plain value, and the sorting of one reading against it.
#include <QChar>
#include <QString>
#include <cstdint>

#include "meter_reading.h"
#include "meter_settings.h"
#include "profile_file.h"
#include "tolerance.h"

namespace zt {

// One side of the editor (primary or secondary parameter).
struct ReferenceSide {
  // The tolerance is switched off: a state of its own, never a comparison
  // with the translated "off" item of a box.
  bool toleranceOn = false;
  QString toleranceText;  // when on: "1%", "0,2%", ">", "<" or typed, as the editor shows it
  int kind = 0;           // PrimaryKind (R, L, C) or SecondaryKind (R, Q, D)
  int unitIndex = 0;      // unit of the kind: R Ом/кОм/МОм, L мкГн/мГн/Гн, C пФ/нФ/мкФ
  QString nominalText;    // with the system decimal separator

  bool operator==(const ReferenceSide&) const = default;
};

// The editor: profile name, start position of the log and both sides.
struct Reference {
  QString name;
  std::int32_t startPosition = 1;
  ReferenceSide primary;
  ReferenceSide secondary;

  bool operator==(const Reference&) const = default;
};

// The editor as it starts: "R1", R 10000 Ом and R 10000 Ом, both tolerances off.
Reference DefaultReference();

// A record of the profile file from the editor and the meter settings to
// keep with it. A tolerance that is off is stored as "OFF"; kinds and units
// the boxes cannot show are stored as 0, the secondary unit only for R.
ProfileRecord RecordOfReference(const Reference& ref, const MeterSettings& settings);

// The editor filled from a record: "OFF" switches a tolerance off, other
// tolerance texts are taken as stored; nominal values pass the editor's
// number filter, as typed ones do.
Reference ReferenceOfRecord(const ProfileRecord& record, QChar decimalSeparator);

// The result of sorting one reading.
struct Verdict {
  std::int32_t SortResult = kSortPass;  // SortCode: 0, 1, 2, 3 or 20
  double PrimaryDeviation = 0;          // percent; keeps its last value when not computed
  double SecondaryDeviation = 0;
  bool primaryOn = false;  // the tolerance of that side was on
  bool secondaryOn = false;
  // The reference's primary kind (R, L, C): what PrimaryDeviation compares.
  // For L and C it is the reactance, not the value itself.
  int primaryKind = kPrimaryR;

  bool rejected() const { return SortResult != kSortPass; }
  bool operator==(const Verdict&) const = default;
};

// The primary deviation as a deviation of the value itself, in percent:
// (measured − nominal) / nominal × 100. For R and L that is the sorting's own
// deviation (the reactance of L is proportional to L); for C the sorting
// compares reactances, (1 − nominal/measured) × 100, so it is turned back.
// Not finite for a C deviation of 100 %.
double PrimaryValueDeviation(const Verdict& verdict);

// The tolerance check's input for a reading against a reference.
ToleranceInput ToleranceInputOf(const Reference& ref, const MeterReading& reading, QChar decimalSeparator);

// CheckTolerance of `reading` against `ref`. Deviations that this check does
// not compute keep their values from `last`.
Verdict SortReading(const Reference& ref, const MeterReading& reading, QChar decimalSeparator,
                    const Verdict& last = {});

}  // namespace zt
