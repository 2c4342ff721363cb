// Export of the log grid.
#include "main.h"

namespace zt {

void TForm1::ConnectExportSignals() {}

}  // namespace zt
