#pragma once
// One logged row as JSON, for programs that read our output rather than a
// person: the headless recorder's JSON lines and the publisher's payloads.
// The ten grid texts are kept as the grid shows them (in the language in
// use), and next to them the same row as numbers and fixed English words, so
// a reader never has to parse a display text. The field list is documented
// in docs/zt-record.md; keys and words are stable.
#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include "meter_reading.h"
#include "recorder.h"

namespace zt {

// The key of grid column `col` (0-9) in the "texts" object: "position",
// "time", "primary", "secondary", "circuit", "frequency", "level", "reject",
// "primary_deviation", "secondary_deviation".
QString RowTextKey(int col);

// Fixed words for the row's numbers.
QString QuantityKindWord(Quantity kind);  // "resistance", ..., "phase_angle"; "" for None
QString BoundWord(Bound bound);           // "exact", "below", "above"
// "pass", "reject", "invalid" (the reference could not be evaluated), or
// "none" when no tolerance was on.
QString VerdictWord(const Verdict& verdict);

// The row as a JSON object. Numbers that are not finite become null.
QJsonObject RowToJson(const LogRow& row);
// The same as one line of compact UTF-8 ending in "\n".
QByteArray RowToJsonLine(const LogRow& row);

}  // namespace zt
