#include "cli/passwords.h"

#include <algorithm>
#include <cstring>

namespace kelvane::cli {

std::size_t PasswordStart(std::string_view argument) {
  if (argument.starts_with("--password=")) return std::string_view("--password=").size();
  if (argument.size() > 2 && argument.starts_with("-p")) return 2;
  return 0;
}

PasswordArguments TakePasswordArguments(const std::vector<std::string>& arguments,
                                        const std::vector<std::string>& optionsWithValue) {
  PasswordArguments result;
  bool afterDashes = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    afterDashes = afterDashes || argument == "--";
    const std::size_t start = afterDashes ? 0 : PasswordStart(argument);
    const bool ask = !afterDashes && (argument == "-p" || argument == "--password");
    if (start == 0 && !ask) {
      result.rest.push_back(argument);
      continue;
    }
    if (i > 0 && result.valueMissing.empty() &&
        std::find(optionsWithValue.begin(), optionsWithValue.end(), arguments[i - 1]) !=
            optionsWithValue.end())
      result.valueMissing = arguments[i - 1];
    result.ask = ask;
    result.given = !ask;
    result.password = ask ? std::string() : argument.substr(start);
    if (ask && i + 1 < arguments.size()) result.afterAsk.push_back(arguments[i + 1]);
  }
  return result;
}

void HidePasswords(int argc, char** argv) {
  for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i)
    if (const std::size_t start = PasswordStart(argv[i]))
      for (char* c = argv[i] + start; *c != '\0'; ++c) *c = 'x';
}

}  // namespace kelvane::cli
