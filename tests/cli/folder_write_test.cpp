// Writing a table's folder: complete or untouched, never half, and never at the cost of a file
// the export did not write.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>

#include "cli/folder_write.h"
#include "cli/table_export.h"
#include "run_gen.h"

namespace kelvane::cli {
namespace {

namespace fs = std::filesystem;
using testing::FileListing;
using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

const std::vector<OutputFile> kFiles = {{"custom_type.txt", "one\r\n"}, {"t.cs", "two"}};
const std::vector<OutputFile> kNewer = {{"custom_type.txt", "one, newer\r\n"}, {"t.cs", "two, newer"}};
const std::string kWritten = "t/\nt/.kelvane-gen-manifest\nt/custom_type.txt\nt/t.cs\n";

enum class Step { Write, Look, Move, Exchange, Sync, Barrier };

// The real steps, with the calls of one kind numbered in `failing` (counting from 1) failing,
// and `before` run just ahead of the call numbered `at`; exchanging is unsupported (as on file
// systems without RENAME_EXCHANGE) unless `exchange`. Every call is logged.
class Faulty : public FileSteps {
 public:
  explicit Faulty(std::vector<int> failing, Step kind = Step::Move, int error = EIO)
      : kind_(kind), failing_(std::move(failing)), error_(error) {}
  Faulty& Before(Step kind, int at, std::function<void()> action) {
    beforeKind_ = kind, beforeAt_ = at, before_ = std::move(action);
    return *this;
  }
  Faulty& WithExchange() {
    exchange_ = true;
    return *this;
  }
  // A failing write leaves half the file behind, as a full disk does.
  Faulty& HalfWrites() {
    halfWrites_ = true;
    return *this;
  }
  int Write(const os::Folder& d, std::string_view n, std::string_view b, bool durable) const override {
    if (!Hit(Step::Write)) return FileSteps::Write(d, n, b, durable);
    if (halfWrites_) FileSteps::Write(d, n, b.substr(0, b.size() / 2), durable);
    return error_;
  }
  int Look(const os::Folder& d, std::string_view n, os::FileInfo& info) const override {
    return Hit(Step::Look) ? error_ : FileSteps::Look(d, n, info);
  }
  int Move(const os::Folder& f, std::string_view fn, const os::Folder& t, std::string_view tn,
           bool replace) const override {
    return Hit(Step::Move) ? error_ : FileSteps::Move(f, fn, t, tn, replace);
  }
  int Exchange(const os::Folder& a, std::string_view an, const os::Folder& b, std::string_view bn) const override {
    if (!exchange_) return EINVAL;
    return Hit(Step::Exchange) ? error_ : FileSteps::Exchange(a, an, b, bn);
  }
  int Sync(const os::Folder& d) const override { return Hit(Step::Sync) ? error_ : FileSteps::Sync(d); }
  int Barrier(const os::Folder& out) const override {
    return Hit(Step::Barrier) ? error_ : FileSteps::Barrier(out);
  }
  mutable std::vector<Step> log;

