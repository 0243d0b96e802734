#include "text/utf8.h"

namespace kelvane::utf8 {

CodePoint DecodeAt(std::string_view text, std::size_t at) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80) return {lead, 1, true};
  std::size_t length = 0;
  char32_t point = 0;
  if (lead >= 0xC2 && lead <= 0xDF) length = 2, point = lead & 0x1F;
  else if (lead >= 0xE0 && lead <= 0xEF) length = 3, point = lead & 0x0F;
  else if (lead >= 0xF0 && lead <= 0xF4) length = 4, point = lead & 0x07;
  else return {};  // a continuation byte, C0/C1 (only overlong forms) or F5-FF
  // The second byte's range rules out overlong forms, surrogates and code points past U+10FFFF.
  const unsigned char low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
  const unsigned char high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
  const std::size_t available = text.size() - at;
  for (std::size_t i = 1; i < length; ++i) {
    if (i >= available) return {0, i, false};
    const unsigned char next = byte(i);
    if (i == 1 ? next < low || next > high : (next & 0xC0) != 0x80) return {0, i, false};
    point = (point << 6) | (next & 0x3F);
  }
  return {point, length, true};
}

bool IsValid(std::string_view text) {
  for (std::size_t at = 0; at < text.size();) {
    const CodePoint c = DecodeAt(text, at);
    if (!c.valid) return false;
    at += c.length;
  }
  return true;
}

std::size_t IncompleteTail(std::string_view text) {
  // A cut-short sequence is at most 3 bytes; find the one that runs into the end.
  for (std::size_t back = 1; back <= 3 && back <= text.size(); ++back) {
    const std::size_t at = text.size() - back;
    const CodePoint c = DecodeAt(text, at);
    if (!c.valid && c.length == back && static_cast<unsigned char>(text[at]) >= 0xC2 &&
        static_cast<unsigned char>(text[at]) <= 0xF4)
      return back;
  }
  return 0;
}

std::string_view CutAt(std::string_view text, std::size_t limit) {
  if (text.size() <= limit) return text;
  std::size_t end = 0;
  for (std::size_t at = 0; at < limit;) {
    const CodePoint c = DecodeAt(text, at);
    if (at + c.length > limit) break;
    at += c.length;
    end = at;
  }
  return text.substr(0, end);
}

void Append(std::string& out, char32_t point) {
  if (point < 0x80) {
    out += static_cast<char>(point);
  } else if (point < 0x800) {
    out += static_cast<char>(0xC0 | (point >> 6));
    out += static_cast<char>(0x80 | (point & 0x3F));
  } else if (point < 0x10000) {
    out += static_cast<char>(0xE0 | (point >> 12));
    out += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (point & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (point >> 18));
    out += static_cast<char>(0x80 | ((point >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (point & 0x3F));
  }
}

}  // namespace kelvane::utf8
