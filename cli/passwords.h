#pragma once
// The MySQL client's password arguments: taken out of the command line before it is parsed,
// and overwritten in the process list.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kelvane::cli {

// Where the password starts inside a password argument ("--password=PW" or "-pPW"); 0 when the
// argument gives none (also for "-p" and "--password" alone, which ask for it).
std::size_t PasswordStart(std::string_view argument);

// The MySQL client's password arguments, taken out of the command line before it is parsed so
// that no parser message can show a password. "--password=PW" and "-pPW" give it ("--password="
// gives the empty one); "-p" or "--password" alone ask for it, and the next word is never taken
// as a password. The last one wins. Arguments after "--" are left alone.
struct PasswordArguments {
  std::vector<std::string> rest;      // the command line without them
  bool given = false;                 // password holds the password
  std::string password;
  bool ask = false;                   // ask for it without echo
  std::vector<std::string> afterAsk;  // the words right after a bare -p or --password
  std::string valueMissing;  // an option (e.g. "-u") directly before a password argument,
                             // which would otherwise have taken it as its value
};
PasswordArguments TakePasswordArguments(const std::vector<std::string>& arguments,
                                        const std::vector<std::string>& optionsWithValue);

// Overwrites the passwords of password arguments in the process's own argument vector with 'x',
// as the MySQL client does, so that the process list does not show them.
void HidePasswords(int argc, char** argv);

}  // namespace kelvane::cli
