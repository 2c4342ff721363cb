// Reference profiles, tolerance sorting and profile files.
#include "main.h"

namespace zt {

void TForm1::ConnectProfileSignals() {}

}  // namespace zt
