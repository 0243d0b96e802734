#include "run_gen.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cerrno>
#include <fstream>
#include <set>
#include <sstream>

#include "support/server_env.h"

extern char** environ;

namespace kelvane::testing {

namespace fs = std::filesystem;

namespace {

constexpr auto kTimeLimit = std::chrono::seconds(60);

std::vector<std::string> CleanEnvironment(const GenEnvironment& environment, const fs::path& home) {
  const std::set<std::string> dropped = {"HOME", "MYSQL_PWD", "MYSQL_HOME", "MARIADB_HOME"};
  std::vector<std::string> result;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string text = *entry;
    const std::string key = text.substr(0, text.find('='));
    if (!dropped.contains(key) && !environment.set.contains(key)) result.push_back(text);
  }
  if (!environment.set.contains("HOME")) result.push_back("HOME=" + home.string());
  for (const auto& [key, value] : environment.set) result.push_back(key + "=" + value);
  return result;
}

[[noreturn]] void Exec(const std::vector<std::string>& arguments, std::vector<std::string>& env) {
  std::vector<char*> argv;
  // scripts/test-windows runs the same cases against the Windows build: KELVANE_GEN_EXE names
  // that program and KELVANE_GEN_RUNNER the program that runs it (Wine).
  const char* exe = std::getenv("KELVANE_GEN_EXE");
  std::string program = exe != nullptr ? exe : KELVANE_GEN_PATH;
  const char* runnerName = std::getenv("KELVANE_GEN_RUNNER");
  std::string runner = runnerName != nullptr ? runnerName : "";
  if (!runner.empty()) argv.push_back(runner.data());
  argv.push_back(program.data());
  std::vector<std::string> copies = arguments;
  for (std::string& argument : copies) argv.push_back(argument.data());
  argv.push_back(nullptr);
  std::vector<char*> envp;
  for (std::string& entry : env) envp.push_back(entry.data());
  envp.push_back(nullptr);
  ::execve(runner.empty() ? program.c_str() : runner.c_str(), argv.data(), envp.data());
  ::_exit(127);
}

}  // namespace

GenRun RunGen(const std::vector<std::string>& arguments, const GenEnvironment& environment) {
  GenRun run;
  TempDir home;
  std::vector<std::string> env = CleanEnvironment(environment, home.path());
  int out[2], err[2] = {-1, -1}, in[2] = {-1, -1};
  if (::pipe(out) != 0) return run;
  int terminal = -1;
  pid_t pid = -1;
  if (environment.terminal) {
    pid = ::forkpty(&terminal, nullptr, nullptr, nullptr);
    if (pid == 0) {
      ::dup2(out[1], STDOUT_FILENO);
      ::close(out[0]);
      ::close(out[1]);
      Exec(arguments, env);
    }
  } else {
    if (::pipe(err) != 0 || ::pipe(in) != 0) return run;
    pid = ::fork();
    if (pid == 0) {
      ::setsid();  // no controlling terminal: a stray prompt cannot wait for the real one
      ::dup2(in[0], STDIN_FILENO);
      ::dup2(out[1], STDOUT_FILENO);
      ::dup2(err[1], STDERR_FILENO);
      for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) ::close(fd);
      if (!environment.stdoutFile.empty()) {
        const int file = ::open(environment.stdoutFile.c_str(), O_WRONLY);
        ::dup2(file, STDOUT_FILENO);
        ::close(file);
      }
      if (environment.closeStdout) ::close(STDOUT_FILENO);
      if (environment.closeStderr) ::close(STDERR_FILENO);
      Exec(arguments, env);
    }
    ::close(in[0]);
    ::close(err[1]);
    ::signal(SIGPIPE, SIG_IGN);
    (void)!::write(in[1], environment.input.data(), environment.input.size());
    ::close(in[1]);
  }
  ::close(out[1]);
  if (pid < 0) {
    ADD_FAILURE() << "cannot start " << KELVANE_GEN_PATH;
    return run;
  }
  if (environment.whileRunning) environment.whileRunning(pid);

  const int errorSide = environment.terminal ? terminal : err[0];
  bool typed = false;
  std::vector<pollfd> fds = {{out[0], POLLIN, 0}, {errorSide, POLLIN, 0}};
  const auto deadline = std::chrono::steady_clock::now() + kTimeLimit;
  while (fds[0].fd >= 0 || fds[1].fd >= 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      ADD_FAILURE() << "kelvane-gen did not finish in time";
      ::kill(pid, SIGKILL);
      break;
    }
    if (::poll(fds.data(), fds.size(), 200) <= 0) continue;
    for (std::size_t i = 0; i < fds.size(); ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buffer[4096];
      const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
      if (n <= 0) {  // end of output; a terminal whose other side closed says EIO
        if (n < 0 && errno == EINTR) continue;
        ::close(fds[i].fd);
        fds[i].fd = -1;
        continue;
      }
      (i == 0 ? run.out : run.err).append(buffer, static_cast<std::size_t>(n));
    }
    if (environment.terminal && !typed && run.err.find("Enter password: ") != std::string::npos) {
      typed = true;
      (void)!::write(terminal, environment.typeAfterPrompt.data(), environment.typeAfterPrompt.size());
    }
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (WIFEXITED(status)) run.exitCode = WEXITSTATUS(status);
  return run;
}

std::vector<std::string> ServerArguments() {
  return {"-P", std::to_string(TestPort()), std::string("--password=") + kTestPassword};
}

TempDir::TempDir() {
  std::string name = "/tmp/kelvane-cli-test.XXXXXX";
  if (::mkdtemp(name.data()) == nullptr) ADD_FAILURE() << "cannot make a temporary folder";
  path_ = name;
}

TempDir::~TempDir() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

std::string FileListing(const fs::path& root) {
  std::set<std::string> files;
  std::error_code ec;
  if (fs::exists(root, ec))
    for (const auto& entry : fs::recursive_directory_iterator(root))
      files.insert(entry.path().lexically_relative(root).generic_string() +
                   (entry.is_directory() && !entry.is_symlink() ? "/" : ""));
  std::string listing;
  for (const std::string& file : files) listing += file + "\n";
  return listing;
}

std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void WriteBytes(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

}  // namespace kelvane::testing
