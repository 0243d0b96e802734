// export: the five files of every table (or of the named ones) into the output folder, each
// table's folder put in place by the writer (folder_write.h), with a progress line and a summary.
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/failures.h"
#include "cli/folder_write.h"
#include "cli/messages.h"
#include "cli/name_checks.h"
#include "cli/safe_names.h"
#include "cli/server_reads.h"
#include "cli/table_export.h"
#include "cli/table_texts.h"
#include "os/platform.h"

namespace kelvane::cli {

namespace {

// "[12/340] orders" on one terminal line that each table overwrites.
class Progress {
 public:
  explicit Progress(std::size_t total) : total_(total), shown_(platform::StderrIsTerminal()) {}
  void Show(std::size_t index, const std::string& table) {
    if (!shown_) return;
    std::cerr << "\r[" << index << "/" << total_ << "] " << Printable(table) << "\x1b[K"
              << std::flush;
  }
  void Clear() {
    if (shown_) std::cerr << "\r\x1b[K" << std::flush;
  }

 private:
  std::size_t total_;
  bool shown_;
};

}  // namespace

int ExportCommand(const Settings& settings) {
  namespace fs = std::filesystem;
  SchemaSession connection;
  std::vector<std::string> chosen;
  if (int code = ChooseTables(settings, connection, chosen)) return code;

  const fs::path outDir = platform::Utf8Path(settings.out);
  std::error_code ec;
  fs::create_directories(outDir, ec);
  if (ec || !fs::is_directory(outDir, ec)) {
    Error("cannot use " + settings.out + " as output folder" + (ec ? ": " + ec.message() : ""));
    return kExitOther;
  }

  // One export at a time into one folder: two at once would interleave their table folders.
  platform::OutputFolderLock outLock;
  if (int error = outLock.Lock(outDir)) {
    Error(error == EWOULDBLOCK ? "another export is writing into " + settings.out + "; try again when it has finished"
                               : "cannot lock " + settings.out + ": " + std::strerror(error));
    return kExitOther;
  }

  const std::vector<FolderName> folders = AssignFolderNames(chosen);
  if (!WriteOut(FolderMapping(folders))) return kExitOther;

  std::vector<std::string> keptFromStopped;
  for (const std::string& name : RemoveStaleWorkFolders(outDir, &keptFromStopped))
    Error("removed " + platform::PathText(outDir / platform::Utf8Path(name)) + ", left by an export that was stopped");
  for (const std::string& path : keptFromStopped)
    Error("kept " + Printable(path) + " in the work folder of an export that was stopped: no export writes it");

  const Encoding encoding = ChosenEncoding(settings, Encoding::Gbk);
  Progress progress(folders.size());
  int result = kExitOk;
  std::size_t written = 0, replaced = 0, failed = 0, tried = 0;
  const auto fail = [&](int code, const std::string& error) {
    progress.Clear();
    Error(error);
    if (result == kExitOk) result = code;
    ++failed;
  };
  // Every table's files are staged first; the writer then makes them durable at once and puts
  // them in place (folder_write.h).
  ExportWriter writer(outDir, settings.force);
  std::vector<const FolderName*> staged;
  for (std::size_t i = 0; i < folders.size(); ++i, ++tried) {
    const FolderName& entry = folders[i];
    progress.Show(i + 1, entry.table);
    std::vector<OutputFile> files;
    std::string error;
    bool serverGone = false;
    int code = TableFiles(connection.handle(), settings, entry, encoding, files, error, serverGone,
                          [&] { progress.Clear(); });
    if (code == kExitOk) {
      const FolderWriteResult stage = writer.Stage(entry.table, entry.folder, files);
      if (stage.status == FolderWrite::Written) {
        staged.push_back(&entry);
        continue;
      }
      code = kExitOther;
      error = stage.status == FolderWrite::TargetFailed ? stage.error
                                                        : "table " + Quoted(entry.table) + ": " + stage.error;
      fail(code, error);
      // The remaining tables would fail the same way; they are not tried (nor counted failed).
      if (stage.status == FolderWrite::TargetFailed) {
        ++tried;
        break;
      }
      continue;
    }
    fail(code, error);
    if (serverGone) {
      ++tried;
      break;
    }
  }
  progress.Clear();  // messages never land in the middle of the progress line

  const std::vector<FolderWriteResult> writes = writer.Finish();
  for (std::size_t i = 0; i < writes.size(); ++i) {
    const FolderWriteResult& write = writes[i];
    const std::string& table = staged[i]->table;
    if (write.status == FolderWrite::Written)
      for (const std::string& path : write.forced) Error("replaced " + path + " (--force)");
    if (!write.note.empty()) Error("table " + Quoted(table) + ": " + write.note);
    switch (write.status) {
      case FolderWrite::Written:
        ++written;
        if (write.replacedEarlier) ++replaced;
        break;
      case FolderWrite::InTheWay:
        for (const std::string& line : write.inTheWay) Error(line);
        // --force is offered only where it would replace everything named above.
        fail(kExitInTheWay,
             "table " + Quoted(table) +
                 (settings.force || !write.forceReplaces
                      ? ": nothing written; move what is named above away"
                      : ": nothing written; move the files above away or use --force to replace them"));
        break;
      case FolderWrite::Failed:
      case FolderWrite::TargetFailed:
        fail(kExitOther, write.status == FolderWrite::Failed ? "table " + Quoted(table) + ": " + write.error
                                                             : write.error);
        break;
    }
  }

  std::string summary = "exported ";
  if (written == folders.size())
    summary += TableCount(written);
  else
    summary += std::to_string(written) + " of " + TableCount(folders.size());
  summary += " of " + Printable(settings.database) + " to " + Printable(settings.out) + " (" +
             std::string(EncodingName(encoding)) + ")";
  if (replaced > 0) summary += "; " + std::to_string(replaced) + " replaced an earlier export";
  if (failed > 0) summary += "; " + std::to_string(failed) + " failed";
  if (tried < folders.size()) summary += "; " + std::to_string(folders.size() - tried) + " not tried";
  if (!WriteOut(summary + "\n")) return kExitOther;
  return result;
}

}  // namespace kelvane::cli
