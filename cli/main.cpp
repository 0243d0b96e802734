#include <string>
#include <vector>

#include "cli/cli_app.h"
#include "cli/platform.h"

int main(int argc, char** argv) {
  kelvane::cli::platform::PrepareStandardStreams();
  const std::vector<std::string> arguments = kelvane::cli::platform::Arguments(argc, argv);
  kelvane::cli::HidePasswords(argc, argv);
  return kelvane::cli::RunCli(arguments);
}
