// Language files come from whoever writes them: no bytes may crash or hang the
// reader, and whatever it accepts must survive being written and read again.
#include <cstdint>
#include <cstdlib>

#include "lng_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
  zt::LngParseResult r = zt::parseLng(bytes);
  if (!r.file) return 0;
  const QByteArray written = zt::writeLng(*r.file);
  zt::LngParseResult again = zt::parseLng(written);
  if (!again.file || zt::writeLng(*again.file) != written) std::abort();
  return 0;
}
