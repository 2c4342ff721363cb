#pragma once
// The ten cells of one row of the log grid.
#include <QString>
#include <array>

namespace zt {

inline constexpr int kLogColumns = 10;
using GridRowTexts = std::array<QString, kLogColumns>;

}  // namespace zt
