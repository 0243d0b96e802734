#pragma once
// kelvane-gen's options and commands as the parser knows them, bound to one Settings.
#include <CLI/CLI.hpp>
#include <string>
#include <vector>

#include "cli/settings.h"

namespace kelvane::cli {

class CommandLine {
 public:
  explicit CommandLine(Settings& settings);
  CommandLine(const CommandLine&) = delete;
  CommandLine& operator=(const CommandLine&) = delete;

  // Every option spelling ("-u", "--user") that takes a value.
  std::vector<std::string> OptionsWithValue() const;

  CLI::App app;
  CLI::App* databases = nullptr;
  CLI::App* tables = nullptr;
  CLI::App* columns = nullptr;
  CLI::App* generate = nullptr;
  CLI::App* exporter = nullptr;

 private:
  // The password options are taken out before parsing (passwords.h); declared for the help only.
  std::string unusedPassword_;
  bool unusedAsk_ = false;
};

}  // namespace kelvane::cli
