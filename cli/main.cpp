#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/cli_app.h"

namespace {

// Descriptors 0-2 closed at start would be taken by the next file or socket the program opens,
// and the listing would go to the server. Opens /dev/null in their place.
void OpenClosedStandardStreams() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    const int opened = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
    if (opened < 0) std::_Exit(kelvane::cli::kExitOther);
    if (opened != fd) {
      ::dup2(opened, fd);
      ::close(opened);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  OpenClosedStandardStreams();
  std::vector<std::string> arguments(argv + 1, argv + argc);
  kelvane::cli::HidePasswords(argc, argv);
  return kelvane::cli::RunCli(arguments);
}
