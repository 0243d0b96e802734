#include "text/text.h"

#include <cstdio>

#include "text/gbk_codec.h"
#include "text/utf8.h"

namespace kelvane {

namespace {

constexpr std::string_view kFullWidthSpace = "\xE3\x80\x80";  // U+3000 in UTF-8

// Length of the space at the front of text (ASCII or full-width), 0 if none.
std::size_t SpaceAtFront(std::string_view text) {
  if (!text.empty() && text.front() == ' ') return 1;
  if (text.substr(0, kFullWidthSpace.size()) == kFullWidthSpace) return kFullWidthSpace.size();
  return 0;
}

std::size_t SpaceAtBack(std::string_view text) {
  if (!text.empty() && text.back() == ' ') return 1;
  if (text.size() >= kFullWidthSpace.size() &&
      text.substr(text.size() - kFullWidthSpace.size()) == kFullWidthSpace)
    return kFullWidthSpace.size();
  return 0;
}

// Offset of the first character of valid UTF-8 text that does not survive a round trip
// through GBK on its own; utf8.size() when every character does.
std::size_t FirstLostCharacter(std::string_view utf8) {
  std::string gbk, back;
  for (std::size_t i = 0; i < utf8.size();) {
    const std::size_t len = utf8::DecodeAt(utf8, i).length;
    const std::string_view character = utf8.substr(i, len);
    if (gbk_codec::FromUtf8(character, gbk) != len ||
        gbk_codec::ToUtf8(gbk, back) != gbk.size() || back != character)
      return i;
    i += len;
  }
  return utf8.size();
}

}  // namespace

std::string CodePointName(char32_t point) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "U+%04X", static_cast<unsigned>(point));
  return buf;
}

std::string Trim(std::string_view text) {
  while (std::size_t n = SpaceAtFront(text)) text.remove_prefix(n);
  while (std::size_t n = SpaceAtBack(text)) text.remove_suffix(n);
  return std::string(text);
}

std::string ToCrlf(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r') {
      out += kCrlf;
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else if (c == '\n') {
      out += kCrlf;
    } else {
      out += c;
    }
  }
  return out;
}

std::size_t CountCrlfLines(std::string_view text) {
  std::size_t lines = 0;
  for (std::size_t pos = text.find(kCrlf); pos != std::string_view::npos;
       pos = text.find(kCrlf, pos + 2))
    ++lines;
  return lines;
}

GbkConversion Utf8ToGbk(std::string_view utf8) {
  GbkConversion result;
  // Reject invalid UTF-8 ourselves so the report names the bad bytes precisely.
  for (std::size_t i = 0; i < utf8.size();) {
    const utf8::CodePoint c = utf8::DecodeAt(utf8, i);
    if (!c.valid) {
      result.badOffset = i;
      result.badCharacter = std::string(utf8.substr(i, c.length));
      return result;
    }
    i += c.length;
  }
  std::size_t stopped = gbk_codec::FromUtf8(utf8, result.bytes);
  if (stopped == gbk_codec::kNoConverter) {
    result.noConverter = true;
    result.bytes.clear();
    return result;
  }
  // A converter may drop a character without an error (iconv does with the Unicode tag
  // characters), so the part it converted only counts when it reads back as the very same UTF-8.
  const std::string_view converted = utf8.substr(0, stopped);
  std::string back;
  if (!GbkToUtf8(result.bytes, back) || back != converted) stopped = FirstLostCharacter(converted);
  if (stopped == utf8.size()) {
    result.ok = true;
    return result;
  }
  const utf8::CodePoint bad = utf8::DecodeAt(utf8, stopped);
  result.badOffset = stopped;
  result.badCharacter = std::string(utf8.substr(stopped, bad.length));
  result.badCodePoint = CodePointName(bad.value);
  result.bytes.clear();
  return result;
}

bool GbkToUtf8(std::string_view gbk, std::string& utf8) {
  return gbk_codec::ToUtf8(gbk, utf8) == gbk.size();
}

}  // namespace kelvane
