#pragma once
// The one UTF-8 decoder of the program. Strict: overlong forms, surrogates (U+D800-U+DFFF),
// code points past U+10FFFF and sequences cut short are invalid, as the Unicode standard has it.
#include <cstddef>
#include <string>
#include <string_view>

namespace kelvane::utf8 {

struct CodePoint {
  char32_t value = 0;      // the code point; meaningless when !valid
  std::size_t length = 1;  // bytes it takes; for invalid bytes, the longest start of a sequence
                           // that could still have been valid (at least 1, the "maximal subpart")
  bool valid = false;
};

// Decodes the code point starting at text[at] (at < text.size()).
CodePoint DecodeAt(std::string_view text, std::size_t at);

// True when every byte of text belongs to a valid sequence.
bool IsValid(std::string_view text);

// Number of bytes at the end of text that start a valid sequence which the text cuts short
// (0-3): what a writer holds back until the rest arrives.
std::size_t IncompleteTail(std::string_view text);

// The longest start of text of at most `limit` bytes that does not end inside a valid sequence.
std::string_view CutAt(std::string_view text, std::size_t limit);

// Appends the UTF-8 form of a code point (a Unicode scalar value).
void Append(std::string& out, char32_t point);

}  // namespace kelvane::utf8
