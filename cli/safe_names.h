#pragma once
// Folder names for exported tables. A table name becomes a folder name unchanged when it can
// be one on the file systems people copy exports to (Linux, macOS, Windows); otherwise it is
// made safe, and names that would meet on a case-folding file system are told apart.
#include <string>
#include <string_view>
#include <vector>

namespace kelvane::cli {

struct FolderName {
  std::string table;   // the server's name
  std::string folder;  // the folder the table's files go into
  bool changed = false;
};

// Longest folder name kept, in bytes: leaves room for a "~N" suffix and the ".cs" of the
// entity file within the usual 255-byte limit of one path component.
inline constexpr std::size_t kMaxFolderBytes = 200;

// True when `name` can be used as a folder name as it stands (before looking at the others).
bool UsableAsIs(std::string_view name);

// The name with every character a file name cannot hold replaced by '_', a leading dot,
// trailing dots and spaces and Windows device names defused, cut to kMaxFolderBytes.
std::string MakeSafe(std::string_view name);

// The key under which two folder names meet on a case-insensitive or normalising file system
// (Windows, macOS): the canonical caseless key (text/caseless.h), so "É" and "é", and the NFC
// and NFD forms of one name, meet.
std::string Fold(std::string_view name);

// One folder per table, in the order given; duplicates of a table name are dropped. Names usable
// as they stand claim their folders first, in order, so a table is never renamed because
// another table's name had to be changed; a name that meets one already taken gets "~2",
// "~3", ...
std::vector<FolderName> AssignFolderNames(const std::vector<std::string>& tables);

// File name of the C# entity text inside a table's folder: "<folder>.cs", unless that would be
// the operation class's file Star.cs (on a case-folding file system too).
std::string EntityFileName(const std::string& folder);

// The name as it is shown in messages and listings, on one line and readable back: a backslash
// as \\, C0 controls and DEL as \xHH, C1 controls and U+2028/U+2029 as \uHHHH, each byte
// that is not part of valid UTF-8 as \xHH, each character of `alsoEscaped` (an ASCII separator)
// as \ and the character; the rest unchanged.
std::string Printable(std::string_view name, std::string_view alsoEscaped = {});

}  // namespace kelvane::cli
