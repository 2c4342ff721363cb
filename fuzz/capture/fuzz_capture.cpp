// Input: a capture file's text. Whatever it holds, the parser returns, every
// record it gives writes back as a line that reads as the same record, and a
// replay of it answers the program's texts and plays its stream without
// running away.
#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "capture_file.h"
#include "replay_script.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const QByteArray text(reinterpret_cast<const char*>(data), qsizetype(size));
  const zt::CaptureParse p = zt::ParseCapture(text);
  Check(p.ok() || p.records.isEmpty());
  for (const zt::CaptureRecord& r : p.records) {
    Check(r.bytes.size() <= zt::kCaptureMaxRecordBytes);
    const zt::CaptureParse back = zt::ParseCapture(QByteArray(zt::kCaptureMagic) + "\n" + zt::CaptureLine(r));
    Check(back.ok() && back.records.size() == 1 && back.records[0] == r);
  }
  if (!p.ok()) return 0;
  zt::sim::ReplayScript script;
  QString error;
  if (!zt::sim::BuildReplayScript(p.records, &script, &error)) return 0;
  zt::sim::ReplayModel model(script, 1000.0);
  const QByteArray inputs[] = {"AT+CONNL", "AT", QByteArray::fromHex("800101010a01"), "AT+CONNL"};
  qint64 now = 0;
  for (int step = 0; step < 4000; ++step) {
    if (step % 500 == 0) model.receive(inputs[(step / 500) % 4], now);
    while (model.takeDue(now)) {
    }
    const qint64 next = model.nextEventUs();
    now = next > now ? std::min(next, now + 10'000'000) : now + 1000;
  }
  return 0;
}
