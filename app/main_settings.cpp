// The settings file 1.dat applied to the window.
#include "main.h"

namespace zt {

std::int32_t TForm1::LoadSettingsFile() { return 0; }

}  // namespace zt
