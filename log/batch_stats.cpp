#include "batch_stats.h"

#include <algorithm>
#include <cmath>

namespace zt {

namespace {

bool Finite(double x) { return std::isfinite(x); }

int KindIndex(Quantity q) { return static_cast<int>(q); }

}  // namespace

// ---------------------------------------------------------------- limits

bool ToleranceLimits::hasLower() const { return kind != Quantity::None && Finite(lower); }
bool ToleranceLimits::hasUpper() const { return kind != Quantity::None && Finite(upper); }

Quantity PrimaryQuantityOf(int primaryKind) {
  switch (primaryKind) {
    case kPrimaryR: return Quantity::Resistance;
    case kPrimaryL: return Quantity::Inductance;
    case kPrimaryC: return Quantity::Capacitance;
    default: return Quantity::None;
  }
}

ToleranceLimits PrimaryLimits(const Reference& ref, QChar sep) {
  ToleranceLimits none;
  const ReferenceSide& side = ref.primary;
  if (!side.toleranceOn) return none;
  const Quantity kind = PrimaryQuantityOf(side.kind);
  if (kind == Quantity::None) return none;
  double n = 0;
  if (!ParseLocalNumber(side.nominalText, sep, n)) return none;
  switch (side.kind) {
    case kPrimaryR: n *= ResistanceUnitFactor(side.unitIndex); break;
    case kPrimaryL: n *= InductanceUnitFactor(side.unitIndex); break;
    default: n *= CapacitanceUnitFactor(side.unitIndex); break;
  }
  if (!(n > 0) || !Finite(n)) return none;
  ToleranceLimitText text;
  if (ParseToleranceLimit(side.toleranceText, sep, text) != LimitTextError::None) return none;

  ToleranceLimits l;
  l.kind = kind;
  l.nominal = n;
  switch (text.kind) {
    case LimitKind::AtLeast: l.lower = n; break;
    case LimitKind::AtMost: l.upper = n; break;
    case LimitKind::Percent: {
      const double t = text.percent / 100.0;
      if (!(t >= 0)) return none;  // nothing passes a negative limit
      if (kind == Quantity::Capacitance) {
        l.lower = n / (1 + t);
        if (t < 1) l.upper = n / (1 - t);
      } else {
        l.lower = n * (1 - t);
        l.upper = n * (1 + t);
      }
      break;
    }
  }
  return l;
}

// ---------------------------------------------------------------- moments

void RunningMoments::add(double x) {
  ++n_;
  const double d = x - mean_;
  mean_ += d / static_cast<double>(n_);
  m2_ += d * (x - mean_);
}

void RunningMoments::remove(double x) {
  if (n_ <= 1) {
    clear();
    return;
  }
  const double before = mean_;
  const double n1 = static_cast<double>(n_ - 1);
  mean_ = (static_cast<double>(n_) * before - x) / n1;
  m2_ -= (x - mean_) * (x - before);
  if (m2_ < 0) m2_ = 0;  // rounding; the true sum of squares is never negative
  --n_;
}

double RunningMoments::variance() const { return n_ >= 2 ? m2_ / static_cast<double>(n_ - 1) : kNoValue; }

double RunningMoments::sd() const { return std::sqrt(variance()); }

// ---------------------------------------------------------------- rows

bool BatchSample::hasValue() const { return kind != Quantity::None && Finite(primary); }

BatchSample SampleOf(int position, const QDateTime& time, int group, const MeterReading& reading,
                     const Verdict& verdict) {
  BatchSample s;
  s.position = position;
  s.timeMs = time.isValid() ? time.toMSecsSinceEpoch() : 0;
  s.group = group;
  s.kind = reading.primary.kind;
  if (reading.primary.valid() && reading.primary.bound == Bound::Exact) s.primary = reading.primary.value;
  s.secondaryKind = reading.secondary.kind;
  if (reading.secondary.valid() && reading.secondary.bound == Bound::Exact) s.secondary = reading.secondary.value;
  s.sortResult = verdict.SortResult;
  s.primaryOn = verdict.primaryOn;
  s.secondaryOn = verdict.secondaryOn;
  if (!reading.noTestFrequency && reading.testFreqHz > 0) s.frequencyHz = reading.testFreqHz;
  if (reading.level.valid()) s.levelV = reading.level.volts;
  return s;
}

// ---------------------------------------------------------------- summaries

double ProcessCp(const ToleranceLimits& l, Quantity kind, double sd) {
  if (!l.twoSided() || l.kind != kind || !(sd > 0)) return kNoValue;
  return (l.upper - l.lower) / (6 * sd);
}

double ProcessCpk(const ToleranceLimits& l, Quantity kind, double mean, double sd) {
  if (!l.twoSided() || l.kind != kind || !(sd > 0) || !Finite(mean)) return kNoValue;
  return std::min(l.upper - mean, mean - l.lower) / (3 * sd);
}

namespace {

void Count(BatchSummary& s, const BatchSample& r) {
  ++s.count;
  if (r.sorted()) ++s.sorted;
  if (r.passed()) ++s.passed;
  if (r.rejectedPrimary()) ++s.rejectedPrimary;
  if (r.rejectedSecondary()) ++s.rejectedSecondary;
  if (r.unevaluable()) ++s.unevaluable;
}

void Finish(BatchSummary& s, const ToleranceLimits& limits) {
  s.yield = s.sorted > 0 ? 100.0 * s.passed / s.sorted : kNoValue;
  s.limits = limits;
  s.cp = ProcessCp(limits, s.kind, s.sd);
  s.cpk = ProcessCpk(limits, s.kind, s.mean, s.sd);
}

}  // namespace

BatchSummary Summarize(const std::vector<BatchSample>& rows, const ToleranceLimits& limits) {
  BatchSummary s;
  for (const BatchSample& r : rows) {
    Count(s, r);
    if (r.hasValue()) s.kind = r.kind;  // the newest one's quantity wins
  }
  // Two passes over the values: the mean, then the squared deviations from it.
  double sum = 0;
  for (const BatchSample& r : rows) {
    if (!r.hasValue() || r.kind != s.kind) continue;
    ++s.values;
    sum += r.primary;
    s.min = s.values == 1 ? r.primary : std::min(s.min, r.primary);
    s.max = s.values == 1 ? r.primary : std::max(s.max, r.primary);
  }
  if (s.values > 0) {
    s.mean = sum / s.values;
    if (s.values >= 2) {
      double squares = 0;
      for (const BatchSample& r : rows)
        if (r.hasValue() && r.kind == s.kind) squares += (r.primary - s.mean) * (r.primary - s.mean);
      s.sd = std::sqrt(squares / (s.values - 1));
    }
  }
  Finish(s, limits);
  return s;
}

BatchSummary CombineCounts(const std::vector<BatchSummary>& groups) {
  BatchSummary s;
  for (const BatchSummary& g : groups) {
    s.count += g.count;
    s.sorted += g.sorted;
    s.passed += g.passed;
    s.rejectedPrimary += g.rejectedPrimary;
    s.rejectedSecondary += g.rejectedSecondary;
    s.unevaluable += g.unevaluable;
  }
  s.yield = s.sorted > 0 ? 100.0 * s.passed / s.sorted : kNoValue;
  return s;
}

// ---------------------------------------------------------------- running statistics

void BatchStats::reset() {
  byPosition_.clear();
  groups_.clear();
  rows_ = 0;
}

void BatchStats::add(Group& g, const BatchSample& s) {
  ++g.rows;
  if (s.sorted()) ++g.sorted;
  if (s.passed()) ++g.passed;
  if (s.rejectedPrimary()) ++g.rejectedPrimary;
  if (s.rejectedSecondary()) ++g.rejectedSecondary;
  if (s.unevaluable()) ++g.unevaluable;
  if (!s.hasValue()) return;
  KindMoments& k = g.kinds[static_cast<size_t>(KindIndex(s.kind))];
  k.moments.add(s.primary);
  if (!k.extremesStale) {
    k.min = k.moments.count() == 1 ? s.primary : std::min(k.min, s.primary);
    k.max = k.moments.count() == 1 ? s.primary : std::max(k.max, s.primary);
  }
  if (s.seq >= g.newestSeq) {  // the newest row: whatever went before it no longer decides
    g.newestSeq = s.seq;
    g.newestKind = s.kind;
    g.newestStale = false;
  }
}

void BatchStats::take(Group& g, const BatchSample& s) {
  --g.rows;
  if (s.sorted()) --g.sorted;
  if (s.passed()) --g.passed;
  if (s.rejectedPrimary()) --g.rejectedPrimary;
  if (s.rejectedSecondary()) --g.rejectedSecondary;
  if (s.unevaluable()) --g.unevaluable;
  if (!s.hasValue()) return;
  KindMoments& k = g.kinds[static_cast<size_t>(KindIndex(s.kind))];
  k.moments.remove(s.primary);
  if (k.moments.count() == 0) {
    k.min = k.max = kNoValue;
    k.extremesStale = false;
  } else if (s.primary <= k.min || s.primary >= k.max) {
    k.extremesStale = true;
  }
  if (s.seq == g.newestSeq) g.newestStale = true;
}

void BatchStats::put(BatchSample s) {
  if (s.position < 1) return;
  s.seq = ++seq_;
  const size_t p = static_cast<size_t>(s.position);
  if (p >= byPosition_.size()) byPosition_.resize(std::max(p + 1, byPosition_.size() * 2));
  BatchSample& slot = byPosition_[p];
  if (slot.position != 0) {
    take(groups_[slot.group], slot);
    --rows_;
  }
  slot = s;
  add(groups_[s.group], s);
  ++rows_;
}

void BatchStats::erase(int position) {
  if (position < 1 || position >= endPosition()) return;
  BatchSample& slot = byPosition_[static_cast<size_t>(position)];
  if (slot.position == 0) return;
  take(groups_[slot.group], slot);
  --rows_;
  slot = BatchSample{};
}

void BatchStats::reserve(int position) {
  // Reserving alone leaves the pages untouched until the row comes.
  if (position > 0 && static_cast<size_t>(position) >= byPosition_.size())
    byPosition_.resize(static_cast<size_t>(position) + 1);
}

void BatchStats::setLimits(int group, const ToleranceLimits& limits) { groups_[group].limits = limits; }

ToleranceLimits BatchStats::limits(int group) const {
  const auto it = groups_.find(group);
  return it == groups_.end() ? ToleranceLimits{} : it->second.limits;
}

void BatchStats::refresh(int key, Group& g) const {
  bool stale = g.newestStale;
  for (const KindMoments& k : g.kinds) stale = stale || k.extremesStale;
  if (!stale) return;
  // Look over the group's rows once for whatever went stale.
  if (g.newestStale) {
    g.newestKind = Quantity::None;
    g.newestSeq = 0;
  }
  std::array<bool, kKinds> first{};
  first.fill(true);
  for (const BatchSample& s : byPosition_) {
    if (s.position == 0 || s.group != key || !s.hasValue()) continue;
    KindMoments& k = g.kinds[static_cast<size_t>(KindIndex(s.kind))];
    if (k.extremesStale) {
      bool& f = first[static_cast<size_t>(KindIndex(s.kind))];
      k.min = f ? s.primary : std::min(k.min, s.primary);
      k.max = f ? s.primary : std::max(k.max, s.primary);
      f = false;
    }
    if (g.newestStale && s.seq >= g.newestSeq) {
      g.newestSeq = s.seq;
      g.newestKind = s.kind;
    }
  }
  for (KindMoments& k : g.kinds) k.extremesStale = false;
  g.newestStale = false;
}

BatchSummary BatchStats::summary(int group) const {
  BatchSummary s;
  const auto it = groups_.find(group);
  if (it == groups_.end()) return s;
  Group& g = it->second;
  refresh(group, g);
  s.count = g.rows;
  s.sorted = g.sorted;
  s.passed = g.passed;
  s.rejectedPrimary = g.rejectedPrimary;
  s.rejectedSecondary = g.rejectedSecondary;
  s.unevaluable = g.unevaluable;
  s.kind = g.newestKind;
  if (s.kind != Quantity::None) {
    const KindMoments& k = g.kinds[static_cast<size_t>(KindIndex(s.kind))];
    s.values = static_cast<int>(k.moments.count());
    s.mean = k.moments.mean();
    s.sd = k.moments.sd();
    s.min = k.min;
    s.max = k.max;
  }
  Finish(s, g.limits);
  return s;
}

BatchSummary BatchStats::total() const {
  std::vector<BatchSummary> all;
  for (const int key : groups()) all.push_back(summary(key));
  return CombineCounts(all);
}

std::vector<int> BatchStats::groups() const {
  std::vector<int> keys;
  for (const auto& [key, g] : groups_)
    if (g.rows > 0) keys.push_back(key);
  return keys;
}

const BatchSample* BatchStats::at(int position) const {
  if (position < 1 || position >= endPosition()) return nullptr;
  const BatchSample& s = byPosition_[static_cast<size_t>(position)];
  return s.position == 0 ? nullptr : &s;
}

}  // namespace zt
