#include "ui/server_address.h"

#include <cstddef>
#include <string>
#include <vector>

namespace kelvane::ui {

namespace {

enum class Shape { Invalid, Partial, Complete };

constexpr std::size_t kMaxHostName = 253;
constexpr std::size_t kMaxLabel = 63;
constexpr unsigned kMaxPort = 65535;

// Spaces around the text are ignored, as in the user and password boxes: ASCII and full-width
// (U+3000, E3 80 80 in UTF-8).
std::string_view TrimSpaces(std::string_view text) {
  constexpr std::string_view kWide = "\xE3\x80\x80";
  for (bool trimmed = true; trimmed;) {
    trimmed = false;
    for (std::string_view space : {std::string_view(" "), kWide}) {
      if (text.starts_with(space)) {
        text.remove_prefix(space.size());
        trimmed = true;
      }
      if (text.ends_with(space)) {
        text.remove_suffix(space.size());
        trimmed = true;
      }
    }
  }
  return text;
}

std::vector<std::string_view> Split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  for (;;) {
    const std::size_t at = text.find(separator);
    parts.push_back(text.substr(0, at));
    if (at == std::string_view::npos) return parts;
    text.remove_prefix(at + 1);
  }
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsAsciiAlnum(char c) {
  return IsDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsHexDigit(char c) { return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

bool IsDigits(std::string_view text) {
  for (char c : text)
    if (!IsDigit(c)) return false;
  return true;
}

unsigned DecimalValue(std::string_view digits) {
  unsigned value = 0;
  for (char c : digits) value = value * 10 + static_cast<unsigned>(c - '0');
  return value;
}

// 0-255 without leading zeros. Every prefix of such a part is one too, so a part being typed
// is fine exactly when it is one.
bool IsOctet(std::string_view part) {
  if (part.empty() || part.size() > 3 || !IsDigits(part)) return false;
  if (part.size() > 1 && part.front() == '0') return false;
  return DecimalValue(part) <= 255;
}

// A dotted IPv4 address as the box has always taken it: four parts 0-255 without leading
// zeros; a prefix of one is usable too (missing parts read as 0).
Shape Ipv4Shape(std::string_view text) {
  if (text.empty()) return Shape::Partial;
  const std::vector<std::string_view> parts = Split(text, '.');
  if (parts.size() > 4) return Shape::Invalid;
  for (std::size_t i = 0; i + 1 < parts.size(); ++i)
    if (!IsOctet(parts[i])) return Shape::Invalid;
  if (parts.back().empty()) return Shape::Partial;  // a dot just typed
  if (!IsOctet(parts.back())) return Shape::Invalid;
  return parts.size() == 4 ? Shape::Complete : Shape::Partial;
}

std::string DottedAddress(std::string_view text) {
  const std::vector<std::string_view> parts = Split(text, '.');
  std::string dotted;
  for (std::size_t i = 0; i < 4; ++i) {
    if (i > 0) dotted += '.';
    dotted += std::to_string(i < parts.size() ? DecimalValue(parts[i]) : 0);
  }
  return dotted;
}

Shape HostNameShape(std::string_view text) {
  if (text.size() > kMaxHostName) return Shape::Invalid;
  const std::vector<std::string_view> labels = Split(text, '.');
  Shape shape = Shape::Complete;
  for (std::size_t i = 0; i < labels.size(); ++i) {
    const std::string_view label = labels[i];
    if (label.empty()) {
      if (i + 1 < labels.size()) return Shape::Invalid;  // leading dot or two dots in a row
      shape = Shape::Partial;                            // a dot just typed
      continue;
    }
    if (label.size() > kMaxLabel || label.front() == '-') return Shape::Invalid;
    for (char c : label)
      if (!IsAsciiAlnum(c) && c != '-' && c != '_') return Shape::Invalid;
    if (label.back() == '-') shape = Shape::Partial;
  }
  return shape;
}

std::size_t CountOf(std::string_view text, std::string_view what) {
  std::size_t count = 0;
  for (std::size_t at = text.find(what); at != std::string_view::npos;
       at = text.find(what, at + what.size()))
    ++count;
  return count;
}

// An IPv6 address (with an optional %zone). `unspecified` is set for "::".
Shape Ipv6Shape(std::string_view text, bool& unspecified) {
  unspecified = false;
  std::string_view address = text;
  const std::size_t percent = text.find('%');
  bool zoneMissing = false;
  if (percent != std::string_view::npos) {
    const std::string_view zone = text.substr(percent + 1);
    for (char c : zone)
      if (!IsAsciiAlnum(c) && c != '-' && c != '_' && c != '.') return Shape::Invalid;
    zoneMissing = zone.empty();
    address = text.substr(0, percent);
  }
  if (address.find(":::") != std::string_view::npos || CountOf(address, "::") > 1)
    return Shape::Invalid;
  const bool compressed = address.find("::") != std::string_view::npos;
  std::vector<std::string_view> groups = Split(address, ':');
  // An IPv4 tail ("::ffff:10.0.0.1") stands for two groups.
  int ipv4Tail = 0;
  if (groups.back().find('.') != std::string_view::npos) {
    const Shape tail = Ipv4Shape(groups.back());
    if (tail == Shape::Invalid) return Shape::Invalid;
    if (tail == Shape::Partial) return Shape::Partial;
    ipv4Tail = 2;
    groups.pop_back();
  }
  int counted = ipv4Tail;
  bool complete = !zoneMissing, allZero = ipv4Tail == 0;
  for (const std::string_view group : groups) {
    if (group.empty()) continue;  // part of "::", or one being typed
    if (group.size() > 4) return Shape::Invalid;
    for (char c : group) {
      if (!IsHexDigit(c)) return Shape::Invalid;
      if (c != '0') allZero = false;
    }
    ++counted;
  }
  if (counted > 8 || (compressed && counted > 7)) return Shape::Invalid;
  // Empty groups other than the "::" one mean the address is still being typed.
  int empties = 0;
  for (const std::string_view group : groups) empties += group.empty() ? 1 : 0;
  const int allowedEmpties = !compressed          ? 0
                             : address == "::"    ? 3
                             : (address.starts_with("::") || address.ends_with("::")) ? 2
                                                                                      : 1;
  if (empties > allowedEmpties || (!compressed && counted < 8)) complete = false;
  unspecified = allZero;
  return complete ? Shape::Complete : Shape::Partial;
}

Shape PortShape(std::string_view text, unsigned& port) {
  if (text.empty()) return Shape::Partial;
  if (!IsDigits(text) || text.front() == '0' || text.size() > 5) return Shape::Invalid;
  port = DecimalValue(text);
  return port <= kMaxPort ? Shape::Complete : Shape::Invalid;
}

Shape Worst(Shape a, Shape b) { return a < b ? a : b; }

// The text's shape and, when complete, the address it names.
Shape Examine(std::string_view typed, ServerAddress& address) {
  const std::string_view text = TrimSpaces(typed);
  if (text.empty()) return Shape::Partial;
  std::string_view host, port;
  bool ipv6 = false, bracketOpen = false, portTyped = false;
  if (text.front() == '[') {
    ipv6 = true;
    const std::size_t close = text.find(']');
    bracketOpen = close == std::string_view::npos;
    host = bracketOpen ? text.substr(1) : text.substr(1, close - 1);
    const std::string_view rest = bracketOpen ? std::string_view() : text.substr(close + 1);
    if (!rest.empty() && rest.front() != ':') return Shape::Invalid;
    portTyped = !rest.empty();
    if (portTyped) port = rest.substr(1);
  } else if (CountOf(text, ":") >= 2) {
    ipv6 = true;  // a bare IPv6 address; no port without brackets
    host = text;
  } else {
    const std::size_t colon = text.find(':');
    portTyped = colon != std::string_view::npos;
    host = text.substr(0, colon);
    if (portTyped) port = text.substr(colon + 1);
  }

  Shape shape = Shape::Complete;
  if (ipv6) {
    bool unspecified = false;
    shape = host.empty() ? Shape::Partial : Ipv6Shape(host, unspecified);
    if (bracketOpen) shape = Worst(shape, Shape::Partial);
    if (unspecified) shape = Worst(shape, Shape::Partial);
    address.host = std::string(host);
  } else if (host.empty()) {
    shape = Shape::Partial;  // ":3306" with the host still to come
  } else if (host.find_first_not_of("0123456789.") == std::string_view::npos) {
    shape = Ipv4Shape(host);
    // Missing parts read as 0, as always; only the unspecified address is refused.
    if (shape != Shape::Invalid) {
      address.host = DottedAddress(host);
      shape = address.host == "0.0.0.0" ? Shape::Partial : Shape::Complete;
    }
  } else {
    shape = HostNameShape(host);
    address.host = std::string(host);
  }
  if (shape == Shape::Invalid) return shape;
  address.port = 0;
  if (portTyped) shape = Worst(shape, PortShape(port, address.port));
  return shape;
}

}  // namespace

AddressState CheckAddress(std::string_view text) {
  ServerAddress ignored;
  switch (Examine(text, ignored)) {
    case Shape::Complete:
      return AddressState::Acceptable;
    case Shape::Partial:
      return AddressState::Intermediate;
    case Shape::Invalid:
      break;
  }
  return AddressState::Invalid;
}

std::optional<ServerAddress> ReadAddress(std::string_view text) {
  ServerAddress address;
  if (Examine(text, address) != Shape::Complete) return std::nullopt;
  return address;
}

}  // namespace kelvane::ui
