#include "cli/safe_names.h"

#include <array>
#include <cstdio>
#include <set>

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
  if (text.size() <= limit) return std::string(text);
  std::size_t end = limit;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return std::string(text.substr(0, end));
}

}  // namespace

std::string Fold(std::string_view name) {
  std::string folded(name);
  for (char& c : folded)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return folded;
}

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
  for (std::size_t i = 0; i < name.size(); ++i) {
    const char c = name[i];
    const auto byte = static_cast<unsigned char>(c);
    const auto next = [&](std::size_t k) {
      return i + k < name.size() ? unsigned{static_cast<unsigned char>(name[i + k])} : 0u;
    };
    if (c == '\\' || alsoEscaped.find(c) != std::string_view::npos) {
      out += '\\';
      out += c;
    } else if (IsControl(byte)) {
      std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
      out += escaped;
    } else if (byte == 0xC2 && next(1) >= 0x80 && next(1) <= 0x9F) {  // C1 controls
      std::snprintf(escaped, sizeof escaped, "\\u%04X", next(1));
      out += escaped;
      i += 1;
    } else if (byte == 0xE2 && next(1) == 0x80 && (next(2) == 0xA8 || next(2) == 0xA9)) {
      out += next(2) == 0xA8 ? "\\u2028" : "\\u2029";
      i += 2;
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace kelvane::cli
