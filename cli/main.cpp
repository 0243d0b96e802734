#include <string>
#include <vector>

#include "cli/cli_app.h"

int main(int argc, char** argv) {
  return kelvane::cli::RunCli(std::vector<std::string>(argv + 1, argv + argc));
}
