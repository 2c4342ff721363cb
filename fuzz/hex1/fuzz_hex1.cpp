// Any bytes as a profile file: the reader must stay inside the buffer, and
// every record it returns must encode back to exactly one record.
#include <cstdint>
#include <cstdlib>

#include "profile_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const QByteArrayView bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  const zt::ProfileFileView v = zt::ParseProfileFile(bytes);
  if (v.count < 0 || v.records.size() != v.count) std::abort();
  if (zt::kProfileHeaderSize + zt::kProfileRecordSize * qint64(v.count) > qint64(size) && v.count > 0) std::abort();
  const zt::ProfileTableEnv env{zt::Lexicons::russian(), 0, 4, [](int i) { return i * 1000; }};
  int row = 1;
  for (const zt::ProfileRecord& r : v.records) {
    if (r.ProfileName.size() > zt::kProfileNameMax || r.PrimaryTolerance.size() > zt::kProfileToleranceMax)
      std::abort();
    if (zt::EncodeProfileRecord(r).size() != zt::kProfileRecordSize) std::abort();
    (void)zt::ProfileTableRow(r, row++, env);
  }
  // A single record decoded from whatever is there, short input included.
  (void)zt::DecodeProfileRecord(bytes);
  return 0;
}
