// What export leaves on disk when folders already exist, when a table fails and when standard
// error is a terminal.
#include <gtest/gtest.h>

#include <filesystem>

#include "run_gen.h"

namespace kelvane::testing {
namespace {

namespace fs = std::filesystem;

GenRun Export(const std::string& db, const fs::path& out, std::vector<std::string> more = {},
              const GenEnvironment& environment = {}) {
  std::vector<std::string> arguments = ServerArguments();
  for (const std::string& a : {std::string("export"), db, std::string("--out"), out.string()})
    arguments.push_back(a);
  arguments.insert(arguments.end(), more.begin(), more.end());
  return RunGen(arguments, environment);
}

bool HasWorkFolders(const fs::path& out) {
  for (const auto& entry : fs::directory_iterator(out))
    if (entry.path().filename().string().starts_with(".kelvane-gen-")) return true;
  return false;
}

TEST(ExportFiles, AnEarlierExportOfATableIsReplacedWhole) {
  TempDir temp;
  WriteBytes(temp.path() / "user" / "stale.txt", "from last year");
  WriteBytes(temp.path() / "user" / "custom_type.txt", "old text");
  WriteBytes(temp.path() / "notes.txt", "mine");
  const GenRun run = Export("kelvane_cli", temp.path(), {"user"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(FileListing(temp.path() / "user"),
            "Star.cs\nclass_module.txt\ncustom_type.txt\nset_class.txt\nuser.cs\n");
  EXPECT_NE(ReadBytes(temp.path() / "user" / "custom_type.txt"), "old text");
  EXPECT_EQ(ReadBytes(temp.path() / "notes.txt"), "mine");
  EXPECT_FALSE(HasWorkFolders(temp.path()));
}

TEST(ExportFiles, ATableGbkCannotHoldKeepsItsEarlierExport) {
  TempDir temp;
  ASSERT_EQ(Export("kelvane_cli_korean", temp.path(), {"--encoding", "utf-8"}).exitCode, 0);
  const std::string before = FileListing(temp.path());
  const std::string text = ReadBytes(temp.path() / "t_ko" / "set_class.txt");
  const GenRun run = Export("kelvane_cli_korean", temp.path());
  EXPECT_EQ(run.exitCode, 4);
  EXPECT_EQ(FileListing(temp.path()), before);
  EXPECT_EQ(ReadBytes(temp.path() / "t_ko" / "set_class.txt"), text);
  EXPECT_FALSE(HasWorkFolders(temp.path()));
}

TEST(ExportFiles, AFileInTheWayFailsThatTableOnlyAndStaysAsItWas) {
  TempDir temp;
  WriteBytes(temp.path() / "user", "a file, not a folder");
  const GenRun run = Export("kelvane_cli", temp.path());
  EXPECT_EQ(run.exitCode, 5);
  EXPECT_NE(run.err.find("exists and is not a folder"), std::string::npos) << run.err;
  EXPECT_EQ(ReadBytes(temp.path() / "user"), "a file, not a folder");
  EXPECT_TRUE(fs::is_regular_file(temp.path() / "flags" / "flags.cs"));
  EXPECT_TRUE(fs::is_regular_file(temp.path() / "用户表" / "用户表.cs"));
  EXPECT_NE(run.out.find("exported 3 of 4 tables"), std::string::npos) << run.out;
  EXPECT_FALSE(HasWorkFolders(temp.path()));
}

TEST(ExportFiles, AnOutputFolderThatIsAFileIsRefused) {
  TempDir temp;
  WriteBytes(temp.path() / "out", "x");
  const GenRun run = Export("kelvane_cli", temp.path() / "out");
  EXPECT_EQ(run.exitCode, 5);
  EXPECT_NE(run.err.find("as output folder"), std::string::npos) << run.err;
  EXPECT_EQ(ReadBytes(temp.path() / "out"), "x");
}

TEST(ExportFiles, ProgressGoesToATerminalOnlyAndNeverToStandardOutput) {
  TempDir temp;
  GenEnvironment terminal;
  terminal.terminal = true;
  const GenRun run = Export("kelvane_cli", temp.path(), {}, terminal);
  ASSERT_EQ(run.exitCode, 0) << run.err;
  for (const char* step : {"[1/4] flags", "[2/4] switches", "[3/4] user", "[4/4] 用户表"})
    EXPECT_NE(run.err.find(step), std::string::npos) << step << " in " << run.err;
  EXPECT_EQ(run.out, "exported 4 tables of kelvane_cli to " + temp.path().string() + " (GBK)\n");

  const GenRun plain = Export("kelvane_cli", temp.path());
  EXPECT_EQ(plain.exitCode, 0);
  EXPECT_EQ(plain.err, "");
}

}  // namespace
}  // namespace kelvane::testing
