#include "generators/remarks.h"

namespace kelvane {

namespace {

// Length of the control character at the start of `text` (C0, DEL, C1 in UTF-8, U+2028,
// U+2029), or 0.
std::size_t ControlLength(std::string_view text) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  if (byte(0) < 0x20 || byte(0) == 0x7F) return 1;
  if (text.size() >= 2 && byte(0) == 0xC2 && byte(1) >= 0x80 && byte(1) <= 0x9F) return 2;
  if (text.size() >= 3 && byte(0) == 0xE2 && byte(1) == 0x80 && (byte(2) == 0xA8 || byte(2) == 0xA9))
    return 3;
  return 0;
}

}  // namespace

std::vector<std::string> CommentsOf(const ColumnFactsList& facts) {
  std::vector<std::string> comments;
  comments.reserve(facts.size());
  for (const ColumnFacts& fact : facts) comments.push_back(fact.comment);
  return comments;
}

std::string OneLineRemark(std::string_view comment) {
  std::string line;
  line.reserve(comment.size());
  bool inRun = false;
  while (!comment.empty()) {
    const std::size_t control = ControlLength(comment);
    if (control > 0) {
      if (!inRun) line += ' ';
      inRun = true;
      comment.remove_prefix(control);
      continue;
    }
    inRun = false;
    line += comment.front();
    comment.remove_prefix(1);
  }
  const std::size_t first = line.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return line.substr(first, line.find_last_not_of(' ') - first + 1);
}

std::string XmlText(std::string_view text) {
  std::string xml;
  xml.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&': xml += "&amp;"; break;
      case '<': xml += "&lt;"; break;
      case '>': xml += "&gt;"; break;
      default: xml += c;
    }
  }
  return xml;
}

}  // namespace kelvane
