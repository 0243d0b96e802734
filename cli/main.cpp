#include <string>
#include <vector>

#include "cli/cli_app.h"
#include "cli/messages.h"
#include "cli/passwords.h"
#include "os/platform.h"

int main(int argc, char** argv) {
  if (!kelvane::os::PrepareStandardStreams()) return kelvane::cli::kExitOther;
  const std::vector<std::string> arguments = kelvane::os::Arguments(argc, argv);
  kelvane::cli::HidePasswords(argc, argv);
  if (!kelvane::os::HideCommandLinePasswords(&kelvane::cli::PasswordStart))
    kelvane::cli::Error("warning: the password on the command line could not be overwritten; other "
                        "processes can read it (use -p or an option file)");
  return kelvane::cli::RunCli(arguments);
}
