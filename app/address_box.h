#pragma once
// The IP box's text as a server address. It takes what it always took, a dotted IPv4 address
// (surrounding spaces ignored, missing parts read as 0), and also a host name, an IPv6 address
// in brackets (or bare, without a port), each with an optional ":port" (1-65535).
#include <QValidator>
#include <optional>
#include <string>

namespace kelvane {

struct ServerAddress {
  std::string host;   // dotted IPv4, host name, or IPv6 without brackets
  unsigned port = 0;  // 0: none typed
};

// The address the text names; nothing when it cannot be connected to: empty, incomplete,
// malformed, or the unspecified address (0.0.0.0, ::), which would reach the local machine.
std::optional<ServerAddress> ReadAddress(const QString& text);

// Refuses keystrokes that cannot lead to an address (Invalid), lets through what may still
// become one (Intermediate) and accepts exactly what ReadAddress can use (Acceptable).
class AddressValidator : public QValidator {
 public:
  using QValidator::QValidator;
  State validate(QString& input, int& position) const override;
};

}  // namespace kelvane
