#include "cli/option_files.h"

#include <algorithm>
#include <cctype>
#include <fstream>

#include "os/platform.h"

namespace kelvane::cli {

namespace {

// The client library stops following includes this deep.
constexpr unsigned kMaxDepth = 64;
// Longer lines the library cuts into pieces that it reads as lines of their own.
constexpr std::size_t kLongestLine = 4000;
// A group no program reads: each file starts in it, as the library starts each file outside
// every group, and keys before the first group header end the file there as in the library.
constexpr const char* kNoGroup = "[kelvane-gen: no group]\n";

std::string TrimLeft(const std::string& line) {
  std::size_t at = 0;
  while (at < line.size() && std::isspace(static_cast<unsigned char>(line[at]))) ++at;
  return line.substr(at);
}

class Gatherer {
 public:
  OptionText result;

  void File(const std::string& path, unsigned depth) {
    if (depth >= kMaxDepth) return;
    std::ifstream in(platform::Utf8Path(path), std::ios::binary);
    if (!in) return;
    if (platform::WorldWritable(path)) {
      result.warnings.push_back("Warning: World-writable config file '" + path + "' is ignored");
      return;
    }
    result.text += kNoGroup;
    std::string group;  // the header of the group this file is in
    for (std::string line; std::getline(in, line);) {
      const std::string start = TrimLeft(line);
      if (start.starts_with("!")) {
        const std::size_t space = start.find(' ');
        if (space == std::string::npos) continue;
        const std::string directive = start.substr(1, space - 1);
        std::string value = start.substr(space + 1);
        while (!value.empty() && std::isspace(static_cast<unsigned char>(value.back()))) value.pop_back();
        if (directive == "include") File(value, depth + 1);
        else if (directive == "includedir") File(value + "/my.cnf", depth + 1);  // as the library does
        result.text += group.empty() ? kNoGroup : group;
        continue;
      }
      if (line.size() > kLongestLine) continue;  // the library would read it as several lines
      if (start.starts_with("[")) {
        if (start.find(']') == std::string::npos) break;  // the library stops reading here
        group = start + "\n";
      } else if (group.empty() && !start.empty() && start[0] != '#' && start[0] != ';' &&
               start[0] != '"' && start[0] != '\'')
        break;  // the library stops reading a file at a setting outside any group
      result.text += line + "\n";
    }
  }
};

}  // namespace

OptionText GatherOptionFiles(const std::string& home, const std::string& mysqlHome) {
  Gatherer gatherer;
  for (const std::string& file : platform::OptionFileLocations(home, mysqlHome)) gatherer.File(file, 0);
  gatherer.result.text += "[client]\ndefault-character-set=utf8mb4\n";
  return gatherer.result;
}

std::string OptionTextFile(const std::string& text) { return platform::OptionTextFile(text); }

}  // namespace kelvane::cli
