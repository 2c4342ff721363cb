#pragma once
// Sorting statistics of the logged parts: how many rows passed and how many
// were rejected on which side, the spread of the primary values, the
// tolerance band in the primary quantity's own units and the process
// capability against it.
//
// The statistics describe the rows the log holds. A row written again at a
// grid row that already holds a reading (the start position moved back, or
// a profile of the multi-part table measured again) replaces that reading,
// as it does in the grid and in the exported sheet.
#include <QDateTime>

#include <array>
#include <cstdint>
#include <limits>
#include <map>
#include <vector>

#include "meter_reading.h"
#include "reference.h"

namespace zt {

inline constexpr double kNoValue = std::numeric_limits<double>::quiet_NaN();

// The band a part's primary value lies in when the sorting passes it on the
// primary side, in the SI units of the quantity the reference sorts (ohm,
// henry, farad). A side without a limit is NaN; `kind` is None when the
// primary tolerance is off or its values cannot be evaluated.
struct ToleranceLimits {
  Quantity kind = Quantity::None;
  double nominal = kNoValue;
  double lower = kNoValue;
  double upper = kNoValue;

  bool hasLower() const;
  bool hasUpper() const;
  bool any() const { return hasLower() || hasUpper(); }
  bool twoSided() const { return hasLower() && hasUpper(); }
};

// The quantity a primary kind of the reference (R, L, C) sorts.
Quantity PrimaryQuantityOf(int primaryKind);

// The primary tolerance of `ref` as limits on the reading's primary value.
// The sorting compares resistances for R and reactances for L and C; the
// limits say the same thing in ohms, henries and farads:
// - R and L (the reactance is proportional to the inductance): a percent
//   tolerance t gives [n(1 - t), n(1 + t)];
// - C (the reactance -1/(wC) is inversely proportional): the deviation
//   1 - n/C stays within t for n/(1 + t) <= C <= n/(1 - t), so the band is
//   wider above the nominal than below it, and from t = 100 % on it has no
//   upper limit;
// - ">" keeps the value at or above the nominal (lower limit only), "<" at
//   or below it (upper limit only), for every kind.
// n is the nominal times the unit factor. A tolerance that is off, a text
// that is not a limit, a nominal that is not a positive number and a
// negative percentage (which passes no part) give no limits.
ToleranceLimits PrimaryLimits(const Reference& ref, QChar decimalSeparator);

// Mean and variance of a set of values that can also lose a value again:
// Welford's update and its inverse.
class RunningMoments {
 public:
  void add(double x);
  // Takes back a value added before.
  void remove(double x);
  void clear() { *this = {}; }
  std::int64_t count() const { return n_; }
  double mean() const { return n_ > 0 ? mean_ : kNoValue; }
  // The sample variance (divided by n - 1); NaN below two values.
  double variance() const;
  double sd() const;

 private:
  std::int64_t n_ = 0;
  double mean_ = 0;
  double m2_ = 0;  // sum of squared deviations from the mean
};

// One logged row as the statistics see it.
struct BatchSample {
  int position = 0;                // the grid row
  qint64 timeMs = 0;               // when it was logged, ms since the epoch (UTC)
  int group = 0;                   // 0 in the single-part log; the profile number in the multi-part table
  std::uint64_t seq = 0;           // the order rows were logged in (set by BatchStats)
  Quantity kind = Quantity::None;  // the primary quantity
  double primary = kNoValue;       // SI units; NaN when the panel showed no number or a limit
  Quantity secondaryKind = Quantity::None;
  double secondary = kNoValue;
  std::int32_t sortResult = kSortPass;
  bool primaryOn = false;
  bool secondaryOn = false;
  double frequencyHz = kNoValue;  // the test frequency; NaN without one (DC)
  double levelV = kNoValue;       // the test level, volts (RMS for AC)

