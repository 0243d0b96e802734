#include "cli/folder_write.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

namespace kelvane::cli {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kManifestHeader = "kelvane-gen manifest 1";
constexpr std::string_view kFolderCreated = "folder created";
constexpr std::string_view kFolderExisted = "folder existed";

// FNV-1a, 64 bits: tells an unchanged file from an edited one; not meant against forgery.
std::uint64_t Hash(std::string_view bytes) {
  std::uint64_t hash = 0xcbf29ce484222325ULL;
  for (unsigned char c : bytes) {
    hash ^= c;
    hash *= 0x100000001b3ULL;
  }
  return hash;
}

struct ManifestEntry {
  std::string name;
  std::uint64_t size = 0;
  std::uint64_t hash = 0;
};

struct Manifest {
  bool folderCreated = false;
  std::vector<ManifestEntry> entries;  // a name may stand twice while a folder is replaced

  bool Lists(const std::string& name, std::uint64_t size, std::uint64_t hash) const {
    for (const ManifestEntry& entry : entries)
      if (entry.name == name && entry.size == size && entry.hash == hash) return true;
    return false;
  }
  bool ListsName(const std::string& name) const {
    for (const ManifestEntry& entry : entries)
      if (entry.name == name) return true;
    return false;
  }
};

std::string ManifestText(const Manifest& manifest) {
  std::string text = std::string(kManifestHeader) + "\n" +
                     std::string(manifest.folderCreated ? kFolderCreated : kFolderExisted) + "\n";
  for (const ManifestEntry& entry : manifest.entries) {
    char head[64];
    std::snprintf(head, sizeof head, "%016" PRIx64 " %" PRIu64 " ", entry.hash, entry.size);
    text += head + entry.name + "\n";
  }
  return text;
}

// An unreadable or foreign manifest reads as none: then nothing in the folder counts as the
// export's own, which errs on the side of the user's files.
Manifest ReadManifest(const fs::path& path) {
  Manifest manifest;
  std::ifstream in(path, std::ios::binary);
  std::string line;
  if (!std::getline(in, line) || line != kManifestHeader) return {};
  if (!std::getline(in, line) || (line != kFolderCreated && line != kFolderExisted)) return {};
  manifest.folderCreated = line == kFolderCreated;
  while (std::getline(in, line)) {
    ManifestEntry entry;
    int used = 0;
    if (std::sscanf(line.c_str(), "%16" SCNx64 " %" SCNu64 " %n", &entry.hash, &entry.size, &used) != 2 ||
        used <= 0 || static_cast<std::size_t>(used) >= line.size())
      return {};
    entry.name = line.substr(static_cast<std::size_t>(used));
    manifest.entries.push_back(std::move(entry));
  }
  return manifest;
}

std::string ErrorText(int error) { return std::strerror(error); }

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

// Writes a new file and forces it to disk, so that a rename after it never exposes an empty
// or short file after a power cut. 0 or the errno value.
int WriteDurableFile(const fs::path& path, std::string_view bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return errno;
  int error = 0;
  if (!WriteAll(fd, bytes) || ::fsync(fd) != 0) error = errno;
  if (::close(fd) != 0 && error == 0) error = errno;
  return error;
}

// Makes a folder's entries (new names, renames) durable.
void SyncFolder(const fs::path& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
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

// Errors that every further table in the same output folder would meet too.
bool AboutTheWholeTarget(int error) {
  return error == EROFS || error == ENOSPC || error == EDQUOT || error == EACCES || error == EPERM;
}

// A hidden folder of this run in the output folder, locked for as long as the run holds it, so
// that another run can tell it from one left by a killed run. Removed with its files unless
// Release() said it is no longer ours to remove.
class WorkFolder {
 public:
  WorkFolder() = default;
  WorkFolder(const WorkFolder&) = delete;
  WorkFolder& operator=(const WorkFolder&) = delete;
  ~WorkFolder() {
    if (owned_) {
      std::error_code ignored;
      fs::remove_all(path_, ignored);
    }
    if (lock_ >= 0) ::close(lock_);
  }

  // 0 or the errno value.
  int Create(const fs::path& dir) {
    std::string name = (dir / (std::string(kWorkFolderPrefix) + std::to_string(::getpid()) + "-XXXXXX")).string();
    if (::mkdtemp(name.data()) == nullptr) return errno;
    path_ = name;
    owned_ = true;
    lock_ = ::open(path_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (lock_ >= 0) ::flock(lock_, LOCK_EX);
    // mkdtemp makes the folder private; the export gets the usual permissions.
    if (::chmod(path_.c_str(), 0777 & ~CurrentUmask()) != 0) return errno;
    return 0;
  }
  const fs::path& path() const { return path_; }
  void Release() { owned_ = false; }

 private:
  fs::path path_;
  bool owned_ = false;
  int lock_ = -1;
};

struct Existing {
  bool regular = false;
  std::uint64_t size = 0;
};

// The export's own files are known by name, size and hash; only files the manifest names with
// the same size are read.
bool IsOwn(const fs::path& path, const std::string& name, const Existing& existing,
           const Manifest& manifest) {
  if (!existing.regular) return false;
  bool sizeListed = false;
  for (const ManifestEntry& entry : manifest.entries)
    sizeListed = sizeListed || (entry.name == name && entry.size == existing.size);
  if (!sizeListed) return false;
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return manifest.Lists(name, existing.size, Hash(bytes.str()));
}

// Removes the named entries of a folder the export owns, then the folder; false when it is not
// empty afterwards (something appeared that is not the export's).
bool RemoveOwnFolder(const fs::path& folder, const std::set<std::string>& names) {
  for (const std::string& name : names) ::unlink((folder / name).c_str());
  return ::rmdir(folder.c_str()) == 0 || errno == ENOENT;
}

// Names the export writes into a work folder: the five texts (the entity file is <folder>.cs)
// and the manifests.
bool IsExportFileName(const std::string& name) {
  return name == "custom_type.txt" || name == "class_module.txt" || name == "set_class.txt" ||
         name.ends_with(".cs") || name.starts_with(kManifestName);
}

Manifest NewManifest(const std::vector<OutputFile>& files, bool folderCreated) {
  Manifest manifest;
  manifest.folderCreated = folderCreated;
  for (const OutputFile& file : files)
    manifest.entries.push_back({file.name, file.bytes.size(), Hash(file.bytes)});
  return manifest;
}

struct Writer {
  const fs::path& dir;
  const fs::path target;
  const std::vector<OutputFile>& files;
  const FileSteps& steps;
  FolderWriteResult result;

  FolderWriteResult Fail(int error, const std::string& what) {
    result.status = AboutTheWholeTarget(error) && what.empty() ? FolderWrite::TargetFailed
                                                                 : FolderWrite::Failed;
    result.error = what.empty() ? "cannot write into " + dir.string() + ": " + ErrorText(error)
                                : what + ": " + ErrorText(error);
    return result;
  }

  // The new files (and `manifests`) in a fresh work folder; 0 or the errno value.
  int Prepare(WorkFolder& work, const std::vector<std::pair<std::string, Manifest>>& manifests) {
    if (int error = work.Create(dir)) return error;
    for (const OutputFile& file : files)
      if (int error = WriteDurableFile(work.path() / file.name, file.bytes)) return error;
    for (const auto& [name, manifest] : manifests)
      if (int error = WriteDurableFile(work.path() / name, ManifestText(manifest))) return error;
    SyncFolder(work.path());
    return 0;
  }

  // No folder yet: the complete folder appears in one rename.
  FolderWriteResult Create() {
    WorkFolder work;
    if (int error = Prepare(work, {{std::string(kManifestName), NewManifest(files, true)}}))
      return Fail(error, "");
    if (int error = steps.Rename(work.path(), target)) return Fail(error, "cannot create " + target.string());
    work.Release();
    SyncFolder(dir);
    result.status = FolderWrite::Written;
    return result;
  }

  // A folder holding nothing but the previous export's files: swapped for the new one whole.
  FolderWriteResult Replace(const std::set<std::string>& own) {
    WorkFolder work;
    if (int error = Prepare(work, {{std::string(kManifestName), NewManifest(files, true)}}))
      return Fail(error, "");
    fs::path old = work.path();
    int error = steps.Exchange(work.path(), target);
    WorkFolder aside;
    if (error == EINVAL || error == ENOSYS) {
      // No exchange on this file system: move the old folder onto an empty one, then put the
      // new one in place; put the old one back if the second step fails.
      if (int made = aside.Create(dir)) return Fail(made, "");
      if ((error = steps.Rename(target, aside.path())) != 0)
        return Fail(error, "cannot replace " + target.string());
      if ((error = steps.Rename(work.path(), target)) != 0) {
        if (steps.Rename(aside.path(), target) != 0) aside.Release();  // never lose the old one
        return Fail(error, "cannot replace " + target.string());
      }
      old = aside.path();
      work.Release();
    } else if (error != 0) {
      return Fail(error, "cannot replace " + target.string());
    }
    // `old` now holds the previous export and is ours to remove.
    aside.Release();
    work.Release();
    SyncFolder(dir);
    if (!RemoveOwnFolder(old, own))
      result.note = "files that appeared in " + target.string() + " during the export were kept in " +
                    old.string();
    result.status = FolderWrite::Written;
    return result;
  }

  // A folder that also holds the user's files: the new files go in one rename each, under a
  // manifest that accepts old and new texts until the last one is in place.
  FolderWriteResult AddInto(const Manifest& previous, const std::set<std::string>& keptOwn) {
    Manifest final = NewManifest(files, previous.folderCreated);
    for (const ManifestEntry& entry : previous.entries)
      if (keptOwn.contains(entry.name)) final.entries.push_back(entry);
    Manifest both = final;
    both.entries.insert(both.entries.end(), previous.entries.begin(), previous.entries.end());
    const std::string next = std::string(kManifestName) + ".next";
    WorkFolder work;
    if (int error = Prepare(work, {{std::string(kManifestName), both}, {next, final}}))
      return Fail(error, "");
    const fs::path manifest = target / kManifestName;
    if (int error = steps.Rename(work.path() / kManifestName, manifest))
      return Fail(error, "cannot write " + manifest.string());
    SyncFolder(target);
    for (const OutputFile& file : files) {
      if (int error = steps.Rename(work.path() / file.name, target / file.name)) {
        result.note = "some files of this table are new, others old; export it again";
        return Fail(error, "cannot write " + (target / file.name).string());
      }
    }
    if (int error = steps.Rename(work.path() / next, manifest))
      return Fail(error, "cannot write " + manifest.string());
    SyncFolder(target);
    result.status = FolderWrite::Written;
    return result;
  }
};

}  // namespace

int FileSteps::Rename(const fs::path& from, const fs::path& to) const {
  return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

int FileSteps::Exchange(const fs::path& a, const fs::path& b) const {
  return ::renameat2(AT_FDCWD, a.c_str(), AT_FDCWD, b.c_str(), RENAME_EXCHANGE) == 0 ? 0 : errno;
}

const FileSteps& SystemFileSteps() {
  static const FileSteps steps;
  return steps;
}

FolderWriteResult WriteTableFolder(const fs::path& dir, const std::string& folder,
                                   const std::vector<OutputFile>& files, bool force,
                                   const FileSteps& steps) {
  Writer writer{dir, dir / folder, files, steps, {}};
  const fs::path& target = writer.target;
  struct stat info {};
  if (::lstat(target.c_str(), &info) != 0) {
    if (errno == ENOENT) return writer.Create();
    return writer.Fail(errno, "cannot look at " + target.string());
  }
  FolderWriteResult& result = writer.result;
  if (!S_ISDIR(info.st_mode)) {
    result.status = FolderWrite::InTheWay;
    result.inTheWay.push_back(target.string() + ": " +
                              (S_ISLNK(info.st_mode) ? "a link" : "a file") +
                              " where the table's folder goes (not replaced, even with --force)");
    return result;
  }

  const Manifest previous = ReadManifest(target / kManifestName);
  std::set<std::string> wanted;
  for (const OutputFile& file : files) wanted.insert(file.name);
  std::set<std::string> own = {std::string(kManifestName)}, keptOwn;
  bool foreign = false;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(target, ec)) {
    const std::string name = entry.path().filename().string();
    if (name == kManifestName) continue;
    Existing existing;
    struct stat st {};
    if (::lstat(entry.path().c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
      existing.regular = true;
      existing.size = static_cast<std::uint64_t>(st.st_size);
    }
    const bool isOwn = IsOwn(entry.path(), name, existing, previous);
    if (!wanted.contains(name)) {
      if (isOwn) {
        own.insert(name);
        keptOwn.insert(name);
      } else {
        foreign = true;
      }
      continue;
    }
    if (isOwn) {
      own.insert(name);
    } else if (force && existing.regular) {
      own.insert(name);
      result.forced.push_back(entry.path().string());
    } else if (!existing.regular) {
      result.inTheWay.push_back(entry.path().string() + ": " +
                                (S_ISDIR(st.st_mode) ? "a folder" : "not a plain file") +
                                " (not replaced, even with --force)");
    } else {
      result.inTheWay.push_back(entry.path().string() + ": " +
                                (previous.ListsName(name) ? "changed since the previous export"
                                                          : "not written by the previous export"));
    }
  }
  if (ec) return writer.Fail(ec.value(), "cannot read " + target.string());
  if (!result.inTheWay.empty()) {
    result.status = FolderWrite::InTheWay;
    result.forced.clear();
    return result;
  }
  result.replacedEarlier = !previous.entries.empty();
  if (!foreign && previous.folderCreated) return writer.Replace(own);
  return writer.AddInto(previous, keptOwn);
}

std::vector<std::string> RemoveStaleWorkFolders(const fs::path& dir) {
  std::vector<std::string> removed;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(dir, ec)) {
    const std::string name = entry.path().filename().string();
    if (!name.starts_with(kWorkFolderPrefix)) continue;
    // ".kelvane-gen-<pid>-XXXXXX" with a process that is gone.
    const std::string rest = name.substr(kWorkFolderPrefix.size());
    const std::size_t dash = rest.find('-');
    if (dash == 0 || dash == std::string::npos || rest.size() - dash - 1 != 6 ||
        rest.find_first_not_of("0123456789") != dash)
      continue;
    const long pid = std::strtol(rest.substr(0, dash).c_str(), nullptr, 10);
    if (pid <= 0 || pid == ::getpid() || ::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH)
      continue;
    struct stat info {};
    if (::lstat(entry.path().c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) continue;
    // Nobody holds its lock, and it holds plain files of the export only (a file that appeared
    // in a table's folder while it was being replaced would be kept there too).
    const int lock = ::open(entry.path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (lock < 0) continue;
    if (::flock(lock, LOCK_EX | LOCK_NB) == 0) {
      std::set<std::string> files;
      bool plain = true;
      for (const auto& inside : fs::directory_iterator(entry.path(), ec)) {
        struct stat st {};
        plain = plain && ::lstat(inside.path().c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
                IsExportFileName(inside.path().filename().string());
        files.insert(inside.path().filename().string());
      }
      if (!ec && plain && RemoveOwnFolder(entry.path(), files)) removed.push_back(name);
    }
    ::close(lock);
  }
  return removed;
}

}  // namespace kelvane::cli
