#pragma once
// The MySQL option files kelvane-gen reads, gathered into one text that the client library reads
// instead of the files themselves. The files, their order, the groups and the !include and
// !includedir directives are those the client library would read; what differs:
//   - a world-writable file is left out with the MySQL client's warning, also when included;
//   - the text ends by setting the connection's character set to utf8mb4, so that no
//     default-character-set in a file can make names arrive in another encoding.
#include <string>
#include <vector>

namespace kelvane::cli {

struct OptionText {
  std::string text;                   // for MYSQL_READ_DEFAULT_FILE
  std::vector<std::string> warnings;  // one line each, for standard error
};

// `home` is $HOME, `mysqlHome` the folder from $MARIADB_HOME (or $MYSQL_HOME when that is
// unset); empty when not set.
OptionText GatherOptionFiles(const std::string& home, const std::string& mysqlHome);

// The gathered text as a file name the client library can open without the text touching the
// disk (a memory file on Linux). Empty when none can be made.
std::string OptionTextFile(const std::string& text);

}  // namespace kelvane::cli
