#include "cli/name_checks.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "cli/safe_names.h"
#include "schema/csharp_check.h"
#include "text/utf8.h"

namespace kelvane::cli {

namespace {

// Bytes that are not UTF-8 read as this, which is neither a control nor a letter.
constexpr char32_t kNotUtf8 = 0xFFFFFFFF;

// Decodes the code point at `at` and moves past it (past the invalid bytes: kNotUtf8).
char32_t Next(std::string_view text, std::size_t& at) {
  const utf8::CodePoint c = utf8::DecodeAt(text, at);
  at += c.length;
  return c.valid ? c.value : kNotUtf8;
}

bool IsControl(char32_t c) { return c < 0x20 || c == 0x7F || c == 0x2028 || c == 0x2029; }

std::string CodePoint(char32_t c) {
  char text[16];
  std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(c));
  return text;
}

// Spaces, punctuation and symbols outside ASCII that no identifier holds; every other non-ASCII
// character counts as a letter (CJK, Hangul, Latin with marks ...).
bool IsNonAsciiPunctuation(char32_t c) {
  static constexpr std::array<std::pair<char32_t, char32_t>, 12> kRanges = {{
      {0x80, 0xA9}, {0xAB, 0xB4}, {0xB6, 0xB9}, {0xBB, 0xBF}, {0xD7, 0xD7}, {0xF7, 0xF7},
      {0x2000, 0x206F}, {0x2190, 0x2BFF}, {0x3000, 0x3004}, {0x3008, 0x3020}, {0xFE30, 0xFE4F},
      {0xFEFF, 0xFEFF}}};
  static constexpr std::array<std::pair<char32_t, char32_t>, 4> kFullWidth = {{
      {0xFF00, 0xFF0F}, {0xFF1A, 0xFF20}, {0xFF3B, 0xFF40}, {0xFF5B, 0xFF65}}};
  for (const auto& [low, high] : kRanges)
    if (c >= low && c <= high) return true;
  for (const auto& [low, high] : kFullWidth)
    if (c >= low && c <= high) return true;
  return false;
}

std::string Where(const std::string& table) { return "table \"" + Printable(table) + "\""; }

}  // namespace

std::string ControlCharacterProblem(const std::string& table, const FieldTable& fields) {
  const auto control = [](std::string_view name) -> char32_t {
    for (std::size_t at = 0; at < name.size();)
      if (const char32_t c = Next(name, at); IsControl(c)) return c;
    return kNotUtf8;
  };
  const std::string tail = "; a name with a control character would break the generated lines";
  if (table.empty()) return Where(table) + ": the table name is empty; no text can name such a table";
  if (const char32_t c = control(table); c != kNotUtf8)
    return Where(table) + ": the table name holds the control character " + CodePoint(c) + tail;
  for (const FieldRecord& field : fields)
    if (const char32_t c = control(field.columnName); c != kNotUtf8)
      return Where(table) + ", column \"" + Printable(field.columnName) +
             "\": the column name holds the control character " + CodePoint(c) + tail;
  return {};
}

std::string NotAnIdentifier(std::string_view name) {
  if (name.empty()) return "is empty";
  if (IsCSharpKeyword(name)) return "is a C# keyword";
  if (name[0] >= '0' && name[0] <= '9') return "starts with a digit";
  for (std::size_t at = 0; at < name.size();) {
    const std::size_t start = at;
    const char32_t c = Next(name, at);
    if (c == kNotUtf8)
      return "holds bytes that are not UTF-8 (" + Printable(name.substr(start, at - start)) + ")";
    const bool ascii = c < 0x80;
    const bool fits = ascii ? (c == '_' || (c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'z'))
                            : !IsControl(c) && !IsNonAsciiPunctuation(c);
    if (!fits)
      return "holds '" + Printable(name.substr(start, at - start)) + "' (" + CodePoint(c) + ")";
  }
  return {};
}

std::vector<std::string> IdentifierWarnings(const std::string& table, const FieldTable& fields) {
  std::vector<std::string> warnings;
  const auto tail = [](const std::string& why) {
    return " is not an identifier in C# or 易语言 (it " + why + "); the texts carry it unchanged";
  };
  if (const std::string why = NotAnIdentifier(table); !why.empty())
    warnings.push_back("warning: " + Where(table) + ": the table name" + tail(why));
  for (const FieldRecord& field : fields)
    if (const std::string why = NotAnIdentifier(field.columnName); !why.empty())
      warnings.push_back("warning: " + Where(table) + ", column \"" + Printable(field.columnName) +
                         "\": the column name" + tail(why));
  return warnings;
}

}  // namespace kelvane::cli
