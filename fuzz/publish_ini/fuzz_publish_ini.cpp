// Any bytes as publish.ini, and as a broker URL: the parsers stay inside the
// text, never switch publishing on with unusable settings, and whatever they
// return is written and read back unchanged.
#include <cstdint>
#include <cstdlib>

#include "broker_config.h"

namespace {

void RoundTrip(const zt::BrokerConfig& c) {
  const zt::PublishIniLoad back = zt::ParsePublishIni(zt::FormatPublishIni(c));
  if (!(back.config == c) || !back.problems.isEmpty()) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const QByteArrayView bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  const zt::PublishIniLoad ini = zt::ParsePublishIni(bytes);
  if (ini.config.enabled && zt::CheckBrokerConfig(ini.config) != zt::BrokerConfigError::None) std::abort();
  RoundTrip(ini.config);

  const zt::BrokerUrlParse url = zt::ParseBrokerUrl(QString::fromUtf8(bytes));
  if (url.ok()) {
    if (zt::CheckBrokerConfig(url.config) != zt::BrokerConfigError::None) std::abort();
    RoundTrip(url.config);
    (void)url.config.redacted();
  }
  return 0;
}
