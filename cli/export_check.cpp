// export --check: what an export into the output folder would change there, told without
// writing or removing anything (no work folder, no lock): one line per table whose files would
// be added, changed or removed, and a summary. Exits kExitWouldChange when any would.
#include <filesystem>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/failures.h"
#include "cli/folder_write.h"
#include "cli/messages.h"
#include "cli/safe_names.h"
#include "cli/server_reads.h"
#include "cli/table_export.h"
#include "cli/table_texts.h"
#include "os/platform.h"

namespace kelvane::cli {

namespace {

// "added a, b; changed c" for the kinds of change that are there.
std::string Changes(const FolderDifference& difference) {
  std::string text;
  const auto kind = [&](const char* what, const std::vector<std::string>& names) {
    if (names.empty()) return;
    text += (text.empty() ? "" : "; ") + std::string(what);
    for (std::size_t i = 0; i < names.size(); ++i) text += (i == 0 ? " " : ", ") + Printable(names[i]);
  };
  kind("added", difference.added);
  kind("changed", difference.changed);
  kind("removed", difference.removed);
  return text;
}

}  // namespace

int ExportCheckCommand(const Settings& settings) {
  SchemaSession connection;
  std::vector<std::string> chosen;
  if (int code = ChooseTables(settings, connection, chosen)) return code;

  // Read only: the folder is neither made nor locked, and stale work folders stay.
  const std::filesystem::path outDir = platform::Utf8Path(settings.out);
  if (std::error_code ec; std::filesystem::exists(outDir, ec) && !std::filesystem::is_directory(outDir, ec)) {
    Error("cannot use " + settings.out + " as output folder: not a folder");
    return kExitOther;
  }

  const std::vector<FolderName> folders = AssignFolderNames(chosen);
  if (!WriteOut(FolderMapping(folders))) return kExitOther;

  const Encoding encoding = ChosenEncoding(settings, Encoding::Gbk);
  int result = kExitOk;
  std::size_t changed = 0, failed = 0, checked = 0;
  bool anyExport = false;
  std::string report;
  for (const FolderName& entry : folders) {
    std::vector<OutputFile> files;
    std::string error;
    bool serverGone = false;
    int code = TableFiles(connection.handle(), settings, entry, encoding, files, error, serverGone, [] {});
    FolderDifference difference;
    if (code == kExitOk) {
      difference = CompareTableFolder(outDir, entry.table, entry.folder, files);
      if (!difference.error.empty()) {
        code = kExitOther;
        error = "table " + Quoted(entry.table) + ": " + difference.error;
      }
    }
    if (code != kExitOk) {
      Error(error);
      if (result == kExitOk) result = code;
      ++failed;
      if (serverGone) break;
      continue;
    }
    ++checked;
    anyExport = anyExport || difference.exported;
    const std::string changes = Changes(difference);
    if (changes.empty()) continue;
    ++changed;
    report += "table " + Quoted(entry.table) + ": " + changes + "\n";
  }
  if (!anyExport && checked > 0) Error(settings.out + " holds no export of these tables; an export would write them all");

  std::string summary = "checked " + std::to_string(checked) + " of " + TableCount(folders.size()) + " of " +
                        Printable(settings.database) +
                        " against " + Printable(settings.out) + " (" + std::string(EncodingName(encoding)) + "): ";
  summary += changed == 0 ? std::string("up to date") : std::to_string(changed) + " would change";
  if (failed > 0) summary += "; " + std::to_string(failed) + " failed";
  if (!WriteOut(report + summary + "\n")) return kExitOther;
  if (result != kExitOk) return result;
  return changed == 0 ? kExitOk : kExitWouldChange;
}

}  // namespace kelvane::cli
