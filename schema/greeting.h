#pragma once
// The server's first packet (the handshake greeting), read as it arrives, before the client
// library answers it. Pure: no I/O, no client library.
#include <cstddef>
#include <string_view>

namespace kelvane {

enum class GreetingVerdict {
  NeedMore,   // the packet is not complete yet
  OffersTls,  // a complete, well-formed protocol-10 greeting whose capabilities offer TLS
  NoTls,      // a complete, well-formed protocol-10 greeting without TLS
  Malformed,  // anything else: another protocol byte, an error packet, a packet too short for
              // its fields, a version text without its zero byte, a packet too long
};

// Greetings of real servers are about 100 bytes; longer packets are not taken as greetings.
inline constexpr std::size_t kLongestGreeting = 1024;

// Decides from the bytes received so far (the 4-byte packet header first). Only the packet's
// own length counts: bytes after it are ignored, fields must end inside it.
GreetingVerdict ReadGreeting(std::string_view received);

}  // namespace kelvane
