#pragma once
// kelvane-gen: the command-line front end. Connects like the MySQL client, lists databases,
// tables and columns, and writes the generated texts to standard output or to files.
#include <string>
#include <vector>

#include "cli/failures.h"
#include "cli/passwords.h"

namespace kelvane::cli {

// Runs one command line (arguments without the program name) and returns the exit code.
int RunCli(const std::vector<std::string>& arguments);

}  // namespace kelvane::cli
