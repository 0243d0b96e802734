#include <iconv.h>

#include <cerrno>
#include <vector>

#include "text/gbk_codec.h"

namespace kelvane::gbk_codec {

namespace {

// Runs iconv over the whole input. Returns the input offset where conversion stopped
// (input.size() when everything converted).
std::size_t Convert(const char* to, const char* from, std::string_view input, std::string& out) {
  out.clear();
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return kNoConverter;
  std::vector<char> buffer(input.size() * 2 + 16);
  char* in = const_cast<char*>(input.data());
  std::size_t inLeft = input.size();
  char* outPtr = buffer.data();
  std::size_t outLeft = buffer.size();
  std::size_t stopped = input.size();
  while (inLeft > 0) {
    if (iconv(cd, &in, &inLeft, &outPtr, &outLeft) != static_cast<std::size_t>(-1)) break;
    if (errno == E2BIG) {
      const std::size_t used = buffer.size() - outLeft;
      buffer.resize(buffer.size() * 2);
      outPtr = buffer.data() + used;
      outLeft = buffer.size() - used;
      continue;
    }
    stopped = input.size() - inLeft;  // EILSEQ or EINVAL: this character cannot be converted
    break;
  }
  out.assign(buffer.data(), buffer.size() - outLeft);
  iconv_close(cd);
  return stopped;
}

}  // namespace

std::size_t FromUtf8(std::string_view utf8, std::string& gbk) {
  return Convert("GBK", "UTF-8", utf8, gbk);
}

std::size_t ToUtf8(std::string_view gbk, std::string& utf8) {
  const std::size_t stopped = Convert("UTF-8", "GBK", gbk, utf8);
  return stopped == kNoConverter ? 0 : stopped;
}

}  // namespace kelvane::gbk_codec