 private:
  bool Hit(Step kind) const {
    log.push_back(kind);
    const int n = ++counts_[static_cast<int>(kind)];
    if (kind == beforeKind_ && n == beforeAt_ && before_) before_();
    if (kind != kind_) return false;
    for (int f : failing_)
      if (f == n) return true;
    return false;
  }
  Step kind_;
  std::vector<int> failing_;
  int error_;
  bool exchange_ = false;
  bool halfWrites_ = false;
  Step beforeKind_ = Step::Write;
  int beforeAt_ = 0;
  std::function<void()> before_;
  mutable int counts_[6] = {};
};

FolderWriteResult Write(const TempDir& temp, const std::vector<OutputFile>& files,
                        const FileSteps& steps = SystemFileSteps()) {
  return WriteTableFolder(temp.path(), "t", "t", files, false, steps);
}

TEST(FolderWrite, ANewFolderGetsExactlyTheFilesAndTheManifestWithUsualPermissions) {
  TempDir temp;
  const mode_t old = ::umask(022);
  const FolderWriteResult result = Write(temp, kFiles);
  ::umask(old);
  EXPECT_EQ(result.status, FolderWrite::Written) << result.error;
  EXPECT_EQ(FileListing(temp.path()), kWritten);
  EXPECT_EQ(ReadBytes(temp.path() / "t" / "custom_type.txt"), "one\r\n");
  struct stat info {};
  ASSERT_EQ(::stat((temp.path() / "t").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0755u);
}

TEST(FolderWrite, TheRenameFallbackReplacesTheEarlierExportAndUndoesAFailedStep) {
  struct Case {
    const char* what;
    std::vector<int> failing;  // renames: 1 old folder aside, 2 new one in place, 3 undo
    FolderWrite status;
    const std::vector<OutputFile>* expected;
  };
  const Case cases[] = {
      {"fallback without faults", {}, FolderWrite::Written, &kNewer},
      {"moving the old folder aside fails", {1}, FolderWrite::Failed, &kFiles},
      {"putting the new one in place fails: undone", {2}, FolderWrite::Failed, &kFiles},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir temp;
    ASSERT_EQ(Write(temp, kFiles).status, FolderWrite::Written);
    const FolderWriteResult result = Write(temp, kNewer, Faulty(c.failing));
    EXPECT_EQ(result.status, c.status) << result.error;
    EXPECT_EQ(FileListing(temp.path()), kWritten);
    for (const OutputFile& file : *c.expected)
      EXPECT_EQ(ReadBytes(temp.path() / "t" / file.name), file.bytes);
  }
  // When even the undo fails, the old export is kept under its hidden name, not removed.
  TempDir temp;
  ASSERT_EQ(Write(temp, kFiles).status, FolderWrite::Written);
  EXPECT_EQ(Write(temp, kNewer, Faulty({2, 3})).status, FolderWrite::Failed);
  bool kept = false;
  for (const auto& entry : fs::recursive_directory_iterator(temp.path()))
    kept = kept || (entry.path().filename() == "t.cs" && ReadBytes(entry.path()) == "two");
  EXPECT_TRUE(kept) << FileListing(temp.path());
}

TEST(FolderWrite, BesideTheUsersFilesAnInterruptedReplacementIsStillTheExportsOwn) {
  TempDir temp;
  WriteBytes(temp.path() / "t" / "mine.txt", "mine");
  ASSERT_EQ(Write(temp, kFiles).status, FolderWrite::Written);
  // Renames: 1 manifest of old and new, 2 custom_type.txt, 3 t.cs (fails).
  EXPECT_EQ(Write(temp, kNewer, Faulty({3})).status, FolderWrite::Failed);
  EXPECT_EQ(ReadBytes(temp.path() / "t" / "custom_type.txt"), "one, newer\r\n");
  EXPECT_EQ(ReadBytes(temp.path() / "t" / "t.cs"), "two");
  const FolderWriteResult again = Write(temp, kNewer);
  EXPECT_EQ(again.status, FolderWrite::Written) << ::testing::PrintToString(again.inTheWay);
  EXPECT_EQ(FileListing(temp.path()), "t/\nt/.kelvane-gen-manifest\nt/custom_type.txt\nt/mine.txt\nt/t.cs\n");
  EXPECT_EQ(ReadBytes(temp.path() / "t" / "t.cs"), "two, newer");
  EXPECT_EQ(ReadBytes(temp.path() / "t" / "mine.txt"), "mine");
}

TEST(FolderWrite, AFailedWriteLeavesTheOldFolderAndNoWorkFolder) {
  TempDir temp;
  ASSERT_EQ(Write(temp, kFiles).status, FolderWrite::Written);
  const std::vector<OutputFile> broken = {{"fine.txt", "x"}, {"no/such/dir.txt", "y"}};
  EXPECT_EQ(Write(temp, broken).status, FolderWrite::Failed);
  EXPECT_EQ(WriteTableFolder(temp.path(), "fresh", "fresh", broken, false).status, FolderWrite::Failed);
  // A disk that fills up in the middle of a file: the half-written file goes with its folder.
  EXPECT_EQ(Write(temp, kNewer, Faulty({2}, Step::Write, ENOSPC).HalfWrites()).status, FolderWrite::TargetFailed);
  EXPECT_EQ(FileListing(temp.path()), kWritten);
}

TEST(FolderWrite, AnOutputFolderThatTakesNoWritesStopsTheExport) {
  TempDir temp;
  const fs::path locked = temp.path() / "locked";
  fs::create_directory(locked);
  // Permissions do not stop root; the immutable flag does.
  const bool root = ::geteuid() == 0;
  ASSERT_EQ(root ? std::system(("chattr +i '" + locked.string() + "'").c_str())
                 : ::chmod(locked.c_str(), 0555),
            0);
  const FolderWriteResult result = WriteTableFolder(locked, "t", "t", kFiles, false);
  if (root) std::system(("chattr -i '" + locked.string() + "'").c_str());
  ::chmod(locked.c_str(), 0755);
  EXPECT_EQ(result.status, FolderWrite::TargetFailed);
  EXPECT_EQ(result.error.find(".kelvane-gen-"), std::string::npos) << result.error;
  EXPECT_NE(result.error.find(locked.string()), std::string::npos) << result.error;
  EXPECT_EQ(FileListing(locked), "");
}

TEST(FolderWrite, TheManifestIsReadOnlyWhenAPlainFileOfItsOwnTable) {
  // What stands at the manifest's name when a folder of the export's files is written again.
  struct Case {
    const char* what;
    void (*make)(const fs::path& manifest);
    const char* table;  // the table exported the second time (with --force when another)
    FolderWrite status;
  };
  const Case cases[] = {
      {"its own manifest", [](const fs::path&) {}, "t", FolderWrite::Written},
      {"a FIFO (never opened for a blocking read)",
       [](const fs::path& m) { fs::remove(m), ::mkfifo(m.c_str(), 0644); }, "t", FolderWrite::InTheWay},
      {"a link to /dev/zero", [](const fs::path& m) { fs::remove(m), fs::create_symlink("/dev/zero", m); },
       "t", FolderWrite::InTheWay},
      {"a big file without a line break",
       [](const fs::path& m) { fs::remove(m), WriteBytes(m, std::string(1 << 20, 'x')); }, "t",
       FolderWrite::InTheWay},
      {"the manifest of another table (a shifted ~N folder)", [](const fs::path&) {}, "other",
       FolderWrite::InTheWay},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir temp;
    ASSERT_EQ(Write(temp, kFiles).status, FolderWrite::Written);
    c.make(temp.path() / "t" / std::string(kManifestName));
    const FolderWriteResult result = WriteTableFolder(temp.path(), c.table, "t", kNewer, c.table != std::string("t"));
    EXPECT_EQ(result.status, c.status) << result.error;
    EXPECT_EQ(ReadBytes(temp.path() / "t" / "t.cs"), c.status == FolderWrite::Written ? "two, newer" : "two");
  }
  // A table name with leading spaces, a backslash and a line break reads back byte for byte.
  TempDir temp;
  const std::string odd = "  t\\n\n";
  ASSERT_EQ(WriteTableFolder(temp.path(), odd, "t", kFiles, false).status, FolderWrite::Written);
  EXPECT_EQ(WriteTableFolder(temp.path(), odd, "t", kNewer, false).status, FolderWrite::Written);
  EXPECT_EQ(WriteTableFolder(temp.path(), "  t", "t", kFiles, false).status, FolderWrite::InTheWay);
  // So does a file name with a leading space (the entity file of a table named " t").
  const std::vector<OutputFile> spaced = {{" t.cs", "x"}}, respaced = {{" t.cs", "y"}};
  ASSERT_EQ(WriteTableFolder(temp.path(), " t", " t", spaced, false).status, FolderWrite::Written);
  EXPECT_EQ(WriteTableFolder(temp.path(), " t", " t", respaced, false).status, FolderWrite::Written);
}

TEST(FolderWrite, LinksInTheWayAreNotFollowedOrReplaced) {
  TempDir temp;
  fs::create_directory(temp.path() / "elsewhere");
  fs::create_directory_symlink(temp.path() / "elsewhere", temp.path() / "link");
  EXPECT_EQ(WriteTableFolder(temp.path(), "link", "link", kFiles, true).status, FolderWrite::InTheWay);
  EXPECT_EQ(FileListing(temp.path()), "elsewhere/\nlink\n");
  // A link named as the output folder is followed, as cp and mkdir -p do.
  EXPECT_EQ(WriteTableFolder(temp.path() / "link", "t", "t", kFiles, false).status, FolderWrite::Written);
  EXPECT_EQ(FileListing(temp.path() / "elsewhere"), kWritten);
}

// Only the export's own names are its files. A line a manifest gained for another file (with
// that file's right hash) gets it neither removed nor replaced, whether the folder is replaced
// whole or written beside the user's files; a file of the user's at the manifest's name is never
// replaced, not even with --force.
TEST(FolderWrite, OnlyTheExportsOwnNamesAreItsFiles) {
  const auto fnv = [](std::string_view bytes) {
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    for (unsigned char c : bytes) hash = (hash ^ c) * 0x100000001b3ULL;
    return hash;
  };
  for (bool besideUsersFile : {false, true}) {
    SCOPED_TRACE(besideUsersFile);
    TempDir temp;
    if (besideUsersFile) WriteBytes(temp.path() / "t" / "mine.txt", "mine");
    ASSERT_EQ(Write(temp, kFiles).status, FolderWrite::Written);
    WriteBytes(temp.path() / "t" / "notes.txt", "notes");
    char line[64];
    std::snprintf(line, sizeof line, "%016llx 5 notes.txt\n", static_cast<unsigned long long>(fnv("notes")));
    const fs::path manifest = temp.path() / "t" / std::string(kManifestName);
    WriteBytes(manifest, ReadBytes(manifest) + line);
    EXPECT_EQ(Write(temp, kNewer).status, FolderWrite::Written);
    EXPECT_EQ(ReadBytes(temp.path() / "t" / "notes.txt"), "notes");
    EXPECT_EQ(Write(temp, kFiles).status, FolderWrite::Written);
    EXPECT_EQ(ReadBytes(temp.path() / "t" / "notes.txt"), "notes");
  }
  for (bool force : {false, true}) {
    TempDir temp;
    WriteBytes(temp.path() / "t" / std::string(kManifestName), "my own notes");
    const FolderWriteResult result = WriteTableFolder(temp.path(), "t", "t", kFiles, force);
    EXPECT_EQ(result.status, FolderWrite::InTheWay) << force;
    EXPECT_EQ(ReadBytes(temp.path() / "t" / std::string(kManifestName)), "my own notes");
    EXPECT_FALSE(fs::exists(temp.path() / "t" / "t.cs"));
  }
}

TEST(FolderWrite, AWholeExportIsDurableBeforeAnyFolderIsPutInPlace) {
  TempDir temp;
  WriteBytes(temp.path() / "c" / "mine.txt", "mine");
  ASSERT_EQ(WriteTableFolder(temp.path(), "b", "b", kFiles, false).status, FolderWrite::Written);
  ASSERT_EQ(WriteTableFolder(temp.path(), "c", "c", kFiles, false).status, FolderWrite::Written);
  // A new folder, the previous export, and a folder beside the user's file: with an exchange,
  // then with the rename fallback.
  for (const bool exchange : {true, false}) {
    SCOPED_TRACE(exchange ? "exchange" : "renames");
    const std::vector<OutputFile>& files = exchange ? kNewer : kFiles;
    Faulty steps({});
    if (exchange) steps.WithExchange();
    ExportWriter writer(temp.path(), false, steps);
    for (const char* table : {"a", "b", "c"}) ASSERT_EQ(writer.Stage(table, table, files).status, FolderWrite::Written);
    EXPECT_EQ(std::count(steps.log.begin(), steps.log.end(), Step::Barrier), 0);
    for (const FolderWriteResult& result : writer.Finish()) EXPECT_EQ(result.status, FolderWrite::Written) << result.error;
    const auto barrier = std::find(steps.log.begin(), steps.log.end(), Step::Barrier);
    const auto firstMove = std::find_if(steps.log.begin(), steps.log.end(),
                                        [](Step s) { return s == Step::Move || s == Step::Exchange; });
    EXPECT_EQ(std::count(steps.log.begin(), steps.log.end(), Step::Barrier), 1);
    EXPECT_LT(barrier, firstMove);
    const auto lastMove = std::find_if(steps.log.rbegin(), steps.log.rend(),
                                       [](Step s) { return s == Step::Move || s == Step::Exchange; });
    EXPECT_TRUE(lastMove != steps.log.rbegin() && std::find(steps.log.rbegin(), lastMove, Step::Sync) != lastMove);
    for (const char* table : {"a", "b", "c"})
      EXPECT_EQ(ReadBytes(temp.path() / table / "t.cs"), files[1].bytes) << table;
  }
  EXPECT_EQ(FileListing(temp.path()),
            "a/\na/.kelvane-gen-manifest\na/custom_type.txt\na/t.cs\nb/\nb/.kelvane-gen-manifest\n"
            "b/custom_type.txt\nb/t.cs\nc/\nc/.kelvane-gen-manifest\nc/custom_type.txt\nc/mine.txt\nc/t.cs\n");
}

TEST(FolderWrite, AFailedStepLeavesTheTableAsItWasOrCompleteAndSaysWhich) {
  struct Case {
    const char* what;
    Step kind;
    int error;
    FolderWrite status;
    const std::vector<OutputFile>* expected;
    const char* message;
  };
  const Case cases[] = {
      {"writing the manifest", Step::Write, EIO, FolderWrite::Failed, &kFiles, "cannot write into"},
      {"a full disk while staging", Step::Write, ENOSPC, FolderWrite::TargetFailed, &kFiles, "cannot write into"},
      {"looking at the folder", Step::Look, EIO, FolderWrite::Failed, &kFiles, "cannot look at"},
      {"the barrier", Step::Barrier, EIO, FolderWrite::Failed, &kFiles, "cannot make the files durable"},
      {"no barrier on this system: file by file", Step::Barrier, ENOSYS, FolderWrite::Written, &kNewer, ""},
      {"syncing the output folder", Step::Sync, EIO, FolderWrite::Failed, &kNewer, "cannot be made durable"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir temp;
    ASSERT_EQ(Write(temp, kFiles).status, FolderWrite::Written);
    const FolderWriteResult result = Write(temp, kNewer, Faulty({1}, c.kind, c.error));
    EXPECT_EQ(result.status, c.status);
    EXPECT_NE(result.error.find(c.message), std::string::npos) << result.error;
    for (const OutputFile& file : *c.expected)
      EXPECT_EQ(ReadBytes(temp.path() / "t" / file.name), file.bytes);
    // Only an unsynced replacement keeps the previous export (in the work folder) until a
    // later run can prove it gone for good.
    if (c.kind != Step::Sync) {
      EXPECT_EQ(FileListing(temp.path()), kWritten);
    }
  }
}

TEST(FolderWrite, AFolderSwappedForALinkDuringTheExportIsNeitherFollowedNorReplaced) {
  struct Case {
    const char* what;
    bool exchange;
    bool usersFile;  // the user's file beside the export: one rename per file
    Step step;
    int at;
  };
  const Case cases[] = {
      {"before the exchange", true, false, Step::Exchange, 1},
      {"before the old folder is moved aside", false, false, Step::Move, 1},
      {"between two files put beside the user's", false, true, Step::Move, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir temp;
    // Elsewhere holds the very bytes the export wrote: removing by hash alone would delete them.
    for (const OutputFile& file : kFiles) WriteBytes(temp.path() / "elsewhere" / file.name, file.bytes);
    if (c.usersFile) WriteBytes(temp.path() / "t" / "mine.txt", "mine");
    ASSERT_EQ(Write(temp, kFiles).status, FolderWrite::Written);
    fs::copy_file(temp.path() / "t" / std::string(kManifestName), temp.path() / "elsewhere" / std::string(kManifestName));
    const std::string before = FileListing(temp.path() / "elsewhere");
    Faulty steps({});
    if (c.exchange) steps.WithExchange();
    steps.Before(c.step, c.at, [&] {
      fs::rename(temp.path() / "t", temp.path() / "moved");
      fs::create_directory_symlink(temp.path() / "elsewhere", temp.path() / "t");
    });
    const FolderWriteResult result = Write(temp, kNewer, steps);
    EXPECT_EQ(result.status, FolderWrite::Failed);
    EXPECT_NE(result.error.find("during the export"), std::string::npos) << result.error;
    EXPECT_TRUE(fs::is_symlink(temp.path() / "t"));
    EXPECT_EQ(FileListing(temp.path() / "elsewhere"), before);
    for (const OutputFile& file : kFiles) EXPECT_EQ(ReadBytes(temp.path() / "elsewhere" / file.name), file.bytes);
  }
}

TEST(FolderWrite, AnEditMadeDuringTheReExportIsKeptAndNoLaterCleanupRemovesIt) {
  TempDir temp;
  ASSERT_EQ(Write(temp, kFiles).status, FolderWrite::Written);
  Faulty steps({});
  steps.WithExchange().Before(Step::Exchange, 1, [&] { fs::remove(temp.path() / "t" / "t.cs"), WriteBytes(temp.path() / "t" / "t.cs", "edited"); });
  const FolderWriteResult result = Write(temp, kNewer, steps);
  EXPECT_EQ(result.status, FolderWrite::Written) << result.error;
  EXPECT_NE(result.note.find("were kept in"), std::string::npos) << result.note;
  EXPECT_EQ(ReadBytes(temp.path() / "t" / "t.cs"), "two, newer");
  // A run killed after staging: what it staged goes whole, a half-written (or edited) file at
  // one of its names included; only a file of a name no run writes stays, and is named.
  const pid_t child = ::fork();
  if (child == 0) {
    ExportWriter writer(temp.path(), false);
    writer.Stage("u", "u", kFiles);
    for (const auto& entry : fs::recursive_directory_iterator(temp.path()))
      if (entry.path().parent_path().parent_path().filename().string().starts_with(
              ".kelvane-gen-" + std::to_string(::getpid())) &&
          entry.path().filename() == "custom_type.txt") {
        fs::remove(entry.path());
        WriteBytes(entry.path(), "edited too");
        WriteBytes(entry.path().parent_path() / "notes.txt", "notes");
      }
    ::_exit(0);
  }
  ::waitpid(child, nullptr, 0);
  std::vector<std::string> keptPaths;
  EXPECT_TRUE(RemoveStaleWorkFolders(temp.path(), &keptPaths).empty());
  ASSERT_EQ(keptPaths.size(), 1u);
  EXPECT_TRUE(keptPaths[0].ends_with("/1/notes.txt")) << keptPaths[0];
  std::string kept;
  for (const auto& entry : fs::recursive_directory_iterator(temp.path()))
    if (entry.is_regular_file() && entry.path().filename() != kManifestName) kept += ReadBytes(entry.path()) + ";";
  EXPECT_EQ(kept.find("two;"), std::string::npos) << kept;  // the other old file went
  EXPECT_NE(kept.find("edited;"), std::string::npos) << kept;
  EXPECT_EQ(kept.find("edited too;"), std::string::npos) << kept;
  EXPECT_NE(kept.find("notes;"), std::string::npos) << kept;
  EXPECT_EQ(kept.find("one\r\n;"), std::string::npos) << kept;  // the child's other files went
}

TEST(TableFiles, AGbkConverterThatFailsIsNamedAsSuchAndNothingIsBuilt) {
  struct Case {
    const char* what;
    GbkConverter convert;
    const char* message;
  };
  const Case cases[] = {
      {"no converter on this system",
       [](std::string_view) {
         GbkConversion none;
         none.noConverter = true;
         return none;
       },
       "this system has no GBK converter (iconv cannot open GBK); use --encoding utf-8"},
      {"a character it cannot hold",
       [](std::string_view) {
         GbkConversion stopped;
         stopped.badCharacter = "\xea\xb0\x80";
         stopped.badCodePoint = "U+AC00";
         return stopped;
       },
       "GBK cannot hold the character '\xea\xb0\x80' (U+AC00) of the table name; use --encoding utf-8"},
  };
  const FieldTable fields = {{"id", "整数型", "Jz", "int"}, {"X", "", "", ""}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<OutputFile> files = {{"stale", "x"}};
    std::string error;
    EXPECT_FALSE(BuildTableFiles("t", "t", fields, {}, Encoding::Gbk, files, error, c.convert));
    EXPECT_NE(error.find(c.message), std::string::npos) << error;
    EXPECT_TRUE(files.empty());
  }
}

}  // namespace
}  // namespace kelvane::cli
