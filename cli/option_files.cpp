#include "cli/option_files.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <set>

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

// The line up to a '#' that stands outside quotes, as the client reads it (a backslash protects
// a quote only inside quotes).
std::string_view WithoutEndComment(std::string_view line) {
  char quote = 0;
  bool escaped = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if ((c == '\'' || c == '"') && !escaped) {
      if (!quote) quote = c;
      else if (quote == c) quote = 0;
    }
    if (!quote && c == '#') return line.substr(0, i);
    escaped = quote && c == '\\' && !escaped;
  }
  return line;
}

// A value as the client reads it: surrounding spaces dropped, then one pair of the same quotes
// around it, then the escapes \n \t \r \b \s \" \' \\ (any other backslash stays, as does
// one at the end).
std::string Unquoted(std::string_view text) {
  std::string value = Trim(text);
  std::string_view inner = value;
  if (inner.size() >= 2 && (inner.front() == '"' || inner.front() == '\'') && inner.back() == inner.front())
    inner = inner.substr(1, inner.size() - 2);
  std::string out;
  for (std::size_t i = 0; i < inner.size(); ++i) {
    if (inner[i] != '\\' || i + 1 == inner.size()) {
      out += inner[i];
      continue;
    }
    switch (const char next = inner[++i]) {
      case 'n': out += '\n'; break;
      case 't': out += '\t'; break;
      case 'r': out += '\r'; break;
      case 'b': out += '\b'; break;
      case 's': out += ' '; break;
      case '"': case '\'': case '\\': out += next; break;
      default: out += '\\', out += next;
    }
  }
  return out;
}

// A value written so that Connector/C's own reader gives it back unchanged: in double quotes,
// with the escapes that reader knows.
std::string LibraryQuoted(std::string_view value) {
  std::string out = "\"";
  for (char c : value) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '"': out += "\\\""; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      case '\b': out += "\\b"; break;
      default: out += c;
    }
  }
  return out + "\"";
}

bool OwnGroup(const std::string& group, const std::string& own) {
  return group == "client" || group == "client-server" || group == "client-mariadb" || group == own;
}

class Gatherer {
 public:
  Gatherer(std::vector<std::string>& warnings, std::vector<std::string>& problems)
      : warnings_(warnings), problems_(problems) {}
  std::vector<OptionEntry> entries;

  void File(const std::string& path) {
    if (depth_ >= kMaxIncludeDepth || files_ >= kMaxOptionFiles || bytes_ >= kMaxOptionBytes) return;
    std::string text;
    platform::FileIdentity identity;
    const int error = platform::ReadRegularFile(path, kMaxOptionFileBytes, text, identity);
    if (error == ENOENT || error == ENOTDIR) return;
    ++files_;
    // Every spelling of a file that was read already (dir/./f, a link, itself) is that file.
    if (error == 0 && !seen_.insert(identity).second) return;
    bytes_ += text.size();
    if (bytes_ > kMaxOptionBytes) {
      warnings_.push_back("Warning: the option files together are larger than " +
                          std::to_string(kMaxOptionBytes >> 20) + " MiB; '" + Printable(path) +
                          "' and the files after it are ignored");
      return;
    }
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
    // The client reads the mark as a setting outside every group and refuses the file.
    if (text.starts_with("\xEF\xBB\xBF")) {
      problems_.push_back("the option file " + Printable(path) +
                          " starts with a UTF-8 byte-order mark, which the MySQL client refuses; "
                          "save it without the mark");
      return;
    }
    ++depth_;
    ReadOptionText(path, text, entries, [this](const std::string& included) { File(included); });
    --depth_;
  }

 private:
  std::set<platform::FileIdentity> seen_;  // each file is read once
  std::vector<std::string>& warnings_;
  std::vector<std::string>& problems_;
  unsigned depth_ = 0;
  std::size_t files_ = 0;
  std::size_t bytes_ = 0;
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
    const std::string_view setting = WithoutEndComment(line);
    const std::size_t equals = setting.find('=');
    entry.key = Trim(setting.substr(0, equals));
    std::replace(entry.key.begin(), entry.key.end(), '_', '-');
    if (entry.key.starts_with("loose-")) entry.key.erase(0, 6);
    entry.hasValue = equals != std::string::npos;
    if (entry.hasValue) entry.value = Unquoted(setting.substr(equals + 1));
    entries.push_back(std::move(entry));
  }
}

OptionText GatherOptionFiles(const std::string& home, const std::string& mysqlHome,
                             const std::string& group) {
  OptionText result;
  Gatherer gatherer(result.warnings, result.problems);
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
    const std::string line = entry.key + (entry.hasValue ? "=" + LibraryQuoted(entry.value) : std::string());
    // A longer line the library would read as several.
    if (!HiddenFromLibrary(entry.key) && !entry.key.empty() && line.size() <= kLongestLine) result.text += line + "\n";
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
