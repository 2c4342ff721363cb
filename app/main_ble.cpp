// Bluetooth LE link.
#include "main.h"

namespace zt {

void TForm1::ConnectBleSignals() {}
void TForm1::BleSetEnabled(bool on) { (void)on; }

}  // namespace zt
