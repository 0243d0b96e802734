#include "os/password_prompt.h"

#include <fcntl.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace kelvane::os {

namespace {

// What an interrupt handler needs to put the terminal back.
int gTerminal = -1;
termios gSaved{};

void RestoreAndReraise(int signal) {
  if (gTerminal >= 0) ::tcsetattr(gTerminal, TCSAFLUSH, &gSaved);
  ::signal(signal, SIG_DFL);
  ::raise(signal);
}

void WriteAll(int fd, const char* text) {
  std::size_t left = std::strlen(text);
  while (left > 0) {
    const ssize_t n = ::write(fd, text, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    text += n;
    left -= static_cast<std::size_t>(n);
  }
}

// Reads up to a line break or the end of input; false when nothing at all was read.
bool ReadLine(int fd, std::string& line) {
  line.clear();
  bool readSomething = false;
  for (;;) {
    char c = 0;
    const ssize_t n = ::read(fd, &c, 1);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return readSomething;
    readSomething = true;
    if (c == '\n') break;
    line += c;
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return true;
}

}  // namespace

bool PromptPassword(const char* prompt, std::string& password) {
  const int tty = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (tty < 0) {
    WriteAll(STDERR_FILENO, prompt);
    const bool ok = ReadLine(STDIN_FILENO, password);
    WriteAll(STDERR_FILENO, "\n");
    return ok;
  }

  termios quiet{};
  const bool canSilence = ::tcgetattr(tty, &gSaved) == 0;
  struct sigaction restore {}, oldInt {}, oldTerm {}, oldHup {}, oldQuit {};
  if (canSilence) {
    gTerminal = tty;
    restore.sa_handler = RestoreAndReraise;
    sigemptyset(&restore.sa_mask);
    ::sigaction(SIGINT, &restore, &oldInt);
    ::sigaction(SIGTERM, &restore, &oldTerm);
    ::sigaction(SIGHUP, &restore, &oldHup);
    ::sigaction(SIGQUIT, &restore, &oldQuit);
    quiet = gSaved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    quiet.c_lflag |= ECHONL;
    ::tcsetattr(tty, TCSAFLUSH, &quiet);
  }
  WriteAll(tty, prompt);
  const bool ok = ReadLine(tty, password);
  if (canSilence) {
    ::tcsetattr(tty, TCSAFLUSH, &gSaved);
    gTerminal = -1;
    ::sigaction(SIGINT, &oldInt, nullptr);
    ::sigaction(SIGTERM, &oldTerm, nullptr);
    ::sigaction(SIGHUP, &oldHup, nullptr);
    ::sigaction(SIGQUIT, &oldQuit, nullptr);
  }
  if (!ok) WriteAll(tty, "\n");
  ::close(tty);
  return ok;
}

}  // namespace kelvane::os
