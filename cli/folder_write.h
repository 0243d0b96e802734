#pragma once
// Putting a table's files into its folder without touching anything else in it.
//
// Every folder an export writes into gets a manifest (kManifestName) with the name, size and
// hash of each file the export wrote there. A later export replaces a file quietly only when the
// manifest lists it unchanged; a file it did not write, or one changed since, stays as it is
// unless the caller forces it, and the table is then not written at all. Files of the user's
// that are not among the five are never touched. A folder that holds nothing but the previous
// export is replaced in one exchange (complete or untouched); a folder that also holds the user's
// files gets the new files one rename each, the manifest covering old and new texts until the
// last one is in place.
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "os/platform.h"

namespace kelvane::cli {

struct OutputFile {
  std::string name;   // file name inside the table's folder
  std::string bytes;  // encoded text
};

// Name of the manifest inside each exported folder.
inline constexpr std::string_view kManifestName = ".kelvane-gen-manifest";
// Prefix of the hidden work folder of a run in the output folder: ".kelvane-gen-<pid>-XXXXXX",
// holding one folder per staged table.
inline constexpr std::string_view kWorkFolderPrefix = ".kelvane-gen-";

// The file-system steps a test wants to fail, or to interleave with something else, on purpose.
// Each returns 0 or an errno value, as the os::Folder steps they stand for.
class FileSteps {
 public:
  virtual ~FileSteps() = default;
  virtual int Write(const os::Folder& dir, std::string_view name, std::string_view bytes,
                    bool durable) const;
  virtual int Look(const os::Folder& dir, std::string_view name, os::FileInfo& info) const;
  virtual int Move(const os::Folder& from, std::string_view fromName, const os::Folder& to,
                   std::string_view toName, bool replaceFile) const;
  // EINVAL or ENOSYS when the file system cannot swap two entries in one step.
  virtual int Exchange(const os::Folder& aDir, std::string_view a, const os::Folder& bDir,
                       std::string_view b) const;
  // A folder's entries durable.
  virtual int Sync(const os::Folder& dir) const;
  // Everything written so far on the output folder's file system durable in one step; ENOSYS
  // where there is no such step (each file is then synced by itself).
  virtual int Barrier(const os::Folder& out) const;
};

const FileSteps& SystemFileSteps();

enum class FolderWrite {
  Written,
  InTheWay,     // files of the user's stand where the export would write; nothing written
  Failed,       // this table's folder could not be written; nothing changed
  TargetFailed  // the output folder itself takes no writes (read-only, full, no permission):
                // every further table would fail the same way
};

struct FolderWriteResult {
  FolderWrite status = FolderWrite::Failed;
  std::string error;                   // Failed, TargetFailed
  std::vector<std::string> inTheWay;   // InTheWay: "<path>: <why>" per file
  bool forceReplaces = false;          // InTheWay: every one of them is a file --force replaces
  std::vector<std::string> forced;     // paths of the user's files replaced because of force
  bool replacedEarlier = false;        // the previous export's files were replaced
  std::string note;                    // something the user should know, on success too
};

// An export into the output folder `dir`, in two steps. Stage() writes each table's files into
// a folder of its own inside this run's hidden work folder, and nothing is synced yet; Finish()
// then makes all of them durable at once (one barrier), and only after that puts each table's
// folder in place (a rename or an exchange per table, or one rename per file beside the user's
// files), then makes the output folder's entries durable once, and only then removes the
// previous exports that were replaced. A power cut at any point leaves each table's folder
// either as it was or complete. Every step inside a table's folder goes through the folder
// opened once: a folder swapped for a link or for another folder meanwhile is refused, never
// followed. Files are removed only when their bytes are still what a manifest says the export
// wrote.
class ExportWriter {
 public:
  ExportWriter(const std::filesystem::path& dir, bool force, const FileSteps& steps = SystemFileSteps());
  ~ExportWriter();
  ExportWriter(const ExportWriter&) = delete;
  ExportWriter& operator=(const ExportWriter&) = delete;

  // Written when staged; Failed or TargetFailed (nothing of this table kept) otherwise.
  FolderWriteResult Stage(const std::string& table, const std::string& folder,
                          const std::vector<OutputFile>& files);
  // One result per staged table, in the order staged, each as described for WriteTableFolder.
  std::vector<FolderWriteResult> Finish();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// Makes `dir`/`folder` hold `files` (and the manifest, which names `table`) as described above:
// an export of one table.
// A folder whose manifest names another table is not touched. With `force`, files of the user's
// at the five names are replaced too (never folders or links).
FolderWriteResult WriteTableFolder(const std::filesystem::path& dir, const std::string& table,
                                   const std::string& folder,
                                   const std::vector<OutputFile>& files, bool force,
                                   const FileSteps& steps = SystemFileSteps());

// Cleans the work folders in `dir` that an export killed before it finished left behind: only
// those whose process is gone and whose lock nobody holds. What such a run staged goes whole,
// half-written files included; only a file of a name no run writes stays (its path goes to
// `kept`), and so does a previous export's folder the run kept (".old") as far as its manifest
// does not prove it the export's. Returns the names of the work folders removed whole. A link
// named as `dir` is followed, as everywhere for the output folder.
std::vector<std::string> RemoveStaleWorkFolders(const std::filesystem::path& dir,
                                                std::vector<std::string>* kept = nullptr);

// What an export of `table`'s `files` into `dir`/`folder` would change there, found by reading
// only: the file names it would add, those whose bytes it would change and the previous
// export's own files it would remove (with the folder it replaces whole). `exported`: the folder holds an export's manifest.
// `error`: the folder could not be read, or it holds another table's export.
struct FolderDifference {
  bool exported = false;
  std::vector<std::string> added, changed, removed;
  std::string error;
};
FolderDifference CompareTableFolder(const std::filesystem::path& dir, const std::string& table,
                                    const std::string& folder, const std::vector<OutputFile>& files);

}  // namespace kelvane::cli
