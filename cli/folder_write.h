#pragma once
// Putting a table's files into its folder without touching anything else in it.
//
// Every folder an export writes into gets a manifest (kManifestName) with the name, size and
// hash of each file the export wrote there. A later export replaces a file quietly only when the
// manifest lists it unchanged; a file it did not write, or one changed since, stays as it is
// unless the caller forces it, and the table is then not written at all. Files of the user's
// that are not among the five are never touched. A folder that holds nothing but the previous
// export is replaced in one rename (complete or untouched); a folder that also holds the user's
// files gets the new files one rename each, the manifest covering old and new texts until the
// last one is in place.
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace kelvane::cli {

struct OutputFile {
  std::string name;   // file name inside the table's folder
  std::string bytes;  // encoded text
};

// Name of the manifest inside each exported folder.
inline constexpr std::string_view kManifestName = ".kelvane-gen-manifest";
// Prefix of the hidden work folders in the output folder: ".kelvane-gen-<pid>-XXXXXX".
inline constexpr std::string_view kWorkFolderPrefix = ".kelvane-gen-";

// The file-system steps that differ between systems or that a test wants to fail on purpose.
// Each returns 0 or an errno value.
class FileSteps {
 public:
  virtual ~FileSteps() = default;
  virtual int Rename(const std::filesystem::path& from, const std::filesystem::path& to) const;
  // Swaps two existing names in one step; EINVAL or ENOSYS when the file system cannot.
  virtual int Exchange(const std::filesystem::path& a, const std::filesystem::path& b) const;
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
  std::vector<std::string> forced;     // paths of the user's files replaced because of force
  bool replacedEarlier = false;        // the previous export's files were replaced
  std::string note;                    // something the user should know, on success too
};

// Makes `dir`/`folder` hold `files` (and the manifest, which names `table`) as described above.
// A folder whose manifest names another table is not touched. With `force`, files of the user's
// at the five names are replaced too (never folders or links).
FolderWriteResult WriteTableFolder(const std::filesystem::path& dir, const std::string& table,
                                   const std::string& folder,
                                   const std::vector<OutputFile>& files, bool force,
                                   const FileSteps& steps = SystemFileSteps());

// Removes the work folders in `dir` that an export killed before it finished left behind: only
// those whose process is gone and whose lock nobody holds, and only when they hold nothing but
// files. Returns the names of the folders removed.
std::vector<std::string> RemoveStaleWorkFolders(const std::filesystem::path& dir);

}  // namespace kelvane::cli
