#include "schema/greeting.h"

namespace kelvane {

namespace {

constexpr unsigned char kProtocolVersion = 10;
constexpr unsigned kClientSsl = 0x800;  // CLIENT_SSL in the lower capability flags

unsigned Byte(std::string_view bytes, std::size_t at) {
  return static_cast<unsigned char>(bytes[at]);
}

}  // namespace

GreetingVerdict ReadGreeting(std::string_view received) {
  // Header: 3-byte little-endian payload length, then the sequence number (0 for a greeting).
  if (received.size() < 4) return GreetingVerdict::NeedMore;
  const std::size_t length = Byte(received, 0) | Byte(received, 1) << 8 | Byte(received, 2) << 16;
  if (Byte(received, 3) != 0 || length == 0 || length > kLongestGreeting)
    return GreetingVerdict::Malformed;
  if (received.size() < 4 + length) return GreetingVerdict::NeedMore;
  const std::string_view payload = received.substr(4, length);
  // Protocol version, server version up to its zero byte, 4-byte thread id, 8 bytes of
  // scramble, a zero filler byte, then the lower two bytes of the capability flags.
  if (Byte(payload, 0) != kProtocolVersion) return GreetingVerdict::Malformed;
  const std::size_t end = payload.find('\0', 1);
  if (end == std::string_view::npos) return GreetingVerdict::Malformed;
  const std::size_t filler = end + 1 + 4 + 8;
  if (filler + 3 > payload.size() || Byte(payload, filler) != 0) return GreetingVerdict::Malformed;
  const unsigned capabilities = Byte(payload, filler + 1) | Byte(payload, filler + 2) << 8;
  return (capabilities & kClientSsl) != 0 ? GreetingVerdict::OffersTls : GreetingVerdict::NoTls;
}

}  // namespace kelvane
