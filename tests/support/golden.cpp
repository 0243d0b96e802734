#include "support/golden.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <vector>

namespace kelvane::testing {

namespace {

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t nl = text.find('\n', start);
    if (nl == std::string::npos) nl = text.size() - 1;
    lines.push_back(text.substr(start, nl - start + 1));
    start = nl + 1;
  }
  return lines;
}

std::string Visible(const std::string& line) {
  std::string out;
  for (char c : line) {
    if (c == ' ') out += "·";
    else if (c == '\r') out += "␍";
    else if (c == '\n') out += "␊";
    else out += c;
  }
  return out;
}

std::string Hex(const std::string& line) {
  std::string out;
  char buf[4];
  for (unsigned char c : line) {
    std::snprintf(buf, sizeof buf, "%02X ", c);
    out += buf;
  }
  return out;
}

}  // namespace

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::size_t cut = end;
    if (cut > start && text[cut - 1] == '\r') --cut;
    lines.push_back(text.substr(start, cut - start));
    start = end + 1;
  }
  return lines;
}

std::string ReadGolden(const std::string& relativePath) {
  const std::string path = std::string(KELVANE_GOLDEN_DIR) + "/" + relativePath;
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    ADD_FAILURE() << "missing golden file " << path;
    return {};
  }
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

::testing::AssertionResult BytesEqual(const std::string& expected, const std::string& actual) {
  if (expected == actual) return ::testing::AssertionSuccess();
  const auto want = SplitLines(expected);
  const auto got = SplitLines(actual);
  std::size_t i = 0;
  while (i < want.size() && i < got.size() && want[i] == got[i]) ++i;
  auto failure = ::testing::AssertionFailure();
  failure << "texts differ (expected " << expected.size() << " bytes in " << want.size()
          << " lines, got " << actual.size() << " bytes in " << got.size() << " lines)\n"
          << "first difference at line " << (i + 1) << ":\n";
  if (i > 0) failure << "  before    : " << Visible(want[i - 1]) << "\n";
  if (i < want.size())
    failure << "  expected  : " << Visible(want[i]) << "\n              " << Hex(want[i]) << "\n";
  else
    failure << "  expected  : (end of text)\n";
  if (i < got.size())
    failure << "  actual    : " << Visible(got[i]) << "\n              " << Hex(got[i]) << "\n";
  else
    failure << "  actual    : (end of text)\n";
  return failure;
}

}  // namespace kelvane::testing
