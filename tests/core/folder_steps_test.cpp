// The folder steps name entries of the folder that was opened, found from its handle: moved
// away and another folder put at its path, the steps go on in the moved one and leave the
// newcomer alone.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "os/platform.h"

namespace kelvane {
namespace {

namespace fs = std::filesystem;

std::string Slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

TEST(FolderSteps, ActInTheOpenedFolderAfterItWasMovedAndReplaced) {
  const fs::path temp = fs::temp_directory_path() /
                        ("kelvane-folder-steps-" + std::to_string(std::random_device{}()));
  fs::create_directories(temp / "a" / "sub");
  std::ofstream(temp / "a" / "old.txt", std::ios::binary) << "old";
  os::Folder out, a, sub;
  ASSERT_EQ(out.Open(temp), 0);
  ASSERT_EQ(a.Open(out, "a"), 0);
  ASSERT_EQ(sub.Open(a, "sub"), 0);
  EXPECT_EQ(sub.Open(a, "old.txt"), ENOTDIR);

  // Renames and removals, by name within the opened folders. (Wine carries these two out by
  // the path it recorded when the handle was opened, so they are tried before the move.)
  const std::string cjk = "表 1.txt";
  EXPECT_EQ(a.Write(cjk, "new", true), 0);
  EXPECT_EQ(a.Write(cjk, "again", false), EEXIST);
  EXPECT_EQ(os::Move(a, "old.txt", a, "kept.txt", false), 0);
  EXPECT_EQ(os::Move(a, cjk, a, "kept.txt", false), EEXIST);
  EXPECT_EQ(os::Move(a, cjk, a, "kept.txt", true), 0);
  EXPECT_EQ(os::Move(a, "kept.txt", a, "sub", true), EEXIST);  // a folder is never replaced
  EXPECT_EQ(os::Move(a, "kept.txt", sub, "in sub.txt", false), 0);
  EXPECT_EQ(Slurp(temp / "a" / "sub" / "in sub.txt"), "new");
  EXPECT_EQ(a.RemoveFolder("sub"), ENOTEMPTY);
  EXPECT_NE(a.Remove("sub"), 0);  // a folder is not a file
  EXPECT_EQ(sub.Remove("in sub.txt"), 0);
  EXPECT_EQ(sub.Write("x", "", false), 0);

  fs::rename(temp / "a", temp / "moved");
  fs::create_directory(temp / "a");  // the newcomer at the old path
  EXPECT_EQ(a.Write(cjk, "newer", false), 0);
  EXPECT_EQ(a.SyncFile(cjk), 0);
  EXPECT_EQ(a.MakeFolder("made"), 0);
  os::FileInfo info;
  EXPECT_EQ(a.Look(cjk, info), 0);
  EXPECT_EQ(info.kind, os::Kind::File);
  EXPECT_EQ(info.size, 5u);
  EXPECT_EQ(a.Look("made", info), 0);
  EXPECT_EQ(info.kind, os::Kind::Folder);
  EXPECT_EQ(a.Look("none", info), 0);
  EXPECT_EQ(info.kind, os::Kind::Missing);
  std::string bytes;
  EXPECT_EQ(a.Read(cjk, 100, bytes), 0);
  EXPECT_EQ(bytes, "newer");
  EXPECT_EQ(a.Read(cjk, 2, bytes), EFBIG);
  EXPECT_EQ(a.Read("made", 100, bytes), EINVAL);
  os::Folder again;
  EXPECT_EQ(again.Open(a, "sub"), 0);
  EXPECT_TRUE(again.IsAt(a, "sub"));
  EXPECT_FALSE(again.IsAt(a, "made"));
  EXPECT_FALSE(a.IsAt(out, "a"));
  EXPECT_TRUE(a.IsAt(out, "moved"));
  std::vector<std::string> names;
  EXPECT_EQ(a.List(names), 0);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"made", "sub", cjk}));

  EXPECT_TRUE(fs::is_empty(temp / "a"));
  EXPECT_EQ(Slurp(temp / "moved" / os::Utf8Path(cjk)), "newer");
  a = os::Folder(), sub = os::Folder(), again = os::Folder(), out = os::Folder();
  fs::remove_all(temp);
}

}  // namespace
}  // namespace kelvane
