#pragma once
// Whether a table or column name can stand as an identifier in the generated C# and 易语言 texts
// by its characters alone. The texts put names in as they are: a control character breaks a
// line, a space, a quote or a brace makes code that does not compile. The answer is data; each
// front end words it.
#include <cstddef>
#include <optional>
#include <string_view>

namespace kelvane {

enum class NameFault {
  None,
  Empty,
  Keyword,       // a C# keyword
  LeadingDigit,
  NotUtf8,       // bytes [at, at + length) are not UTF-8
  Character,     // the character at [at, at + length), codePoint, fits no identifier
};

struct NameProblem {
  NameFault fault = NameFault::None;
  std::size_t at = 0, length = 0;
  char32_t codePoint = 0;
};

// The first reason `name` is not an identifier in C# or 易语言. Every character outside ASCII
// counts as a letter but spaces, punctuation and symbols (full-width ones included).
NameProblem IdentifierProblem(std::string_view name);

// C0 controls, DEL, U+2028 and U+2029: they end or break a generated line.
bool IsControlCharacter(char32_t c);

// The first control character of `name` (bytes that are not UTF-8 are none).
std::optional<char32_t> FirstControlCharacter(std::string_view name);

}  // namespace kelvane
