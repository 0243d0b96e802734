#pragma once
// Text helpers shared by the schema layer, the generators and the front ends.
// All text inside the program is UTF-8; GBK only appears at the file boundary.
#include <cstddef>
#include <string>
#include <string_view>

namespace kelvane {

inline constexpr std::string_view kCrlf = "\r\n";

// Removes leading and trailing ASCII spaces and full-width spaces (U+3000).
// Tabs and line breaks are kept.
std::string Trim(std::string_view text);

// Turns every line break (LF, CR LF or a lone CR) into CR LF.
std::string ToCrlf(std::string_view text);

// A code point as "U+0020" (at least four hex digits).
std::string CodePointName(char32_t point);

// Number of lines in a text whose lines all end with CR LF (counts CR LF pairs).
std::size_t CountCrlfLines(std::string_view text);

struct GbkConversion {
  bool ok = false;
  std::string bytes;            // the GBK text when ok
  std::size_t badOffset = 0;    // byte offset in the UTF-8 input of the first character GBK cannot hold
  std::string badCharacter;     // that character as UTF-8 (or the invalid bytes)
  std::string badCodePoint;     // "U+AC00" style, empty for invalid UTF-8
  bool noConverter = false;     // the system offers no GBK converter: nothing could be checked
};

// Converts UTF-8 to GBK (code page 936). On failure reports the first character that
// GBK cannot hold, or the first invalid UTF-8 sequence.
GbkConversion Utf8ToGbk(std::string_view utf8);

// Converts GBK back to UTF-8; returns false on bytes that are not valid GBK.
bool GbkToUtf8(std::string_view gbk, std::string& utf8);

}  // namespace kelvane
