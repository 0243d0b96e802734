#pragma once
// The IP box's text as a server address. It takes what it always took, a dotted IPv4 address
// (surrounding spaces ignored, missing parts read as 0), and also a host name, an IPv6 address
// in brackets (or bare, without a port), each with an optional ":port" (1-65535).
// Toolkit-free: both windows read the box through these two functions.
#include <optional>
#include <string>
#include <string_view>

namespace kelvane::ui {

struct ServerAddress {
  std::string host;   // dotted IPv4, host name, or IPv6 without brackets
  unsigned port = 0;  // 0: none typed
};

// What a text in the box is: cannot lead to an address (a keystroke producing it is
// refused), may still become one (shown red; 按钮1 then reports failure without contacting
// anything), or names an address that can be connected to.
enum class AddressState { Invalid, Intermediate, Acceptable };

// text is UTF-8.
AddressState CheckAddress(std::string_view text);

// The address the text names; nothing when it cannot be connected to: empty, incomplete,
// malformed, or the unspecified address (0.0.0.0, ::), which would reach the local machine.
std::optional<ServerAddress> ReadAddress(std::string_view text);

}  // namespace kelvane::ui
