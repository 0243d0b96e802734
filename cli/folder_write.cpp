#include "cli/folder_write.h"

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>

#include "cli/safe_names.h"
#include "os/platform.h"

namespace kelvane::cli {

namespace fs = std::filesystem;
using platform::PathText;
using platform::Utf8Path;

namespace {

constexpr std::string_view kManifestHeader = "kelvane-gen manifest 1";
constexpr std::string_view kFolderCreated = "folder created";
constexpr std::string_view kFolderExisted = "folder existed";
constexpr std::string_view kTableLine = "table ";

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
  bool named = false;  // manifests before the table name was written down have none
  std::string table;
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

// A table name on one line: backslash and line breaks escaped, every other byte as it is.
std::string EscapedLine(std::string_view text) {
  std::string line;
  for (char c : text) {
    if (c == '\\') line += "\\\\";
    else if (c == '\n') line += "\\n";
    else if (c == '\r') line += "\\r";
    else line += c;
  }
  return line;
}

bool UnescapedLine(std::string_view line, std::string& text) {
  text.clear();
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line[i] != '\\') {
      text += line[i];
      continue;
    }
    if (++i == line.size()) return false;
    if (line[i] == '\\') text += '\\';
    else if (line[i] == 'n') text += '\n';
    else if (line[i] == 'r') text += '\r';
    else return false;
  }
  return true;
}

std::string ManifestText(const Manifest& manifest) {
  std::string text = std::string(kManifestHeader) + "\n" +
                     std::string(manifest.folderCreated ? kFolderCreated : kFolderExisted) + "\n";
  if (manifest.named) text += std::string(kTableLine) + EscapedLine(manifest.table) + "\n";
  for (const ManifestEntry& entry : manifest.entries) {
    char head[64];
    std::snprintf(head, sizeof head, "%016" PRIx64 " %" PRIu64 " ", entry.hash, entry.size);
    text += head + entry.name + "\n";
  }
  return text;
}

// "<16 hex digits> <size> <name>", the name byte for byte (leading spaces included).
bool ParseEntry(std::string_view line, ManifestEntry& entry) {
  if (line.size() < 20 || line[16] != ' ') return false;
  entry = {};
  for (std::size_t i = 0; i < 16; ++i) {
    const char c = line[i];
    const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
    if (digit < 0) return false;
    entry.hash = entry.hash << 4 | static_cast<std::uint64_t>(digit);
  }
  std::size_t i = 17;
  for (; i < line.size() && line[i] >= '0' && line[i] <= '9' && i < 17 + 19; ++i)
    entry.size = entry.size * 10 + static_cast<std::uint64_t>(line[i] - '0');
  if (i == 17 || i >= line.size() - 1 || line[i] != ' ') return false;
  entry.name = std::string(line.substr(i + 1));
  return true;
}

// Read only when a regular file of a manifest's size: a FIFO, a device or a huge file in its
// place reads as no manifest.
constexpr std::uint64_t kManifestLimit = 64 * 1024;

// An unreadable or foreign manifest reads as none: then nothing in the folder counts as the
// export's own, which errs on the side of the user's files.
Manifest ReadManifest(const fs::path& path) {
  std::string bytes;
  if (platform::ReadOwnRegularFile(path, kManifestLimit, bytes) != 0 || !bytes.ends_with('\n')) return {};
  std::vector<std::string_view> lines;
  for (std::string_view rest = bytes; !rest.empty();) {
    const std::size_t end = rest.find('\n');
    lines.push_back(rest.substr(0, end));
    rest.remove_prefix(end + 1);
  }
  Manifest manifest;
  if (lines.size() < 2 || lines[0] != kManifestHeader) return {};
  if (lines[1] != kFolderCreated && lines[1] != kFolderExisted) return {};
  manifest.folderCreated = lines[1] == kFolderCreated;
  std::size_t next = 2;
  if (next < lines.size() && lines[next].starts_with(kTableLine)) {
    if (!UnescapedLine(lines[next].substr(kTableLine.size()), manifest.table)) return {};
    manifest.named = true;
    ++next;
  }
  for (; next < lines.size(); ++next) {
    ManifestEntry entry;
    if (!ParseEntry(lines[next], entry)) return {};
    manifest.entries.push_back(std::move(entry));
  }
  return manifest;
}

