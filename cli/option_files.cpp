#include "cli/option_files.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "cli/safe_names.h"
#include "os/platform.h"

namespace kelvane::cli {

namespace {

// Longer lines the library cuts into pieces that it reads as lines of their own.
constexpr std::size_t kLongestLine = 4000;

std::string Trim(std::string_view text) {
  std::size_t from = 0, to = text.size();
  while (from < to && std::isspace(static_cast<unsigned char>(text[from]))) ++from;
  while (to > from && std::isspace(static_cast<unsigned char>(text[to - 1]))) --to;
  return std::string(text.substr(from, to - from));
}

// Keys the client library must not see: secrets (handed over otherwise), TLS settings (the
// command line's win; resolved in tls_options.h), and keys that run statements or change what
// is read.
bool HiddenFromLibrary(const std::string& key) {
  return key == "password" || key == "ssl" || key.starts_with("ssl-") || key.starts_with("tls-") ||
         key.starts_with("server-public-key") || key == "get-server-public-key" ||
         key == "init-command" || key == "database" || key == "default-character-set";
}

bool OwnGroup(const std::string& group, const std::string& own) {
  return group == "client" || group == "client-server" || group == "client-mariadb" || group == own;
}

class Gatherer {
 public:
  explicit Gatherer(std::vector<std::string>& warnings) : warnings_(warnings) {}
  std::vector<OptionEntry> entries;

  void File(const std::string& path) {
    if (stack_.size() >= kMaxIncludeDepth || files_ >= kMaxOptionFiles) return;
    if (std::find(stack_.begin(), stack_.end(), path) != stack_.end()) return;  // includes itself
    std::string text;
    const int error = platform::ReadRegularFile(path, kMaxOptionFileBytes, text);
    if (error == ENOENT || error == ENOTDIR) return;
    ++files_;
    if (error == EINVAL) {
      warnings_.push_back("Warning: config file '" + Printable(path) + "' is not a regular file and is ignored");
      return;
    }
    if (error == EFBIG) {
      warnings_.push_back("Warning: config file '" + Printable(path) + "' is larger than " +
                          std::to_string(kMaxOptionFileBytes >> 20) + " MiB and is ignored");
      return;
    }
    if (error != 0) return;  // unreadable, as the library skips it
    if (platform::WorldWritable(path)) {
      warnings_.push_back("Warning: World-writable config file '" + Printable(path) + "' is ignored");
      return;
    }
    stack_.push_back(path);
    ReadOptionText(path, text, entries, [this](const std::string& included) { File(included); });
    stack_.pop_back();
  }

 private:
  std::vector<std::string> stack_;  // the files being read, outermost first
  std::vector<std::string>& warnings_;
  std::size_t files_ = 0;
};

}  // namespace

void ReadOptionText(const std::string& file, std::string_view text, std::vector<OptionEntry>& entries,
                    const std::function<void(const std::string&)>& include) {
  std::string group;  // empty: outside every group, as each file starts
  std::size_t from = 0;
  while (from < text.size()) {
    std::size_t to = text.find('\n', from);
    if (to == std::string::npos) to = text.size();
    const std::string_view raw(text.data() + from, to - from);
    from = to + 1;
    const std::string line = Trim(raw);
    if (line.empty() || line[0] == '#' || line[0] == ';') continue;
    if (line[0] == '!') {
      const std::size_t space = line.find_first_of(" \t");
      if (space == std::string::npos) continue;
      const std::string directive = line.substr(1, space - 1);
      const std::string value = Trim(std::string_view(line).substr(space + 1));
      std::string included;
      if (directive == "include") included = value;
      else if (directive == "includedir") included = value + "/my.cnf";  // as the library does
      else continue;
      include(included);
      continue;
    }
    if (raw.size() > kLongestLine) continue;  // the library would read it as several lines
    if (line[0] == '[') {
      const std::size_t close = line.find(']');
      if (close == std::string::npos) break;  // the library stops reading here
      group = Trim(std::string_view(line).substr(1, close - 1));
      continue;
    }
    if (group.empty()) {
      if (line[0] == '"' || line[0] == '\'') continue;
      break;  // the library stops reading a file at a setting outside any group
    }
    OptionEntry entry;
    entry.file = file;
    entry.group = group;
    const std::size_t equals = line.find('=');
    entry.key = Trim(std::string_view(line).substr(0, equals));
    std::replace(entry.key.begin(), entry.key.end(), '_', '-');
    if (entry.key.starts_with("loose-")) entry.key.erase(0, 6);
    entry.hasValue = equals != std::string::npos;
    if (entry.hasValue) {
      entry.raw = Trim(std::string_view(line).substr(equals + 1));
      entry.value = entry.raw;
      if (entry.value.size() >= 2 && (entry.value.front() == '"' || entry.value.front() == '\'') &&
          entry.value.back() == entry.value.front())
        entry.value = entry.value.substr(1, entry.value.size() - 2);
    }
    entries.push_back(std::move(entry));
  }
}

OptionText GatherOptionFiles(const std::string& home, const std::string& mysqlHome,
                             const std::string& group) {
  OptionText result;
  Gatherer gatherer(result.warnings);
  for (const std::string& file : platform::OptionFileLocations(home, mysqlHome)) gatherer.File(file);
  result.text = "[client]\n";
  for (OptionEntry& entry : gatherer.entries) {
    if (!OwnGroup(entry.group, group)) continue;
    if (entry.key == "password" && entry.hasValue) {
      result.password = entry.value;
      result.passwordGiven = true;
    }
    if (entry.key == "init-command" || entry.key == "database")
      result.notes.push_back(entry.key + " in [" + Printable(entry.group) + "] of " + Printable(entry.file) +
                             " is not used: kelvane-gen " +
                             (entry.key == "database" ? "reads the database named on its command line"
                                                      : "sends only its listing and column statements"));
    if (!HiddenFromLibrary(entry.key))
      result.text += entry.key + (entry.hasValue ? "=" + entry.raw : std::string()) + "\n";
    result.entries.push_back(std::move(entry));
  }
  result.text += "default-character-set=utf8mb4\n";
  return result;
}

std::string OptionTextFile(const std::string& text, std::string& error) {
  int code = 0;
  std::string name = platform::OptionTextFile(text, code);
  if (name.empty()) error = code != 0 ? std::strerror(code) : "unknown error";
  return name;
}

}  // namespace kelvane::cli
