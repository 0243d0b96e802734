#include <windows.h>

#include <climits>

#include "text/gbk_codec.h"
#include "text/utf8.h"

namespace kelvane::gbk_codec {

namespace {

constexpr UINT kGbk = 936;

// Converts the whole input between a byte code page and UTF-16 and on to the other byte code
// page; false when any character does not make it. No best-fit mapping (no "similar looking"
// stand-ins) and no default character: a character that has no place is a failure.
bool ConvertWhole(UINT from, UINT to, std::string_view input, std::string& out) {
  out.clear();
  if (input.empty()) return true;
  if (input.size() > INT_MAX / 2) return false;
  const int inLength = static_cast<int>(input.size());
  const int wideLength = ::MultiByteToWideChar(from, MB_ERR_INVALID_CHARS, input.data(), inLength,
                                               nullptr, 0);
  if (wideLength <= 0) return false;
  std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
  ::MultiByteToWideChar(from, MB_ERR_INVALID_CHARS, input.data(), inLength, wide.data(), wideLength);
  // WC_NO_BEST_FIT_CHARS and the used-default flag do not exist for UTF-8 as the target; there
  // WC_ERR_INVALID_CHARS refuses lone surrogates instead.
  const DWORD flags = to == CP_UTF8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
  BOOL usedDefault = FALSE;
  BOOL* usedDefaultFlag = to == CP_UTF8 ? nullptr : &usedDefault;
  const int outLength = ::WideCharToMultiByte(to, flags, wide.data(), wideLength, nullptr, 0,
                                              nullptr, usedDefaultFlag);
  if (outLength <= 0 || usedDefault) return false;
  out.resize(static_cast<std::size_t>(outLength));
  ::WideCharToMultiByte(to, flags, wide.data(), wideLength, out.data(), outLength, nullptr,
                        usedDefaultFlag);
  return !usedDefault;
}

// Length of the character at text[0]: a UTF-8 sequence (or the invalid bytes the decoder
// takes together), or a GBK byte pair.
std::size_t Utf8CharacterLength(std::string_view text) { return utf8::DecodeAt(text, 0).length; }

std::size_t GbkCharacterLength(std::string_view text) {
  const auto lead = static_cast<unsigned char>(text[0]);
  return lead >= 0x81 && lead <= 0xFE && text.size() >= 2 ? 2 : 1;
}

// The Win32 functions convert all or nothing; when the whole input fails, this finds the first
// character that does not convert on its own and keeps what came before it.
std::size_t Convert(UINT from, UINT to, std::size_t (*characterLength)(std::string_view),
                    std::string_view input, std::string& out) {
  if (ConvertWhole(from, to, input, out)) return input.size();
  out.clear();
  std::string piece;
  for (std::size_t at = 0; at < input.size();) {
    const std::size_t len = characterLength(input.substr(at));
    if (!ConvertWhole(from, to, input.substr(at, len), piece)) return at;
    out += piece;
    at += len;
  }
  return input.size();
}

}  // namespace

std::size_t FromUtf8(std::string_view utf8, std::string& gbk) {
  return Convert(CP_UTF8, kGbk, Utf8CharacterLength, utf8, gbk);
}

std::size_t ToUtf8(std::string_view gbk, std::string& utf8) {
  return Convert(kGbk, CP_UTF8, GbkCharacterLength, gbk, utf8);
}

}  // namespace kelvane::gbk_codec
