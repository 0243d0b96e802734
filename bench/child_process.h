#pragma once
// Runs a program as a fresh child process and collects its standard output (or leaves it in a
// file) and its peak resident set. The child gets the caller's environment; its standard error
// goes to /dev/null. A child that does not end within the time limit is killed (by its pid)
// and reported as failed.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

extern char** environ;

namespace kelvane::bench {

struct ChildResult {
  bool ok = false;     // started, ended by itself with exit status 0
  std::string output;  // everything it wrote to standard output, unless it went to a file
  long peakKiB = 0;    // high-water mark of its resident set
  double cpuSeconds = 0;  // processor time it used, user and system
};

// outputFile: when not empty, standard output goes to this file (created or emptied). The
// pipe then stays open in the child only to tell when it has ended.
inline ChildResult RunChild(const std::vector<std::string>& arguments,
                            std::chrono::seconds limit = std::chrono::seconds(30),
                            const std::string& outputFile = {}) {
  ChildResult result;
  int pipeEnds[2];
  if (pipe(pipeEnds) != 0) return result;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (outputFile.empty()) {
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[1]);
  } else {
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outputFile.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
  }
  posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  std::vector<char*> argv;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(pipeEnds[1]);
  if (spawned != 0) {
    close(pipeEnds[0]);
    return result;
  }

  const auto deadline = std::chrono::steady_clock::now() + limit;
  bool timedOut = false;
  char buffer[65536];
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      timedOut = true;
      break;
    }
    pollfd readable{pipeEnds[0], POLLIN, 0};
    if (poll(&readable, 1, static_cast<int>(left.count())) <= 0) continue;
    const ssize_t got = read(pipeEnds[0], buffer, sizeof buffer);
    if (got <= 0) break;
    result.output.append(buffer, static_cast<std::size_t>(got));
  }
  close(pipeEnds[0]);
  if (timedOut) kill(pid, SIGKILL);
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  result.peakKiB = usage.ru_maxrss;
  result.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                      static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
  result.ok = !timedOut && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return result;
}

}  // namespace kelvane::bench