  bool hasValue() const;
  bool sorted() const { return primaryOn || secondaryOn; }  // a tolerance was on
  bool passed() const { return sorted() && sortResult == kSortPass; }
  bool rejected() const { return sortResult != kSortPass; }  // the grid's reject mark
  bool rejectedPrimary() const { return sortResult == kSortPrimaryOut || sortResult == kSortBothOut; }
  bool rejectedSecondary() const { return sortResult == kSortSecondaryOut || sortResult == kSortBothOut; }
  bool unevaluable() const { return sortResult == kSortInvalid; }
};

// A row of the log from what the recorder wrote. A reading the panel showed
// as a limit (over range) has no value: it is counted, never averaged.
BatchSample SampleOf(int position, const QDateTime& time, int group, const MeterReading& reading,
                     const Verdict& verdict);

// The statistics of a group of rows.
struct BatchSummary {
  int count = 0;                   // rows
  int sorted = 0;                  // rows sorted with a tolerance on
  int passed = 0;                  // of those, passed
  int rejectedPrimary = 0;         // primary out of tolerance
  int rejectedSecondary = 0;       // secondary out of tolerance
  int unevaluable = 0;             // the reference could not be evaluated
  int values = 0;                  // rows whose primary value is in the moments
  Quantity kind = Quantity::None;  // the quantity of those values
  double yield = kNoValue;         // passed / sorted, percent
  double mean = kNoValue;
  double sd = kNoValue;  // sample standard deviation
  double min = kNoValue;
  double max = kNoValue;
  ToleranceLimits limits;  // the band Cp and Cpk are taken against
  double cp = kNoValue;
  double cpk = kNoValue;
};

// Cp = (USL - LSL) / 6s and Cpk = min(USL - mean, mean - LSL) / 3s: only for
// two-sided limits of the values' quantity and a positive s; else NaN.
double ProcessCp(const ToleranceLimits& limits, Quantity kind, double sd);
double ProcessCpk(const ToleranceLimits& limits, Quantity kind, double mean, double sd);

// The statistics of `rows`, given in the order they were logged, against
// `limits`. The moments cover the values of one quantity: that of the newest
// row with a value (a log where the meter was switched from R to C shows the
// C values); rows of other quantities count everywhere else.
BatchSummary Summarize(const std::vector<BatchSample>& rows, const ToleranceLimits& limits);

// The counts of several groups together (the multi-part table as a whole);
// no moments, as the profiles' values are not of one part.
BatchSummary CombineCounts(const std::vector<BatchSummary>& groups);

// The same statistics kept up to date row by row: adding a row costs O(1);
// a replaced row is taken back out of the moments in O(1), and only when it
// held the lowest or highest value, or the newest value, does the next
// summary look over the group's rows again.
class BatchStats {
 public:
  // The log holds no rows.
  void reset();
  // Row `s.position` now holds `s`, replacing the row there.
  void put(BatchSample s);
  // Row `position` holds no reading any more.
  void erase(int position);
  // Room for rows up to `position` made now, and its memory touched (empty
  // rows), so that the first row written there later does not pay for it: a
  // log restored at 100,000 would otherwise fault in 6 MB on that row.
  void reserve(int position);
  // The band of a group (what its rows are sorted against).
  void setLimits(int group, const ToleranceLimits& limits);
  ToleranceLimits limits(int group) const;

  BatchSummary summary(int group) const;
  // Every group's counts together.
  BatchSummary total() const;
  // The groups that hold rows, in ascending order.
  std::vector<int> groups() const;

  // The row at a grid row, or nullptr.
  const BatchSample* at(int position) const;
  int rowCount() const { return rows_; }
  // One past the highest grid row that may hold a row.
  int endPosition() const { return static_cast<int>(byPosition_.size()); }
  std::uint64_t lastSeq() const { return seq_; }

 private:
  static constexpr int kKinds = static_cast<int>(Quantity::PhaseAngle) + 1;
  struct KindMoments {
    RunningMoments moments;
    double min = kNoValue;
    double max = kNoValue;
    bool extremesStale = false;
  };
  struct Group {
    int rows = 0;
    int sorted = 0, passed = 0, rejectedPrimary = 0, rejectedSecondary = 0, unevaluable = 0;
    std::array<KindMoments, kKinds> kinds;
    Quantity newestKind = Quantity::None;  // the quantity of the newest row with a value
    std::uint64_t newestSeq = 0;
    bool newestStale = false;
    ToleranceLimits limits;
  };
  void add(Group& g, const BatchSample& s);
  void take(Group& g, const BatchSample& s);
  void refresh(int key, Group& g) const;

  std::vector<BatchSample> byPosition_;  // index: grid row; position 0 marks an empty row
  mutable std::map<int, Group> groups_;
  int rows_ = 0;
  std::uint64_t seq_ = 0;
};

}  // namespace zt
