#pragma once
// The one folder that holds all of the program's files (1.dat, virtual ports,
// exports). Nothing else builds this path.
#include <QString>

namespace zt {

// RLC_DATA_DIR when set; else "C:\Users\Public\Documents\RLC_Data" on Windows;
// else RLC_Data inside the user's documents folder. Not created here.
QString DataFolder();

// <data folder>/virtual-ports: files named after a USB friendly name whose
// content is the path of a simulated serial device.
QString VirtualPortsFolder();

}  // namespace zt
