// Writing a table's folder: complete or untouched, never half, and never at the cost of a file
// the export did not write.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include "cli/folder_write.h"
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

// The real steps, except that exchanging is unsupported (as on file systems without
// RENAME_EXCHANGE) and the renames numbered in `failing` (counting from 1) fail.
class Faulty : public FileSteps {
 public:
  explicit Faulty(std::vector<int> failing) : failing_(std::move(failing)) {}
  int Rename(const fs::path& from, const fs::path& to) const override {
    for (int n : failing_)
      if (n == count_ + 1) {
        ++count_;
        return EIO;
      }
    ++count_;
    return FileSteps::Rename(from, to);
  }
  int Exchange(const fs::path&, const fs::path&) const override { return EINVAL; }

 private:
  std::vector<int> failing_;
  mutable int count_ = 0;
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
}

}  // namespace
}  // namespace kelvane::cli
