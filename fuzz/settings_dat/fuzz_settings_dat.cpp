// Any bytes as 1.dat: the parser stays inside the buffer and never returns a
// path longer than its field.
#include <cstdint>
#include <cstdlib>

#include "settings_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const QByteArrayView bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  const zt::SettingsFileData d = zt::ParseSettingsFile(bytes);
  if (d.pathBytes.size() > zt::kSettingsPathMax) std::abort();
  if (d.pathDamaged && !d.pathBytes.isEmpty()) std::abort();
  (void)d.lastProfilePath();
  return 0;
}
