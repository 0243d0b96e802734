#pragma once
// The MySQL option files kelvane-gen reads, read once by one reader into (group, key, value)
// entries. The files, their order, the groups and the !include and !includedir directives are
// those the client library would read; what differs:
//   - a world-writable file is left out with the MySQL client's warning, also when included;
//   - only regular files of at most kMaxOptionFileBytes are read (opened without blocking), at
//     most kMaxOptionFiles of them and kMaxOptionBytes together; each file once, however many
//     names lead to it (told by device and inode, volume and file index on Windows); an include
//     deeper than kMaxIncludeDepth is skipped;
//   - "loose-" before a key is dropped, as the mysql client does.
// From the entries come the password (handed to the connect call, never written anywhere), the
// TLS keys (resolved with the command line in tls_options.h) and the text the client library
// reads instead of the files, which holds neither: no password, no ssl-* or tls-* key, no
// server-public-key(-path) or get-server-public-key (resolved with the TLS keys), no
// init-command or database, and it ends by setting the character set to utf8mb4, so that no
// default-character-set in a file can make names arrive in another encoding.
#include <cstddef>
#include <functional>
#include <string_view>
#include <string>
#include <vector>

namespace kelvane::cli {

inline constexpr std::size_t kMaxOptionFileBytes = 1 << 20;
inline constexpr std::size_t kMaxOptionFiles = 256;
inline constexpr std::size_t kMaxOptionBytes = 4 << 20;
inline constexpr unsigned kMaxIncludeDepth = 16;

struct OptionEntry {
  std::string file;
  std::string group;  // as in its header, without the brackets
  std::string key;    // '_' read as '-', "loose-" dropped
  std::string value;  // as the client reads it: a '#' outside quotes ends it, surrounding
                      // spaces and one pair of quotes go, the client's backslash escapes apply
  bool hasValue = false;  // "key=..." rather than "key" alone
};

// Reads `text` as one option file named `file`, appending its entries in order; `include` is
// called in place for each !include (with the named file) and !includedir (with the folder's
// my.cnf). Stops where the client library stops reading a file (a key outside every group, a
// header without its ']').
void ReadOptionText(const std::string& file, std::string_view text, std::vector<OptionEntry>& entries,
                    const std::function<void(const std::string&)>& include);

struct OptionText {
  std::vector<OptionEntry> entries;   // the groups kelvane-gen reads ([client], [kelvane-gen], ...)
  std::string text;                   // for MYSQL_READ_DEFAULT_FILE: no secrets, see above
  std::string password;               // the last password of those groups
  bool passwordGiven = false;
  std::vector<std::string> warnings;  // one line each, for standard error
  std::vector<std::string> problems;  // files the client refuses (a byte-order mark): kelvane-gen
                                      // stops, as the client does
  std::vector<std::string> notes;     // keys left out, for --verbose
};

// `home` is $HOME, `mysqlHome` the folder from $MARIADB_HOME (or $MYSQL_HOME when that is
// unset); empty when not set. `group` is the program's own group.
OptionText GatherOptionFiles(const std::string& home, const std::string& mysqlHome,
                             const std::string& group);

// The gathered text as a file name the client library can open (a memory file on Linux). Empty
// when none can be made, with `error` set to the reason.
std::string OptionTextFile(const std::string& text, std::string& error);

}  // namespace kelvane::cli
