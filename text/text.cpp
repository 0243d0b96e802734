#include "text/text.h"

#include <cstdio>

#include "text/gbk_codec.h"

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

// Length of the UTF-8 sequence starting at text[0]; 1 for a byte that starts none.
std::size_t Utf8SequenceLength(std::string_view text) {
  const auto lead = static_cast<unsigned char>(text[0]);
  std::size_t len = 1;
  if (lead >= 0xF0 && lead <= 0xF4) len = 4;
  else if (lead >= 0xE0 && lead <= 0xEF) len = 3;
  else if (lead >= 0xC2 && lead <= 0xDF) len = 2;
  // The second byte's range rules out overlong forms, surrogates and code points past U+10FFFF.
  if (len > 1 && text.size() > 1) {
    const auto second = static_cast<unsigned char>(text[1]);
    const unsigned char low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
    const unsigned char high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
    if (second < low || second > high) return 1;
  }
  if (len > text.size()) return text.size();
  for (std::size_t i = 1; i < len; ++i)
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) return i;
  return len;
}

std::string CodePointName(std::string_view seq) {
  const auto b = [&](std::size_t i) { return static_cast<unsigned char>(seq[i]); };
  unsigned cp = 0;
  if (seq.size() == 1 && b(0) < 0x80) cp = b(0);
  else if (seq.size() == 2) cp = ((b(0) & 0x1F) << 6) | (b(1) & 0x3F);
  else if (seq.size() == 3) cp = ((b(0) & 0x0F) << 12) | ((b(1) & 0x3F) << 6) | (b(2) & 0x3F);
  else if (seq.size() == 4)
    cp = ((b(0) & 0x07) << 18) | ((b(1) & 0x3F) << 12) | ((b(2) & 0x3F) << 6) | (b(3) & 0x3F);
  else return {};
  char buf[16];
  std::snprintf(buf, sizeof buf, "U+%04X", cp);
  return buf;
}

// Offset of the first character of valid UTF-8 text that does not survive a round trip
// through GBK on its own; utf8.size() when every character does.
std::size_t FirstLostCharacter(std::string_view utf8) {
  std::string gbk, back;
  for (std::size_t i = 0; i < utf8.size();) {
    const std::size_t len = Utf8SequenceLength(utf8.substr(i));
    const std::string_view character = utf8.substr(i, len);
    if (gbk_codec::FromUtf8(character, gbk) != len ||
        gbk_codec::ToUtf8(gbk, back) != gbk.size() || back != character)
      return i;
    i += len;
  }
  return utf8.size();
}

}  // namespace

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
    const std::size_t len = Utf8SequenceLength(utf8.substr(i));
    const auto lead = static_cast<unsigned char>(utf8[i]);
    const bool valid = lead < 0x80 || (len >= 2 && len == (lead >= 0xF0 ? 4u : lead >= 0xE0 ? 3u : 2u));
    if (!valid) {
      result.badOffset = i;
      result.badCharacter = std::string(utf8.substr(i, len));
      return result;
    }
    i += len;
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
  const std::size_t len = Utf8SequenceLength(utf8.substr(stopped));
  result.badOffset = stopped;
  result.badCharacter = std::string(utf8.substr(stopped, len));
  result.badCodePoint = CodePointName(result.badCharacter);
  result.bytes.clear();
  return result;
}

bool GbkToUtf8(std::string_view gbk, std::string& utf8) {
  return gbk_codec::ToUtf8(gbk, utf8) == gbk.size();
}

}  // namespace kelvane
