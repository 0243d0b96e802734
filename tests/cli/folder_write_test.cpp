// Writing a table's folder in one step: complete or untouched, never half.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

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

TEST(FolderWrite, ANewFolderGetsExactlyTheFilesWithUsualPermissions) {
  TempDir temp;
  const mode_t old = ::umask(022);
  std::string error;
  EXPECT_TRUE(WriteFolderAtomically(temp.path(), "t", kFiles, error)) << error;
  ::umask(old);
  EXPECT_EQ(FileListing(temp.path()), "t/\nt/custom_type.txt\nt/t.cs\n");
  EXPECT_EQ(ReadBytes(temp.path() / "t" / "custom_type.txt"), "one\r\n");
  struct stat info {};
  ASSERT_EQ(::stat((temp.path() / "t").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0755u);
}

TEST(FolderWrite, AnExistingFolderIsReplacedWhole) {
  TempDir temp;
  WriteBytes(temp.path() / "t" / "old.txt", "old");
  WriteBytes(temp.path() / "t" / "sub" / "deep.txt", "old");
  std::string error;
  EXPECT_TRUE(WriteFolderAtomically(temp.path(), "t", kFiles, error)) << error;
  EXPECT_EQ(FileListing(temp.path()), "t/\nt/custom_type.txt\nt/t.cs\n");
}

TEST(FolderWrite, AFailedWriteLeavesTheOldFolderAndNoWorkFolder) {
  TempDir temp;
  WriteBytes(temp.path() / "t" / "old.txt", "old");
  const std::vector<OutputFile> broken = {{"fine.txt", "x"}, {"no/such/dir.txt", "y"}};
  std::string error;
  EXPECT_FALSE(WriteFolderAtomically(temp.path(), "t", broken, error));
  EXPECT_NE(error.find("no/such/dir.txt"), std::string::npos) << error;
  EXPECT_EQ(FileListing(temp.path()), "t/\nt/old.txt\n");
  EXPECT_FALSE(WriteFolderAtomically(temp.path(), "fresh", broken, error));
  EXPECT_EQ(FileListing(temp.path()), "t/\nt/old.txt\n");
}

TEST(FolderWrite, FilesAndLinksInTheWayAreNotReplaced) {
  TempDir temp;
  WriteBytes(temp.path() / "t", "a file");
  fs::create_directory(temp.path() / "elsewhere");
  fs::create_directory_symlink(temp.path() / "elsewhere", temp.path() / "link");
  std::string error;
  EXPECT_FALSE(WriteFolderAtomically(temp.path(), "t", kFiles, error));
  EXPECT_FALSE(WriteFolderAtomically(temp.path(), "link", kFiles, error));
  EXPECT_EQ(ReadBytes(temp.path() / "t"), "a file");
  EXPECT_EQ(FileListing(temp.path()), "elsewhere/\nlink\nt\n");
}

}  // namespace
}  // namespace kelvane::cli
