#pragma once
// Sizes, intervals and colours of the window, each named once.
#include <QColor>
#include <QPalette>

namespace zt::ui {

inline constexpr int kNominalTypedMax = 7;  // characters typed into a nominal box (a profile may hold 10)

// The client area is fixed at 1008 pixels wide, which with the 8-pixel side
// borders of the system the window was designed on makes it 1024 wide
// outside: the left column (209) and the front panel (799) fill it exactly.
inline constexpr int kClientWidth = 1008;
inline constexpr int kClientHeight = 680;  // at design size
inline constexpr int kMinHeight = 600;     // of the client area, so the layout keeps its room
inline constexpr int kTopHeight = 192;
inline constexpr int kLeftColumnWidth = 209;
inline constexpr int kStripHeight = 41;
inline constexpr int kMemoWidth = 183;
inline constexpr int kBandHeight = 88;
inline constexpr int kEditorWidth = 458;
inline constexpr int kGridColumnWidth = 60;
// Wide enough for "выкл." and "0,2%" with the drop-down arrow.
inline constexpr int kToleranceBoxWidth = 66;

inline constexpr int kFontPx = 15;
inline constexpr int kPrimaryPx = 46;
inline constexpr int kSecondaryPx = 26;

// T50: from the link settling to the memo giving way to the derived lines.
// (The link's and the meter's timers are theirs: LinkTimings, MeterStateTimings.)
inline constexpr int kT50Ms = 2000;

// The background of the display panels: the gradient colour of an active
// caption on the platform the program was designed for.
inline QColor DisplayColour() { return QColor(0xB9, 0xD1, 0xEA); }
inline QColor RejectColour() { return QColor(Qt::red); }

}  // namespace zt::ui
