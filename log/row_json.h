#pragma once
// One logged row as JSON, for programs that read our output rather than a
// person: the headless recorder's JSON lines and the publisher's payloads.
// The ten grid texts are kept as the grid shows them (in the language in
// use), and next to them the same row as numbers and fixed English words, so
// a reader never has to parse a display text. The field list is documented
// in docs/zt-record.md; keys and words are stable.
#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QJsonValue>
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
// The same with its "time" made beforehand by RowTimeJson(row.time). Turning
// a local time into text reads the C library's time-zone state, which the
// thread that formats the row for the grid and the file reads too: a payload
// made on another thread takes the text made on the row's own thread.
QJsonObject RowToJson(const LogRow& row, const QJsonValue& time);
// A row's "time": the local time with its offset written out ("+02:00"), a
// time already in UTC or at a fixed offset keeping it; null when invalid.
QJsonValue RowTimeJson(const QDateTime& time);
// The same as one line of compact UTF-8 ending in "\n".
QByteArray RowToJsonLine(const LogRow& row);

}  // namespace zt
