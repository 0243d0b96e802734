// Start-up: --version and --help are answered before anything needs a display; otherwise the
// window (with its core and the core's worker thread), then the message loop. Closing the
// window while a command waits on the server ends the program at once.
#include <QApplication>
#include <cstdio>
#include <string_view>

#include "app/main_window.h"
#include "kelvane_version.h"
#include "os/platform.h"

namespace {

constexpr const char* kUsage =
    "Usage: kelvane [--help] [--version] [Qt options]\n"
    "Opens the Kelvane window: connect to a MySQL or MariaDB server, choose a database and a\n"
    "table, and get five source texts for it (易语言 custom data type, class module and set\n"
    "class; C# entity with list class; C# connection class), each with a copy button.\n"
    "\n"
    "Options:\n"
    "  --help     Print this help and exit\n"
    "  --version  Print the version and exit\n"
    "\n"
    "Qt's standard options (-platform, -display, -style, ...) are accepted as well.\n"
    "kelvane-gen does the same without a window and can write the texts to files.\n";

// Prints `text` to standard output; the exit status says whether it got there.
int Print(const char* text) {
  return std::fputs(text, stdout) >= 0 && std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char* argv[]) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument == "--version")
      return Print("kelvane " KELVANE_VERSION "\n");
    if (argument == "--help" || argument == "-h") return Print(kUsage);
  }
  // The window never checks a server's certificate (its connections ask for TLS when offered,
  // without verifying): the TLS library need not load the system's CA bundle at every database
  // choice. Set while the program has one thread.
  kelvane::os::SkipSystemCertificates();
  QApplication app(argc, argv);
  kelvane::MainWindow window;
  window.show();
  const int status = QApplication::exec();
  window.core().EndIfBusy(status);
  return status;
}
