// Any bytes as a profile file: the reader and the check of what a file is
// must stay inside the buffer, every record the reader returns must encode
// back to exactly one record, and the check must agree with the reader.
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
  const zt::ProfileFileCheck c = zt::CheckProfileFile(bytes);
  if (c.kind == zt::ProfileFileKind::NotProfile) {
    if (c.reason.isEmpty() || c.count != 0 || !c.asWritten.isEmpty()) std::abort();
  } else {
    if (c.count != v.count || c.asWritten.size() != c.count) std::abort();
    if ((c.kind == zt::ProfileFileKind::Damaged) == c.problems.isEmpty()) std::abort();
    if (c.count > 0 && !c.asWritten.contains(true)) std::abort();
    for (int n = 1; n <= c.count; ++n)
      if (c.profileClean(n) && !zt::RecordImplausibilities(v.records[n - 1]).isEmpty()) std::abort();
  }
  // A single record decoded from whatever is there, short input included.
  (void)zt::DecodeProfileRecord(bytes);
  return 0;
}