std::string ErrorText(int error) { return std::strerror(error); }

// The entries of a folder, every step of the walk checked; 0 or the errno value.
int ListFolder(const fs::path& folder, std::vector<fs::path>& entries) {
  entries.clear();
  std::error_code ec;
  fs::directory_iterator it(folder, ec);
  for (; !ec && it != fs::directory_iterator(); it.increment(ec)) entries.push_back(it->path());
  return ec ? (ec.value() != 0 ? ec.value() : EIO) : 0;
}

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
  std::string bytes;
  if (platform::ReadOwnRegularFile(path, existing.size, bytes) != 0) return false;
  return manifest.Lists(name, existing.size, Hash(bytes));
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

Manifest NewManifest(const std::string& table, const std::vector<OutputFile>& files, bool folderCreated) {
  Manifest manifest;
  manifest.folderCreated = folderCreated;
  manifest.named = true;
  manifest.table = table;
  for (const OutputFile& file : files)
    manifest.entries.push_back({file.name, file.bytes.size(), Hash(file.bytes)});
  return manifest;
}

struct Writer {
  const fs::path& dir;
  const std::string& table;
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

  // The files are in place, but the folder's entries could not be made durable: a power cut
  // may still take them back.
  FolderWriteResult Unsynced(int error, const fs::path& folder) {
    result.status = FolderWrite::Failed;
    result.error = "written, but the entries of " + PathText(folder) + " cannot be made durable: " +
                   ErrorText(error);
    return result;
  }

  // The new files (and `manifests`) in a fresh work folder; 0 or the errno value.
  int Prepare(WorkFolder& work, const std::vector<std::pair<std::string, Manifest>>& manifests) {
    if (int error = work.Create(dir)) return error;
    for (const OutputFile& file : files)
      if (int error = platform::WriteDurableFile(work.path() / Utf8Path(file.name), file.bytes)) return error;
    for (const auto& [name, manifest] : manifests)
      if (int error = platform::WriteDurableFile(work.path() / Utf8Path(name), ManifestText(manifest))) return error;
    return platform::SyncFolder(work.path());
  }

  // No folder yet: the complete folder appears in one rename.
  FolderWriteResult Create() {
    WorkFolder work;
    if (int error = Prepare(work, {{std::string(kManifestName), NewManifest(table, files, true)}}))
      return Fail(error, "");
    if (int error = steps.Rename(work.path(), target)) return Fail(error, "cannot create " + PathText(target));
    work.Release();
    if (int synced = platform::SyncFolder(dir)) return Unsynced(synced, dir);
    result.status = FolderWrite::Written;
    return result;
  }

  // A folder holding nothing but the previous export's files: swapped for the new one whole.
  FolderWriteResult Replace(const std::set<std::string>& own) {
    WorkFolder work;
    if (int error = Prepare(work, {{std::string(kManifestName), NewManifest(table, files, true)}}))
      return Fail(error, "");
    fs::path old = work.path();
    int error = steps.Exchange(work.path(), target);
    WorkFolder aside;
    if (error == EINVAL || error == ENOSYS) {
      // No exchange here (Windows, some file systems): move the old folder into a fresh folder
      // of ours, where its name is unused (a rename cannot replace a folder on Windows), then put
      // the new one in place; put the old one back if the second step fails.
      if (int made = aside.Create(dir)) return Fail(made, "");
      const fs::path moved = aside.path() / target.filename();
      if ((error = steps.Rename(target, moved)) != 0)
        return Fail(error, "cannot replace " + PathText(target));
      if ((error = steps.Rename(work.path(), target)) != 0) {
        if (steps.Rename(moved, target) != 0) aside.Release();  // never lose the old one
        return Fail(error, "cannot replace " + PathText(target));
      }
      old = moved;
      work.Release();
    } else if (error != 0) {
      return Fail(error, "cannot replace " + PathText(target));
    }
    // `old` now holds the previous export and is ours to remove.
    aside.Release();
    work.Release();
    if (int synced = platform::SyncFolder(dir)) return Unsynced(synced, dir);
    if (!RemoveOwnFolder(old, own))
      result.note = "files that appeared in " + PathText(target) + " during the export were kept in " +
                    PathText(old);
    else if (!aside.path().empty())
      platform::RemoveEmptyFolder(aside.path());
    result.status = FolderWrite::Written;
    return result;
  }

