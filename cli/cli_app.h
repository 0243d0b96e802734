#pragma once
// kelvane-gen: the command-line front end. Connects like the MySQL client, lists databases,
// tables and columns, and writes the generated texts to standard output or to files.
#include <string>
#include <vector>

namespace kelvane::cli {

enum ExitCode : int {
  kExitOk = 0,
  kExitUsage = 1,
  kExitConnection = 2,  // connection or authentication failure
  kExitNotFound = 3,    // database or table not found
  kExitEncoding = 4,    // GBK cannot hold a character of a name
  kExitOther = 5,       // any other server error, or a file that cannot be written
  kExitInTheWay = 6,    // export: files the previous export did not write stand in the way
};

// The MySQL client's password spellings turned into the parser's: "-p" alone and "--password"
// alone ask for it, "-pSECRET" gives it. Arguments after "--" are left alone.
std::vector<std::string> NormalizePasswordArguments(std::vector<std::string> arguments);

// Runs one command line (arguments without the program name) and returns the exit code.
int RunCli(const std::vector<std::string>& arguments);

}  // namespace kelvane::cli
