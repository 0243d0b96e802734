#include "cli/folder_write.h"

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "os/platform.h"

namespace kelvane::cli {

namespace fs = std::filesystem;
using platform::PathText;
using platform::Utf8Path;

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

// Errors that every further table in the same output folder would meet too.
bool AboutTheWholeTarget(int error) {
  return error == EROFS || error == ENOSPC || error == platform::kQuotaExceeded || error == EACCES || error == EPERM;
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
    folder_.Unlock();
    if (owned_) {
      std::error_code ignored;
      fs::remove_all(folder_.path(), ignored);
    }
  }

  // 0 or the errno value.
  int Create(const fs::path& dir) {
    const int error = folder_.Create(
        dir, std::string(kWorkFolderPrefix) + std::to_string(platform::ProcessId()) + "-");
    owned_ = !folder_.path().empty();
    return error;
  }
  const fs::path& path() const { return folder_.path(); }
  void Release() { owned_ = false; }

 private:
  platform::LockedFolder folder_;
  bool owned_ = false;
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
  for (const std::string& name : names) platform::RemoveFile(folder / Utf8Path(name));
  const int error = platform::RemoveEmptyFolder(folder);
  return error == 0 || error == ENOENT;
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
    result.error = what.empty() ? "cannot write into " + PathText(dir) + ": " + ErrorText(error)
                                : what + ": " + ErrorText(error);
    return result;
  }

  // The new files (and `manifests`) in a fresh work folder; 0 or the errno value.
  int Prepare(WorkFolder& work, const std::vector<std::pair<std::string, Manifest>>& manifests) {
    if (int error = work.Create(dir)) return error;
    for (const OutputFile& file : files)
      if (int error = platform::WriteDurableFile(work.path() / Utf8Path(file.name), file.bytes)) return error;
    for (const auto& [name, manifest] : manifests)
      if (int error = platform::WriteDurableFile(work.path() / Utf8Path(name), ManifestText(manifest))) return error;
    platform::SyncFolder(work.path());
    return 0;
  }

  // No folder yet: the complete folder appears in one rename.
  FolderWriteResult Create() {
    WorkFolder work;
    if (int error = Prepare(work, {{std::string(kManifestName), NewManifest(files, true)}}))
      return Fail(error, "");
    if (int error = steps.Rename(work.path(), target)) return Fail(error, "cannot create " + PathText(target));
    work.Release();
    platform::SyncFolder(dir);
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
        return Fail(error, "cannot replace " + PathText(target));
      if ((error = steps.Rename(work.path(), target)) != 0) {
        if (steps.Rename(aside.path(), target) != 0) aside.Release();  // never lose the old one
        return Fail(error, "cannot replace " + PathText(target));
      }
      old = aside.path();
      work.Release();
    } else if (error != 0) {
      return Fail(error, "cannot replace " + PathText(target));
    }
    // `old` now holds the previous export and is ours to remove.
    aside.Release();
    work.Release();
    platform::SyncFolder(dir);
    if (!RemoveOwnFolder(old, own))
      result.note = "files that appeared in " + PathText(target) + " during the export were kept in " +
                    PathText(old);
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
      return Fail(error, "cannot write " + PathText(manifest));
    platform::SyncFolder(target);
    for (const OutputFile& file : files) {
      if (int error = steps.Rename(work.path() / Utf8Path(file.name), target / Utf8Path(file.name))) {
        result.note = "some files of this table are new, others old; export it again";
        return Fail(error, "cannot write " + PathText(target / Utf8Path(file.name)));
      }
    }
    if (int error = steps.Rename(work.path() / Utf8Path(next), manifest))
      return Fail(error, "cannot write " + PathText(manifest));
    platform::SyncFolder(target);
    result.status = FolderWrite::Written;
    return result;
  }
};

}  // namespace

int FileSteps::Rename(const fs::path& from, const fs::path& to) const {
  return platform::Rename(from, to);
}

int FileSteps::Exchange(const fs::path& a, const fs::path& b) const {
  return platform::Exchange(a, b);
}

const FileSteps& SystemFileSteps() {
  static const FileSteps steps;
  return steps;
}

FolderWriteResult WriteTableFolder(const fs::path& dir, const std::string& folder,
                                   const std::vector<OutputFile>& files, bool force,
                                   const FileSteps& steps) {
  Writer writer{dir, dir / Utf8Path(folder), files, steps, {}};
  const fs::path& target = writer.target;
  platform::FileInfo info;
  if (int error = platform::Look(target, info))
    return writer.Fail(error, "cannot look at " + PathText(target));
  if (info.kind == platform::Kind::Missing) return writer.Create();
  FolderWriteResult& result = writer.result;
  if (info.kind != platform::Kind::Folder) {
    result.status = FolderWrite::InTheWay;
    result.inTheWay.push_back(PathText(target) + ": " +
                              (info.kind == platform::Kind::Link ? "a link" : "a file") +
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
    const std::string name = PathText(entry.path().filename());
    if (name == kManifestName) continue;
    Existing existing;
    platform::FileInfo st;
    if (platform::Look(entry.path(), st) == 0 && st.kind == platform::Kind::File) {
      existing.regular = true;
      existing.size = st.size;
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
      result.forced.push_back(PathText(entry.path()));
    } else if (!existing.regular) {
      result.inTheWay.push_back(PathText(entry.path()) + ": " +
                                (st.kind == platform::Kind::Folder ? "a folder" : "not a plain file") +
                                " (not replaced, even with --force)");
    } else {
      result.inTheWay.push_back(PathText(entry.path()) + ": " +
                                (previous.ListsName(name) ? "changed since the previous export"
                                                          : "not written by the previous export"));
    }
  }
  if (ec) return writer.Fail(ec.value(), "cannot read " + PathText(target));
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
    const std::string name = PathText(entry.path().filename());
    if (!name.starts_with(kWorkFolderPrefix)) continue;
    // ".kelvane-gen-<pid>-XXXXXX" with a process that is gone.
    const std::string rest = name.substr(kWorkFolderPrefix.size());
    const std::size_t dash = rest.find('-');
    if (dash == 0 || dash == std::string::npos || rest.size() - dash - 1 != 6 ||
        rest.find_first_not_of("0123456789") != dash)
      continue;
    const long pid = std::strtol(rest.substr(0, dash).c_str(), nullptr, 10);
    if (pid <= 0 || pid == platform::ProcessId() || !platform::ProcessGone(pid)) continue;
    platform::FileInfo info;
    if (platform::Look(entry.path(), info) != 0 || info.kind != platform::Kind::Folder) continue;
    // Nobody holds its lock, and it holds plain files of the export only (a file that appeared
    // in a table's folder while it was being replaced would be kept there too).
    platform::LockedFolder lock;
    if (lock.TryLock(entry.path())) {
      std::set<std::string> files;
      bool plain = true;
      for (const auto& inside : fs::directory_iterator(entry.path(), ec)) {
        platform::FileInfo st;
        plain = plain && platform::Look(inside.path(), st) == 0 && st.kind == platform::Kind::File &&
                IsExportFileName(PathText(inside.path().filename()));
        files.insert(PathText(inside.path().filename()));
      }
      if (!ec && plain && RemoveOwnFolder(entry.path(), files)) removed.push_back(name);
    }
  }
  return removed;
}

}  // namespace kelvane::cli