  // A folder that also holds the user's files: the new files go in one rename each, under a
  // manifest that accepts old and new texts until the last one is in place.
  FolderWriteResult AddInto(const Manifest& previous, const std::set<std::string>& keptOwn) {
    Manifest final = NewManifest(table, files, previous.folderCreated);
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
    if (int synced = platform::SyncFolder(target)) return Unsynced(synced, target);
    for (const OutputFile& file : files) {
      if (int error = steps.Rename(work.path() / Utf8Path(file.name), target / Utf8Path(file.name))) {
        result.note = "some files of this table are new, others old; export it again";
        return Fail(error, "cannot write " + PathText(target / Utf8Path(file.name)));
      }
    }
    if (int error = steps.Rename(work.path() / Utf8Path(next), manifest))
      return Fail(error, "cannot write " + PathText(manifest));
    if (int synced = platform::SyncFolder(target)) return Unsynced(synced, target);
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

FolderWriteResult WriteTableFolder(const fs::path& dir, const std::string& table, const std::string& folder,
                                   const std::vector<OutputFile>& files, bool force,
                                   const FileSteps& steps) {
  Writer writer{dir, table, dir / Utf8Path(folder), files, steps, {}};
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
  if (previous.named && previous.table != table) {
    // Folder names shift when tables come and go (the ~N suffixes): never another table's texts.
    result.status = FolderWrite::InTheWay;
    result.inTheWay.push_back(PathText(target) + ": holds the export of table \"" +
                              Printable(previous.table) + "\" (not replaced, even with --force)");
    return result;
  }
  std::set<std::string> wanted;
  for (const OutputFile& file : files) wanted.insert(file.name);
  std::set<std::string> own = {std::string(kManifestName)}, keptOwn;
  bool foreign = false;
  std::vector<fs::path> entries;
  if (int error = ListFolder(target, entries)) return writer.Fail(error, "cannot read " + PathText(target));
  for (const fs::path& entry : entries) {
    const std::string name = PathText(entry.filename());
    if (name == kManifestName) continue;
    Existing existing;
    platform::FileInfo st;
    if (int error = platform::Look(entry, st)) return writer.Fail(error, "cannot look at " + PathText(entry));
    if (st.kind == platform::Kind::File) {
      existing.regular = true;
      existing.size = st.size;
    }
    const bool isOwn = IsOwn(entry, name, existing, previous);
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
      result.forced.push_back(PathText(entry));
    } else if (!existing.regular) {
      result.inTheWay.push_back(PathText(entry) + ": " +
                                (st.kind == platform::Kind::Folder ? "a folder" : "not a plain file") +
                                " (not replaced, even with --force)");
    } else {
      result.inTheWay.push_back(PathText(entry) + ": " +
                                (previous.ListsName(name) ? "changed since the previous export"
                                                          : "not written by the previous export"));
    }
  }
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
  std::vector<fs::path> entries;
  if (ListFolder(dir, entries) != 0) return removed;  // the export itself then says why
  for (const fs::path& entry : entries) {
    const std::string name = PathText(entry.filename());
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
    if (platform::Look(entry, info) != 0 || info.kind != platform::Kind::Folder) continue;
    // Nobody holds its lock, and it holds plain files of the export only (a file that appeared
    // in a table's folder while it was being replaced would be kept there too).
    platform::LockedFolder lock;
    std::vector<fs::path> inside;
    if (lock.TryLock(entry) && ListFolder(entry, inside) == 0) {
      std::set<std::string> files;
      bool plain = true;
      for (const fs::path& file : inside) {
        platform::FileInfo st;
        plain = plain && platform::Look(file, st) == 0 && st.kind == platform::Kind::File &&
                IsExportFileName(PathText(file.filename()));
        files.insert(PathText(file.filename()));
      }
      if (plain && RemoveOwnFolder(entry, files)) removed.push_back(name);
    }
  }
  return removed;
}

}  // namespace kelvane::cli
