#include "row_json.h"

#include <QJsonDocument>
#include <QJsonValue>

#include <cmath>

namespace zt {

namespace {

QJsonValue Number(double v) { return std::isfinite(v) ? QJsonValue(v) : QJsonValue(QJsonValue::Null); }

QJsonValue QuantityJson(const QuantityValue& q) {
  if (q.kind == Quantity::None) return QJsonValue::Null;
  return QJsonObject{{QStringLiteral("kind"), QuantityKindWord(q.kind)},
                     {QStringLiteral("value"), Number(q.value)},
                     {QStringLiteral("unit"), q.unit},
                     {QStringLiteral("bound"), BoundWord(q.bound)}};
}

QJsonValue ModelWord(std::uint8_t model) {
  switch (model) {
    case kZT40: return QStringLiteral("ZT40");
    case kZT41: return QStringLiteral("ZT41");
    case kZT42: return QStringLiteral("ZT42");
    default: return QJsonValue::Null;
  }
}

}  // namespace

QJsonValue RowTimeJson(const QDateTime& t) {
  if (!t.isValid()) return QJsonValue::Null;
  return t.toOffsetFromUtc(t.offsetFromUtc()).toString(Qt::ISODateWithMs);
}

QString RowTextKey(int col) {
  static const char* const kKeys[kLogColumns] = {
      "position",  "time",  "primary", "secondary",         "circuit",
      "frequency", "level", "reject",  "primary_deviation", "secondary_deviation"};
  return col >= 0 && col < kLogColumns ? QString::fromLatin1(kKeys[col]) : QString();
}

QString QuantityKindWord(Quantity kind) {
  switch (kind) {
    case Quantity::None: break;
    case Quantity::Resistance: return QStringLiteral("resistance");
    case Quantity::Capacitance: return QStringLiteral("capacitance");
    case Quantity::Inductance: return QStringLiteral("inductance");
    case Quantity::Impedance: return QStringLiteral("impedance");
    case Quantity::QualityFactor: return QStringLiteral("quality_factor");
    case Quantity::DissipationFactor: return QStringLiteral("dissipation_factor");
    case Quantity::PhaseAngle: return QStringLiteral("phase_angle");
  }
  return QString();
}

QString BoundWord(Bound bound) {
  switch (bound) {
    case Bound::Below: return QStringLiteral("below");
    case Bound::Above: return QStringLiteral("above");
    case Bound::Exact: break;
  }
  return QStringLiteral("exact");
}

QString VerdictWord(const Verdict& v) {
  if (!v.primaryOn && !v.secondaryOn) return QStringLiteral("none");
  if (v.SortResult == kSortPass) return QStringLiteral("pass");
  if (v.SortResult == kSortPrimaryOut || v.SortResult == kSortSecondaryOut || v.SortResult == kSortBothOut)
    return QStringLiteral("reject");
  return QStringLiteral("invalid");
}

QJsonObject RowToJson(const LogRow& row) { return RowToJson(row, RowTimeJson(row.time)); }

QJsonObject RowToJson(const LogRow& row, const QJsonValue& time) {
  const MeterReading& r = row.reading;
  const Verdict& v = row.verdict;

  QJsonObject texts;
  for (int c = 0; c < kLogColumns; ++c) texts.insert(RowTextKey(c), row.texts[c]);

  // A deviation is a number only where its tolerance was on and the check
  // could evaluate the reference; otherwise the grid shows an empty or a
  // stale text, and the number would mislead.
  // "primary" is the sorting's own figure (for L and C a deviation of the
  // reactance), "primaryValue" that of the value itself; the secondary side
  // always compares the value itself.
  const bool evaluated = v.SortResult != kSortInvalid;
  const bool primary = v.primaryOn && evaluated;
  QJsonObject deviations{
      {QStringLiteral("primary"), primary ? Number(v.PrimaryDeviation) : QJsonValue()},
      {QStringLiteral("primaryValue"), primary ? Number(PrimaryValueDeviation(v)) : QJsonValue()},
      {QStringLiteral("secondary"), v.secondaryOn && evaluated ? Number(v.SecondaryDeviation) : QJsonValue()}};

  QJsonObject level{{QStringLiteral("text"), r.levelText},
                    {QStringLiteral("volts"), Number(r.level.volts)},
                    {QStringLiteral("rms"), r.level.valid() ? QJsonValue(r.level.rms) : QJsonValue()}};

  QJsonObject o{
      {QStringLiteral("position"), row.position},
      {QStringLiteral("time"), time},
      {QStringLiteral("model"), ModelWord(r.model)},
      {QStringLiteral("texts"), texts},
      {QStringLiteral("primary"), QuantityJson(r.primary)},
      {QStringLiteral("secondary"), QuantityJson(r.secondary)},
      {QStringLiteral("frequency_hz"), r.noTestFrequency ? QJsonValue() : QJsonValue(r.testFreqHz)},
      {QStringLiteral("level"), level},
      {QStringLiteral("circuit"),
       r.settings.CircuitSeries == 1 ? QStringLiteral("series") : QStringLiteral("parallel")},
      {QStringLiteral("verdict"), VerdictWord(v)},
      {QStringLiteral("sort_result"), v.SortResult},
      {QStringLiteral("deviations"), deviations},
  };
  if (row.profileNumber > 0)
    o.insert(QStringLiteral("profile"),
             QJsonObject{{QStringLiteral("number"), row.profileNumber}, {QStringLiteral("name"), row.texts[1]}});
  return o;
}

QByteArray RowToJsonLine(const LogRow& row) {
  QByteArray line = QJsonDocument(RowToJson(row)).toJson(QJsonDocument::Compact);
  line.append('\n');
  return line;
}

}  // namespace zt
