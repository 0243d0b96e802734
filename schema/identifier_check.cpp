#include "schema/identifier_check.h"

#include <array>
#include <utility>

#include "schema/csharp_check.h"
#include "text/utf8.h"

namespace kelvane {

namespace {

// Spaces, punctuation and symbols outside ASCII that no identifier holds.
bool IsNonAsciiPunctuation(char32_t c) {
  static constexpr std::array<std::pair<char32_t, char32_t>, 16> kRanges = {{
      {0x80, 0xA9}, {0xAB, 0xB4}, {0xB6, 0xB9}, {0xBB, 0xBF}, {0xD7, 0xD7}, {0xF7, 0xF7},
      {0x2000, 0x206F}, {0x2190, 0x2BFF}, {0x3000, 0x3004}, {0x3008, 0x3020}, {0xFE30, 0xFE4F},
      {0xFEFF, 0xFEFF},
      // full-width ASCII punctuation
      {0xFF00, 0xFF0F}, {0xFF1A, 0xFF20}, {0xFF3B, 0xFF40}, {0xFF5B, 0xFF65}}};
  for (const auto& [low, high] : kRanges)
    if (c >= low && c <= high) return true;
  return false;
}

}  // namespace

bool IsControlCharacter(char32_t c) { return c < 0x20 || c == 0x7F || c == 0x2028 || c == 0x2029; }

std::optional<char32_t> FirstControlCharacter(std::string_view name) {
  for (std::size_t at = 0; at < name.size();) {
    const utf8::CodePoint c = utf8::DecodeAt(name, at);
    at += c.length;
    if (c.valid && IsControlCharacter(c.value)) return c.value;
  }
  return std::nullopt;
}

NameProblem IdentifierProblem(std::string_view name) {
  if (name.empty()) return {NameFault::Empty};
  if (IsCSharpKeyword(name)) return {NameFault::Keyword};
  if (name[0] >= '0' && name[0] <= '9') return {NameFault::LeadingDigit};
  for (std::size_t at = 0; at < name.size();) {
    const utf8::CodePoint c = utf8::DecodeAt(name, at);
    if (!c.valid) return {NameFault::NotUtf8, at, c.length};
    const char32_t v = c.value;
    const bool asciiWord =
        v == '_' || (v >= '0' && v <= '9') || ((v | 0x20) >= 'a' && (v | 0x20) <= 'z');
    const bool fits = v < 0x80 ? asciiWord : !IsControlCharacter(v) && !IsNonAsciiPunctuation(v);
    if (!fits) return {NameFault::Character, at, c.length, v};
    at += c.length;
  }
  return {};
}

}  // namespace kelvane
