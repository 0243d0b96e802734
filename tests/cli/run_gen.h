#pragma once
// Runs the built kelvane-gen binary as a user would, with a clean environment: HOME points at an
// empty folder and MYSQL_PWD, MYSQL_HOME and MARIADB_HOME are unset unless a test sets them.
#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace kelvane::testing {

struct GenRun {
  int exitCode = -1;  // -1 when it did not exit normally
  std::string out;
  std::string err;    // with a terminal: everything the terminal received
};

struct GenEnvironment {
  std::map<std::string, std::string> set;  // added to the clean environment
  std::string input;                       // standard input (without a terminal)
  bool terminal = false;  // standard input and error on a new terminal, standard output a pipe
  std::string typeAfterPrompt;  // with a terminal: typed once "Enter password: " shows
  std::string stdoutFile;       // without a terminal: standard output goes to this file
  bool closeStdout = false;     // without a terminal: start with descriptor 1 closed
  bool closeStderr = false;     // ... and 2
  std::function<void(pid_t)> whileRunning;  // called once the program has been started
};

GenRun RunGen(const std::vector<std::string>& arguments, const GenEnvironment& environment = {});

// "-P <test port> --password=<root password>": the arguments that reach the test server.
std::vector<std::string> ServerArguments();

// A fresh folder under /tmp, removed with everything in it when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// Everything under `root` (hidden entries too) as sorted relative paths, one per line, folders
// with a trailing "/"; empty when root does not exist.
std::string FileListing(const std::filesystem::path& root);

std::string ReadBytes(const std::filesystem::path& path);
void WriteBytes(const std::filesystem::path& path, const std::string& bytes);

}  // namespace kelvane::testing
