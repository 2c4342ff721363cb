// Link manager and serial link.
#include "main.h"

namespace zt {

void TForm1::ConnectLinkSignals() {}
void TForm1::LoadPortLookup() {}
void TForm1::StartupProbe() {}
void TForm1::ShutdownLinks() {}

}  // namespace zt
