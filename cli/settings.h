#pragma once
// Everything kelvane-gen's command line can say, as the commands read it.
#include <map>
#include <string>
#include <vector>

#include "cli/table_export.h"
#include "cli/tls_options.h"
#include "generators/generators.h"
#include "schema/mysql_access.h"
#include "schema/schema_commands.h"

namespace kelvane::cli {

inline constexpr const char* kOptionGroup = "kelvane-gen";

struct Settings {
  std::string host = "127.0.0.1";
  unsigned port = kDefaultPort;
  std::string user = "root";
  std::string password;
  bool passwordGiven = false;
  bool askPassword = false;
  bool boolTinyint1 = false;

  std::string database;
  std::string table;
  std::vector<std::string> tables;
  std::string pane;
  std::string encoding;  // empty: the command's default
  std::string out;
  bool force = false;
  bool check = false;     // export --check
  std::string key;        // --key: a column name or "auto"; empty: the first column
  bool comments = false;  // --comments
  std::string optionFile;  // the gathered option files; empty: none are read
  TlsSettings tls;
  ConnectOptions connect;  // the TLS settings resolved from the command line and option files
};

// The --pane names.
const std::map<std::string, Pane>& PaneNames();

// --encoding, or `fallback` when it was not given.
Encoding ChosenEncoding(const Settings& settings, Encoding fallback);

}  // namespace kelvane::cli
