#include "cli/safe_names.h"

#include <array>
#include <cstdio>
#include <set>

#include "text/caseless.h"
#include "text/utf8.h"

namespace kelvane::cli {

namespace {

bool IsControl(unsigned char c) { return c < 0x20 || c == 0x7F; }

// Characters that at least one common file system refuses in a name.
bool IsForbidden(unsigned char c) {
  switch (c) {
    case '/': case '\\': case ':': case '*': case '?': case '"': case '<': case '>': case '|':
      return true;
    default:
      return IsControl(c);
  }
}

// CON, PRN, AUX, NUL, CONIN$, CONOUT$, COM0-9 and LPT0-9 (also with the superscript digits
// ¹ ² ³) name devices on Windows, whatever follows a dot and with spaces before it.
bool IsDeviceName(std::string_view name) {
  std::string base = Fold(name.substr(0, name.find('.')));
  while (!base.empty() && base.back() == ' ') base.pop_back();
  static constexpr std::array<std::string_view, 6> kPlain = {"con", "prn", "aux", "nul", "conin$", "conout$"};
  for (std::string_view device : kPlain)
    if (base == device) return true;
  if (!base.starts_with("com") && !base.starts_with("lpt")) return false;
  const std::string_view digit = std::string_view(base).substr(3);
  return (digit.size() == 1 && digit[0] >= '0' && digit[0] <= '9') || digit == "\u00b9" ||
         digit == "\u00b2" || digit == "\u00b3";
}

// Cuts at most `limit` bytes without splitting a UTF-8 sequence.
std::string CutUtf8(std::string_view text, std::size_t limit) {
  return std::string(utf8::CutAt(text, limit));
}

}  // namespace

std::string Fold(std::string_view name) { return CaselessKey(name); }

bool UsableAsIs(std::string_view name) {
  if (name.empty() || name.size() > kMaxFolderBytes) return false;
  for (char c : name)
    if (IsForbidden(static_cast<unsigned char>(c))) return false;
  if (name.front() == '.' || name.back() == '.' || name.back() == ' ') return false;
  return !IsDeviceName(name);
}

std::string MakeSafe(std::string_view name) {
  std::string safe = CutUtf8(name, kMaxFolderBytes);
  for (char& c : safe)
    if (IsForbidden(static_cast<unsigned char>(c))) c = '_';
  if (safe.empty()) return "_";
  if (safe.front() == '.') safe.front() = '_';
  for (auto it = safe.rbegin(); it != safe.rend() && (*it == '.' || *it == ' '); ++it) *it = '_';
  if (!IsDeviceName(safe)) return safe;
  // Built forwards rather than with insert(0, …), which GCC 12 at -O3 flags with a false
  // -Wrestrict inside std::string.
  std::string prefixed = "_";
  prefixed += safe;
  return CutUtf8(prefixed, kMaxFolderBytes);
}

std::vector<FolderName> AssignFolderNames(const std::vector<std::string>& tables) {
  std::vector<FolderName> result;
  std::set<std::string> seenTables;
  for (const std::string& table : tables)
    if (seenTables.insert(table).second) result.push_back(FolderName{table, "", false});

  std::set<std::string> taken;  // folded folder names
  for (FolderName& entry : result)
    if (UsableAsIs(entry.table) && taken.insert(Fold(entry.table)).second) entry.folder = entry.table;

  for (FolderName& entry : result) {
    if (!entry.folder.empty()) continue;
    const std::string base = UsableAsIs(entry.table) ? entry.table : MakeSafe(entry.table);
    std::string candidate = base;
    for (unsigned n = 2; !taken.insert(Fold(candidate)).second; ++n)
      candidate = base + "~" + std::to_string(n);
    entry.folder = std::move(candidate);
    entry.changed = true;
  }
  return result;
}

std::string EntityFileName(const std::string& folder) {
  return Fold(folder) == "star" ? folder + "_entity.cs" : folder + ".cs";
}

std::string Printable(std::string_view name, std::string_view alsoEscaped) {
  std::string out;
  out.reserve(name.size());
  char escaped[8];
  for (std::size_t at = 0; at < name.size();) {
    const utf8::CodePoint c = utf8::DecodeAt(name, at);
    const std::string_view bytes = name.substr(at, c.length);
    at += c.length;
    if (!c.valid) {  // bytes that are not UTF-8 never reach the terminal as they are
      for (char b : bytes) {
        std::snprintf(escaped, sizeof escaped, "\\x%02X", unsigned{static_cast<unsigned char>(b)});
        out += escaped;
      }
    } else if (c.value == '\\' || (c.value < 0x80 && alsoEscaped.find(bytes[0]) != std::string_view::npos)) {
      out += '\\';
      out += bytes;
    } else if (c.value < 0x20 || c.value == 0x7F) {
      std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned>(c.value));
      out += escaped;
    } else if ((c.value >= 0x80 && c.value <= 0x9F) || c.value == 0x2028 || c.value == 0x2029) {
      std::snprintf(escaped, sizeof escaped, "\\u%04X", static_cast<unsigned>(c.value));
      out += escaped;
    } else {
      out += bytes;
    }
  }
  return out;
}

}  // namespace kelvane::cli
