#include "cli/messages.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>

#include "cli/safe_names.h"
#include "os/platform.h"

namespace kelvane::cli {

void Error(const std::string& message) { std::cerr << kProgram << ": " << message << '\n'; }

// Built by appending: g++ 12 at -O3 warns (-Wrestrict, a false alarm) about a literal + a
// temporary string.
std::string Quoted(const std::string& name) {
  std::string text = "\"";
  text += Printable(name);
  text += '"';
  return text;
}
std::string PrintableName(std::string_view name) { return Printable(name); }

bool WriteOut(std::string_view bytes) {
  if (platform::WriteStdout(bytes)) return true;
  Error(std::string("cannot write to standard output: ") + std::strerror(errno));
  std::clearerr(stdout);
  return false;
}

}  // namespace kelvane::cli
