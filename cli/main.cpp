#include <string>
#include <vector>

#include "cli/cli_app.h"
#include "os/platform.h"

int main(int argc, char** argv) {
  if (!kelvane::os::PrepareStandardStreams()) return kelvane::cli::kExitOther;
  const std::vector<std::string> arguments = kelvane::os::Arguments(argc, argv);
  kelvane::cli::HidePasswords(argc, argv);
  return kelvane::cli::RunCli(arguments);
}
