#pragma once
// Sizes, intervals and colours of the window, each named once.
#include <QColor>
#include <QPalette>

namespace zt::ui {

inline constexpr int kWindowWidth = 1024;  // fixed
inline constexpr int kMinHeight = 600;
inline constexpr int kClientHeight = 680;
inline constexpr int kTopHeight = 192;
inline constexpr int kLeftColumnWidth = 209;
inline constexpr int kStripHeight = 41;
inline constexpr int kMemoWidth = 183;
inline constexpr int kBandHeight = 88;
inline constexpr int kEditorWidth = 458;
inline constexpr int kGridColumnWidth = 60;
// Wide enough for "выкл." and "0,2%" with the drop-down arrow.
inline constexpr int kToleranceBoxWidth = 66;
inline constexpr int kGridRows = 26;  // heading row included
inline constexpr int kGridColumns = 10;

inline constexpr int kFontPx = 15;
inline constexpr int kPrimaryPx = 46;
inline constexpr int kSecondaryPx = 26;

inline constexpr int kT2Ms = 2000;
inline constexpr int kT3Ms = 2500;
inline constexpr int kT4Ms = 1000;
inline constexpr int kT33Ms = 3000;
inline constexpr int kT34Ms = 2000;
inline constexpr int kT50Ms = 2000;
inline constexpr int kTimerTxMs = 50;

// The background of the display panels: the gradient colour of an active
// caption on the platform the program was designed for.
inline QColor DisplayColour() { return QColor(0xB9, 0xD1, 0xEA); }
inline QColor RejectColour() { return QColor(Qt::red); }

}  // namespace zt::ui
