#include "cli/folder_write.h"

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <set>
#include <utility>

#include "cli/safe_names.h"
#include "os/platform.h"

namespace kelvane::cli {

namespace fs = std::filesystem;
using os::FileInfo;
using os::Folder;
using os::Kind;
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
  bool valid = false;  // read from a well-formed manifest
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
Manifest ReadManifest(const Folder& folder) {
  std::string bytes;
  if (folder.Read(kManifestName, kManifestLimit, bytes) != 0 || !bytes.ends_with('\n')) return {};
  std::vector<std::string_view> lines;
  for (std::string_view rest = bytes; !rest.empty();) {
    const std::size_t end = rest.find('\n');
    lines.push_back(rest.substr(0, end));
    rest.remove_prefix(end + 1);
  }
  Manifest manifest;
  manifest.valid = true;
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

// The output folder as named, or where it leads when the name is a link (as cp, tar -C and
// mkdir -p follow it): the user named it. Links inside it are never followed.
fs::path FollowedOutput(const fs::path& dir) {
  std::error_code ec;
  if (!fs::is_symlink(dir, ec)) return dir;
  const fs::path target = fs::canonical(dir, ec);
  return ec ? dir : target;
}

// Errors that every further table in the same output folder would meet too.
bool AboutTheWholeTarget(int error) {
  return error == EROFS || error == ENOSPC || error == platform::kQuotaExceeded || error == EACCES || error == EPERM;
}

// True when the entry is a regular file whose bytes the list names (name, size and hash): only
// files the list names with the same size are read.
bool StillListed(const Folder& folder, const std::string& name, const FileInfo& info,
                 const std::vector<ManifestEntry>& list) {
  if (info.kind != Kind::File) return false;
  bool sizeListed = false;
  for (const ManifestEntry& entry : list)
    sizeListed = sizeListed || (entry.name == name && entry.size == info.size);
  if (!sizeListed) return false;
  std::string bytes;
  if (folder.Read(name, info.size, bytes) != 0) return false;
  const std::uint64_t hash = Hash(bytes);
  for (const ManifestEntry& entry : list)
    if (entry.name == name && entry.size == info.size && entry.hash == hash) return true;
  return false;
}

// The names a run of ours ever writes into a table's folder or its staging folder: the texts
// (the entity file is <folder>.cs or <folder>_entity.cs), the manifest and its two stand-ins.
bool RunFileName(std::string_view name) {
  return name == "custom_type.txt" || name == "class_module.txt" || name == "set_class.txt" ||
         (name.size() > 3 && name.ends_with(".cs")) || name == kManifestName ||
         name == std::string(kManifestName) + ".both" || name == std::string(kManifestName) + ".next";
}

// Removes from a folder the files its own manifest (or `also`) lists with the same bytes (only
// those named in `only`, when given), then the manifest and the folder itself (`name` in
// `parent`) when nothing else is left in it. True when the folder is gone.
bool RemoveListedFiles(const Folder& parent, const std::string& name,
                       const std::vector<ManifestEntry>& also = {},
                       const std::set<std::string>* only = nullptr) {
  Folder folder;
  if (folder.Open(parent, name) != 0) return false;
  std::vector<ManifestEntry> list = ReadManifest(folder).entries;
  list.insert(list.end(), also.begin(), also.end());
  if (only) std::erase_if(list, [&](const ManifestEntry& entry) { return !only->contains(entry.name); });
  std::vector<std::string> names;
  if (folder.List(names) != 0) return false;
  bool others = false, manifest = false;
  for (const std::string& entry : names) {
    FileInfo info;
    if (entry == kManifestName) {
      manifest = true;
    } else if (folder.Look(entry, info) == 0 && StillListed(folder, entry, info, list)) {
      others = folder.Remove(entry) != 0 || others;
    } else {
      others = true;
    }
  }
  if (others) return false;
  if (manifest && folder.Remove(kManifestName) != 0) return false;
  return parent.RemoveFolder(name) == 0;
}

// Empties and removes a folder a run of ours staged in its work folder (`name` in `parent`):
// every plain file of a name such a run writes (or of the names in `staged`, this run's own)
// goes whatever its bytes (a killed or failed run leaves files half written); anything else
// stays, and its path is added to `kept`. True when the folder is gone.
bool RemoveRunFolder(const Folder& parent, const std::string& name, const fs::path& path,
                     const std::set<std::string>& staged = {}, std::vector<std::string>* kept = nullptr) {
  Folder folder;
  if (folder.Open(parent, name) != 0) return false;
  std::vector<std::string> names;
  if (folder.List(names) != 0) return false;
  bool others = false;
  for (const std::string& entry : names) {
    FileInfo info;
    if ((RunFileName(entry) || staged.contains(entry)) && folder.Look(entry, info) == 0 && info.kind == Kind::File &&
        folder.Remove(entry) == 0)
      continue;
    others = true;
    if (kept) kept->push_back(PathText(path / Utf8Path(entry)));
  }
  return !others && parent.RemoveFolder(name) == 0;
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

// A table staged in the run's work folder, waiting for the barrier.
struct Staged {
  std::string table, folder;
  std::string work;      // its folder's name in the run's work folder
  Manifest manifest;     // what was written there (the manifest of a newly made folder)
  std::string oldCopy;   // after the replacement: the previous export's folder, in the work folder
  std::vector<ManifestEntry> forced;  // the user's files replaced because of force, as seen
  bool movedInOutput = false;  // a rename or exchange in the output folder waits for its sync
  FolderWriteResult result;
};

std::set<std::string> OwnNames(const Staged& entry) {
  std::set<std::string> names;
  for (const ManifestEntry& file : entry.manifest.entries) names.insert(file.name);
  return names;
}

}  // namespace

struct ExportWriter::State {
  fs::path dir;
  bool force;
  const FileSteps& steps;
  Folder out;                      // the output folder
  platform::LockedFolder runLock;  // this run's work folder, locked while the run holds it
  Folder run;
  std::vector<Staged> staged;
  std::size_t counter = 0;
  // Without a barrier for the whole file system each file is forced to disk as it is written
  // (still all of them before the first rename).
  const bool durableWrites = !os::SyncsWholeFileSystem();

  FolderWriteResult Fail(FolderWriteResult result, int error, const std::string& what) {
    result.status = AboutTheWholeTarget(error) && what.empty() ? FolderWrite::TargetFailed
                                                                 : FolderWrite::Failed;
    result.error = what.empty() ? "cannot write into " + PathText(dir) + ": " + ErrorText(error)
                                : what + ": " + ErrorText(error);
    return result;
  }

  int beginError = 0;  // once the work folder cannot be made, every table meets the same

  int Begin() {
    if (run.IsOpen() || beginError != 0) return beginError;
    beginError = out.Open(FollowedOutput(dir));
    if (beginError == 0)
      beginError = runLock.Create(FollowedOutput(dir), std::string(kWorkFolderPrefix) + std::to_string(platform::ProcessId()) + "-");
    if (beginError == 0) {
      beginError = run.Open(out, PathText(runLock.path().filename()));
      if (beginError != 0) {
        runLock.Unlock();
        out.RemoveFolder(PathText(runLock.path().filename()));
      }
    }
    return beginError;
  }

  FolderWriteResult Stage(const std::string& table, const std::string& folder,
                          const std::vector<OutputFile>& files) {
    Staged entry{table, folder, std::to_string(++counter), NewManifest(table, files, true), {}, {}, false, {}};
    if (int error = Begin()) {
      // Without a work folder no table can be written.
      FolderWriteResult result = Fail({}, error, "");
      result.status = FolderWrite::TargetFailed;
      return result;
    }
    if (int error = run.MakeFolder(entry.work)) return Fail({}, error, "");
    Folder work;
    int error = work.Open(run, entry.work);
    // The manifest first: whatever of the folder a killed run leaves, its manifest proves ours.
    if (error == 0) error = steps.Write(work, kManifestName, ManifestText(entry.manifest), durableWrites);
    for (const OutputFile& file : files)
      if (error == 0) error = steps.Write(work, file.name, file.bytes, durableWrites);
    if (error != 0) {
      RemoveRunFolder(run, entry.work, runLock.path() / entry.work, OwnNames(entry));
      return Fail({}, error, "");
    }
    entry.result.status = FolderWrite::Written;
    staged.push_back(std::move(entry));
    return staged.back().result;
  }

  // Every staged file durable: one step for the whole file system where there is one, else
  // file by file; then the staged folders' entries.
  int Barrier() {
    if (!durableWrites) {
      const int error = steps.Barrier(out);
      if (error != ENOSYS && error != EINVAL) return error;
      for (const Staged& entry : staged) {
        Folder work;
        if (int failed = work.Open(run, entry.work)) return failed;
        if (int failed = work.SyncFile(kManifestName)) return failed;
        for (const ManifestEntry& file : entry.manifest.entries)
          if (int failed = work.SyncFile(file.name)) return failed;
        if (int failed = steps.Sync(work)) return failed;
      }
    }
    return steps.Sync(run);
  }

  std::vector<FolderWriteResult> Finish() {
    std::vector<FolderWriteResult> results;
    if (staged.empty()) return results;
    if (int error = Barrier()) {
      for (Staged& entry : staged)
        results.push_back(Fail(entry.result, error, "cannot make the files durable in " + PathText(dir)));
      for (const Staged& entry : staged) RemoveRunFolder(run, entry.work, runLock.path() / entry.work, OwnNames(entry));
      staged.clear();
      Close();
      return results;
    }
    bool moved = false;
    for (Staged& entry : staged) {
      entry.result = PutInPlace(entry);
      moved = moved || entry.movedInOutput;
    }
    // One sync for every rename and exchange in the output folder; until it is through, the
    // previous exports stay where a power cut can still bring them back.
    const int synced = moved ? steps.Sync(out) : 0;
    for (Staged& entry : staged) {
      if (synced != 0 && entry.movedInOutput) {
        entry.result.status = FolderWrite::Failed;
        entry.result.error = "written, but the entries of " + PathText(dir) +
                             " cannot be made durable: " + ErrorText(synced);
        continue;
      }
      // Of the previous folder only the export's own files go (the five names, unchanged).
      const std::set<std::string> own = OwnNames(entry);
      if (!entry.oldCopy.empty() && !RemoveListedFiles(run, entry.oldCopy, entry.forced, &own)) {
        // Kept under a name that tells later clean-ups it holds the user's files.
        std::string keptName = entry.oldCopy;
        if (!keptName.ends_with(".old") && steps.Move(run, entry.oldCopy, run, entry.oldCopy + ".old", false) == 0)
          keptName += ".old";
        if (entry.work == entry.oldCopy) entry.work = keptName;
        entry.oldCopy = keptName;
        entry.result.note = "files that appeared in " + PathText(dir / Utf8Path(entry.folder)) +
                            " during the export were kept in " +
                            PathText(runLock.path() / Utf8Path(entry.oldCopy));
      }
    }
    for (Staged& entry : staged) {
      // What was staged but not put in place (and what AddInto left behind) is ours alone. A
      // folder that went into place whole by one rename left nothing behind.
      const bool movedWhole = entry.movedInOutput && entry.oldCopy.empty() && entry.result.status == FolderWrite::Written;
      if (!movedWhole && entry.work != entry.oldCopy && (synced == 0 || !entry.movedInOutput))
        RemoveRunFolder(run, entry.work, runLock.path() / entry.work, OwnNames(entry));
      results.push_back(std::move(entry.result));
    }
    staged.clear();
    Close();
    return results;
  }

  // The run's work folder goes when empty (what it still holds was kept and said so).
  void Close() {
    if (!run.IsOpen()) return;
    run = Folder();
    runLock.Unlock();
    out.RemoveFolder(PathText(runLock.path().filename()));
  }

  FolderWriteResult InTheWay(FolderWriteResult result, std::string line) {
    result.status = FolderWrite::InTheWay;
    result.inTheWay.push_back(std::move(line));
    return result;
  }

  FolderWriteResult PutInPlace(Staged& entry) {
    FolderWriteResult result = entry.result;
    const fs::path target = dir / Utf8Path(entry.folder);
    FileInfo info;
    if (int error = steps.Look(out, entry.folder, info))
      return Fail(result, error, "cannot look at " + PathText(target));
    if (info.kind == Kind::Missing) {
      // The complete folder appears in one rename, which never replaces what appeared meanwhile.
      if (int error = steps.Move(run, entry.work, out, entry.folder, false))
        return Fail(result, error, "cannot create " + PathText(target));
      entry.movedInOutput = true;
      return result;
    }
    if (info.kind != Kind::Folder)
      return InTheWay(result, PathText(target) + ": " + (info.kind == Kind::Link ? "a link" : "a file") +
                                  " where the table's folder goes (not replaced, even with --force)");
    Folder folder;
    if (int error = folder.Open(out, entry.folder))
      return error == ENOTDIR ? InTheWay(result, PathText(target) +
                                                     ": not a folder (not replaced, even with --force)")
                              : Fail(result, error, "cannot open " + PathText(target));

    // Whatever stands at the manifest's name must be a manifest: a file of the user's there is
    // never replaced, not even with --force (which replaces only the export's texts).
    FileInfo manifestInfo;
    if (int error = steps.Look(folder, kManifestName, manifestInfo))
      return Fail(result, error, "cannot look at " + PathText(target / kManifestName));
    const Manifest previous = ReadManifest(folder);
    if (manifestInfo.kind != Kind::Missing && !previous.valid)
      return InTheWay(result, PathText(target / kManifestName) +
                                  ": not a manifest of kelvane-gen (not replaced, even with --force)");
    if (previous.named && previous.table != entry.table)
      // Folder names shift when tables come and go (the ~N suffixes): never another table's texts.
      return InTheWay(result, PathText(target) + ": holds the export of table \"" +
                                  Printable(previous.table) + "\" (not replaced, even with --force)");
    std::set<std::string> wanted;
    for (const ManifestEntry& file : entry.manifest.entries) wanted.insert(file.name);
    bool foreign = false, forceable = true;
    std::vector<std::string> names;
    if (int error = folder.List(names)) return Fail(result, error, "cannot read " + PathText(target));
    for (const std::string& name : names) {
      if (name == kManifestName) continue;
      const fs::path path = target / Utf8Path(name);
      FileInfo st;
      if (int error = steps.Look(folder, name, st)) return Fail(result, error, "cannot look at " + PathText(path));
      // Only the export's own names count as its files, whatever a manifest lists besides.
      if (!wanted.contains(name)) {
        foreign = true;
        continue;
      }
      const bool isOwn = StillListed(folder, name, st, previous.entries);
      if (isOwn) continue;
      if (force && st.kind == Kind::File) {
        std::string bytes;
        if (int error = folder.Read(name, st.size, bytes)) return Fail(result, error, "cannot read " + PathText(path));
        entry.forced.push_back({name, bytes.size(), Hash(bytes)});
        result.forced.push_back(PathText(path));
      } else if (st.kind != Kind::File) {
        forceable = false;
        result.inTheWay.push_back(PathText(path) + ": " +
                                  (st.kind == Kind::Folder ? "a folder" : "not a plain file") +
                                  " (not replaced, even with --force)");
      } else {
        result.inTheWay.push_back(PathText(path) + ": " +
                                  (previous.ListsName(name) ? "changed since the previous export"
                                                            : "not written by the previous export"));
      }
    }
    if (!result.inTheWay.empty()) {
      result.status = FolderWrite::InTheWay;
      result.forceReplaces = forceable;
      result.forced.clear();
      return result;
    }
    result.replacedEarlier = !previous.entries.empty();
    if (!foreign && previous.folderCreated) return Replace(entry, folder, result);
    return AddInto(entry, folder, previous, result);
  }

  // A folder holding nothing but the previous export's files: swapped for the new one whole.
  FolderWriteResult Replace(Staged& entry, const Folder& folder, FolderWriteResult result) {
    const fs::path target = dir / Utf8Path(entry.folder);
    const std::string what = "cannot replace " + PathText(target);
    int error = steps.Exchange(run, entry.work, out, entry.folder);
    if (error == 0) {
      // What went into the work folder must be the folder looked at, not one put there since.
      if (!folder.IsAt(run, entry.work)) {
        steps.Exchange(run, entry.work, out, entry.folder);
        return Fail(result, EBUSY, what + " (it was replaced during the export)");
      }
      entry.oldCopy = entry.work;
      entry.movedInOutput = true;
      return result;
    }
    if (error != EINVAL && error != ENOSYS) return Fail(result, error, what);
    // No exchange here (Windows, some file systems): move the old folder into the work folder,
    // where its name is unused (a rename cannot replace a folder on Windows), then put the new
    // one in place; put the old one back if the second step fails.
    const std::string old = entry.work + ".old";
    if ((error = steps.Move(out, entry.folder, run, old, false)) != 0) return Fail(result, error, what);
    if (!folder.IsAt(run, old)) {
      steps.Move(run, old, out, entry.folder, false);
      return Fail(result, EBUSY, what + " (it was replaced during the export)");
    }
    entry.movedInOutput = true;
    if ((error = steps.Move(run, entry.work, out, entry.folder, false)) != 0) {
      if (steps.Move(run, old, out, entry.folder, false) != 0)  // never lose the old one
        result.note = "the previous export is kept in " + PathText(runLock.path() / Utf8Path(old));
      return Fail(result, error, what);
    }
    entry.oldCopy = old;
    return result;
  }

  // A folder that also holds the user's files: the new files go in one rename each, under a
  // manifest that accepts old and new texts until the last one is in place. The renames go into
  // the folder looked at, wherever it is moved meanwhile.
  FolderWriteResult AddInto(Staged& entry, const Folder& folder, const Manifest& previous,
                            FolderWriteResult result) {
    const fs::path target = dir / Utf8Path(entry.folder);
    Manifest final = entry.manifest;
    final.folderCreated = previous.folderCreated;
    // The stand-in accepts the old texts of the export's own names only.
    Manifest both = final;
    for (const ManifestEntry& file : previous.entries)
      if (entry.manifest.ListsName(file.name)) both.entries.push_back(file);
    const std::string bothName = std::string(kManifestName) + ".both",
                      nextName = std::string(kManifestName) + ".next";
    Folder work;
    int error = work.Open(run, entry.work);
    if (error != 0) return Fail(result, error, "");
    // Whatever is left of the two manifests goes with this step.
    struct Tidy {
      const Folder& work;
      const std::string &both, &next;
      ~Tidy() { work.Remove(both), work.Remove(next); }
    } tidy{work, bothName, nextName};
    if (error == 0) error = steps.Write(work, bothName, ManifestText(both), true);
    if (error == 0) error = steps.Write(work, nextName, ManifestText(final), true);
    if (error != 0) return Fail(result, error, "");
    const fs::path manifest = target / kManifestName;
    if ((error = steps.Move(work, bothName, folder, kManifestName, true)) != 0)
      return Fail(result, error, "cannot write " + PathText(manifest));
    if ((error = steps.Sync(folder)) != 0) return Unsynced(result, error, target);
    for (const ManifestEntry& file : entry.manifest.entries) {
      if ((error = steps.Move(work, file.name, folder, file.name, true)) != 0) {
        result.note = "some files of this table are new, others old; export it again";
        return Fail(result, error, "cannot write " + PathText(target / Utf8Path(file.name)));
      }
    }
    if ((error = steps.Move(work, nextName, folder, kManifestName, true)) != 0)
      return Fail(result, error, "cannot write " + PathText(manifest));
    if ((error = steps.Sync(folder)) != 0) return Unsynced(result, error, target);
    if (!folder.IsAt(out, entry.folder))
      return Fail(result, EBUSY, PathText(target) + " was moved or replaced during the export; the files "
                                 "went into the folder that stood there when the export looked");
    return result;
  }

  // The files are in place, but the folder's entries could not be made durable: a power cut
  // may still take them back.
  FolderWriteResult Unsynced(FolderWriteResult result, int error, const fs::path& folder) {
    result.status = FolderWrite::Failed;
    result.error = "written, but the entries of " + PathText(folder) + " cannot be made durable: " +
                   ErrorText(error);
    return result;
  }
};

int FileSteps::Write(const Folder& dir, std::string_view name, std::string_view bytes, bool durable) const {
  return dir.Write(name, bytes, durable);
}
int FileSteps::Look(const Folder& dir, std::string_view name, FileInfo& info) const {
  return dir.Look(name, info);
}
int FileSteps::Move(const Folder& from, std::string_view fromName, const Folder& to,
                    std::string_view toName, bool replaceFile) const {
  return os::Move(from, fromName, to, toName, replaceFile);
}
int FileSteps::Exchange(const Folder& aDir, std::string_view a, const Folder& bDir, std::string_view b) const {
  return os::Exchange(aDir, a, bDir, b);
}
int FileSteps::Sync(const Folder& dir) const { return dir.Sync(); }
int FileSteps::Barrier(const Folder& out) const { return out.SyncFileSystem(); }

const FileSteps& SystemFileSteps() {
  static const FileSteps steps;
  return steps;
}

ExportWriter::ExportWriter(const fs::path& dir, bool force, const FileSteps& steps)
    : state_(new State{dir, force, steps, {}, {}, {}, {}, 0}) {}

ExportWriter::~ExportWriter() {
  // A run that stops before Finish() leaves nothing of what it staged.
  if (state_->run.IsOpen())
    for (const Staged& entry : state_->staged)
      RemoveRunFolder(state_->run, entry.work, state_->runLock.path() / entry.work, OwnNames(entry));
  state_->Close();
}

FolderWriteResult ExportWriter::Stage(const std::string& table, const std::string& folder,
                                      const std::vector<OutputFile>& files) {
  return state_->Stage(table, folder, files);
}

std::vector<FolderWriteResult> ExportWriter::Finish() { return state_->Finish(); }

FolderWriteResult WriteTableFolder(const fs::path& dir, const std::string& table, const std::string& folder,
                                   const std::vector<OutputFile>& files, bool force,
                                   const FileSteps& steps) {
  ExportWriter writer(dir, force, steps);
  FolderWriteResult staged = writer.Stage(table, folder, files);
  if (staged.status != FolderWrite::Written) return staged;
  return writer.Finish().front();
}

std::vector<std::string> RemoveStaleWorkFolders(const fs::path& dir, std::vector<std::string>* kept) {
  std::vector<std::string> removed;
  Folder out;
  std::vector<std::string> names;
  if (out.Open(FollowedOutput(dir)) != 0 || out.List(names) != 0) return removed;  // the export then says why
  for (const std::string& name : names) {
    if (!name.starts_with(kWorkFolderPrefix)) continue;
    // ".kelvane-gen-<pid>-XXXXXX" with a process that is gone.
    const std::string rest = name.substr(kWorkFolderPrefix.size());
    const std::size_t dash = rest.find('-');
    if (dash == 0 || dash == std::string::npos || rest.size() - dash - 1 != 6 ||
        rest.find_first_not_of("0123456789") != dash)
      continue;
    const long pid = std::strtol(rest.substr(0, dash).c_str(), nullptr, 10);
    if (pid <= 0 || pid == platform::ProcessId() || !platform::ProcessGone(pid)) continue;
    // Nobody may hold its lock; once that is known it is let go again (on Windows the lock
    // would keep even its taker from reading the folder).
    Folder work;
    platform::LockedFolder lock;
    std::vector<std::string> inside;
    if (work.Open(out, name) != 0 || !lock.TryLock(dir / Utf8Path(name))) continue;
    lock.Unlock();
    if (!work.IsAt(out, name) || work.List(inside) != 0) continue;
    // What the run staged goes whole, half-written files included; a previous export's folder
    // it kept (".old": it may hold files of the user's) only as far as its manifest proves it
    // the export's.
    // A run stages each table in a folder named by a number, and keeps a previous export's
    // folder as "<number>.old"; nothing else in a work folder is a run's.
    const fs::path path = dir / Utf8Path(name);
    for (const std::string& entry : inside) {
      FileInfo info;
      if (work.Look(entry, info) != 0 || info.kind != Kind::Folder) continue;
      const std::string number = entry.ends_with(".old") ? entry.substr(0, entry.size() - 4) : entry;
      const bool staged = !number.empty() && number.find_first_not_of("0123456789") == std::string::npos;
      if (staged && number == entry) RemoveRunFolder(work, entry, path / Utf8Path(entry), {}, kept);
      else if (!(staged && RemoveListedFiles(work, entry)) && kept) kept->push_back(PathText(path / Utf8Path(entry)));
    }
    // In the work folder itself, only what its own manifest lists.
    if (RemoveListedFiles(out, name)) removed.push_back(name);
  }
  return removed;
}

FolderDifference CompareTableFolder(const fs::path& dir, const std::string& table, const std::string& folder,
                                    const std::vector<OutputFile>& files) {
  FolderDifference difference;
  const fs::path target = dir / Utf8Path(folder);
  Folder out, inside;
  int error = out.Open(dir);
  if (error == 0) error = inside.Open(out, folder);
  if (error == ENOENT) {
    for (const OutputFile& file : files) difference.added.push_back(file.name);
    return difference;
  }
  if (error != 0) {
    difference.error = "cannot open " + PathText(target) + ": " + ErrorText(error);
    return difference;
  }
  const Manifest manifest = ReadManifest(inside);
  difference.exported = manifest.named || !manifest.entries.empty();
  if (manifest.named && manifest.table != table) {
    difference.error = PathText(target) + ": holds the export of table \"" + Printable(manifest.table) + "\"";
    return difference;
  }
  std::set<std::string> written;
  for (const OutputFile& file : files) {
    written.insert(file.name);
    FileInfo info;
    if (int failed = inside.Look(file.name, info)) {
      if (failed == ENOENT) difference.added.push_back(file.name);
      else difference.error = "cannot look at " + PathText(target / Utf8Path(file.name)) + ": " + ErrorText(failed);
      continue;
    }
    std::string bytes;
    if (info.kind != Kind::File || info.size != file.bytes.size() ||
        inside.Read(file.name, info.size, bytes) != 0 || bytes != file.bytes)
      difference.changed.push_back(file.name);
  }
  // The previous export's own files that this one does not write go with the folder, when the
  // export replaces it whole: a folder it made that holds nothing of the user's.
  std::vector<std::string> names, own;
  if (!manifest.folderCreated || inside.List(names) != 0) return difference;
  for (const std::string& name : names) {
    FileInfo info;
    if (name == kManifestName || written.contains(name)) continue;
    if (inside.Look(name, info) != 0 || !StillListed(inside, name, info, manifest.entries)) return difference;
    own.push_back(name);
  }
  difference.removed = own;
  return difference;
}

}  // namespace kelvane::cli
