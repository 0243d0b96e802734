#pragma once
// The platform's converter between UTF-8 and GBK (code page 936) under text.cpp: iconv on
// Linux and other POSIX systems (gbk_iconv.cpp), the Win32 code-page functions on Windows
// (gbk_win32.cpp). text.cpp adds the checks both share (invalid UTF-8, the round trip, the
// first character GBK cannot hold).
#include <cstddef>
#include <string>
#include <string_view>

namespace kelvane::gbk_codec {

// Converts as much of `utf8` as it can into `gbk` (replacing its content). Returns the offset
// in `utf8` of the character where conversion stopped: utf8.size() when all of it converted.
// A character GBK cannot hold stops it; a converter that drops a character silently instead is
// caught by the caller's round trip.
// kNoConverter when the system has no converter at all (iconv_open failed).
std::size_t FromUtf8(std::string_view utf8, std::string& gbk);

inline constexpr std::size_t kNoConverter = static_cast<std::size_t>(-1);

// The other way; returns the offset in `gbk` where conversion stopped (gbk.size() when all of
// it converted): at bytes that are not GBK.
std::size_t ToUtf8(std::string_view gbk, std::string& utf8);

}  // namespace kelvane::gbk_codec
