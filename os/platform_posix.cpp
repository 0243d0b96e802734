#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "os/platform.h"

namespace kelvane::os {

namespace fs = std::filesystem;

std::vector<std::string> Arguments(int argc, char** argv) {
  return std::vector<std::string>(argv + 1, argv + argc);
}

bool PrepareStandardStreams() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    const int opened = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
    if (opened < 0) return false;
    if (opened != fd) {
      ::dup2(opened, fd);
      ::close(opened);
    }
  }
  return true;
}

bool StderrIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

bool WriteStdout(std::string_view bytes) {
  std::cout.flush();
  return (bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size()) &&
         std::fflush(stdout) == 0;
}

void SkipSystemCertificates() {
  // OpenSSL's default CA file, read afresh by each new TLS context; an empty one costs nothing.
  ::setenv("SSL_CERT_FILE", "/dev/null", 1);
  ::setenv("SSL_CERT_DIR", "/dev/null", 1);
}

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

std::vector<std::string> OptionFileLocations(const std::string& home, const std::string& mysqlHome) {
  std::vector<std::string> files = {"/etc/my.cnf", "/etc/mysql/my.cnf"};
  if (!mysqlHome.empty() && mysqlHome != "/etc" && mysqlHome != "/etc/mysql")
    files.push_back(mysqlHome + "/my.cnf");
  if (!home.empty()) files.push_back(home + "/.my.cnf");
  return files;
}

bool WorldWritable(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && (info.st_mode & S_IWOTH) != 0;
}

namespace {

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

// The process's umask, read once (reading it means setting it).
mode_t CurrentUmask() {
  static const mode_t mask = [] {
    const mode_t m = ::umask(0);
    ::umask(m);
    return m;
  }();
  return mask;
}

}  // namespace

namespace {

// Reads the file open in fd (closing it) when it is a regular file of at most limit bytes.
int ReadOpenedRegularFile(int fd, std::uint64_t limit, std::string& bytes) {
  bytes.clear();
  struct stat info {};
  int error = 0;
  if (::fstat(fd, &info) != 0) error = errno;
  else if (!S_ISREG(info.st_mode)) error = EINVAL;
  else if (static_cast<std::uint64_t>(info.st_size) > limit) error = EFBIG;
  char buffer[65536];
  while (error == 0) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) error = errno;
    if (n <= 0) break;
    bytes.append(buffer, static_cast<std::size_t>(n));
    if (bytes.size() > limit) error = EFBIG;  // grew while being read
  }
  ::close(fd);
  if (error != 0) bytes.clear();
  return error;
}

}  // namespace

int ReadRegularFile(const std::string& path, std::size_t maxBytes, std::string& bytes) {
  bytes.clear();
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return errno;
  return ReadOpenedRegularFile(fd, maxBytes, bytes);
}

int ReadOwnRegularFile(const fs::path& path, std::uint64_t limit, std::string& bytes) {
  bytes.clear();
  const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return errno == ELOOP ? EINVAL : errno;
  return ReadOpenedRegularFile(fd, limit, bytes);
}

std::string OptionTextFile(const std::string& text, int& error) {
  error = 0;
  const int fd = ::memfd_create("kelvane-gen-options", MFD_CLOEXEC);
  if (fd < 0) {
    error = errno;
    return {};
  }
  if (!WriteAll(fd, text)) {
    error = errno;
    ::close(fd);
    return {};
  }
  // Stays open for the life of the process; the library opens it by this name.
  return "/proc/self/fd/" + std::to_string(fd);
}

int Look(const fs::path& path, FileInfo& info) {
  info = {};
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) return errno == ENOENT ? 0 : errno;
  info.kind = S_ISDIR(st.st_mode)   ? Kind::Folder
              : S_ISREG(st.st_mode) ? Kind::File
              : S_ISLNK(st.st_mode) ? Kind::Link
                                    : Kind::Other;
  info.size = static_cast<std::uint64_t>(st.st_size);
  return 0;
}


int WriteDurableFile(const fs::path& path, std::string_view bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return errno;
  int error = 0;
  if (!WriteAll(fd, bytes) || ::fsync(fd) != 0) error = errno;
  if (::close(fd) != 0 && error == 0) error = errno;
  return error;
}

int SyncFolder(const fs::path& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return errno;
  const int error = ::fsync(fd) == 0 ? 0 : errno;
  ::close(fd);
  return error;
}

int Rename(const fs::path& from, const fs::path& to) {
  return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

int Exchange(const fs::path& a, const fs::path& b) {
  return ::renameat2(AT_FDCWD, a.c_str(), AT_FDCWD, b.c_str(), RENAME_EXCHANGE) == 0 ? 0 : errno;
}

int RemoveFile(const fs::path& path) { return ::unlink(path.c_str()) == 0 ? 0 : errno; }

int RemoveEmptyFolder(const fs::path& path) { return ::rmdir(path.c_str()) == 0 ? 0 : errno; }

int LockedFolder::Create(const fs::path& dir, const std::string& prefix) {
  std::string name = (dir / (prefix + "XXXXXX")).string();
  if (::mkdtemp(name.data()) == nullptr) return errno;
  // Without its lock the folder would look like one left by a stopped run: no lock, no folder.
  const int fd = ::open(name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0 || ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    if (fd >= 0) ::close(fd);
    ::rmdir(name.c_str());
    return error;
  }
  path_ = name;
  lock_ = fd;
  // mkdtemp makes the folder private; the export gets the usual permissions.
  if (::chmod(path_.c_str(), 0777 & ~CurrentUmask()) != 0) return errno;
  return 0;
}

bool LockedFolder::TryLock(const fs::path& folder) {
  Unlock();
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return false;
  }
  path_ = folder;
  lock_ = fd;
  return true;
}

void LockedFolder::Unlock() {
  if (lock_ >= 0) ::close(static_cast<int>(lock_));
  lock_ = -1;
}

// The folder itself carries the lock: nothing is added to it.
int OutputFolderLock::Lock(const fs::path& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return errno;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno == EWOULDBLOCK ? EWOULDBLOCK : errno;
    ::close(fd);
    return error;
  }
  lock_ = fd;
  return 0;
}

OutputFolderLock::~OutputFolderLock() {
  if (lock_ >= 0) ::close(static_cast<int>(lock_));
}

long ProcessId() { return static_cast<long>(::getpid()); }

bool ProcessGone(long pid) {
  return pid > 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

}  // namespace kelvane::os
