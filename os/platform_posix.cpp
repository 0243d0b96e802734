#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
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

bool HideCommandLinePasswords(std::size_t (*)(std::string_view)) { return true; }  // argv is the list

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
int ReadOpenedRegularFile(int fd, std::uint64_t limit, std::string& bytes, FileIdentity* identity = nullptr) {
  bytes.clear();
  struct stat info {};
  int error = 0;
  const bool known = ::fstat(fd, &info) == 0;
  if (!known) error = errno;
  else if (!S_ISREG(info.st_mode)) error = EINVAL;
  else if (static_cast<std::uint64_t>(info.st_size) > limit) error = EFBIG;
  if (identity && known)
    *identity = {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
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

int WaitForSocket(std::intptr_t socket, bool read, bool write, int milliseconds) {
  pollfd watch{static_cast<int>(socket), static_cast<short>((read ? POLLIN : 0) | (write ? POLLOUT : 0)), 0};
  int ready;
  do {
    ready = ::poll(&watch, 1, milliseconds < 0 ? 0 : milliseconds);
  } while (ready < 0 && errno == EINTR);
  if (ready <= 0) return 0;
  // A closed or failed socket counts as ready: the read or write that follows reports it.
  const bool broken = (watch.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0;
  return ((watch.revents & POLLIN) || (broken && read) ? kSocketReadable : 0) |
         ((watch.revents & POLLOUT) || (broken && write) ? kSocketWritable : 0);
}

int ReadRegularFile(const std::string& path, std::size_t maxBytes, std::string& bytes) {
  bytes.clear();
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return errno;
  return ReadOpenedRegularFile(fd, maxBytes, bytes);
}

int ReadRegularFile(const std::string& path, std::size_t maxBytes, std::string& bytes, FileIdentity& identity) {
  bytes.clear();
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return errno;
  return ReadOpenedRegularFile(fd, maxBytes, bytes, &identity);
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

namespace {

std::string Name(std::string_view name) { return std::string(name); }

Kind KindOf(mode_t mode) {
  return S_ISDIR(mode) ? Kind::Folder : S_ISREG(mode) ? Kind::File : S_ISLNK(mode) ? Kind::Link : Kind::Other;
}

int Fd(std::intptr_t handle) { return static_cast<int>(handle); }

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

// A link where a folder was expected reads as "not a folder".
int FolderOpenError() { return errno == ELOOP ? ENOTDIR : errno; }

}  // namespace

void Folder::Close() {
  if (handle_ != -1) ::close(Fd(handle_));
  handle_ = -1;
}

int Folder::Open(const fs::path& path) {
  const int fd = ::open(path.c_str(), kFolderFlags);
  if (fd < 0) return FolderOpenError();
  *this = Folder();
  path_ = path;
  handle_ = fd;
  return 0;
}

int Folder::Open(const Folder& parent, std::string_view name) {
  const int fd = ::openat(Fd(parent.handle_), Name(name).c_str(), kFolderFlags);
  if (fd < 0) return FolderOpenError();
  *this = Folder();
  path_ = parent.path_ / Utf8Path(name);
  handle_ = fd;
  return 0;
}

int Folder::Look(std::string_view name, FileInfo& info) const {
  info = {};
  struct stat st {};
  if (::fstatat(Fd(handle_), Name(name).c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
    return errno == ENOENT ? 0 : errno;
  info.kind = KindOf(st.st_mode);
  info.size = static_cast<std::uint64_t>(st.st_size);
  return 0;
}

int Folder::Read(std::string_view name, std::uint64_t limit, std::string& bytes) const {
  bytes.clear();
  const int fd = ::openat(Fd(handle_), Name(name).c_str(),
                          O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return errno == ELOOP ? EINVAL : errno;
  return ReadOpenedRegularFile(fd, limit, bytes);
}

int Folder::Write(std::string_view name, std::string_view bytes, bool durable) const {
  const int fd = ::openat(Fd(handle_), Name(name).c_str(),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) return errno;
  int error = 0;
  if (!WriteAll(fd, bytes) || (durable && ::fsync(fd) != 0)) error = errno;
  if (::close(fd) != 0 && error == 0) error = errno;
  return error;
}

int Folder::SyncFile(std::string_view name) const {
  const int fd = ::openat(Fd(handle_), Name(name).c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return errno;
  const int error = ::fdatasync(fd) == 0 ? 0 : errno;
  ::close(fd);
  return error;
}

int Folder::List(std::vector<std::string>& names) const {
  names.clear();
  // A descriptor of its own: reading the entries moves its position.
  const int fd = ::openat(Fd(handle_), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return errno;
  DIR* dir = ::fdopendir(fd);
  if (dir == nullptr) {
    const int error = errno;
    ::close(fd);
    return error;
  }
  int error = 0;
  for (;;) {
    errno = 0;
    const dirent* entry = ::readdir(dir);
    if (entry == nullptr) {
      error = errno;
      break;
    }
    const std::string_view name = entry->d_name;
    if (name != "." && name != "..") names.emplace_back(name);
  }
  ::closedir(dir);
  if (error != 0) names.clear();
  return error;
}

int Folder::MakeFolder(std::string_view name) const {
  return ::mkdirat(Fd(handle_), Name(name).c_str(), 0777) == 0 ? 0 : errno;
}

int Folder::Remove(std::string_view name) const {
  return ::unlinkat(Fd(handle_), Name(name).c_str(), 0) == 0 ? 0 : errno;
}

int Folder::RemoveFolder(std::string_view name) const {
  return ::unlinkat(Fd(handle_), Name(name).c_str(), AT_REMOVEDIR) == 0 ? 0 : errno;
}

int Folder::Sync() const { return ::fsync(Fd(handle_)) == 0 ? 0 : errno; }

int Folder::SyncFileSystem() const { return ::syncfs(Fd(handle_)) == 0 ? 0 : errno; }
bool SyncsWholeFileSystem() { return true; }

bool Folder::IsAt(const Folder& parent, std::string_view name) const {
  struct stat here {}, there {};
  return ::fstat(Fd(handle_), &here) == 0 &&
         ::fstatat(Fd(parent.handle_), Name(name).c_str(), &there, AT_SYMLINK_NOFOLLOW) == 0 &&
         S_ISDIR(there.st_mode) && here.st_dev == there.st_dev && here.st_ino == there.st_ino;
}

int Move(const Folder& from, std::string_view fromName, const Folder& to, std::string_view toName,
         bool replaceFile) {
  const int fromFd = Fd(from.handle_), toFd = Fd(to.handle_);
  const std::string source = Name(fromName), target = Name(toName);
  if (!replaceFile)
    return ::renameat2(fromFd, source.c_str(), toFd, target.c_str(), RENAME_NOREPLACE) == 0 ? 0 : errno;
  // rename(2) would replace an empty folder or a link too: only a file may stand there.
  struct stat st {};
  if (::fstatat(toFd, target.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && !S_ISREG(st.st_mode)) return EEXIST;
  return ::renameat(fromFd, source.c_str(), toFd, target.c_str()) == 0 ? 0 : errno;
}

int Exchange(const Folder& aDir, std::string_view a, const Folder& bDir, std::string_view b) {
  return ::renameat2(Fd(aDir.handle_), Name(a).c_str(), Fd(bDir.handle_), Name(b).c_str(),
                     RENAME_EXCHANGE) == 0
             ? 0
             : errno;
}

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
