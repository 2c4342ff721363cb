#pragma once
// Sorting a reading against the reference values of the profile editor, and
// the input rules of the editor's number and tolerance boxes.
#include <QString>
#include <cstdint>

namespace zt {

// Sort results.
enum SortCode : std::int32_t {
  kSortPass = 0,
  kSortPrimaryOut = 1,
  kSortSecondaryOut = 2,
  kSortBothOut = 3,
  kSortInvalid = 20,  // the editor's values cannot be evaluated
};

// Primary kinds (items of CBox2) and secondary kinds (items of CBox11).
enum PrimaryKind : int { kPrimaryR = 0, kPrimaryL = 1, kPrimaryC = 2 };
enum SecondaryKind : int { kSecondaryR = 0, kSecondaryQ = 1, kSecondaryD = 2 };

// One side (primary or secondary) of the editor.
struct ToleranceSide {
  bool on = false;        // the tolerance box shows something other than its "off" item
  QString toleranceText;  // text of the tolerance box, e.g. "1%", "0,2%", ">", "<"
  int kind = 0;           // PrimaryKind or SecondaryKind
  int unitIndex = 0;      // item of the unit box of the kind; outside 0..2 means factor 1
  QString nominalText;    // text of the nominal edit, with the system decimal separator
};

struct ToleranceInput {
  double TestFreqHz = 0;
  std::uint8_t CircuitSeries = 0;  // 1 series, anything else parallel
  double ReadingR = 0;
  double ReadingX = 0;
  double ParallelR = 0;
  double ParallelX = 0;
  ToleranceSide primary;
  ToleranceSide secondary;
  QChar decimalSeparator = QLatin1Char('.');
};

// A tolerance box's text as the check reads it (cut to its first 8
// characters): a percent limit on the deviation, or a lone "<" (the reading
// may not exceed the nominal) or ">" (it may not fall below it).
enum class LimitKind { Percent, AtMost, AtLeast };
struct ToleranceLimitText {
  LimitKind kind = LimitKind::Percent;
  double percent = 0;  // Percent only
};
enum class LimitTextError { None, LoneCharacter, NotANumber };
// A "%" at the end reads as a blank; the number takes the system decimal
// separator. LoneCharacter: one character other than "<" and ">" (a lone "%"
// included); NotANumber: any other text that is not a number.
LimitTextError ParseToleranceLimit(const QString& boxText, QChar decimalSeparator, ToleranceLimitText& out);

// Returns a SortCode. Writes PrimaryDeviation / SecondaryDeviation (percent)
// when a side gets far enough to compute one; otherwise they keep their
// values. Limits are inclusive.
std::int32_t CheckTolerance(const ToleranceInput& in, double& PrimaryDeviation, double& SecondaryDeviation);

// Unit factors of the unit boxes: R (Ом, кОм, МОм), L (мкГн, мГн, Гн), C (пФ, нФ, мкФ).
double ResistanceUnitFactor(int unitIndex);
double InductanceUnitFactor(int unitIndex);
double CapacitanceUnitFactor(int unitIndex);

// A number text with the system decimal separator: optional blanks around it,
// digits, at most one separator, an optional exponent. False when it is not one.
bool ParseLocalNumber(const QString& text, QChar decimalSeparator, double& out);

// Edited text and caret after an input rule ran.
struct FilteredText {
  QString text;
  int caret = 0;
};

// Keeps digits and the first decimal separator that is not the text's first
// character; drops everything else. The caret keeps its index (within the text).
FilteredText FilterNumberText(const QString& text, int caret, QChar decimalSeparator);

// The tolerance boxes: the number filter, then "%" appended.
FilteredText FilterToleranceText(const QString& text, int caret, QChar decimalSeparator);

}  // namespace zt
