// What export leaves on disk when folders already exist, when a table fails and when standard
// error is a terminal.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "cli/folder_write.h"
#include "run_gen.h"
#include "support/server_env.h"

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

// Work folders of this program's runs (".kelvane-gen-<pid>-XXXXXX").
bool HasWorkFolders(const fs::path& out) {
  for (const auto& entry : fs::directory_iterator(out))
    if (entry.path().filename().string().starts_with(".kelvane-gen-") && entry.is_directory())
      return true;
  return false;
}

const std::string kUserFiles =
    "user/\nuser/.kelvane-gen-manifest\nuser/Star.cs\nuser/class_module.txt\nuser/custom_type.txt\n"
    "user/set_class.txt\nuser/user.cs\n";

// What the user had, what the export must leave of it, and how the run ends.
struct UserFilesCase {
  const char* what;
  std::vector<std::pair<std::string, std::string>> before;   // written before the export
  bool exportedBefore;                                        // then exported once
  std::vector<std::pair<std::string, std::string>> changed;  // then written by hand
  std::vector<std::string> arguments;                         // extra export arguments
  int exitCode;
  std::vector<std::string> messages;  // each must appear on standard error
  std::vector<std::pair<std::string, std::string>> after;    // files that must hold exactly this
};

TEST(ExportFiles, NeverLosesOrOverwritesTheUsersFiles) {
  const std::string edited = "hand edit\r\n";
  const UserFilesCase cases[] = {
      {"unrelated files in the folder of a table and beside it", {{"user/main.c", "int main(){}"},
       {"user/.git/HEAD", "ref"}, {"notes.txt", "mine"}}, false, {}, {}, 0, {},
       {{"user/main.c", "int main(){}"}, {"user/.git/HEAD", "ref"}, {"notes.txt", "mine"}}},
      {"a file of the user's at an export file name", {{"user/custom_type.txt", "mine"},
       {"user/stale.txt", "old"}}, false, {}, {}, 6,
       {"/user/custom_type.txt: not written by the previous export", "table \"user\": nothing written"},
       {{"user/custom_type.txt", "mine"}, {"user/stale.txt", "old"}}},
      {"the same with --force", {{"user/custom_type.txt", "mine"}, {"user/stale.txt", "old"}}, false,
       {}, {"--force"}, 0, {"replaced ", "/user/custom_type.txt (--force)"}, {{"user/stale.txt", "old"}}},
      {"a hand edit after an export", {}, true, {{"user/set_class.txt", edited}}, {}, 6,
       {"/user/set_class.txt: changed since the previous export"}, {{"user/set_class.txt", edited}}},
      {"a hand edit with --force", {}, true, {{"user/set_class.txt", edited}}, {"--force"}, 0,
       {"/user/set_class.txt (--force)"}, {}},
      {"a file added by hand after an export", {}, true, {{"user/extra.txt", "mine"}}, {}, 0, {},
       {{"user/extra.txt", "mine"}}},
      {"a folder at an export file name, even with --force", {{"user/user.cs/keep", "x"}}, false, {},
       {"--force"}, 6, {"/user/user.cs: a folder"}, {{"user/user.cs/keep", "x"}}},
      {"a file where the table's folder goes", {{"user", "a file, not a folder"}}, false, {}, {"--force"},
       6, {"/user: a file where the table's folder goes"}, {{"user", "a file, not a folder"}}},
      // --force would not replace it: it is not offered.
      {"the same without --force", {{"user", "a file, not a folder"}}, false, {}, {}, 6,
       {"/user: a file where the table's folder goes", "nothing written; move what is named above away\n"},
       {{"user", "a file, not a folder"}}},
  };
  for (const UserFilesCase& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir temp;
    for (const auto& [path, bytes] : c.before) WriteBytes(temp.path() / path, bytes);
    if (c.exportedBefore) {
      ASSERT_EQ(Export("kelvane_cli", temp.path(), {"user"}).exitCode, 0);
    }
    for (const auto& [path, bytes] : c.changed) WriteBytes(temp.path() / path, bytes);
    const GenRun run = Export("kelvane_cli", temp.path(), c.arguments);
    EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
    for (const std::string& message : c.messages)
      EXPECT_NE(run.err.find(message), std::string::npos) << message << " in " << run.err;
    for (const auto& [path, bytes] : c.after) EXPECT_EQ(ReadBytes(temp.path() / path), bytes) << path;
    // The other tables are written whatever happens to this one.
    EXPECT_TRUE(fs::is_regular_file(temp.path() / "用户表" / "用户表.cs"));
    EXPECT_FALSE(HasWorkFolders(temp.path()));
  }
}

TEST(ExportFiles, OutDotDotFromInsideAWorkFolderKeepsIt) {
  TempDir temp;
  WriteBytes(temp.path() / "user" / ".git" / "HEAD", "ref: refs/heads/main\n");
  WriteBytes(temp.path() / "user" / "README", "mine");
  const GenRun run = Export("kelvane_cli", temp.path() / "user" / "..", {"user"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(ReadBytes(temp.path() / "user" / ".git" / "HEAD"), "ref: refs/heads/main\n");
  EXPECT_EQ(ReadBytes(temp.path() / "user" / "README"), "mine");
  EXPECT_TRUE(fs::is_regular_file(temp.path() / "user" / "user.cs"));
}

TEST(ExportFiles, AReExportReplacesItsOwnFilesQuietlyAndSaysSo) {
  TempDir temp;
  ASSERT_EQ(Export("kelvane_cli", temp.path(), {"user"}).exitCode, 0);
  const std::string text = ReadBytes(temp.path() / "user" / "set_class.txt");
  const GenRun run = Export("kelvane_cli", temp.path(), {"user"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_NE(run.out.find("; 1 replaced an earlier export"), std::string::npos) << run.out;
  EXPECT_EQ(FileListing(temp.path()), kUserFiles);
  EXPECT_EQ(ReadBytes(temp.path() / "user" / "set_class.txt"), text);
}

TEST(ExportFiles, WorkFoldersOfAStoppedExportAreRemovedOnlyWhenProvablyStale) {
  TempDir temp;
  // A run stopped after staging a table: its work folder, with the manifest that proves it.
  const pid_t gone = ::fork();
  if (gone == 0) {
    kelvane::cli::ExportWriter writer(temp.path(), false);
    writer.Stage("t", "t", {{"set_class.txt", "half"}});
    ::_exit(0);
  }
  ::waitpid(gone, nullptr, 0);
  std::string dead;
  for (const auto& entry : fs::directory_iterator(temp.path())) dead = entry.path().filename().string();
  ASSERT_TRUE(dead.starts_with(".kelvane-gen-" + std::to_string(gone) + "-")) << dead;
  const std::string alive = ".kelvane-gen-" + std::to_string(::getpid()) + "-a1b2c3";
  WriteBytes(temp.path() / alive / "set_class.txt", "busy");
  WriteBytes(temp.path() / ".kelvane-gen-mine" / "x", "not a work folder");
  const std::string deadWithFolder = ".kelvane-gen-" + std::to_string(gone) + "-d4e5f6";
  WriteBytes(temp.path() / deadWithFolder / "sub" / "x", "not the export's");
  const std::string deadWithOther = ".kelvane-gen-" + std::to_string(gone) + "-g7h8i9";
  WriteBytes(temp.path() / deadWithOther / "set_class.txt", "no manifest says it is the export's");
  const GenRun run = Export("kelvane_cli", temp.path(), {"user"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.err.find(dead + ", left by an export that was stopped"), std::string::npos) << run.err;
  EXPECT_FALSE(fs::exists(temp.path() / dead));
  EXPECT_EQ(ReadBytes(temp.path() / alive / "set_class.txt"), "busy");
  EXPECT_TRUE(fs::exists(temp.path() / ".kelvane-gen-mine" / "x"));
  EXPECT_TRUE(fs::exists(temp.path() / deadWithFolder / "sub" / "x"));
  EXPECT_TRUE(fs::exists(temp.path() / deadWithOther / "set_class.txt"));
}

TEST(ExportFiles, AnOutputFolderThatTakesNoWritesStopsWithOneMessage) {
  TempDir temp;
  // Permissions do not stop root; the immutable flag does.
  const bool root = ::geteuid() == 0;
  ASSERT_EQ(root ? std::system(("chattr +i '" + temp.path().string() + "'").c_str())
                 : ::chmod(temp.path().c_str(), 0555),
            0);
  const GenRun run = Export("kelvane_cli", temp.path());
  if (root) std::system(("chattr -i '" + temp.path().string() + "'").c_str());
  ::chmod(temp.path().c_str(), 0755);
  EXPECT_EQ(run.exitCode, 5);
  // One message for the folder (after the warnings about the table staged before it).
  const std::string message = "kelvane-gen: cannot write into " + temp.path().string() + ": " +
                              (root ? "Operation not permitted" : "Permission denied") + "\n";
  ASSERT_TRUE(run.err.ends_with(message)) << run.err;
  EXPECT_EQ(run.err.find("cannot write"), run.err.rfind("cannot write")) << run.err;
  EXPECT_NE(run.out.find("exported 0 of 4 tables"), std::string::npos) << run.out;
}

TEST(ExportFiles, AnOutputFolderThatIsAFileIsRefused) {
  TempDir temp;
  WriteBytes(temp.path() / "out", "x");
  const GenRun run = Export("kelvane_cli", temp.path() / "out");
  EXPECT_EQ(run.exitCode, 5);
  EXPECT_NE(run.err.find("as output folder"), std::string::npos) << run.err;
  EXPECT_EQ(ReadBytes(temp.path() / "out"), "x");
}

TEST(ExportFiles, ASecondExportIntoTheSameFolderWaitsItsTurn) {
  // The first run is stood in for by holding the folder's lock here.
  TempDir temp;
  const int held = ::open(temp.path().c_str(), O_RDONLY | O_DIRECTORY);
  ASSERT_EQ(::flock(held, LOCK_EX), 0);
  const GenRun run = Export("kelvane_cli", temp.path());
  ::close(held);
  EXPECT_EQ(run.exitCode, 5);
  EXPECT_NE(run.err.find("another export is writing into " + temp.path().string()), std::string::npos) << run.err;
  EXPECT_EQ(FileListing(temp.path()), "");
  EXPECT_EQ(Export("kelvane_cli", temp.path()).exitCode, 0);
}

// export --check reads only: up to date right after an export (exit 0), after an ALTER TABLE
// the one table changed (exit 8), with another encoding every table; the folder stays byte for
// byte as it was, with no work folder or lock left.
TEST(ExportFiles, CheckNamesTheTablesAnExportWouldChangeAndWritesNothing) {
  for (const char* sql : {"DROP DATABASE IF EXISTS kelvane_check", "CREATE DATABASE kelvane_check CHARACTER SET utf8mb4",
                          "CREATE TABLE kelvane_check.a (id INT PRIMARY KEY, name VARCHAR(10))",
                          "CREATE TABLE kelvane_check.b (id INT PRIMARY KEY, qty INT)"})
    ASSERT_TRUE(AdminExec(sql));
  TempDir temp;
  ASSERT_EQ(Export("kelvane_check", temp.path(), {"--comments"}).exitCode, 0);
  const auto snapshot = [&] {
    std::string all = FileListing(temp.path());
    for (const auto& entry : fs::recursive_directory_iterator(temp.path()))
      if (entry.is_regular_file()) all += entry.path().string() + "\n" + ReadBytes(entry.path());
    return all;
  };
  const std::string before = snapshot();

  GenRun run = Export("kelvane_check", temp.path(), {"--check", "--comments"});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, "checked 2 of 2 tables of kelvane_check against " + temp.path().string() + " (GBK): up to date\n");
  EXPECT_EQ(Export("kelvane_check", temp.path(), {"--check"}).exitCode, 0);  // no comments to lose

  ASSERT_TRUE(AdminExec("ALTER TABLE kelvane_check.b ADD COLUMN note TEXT COMMENT 'new'"));
  run = Export("kelvane_check", temp.path(), {"--check", "--comments"});
  EXPECT_EQ(run.exitCode, 8) << run.err;
  EXPECT_EQ(run.out, "table \"b\": changed custom_type.txt, class_module.txt, set_class.txt, b.cs\n"
                     "checked 2 of 2 tables of kelvane_check against " + temp.path().string() + " (GBK): 1 would change\n");
  run = Export("kelvane_check", temp.path(), {"a", "--check", "--comments", "--encoding", "utf-8"});
  EXPECT_EQ(run.exitCode, 8) << run.err;
  EXPECT_NE(run.out.find("table \"a\": changed custom_type.txt, class_module.txt, set_class.txt"), std::string::npos);
  EXPECT_EQ(run.out.find("table \"b\""), std::string::npos) << run.out;

  EXPECT_EQ(snapshot(), before);

  // A file the previous export wrote and this one would not goes with the folder it replaces:
  // a second copy of Star.cs under the manifest's line for it.
  const fs::path a = temp.path() / "a";
  fs::copy_file(a / "Star.cs", a / "Star2.cs");
  std::string manifest = ReadBytes(a / ".kelvane-gen-manifest");
  const std::size_t star = manifest.find(" Star.cs\n");
  const std::size_t line = manifest.rfind('\n', star) + 1;
  WriteBytes(a / ".kelvane-gen-manifest", manifest + manifest.substr(line, star - line) + " Star2.cs\n");
  run = Export("kelvane_check", temp.path(), {"a", "--check", "--comments"});
  EXPECT_EQ(run.exitCode, 8) << run.err;
  EXPECT_NE(run.out.find("table \"a\": removed Star2.cs\n"), std::string::npos) << run.out;
  ASSERT_TRUE(AdminExec("DROP DATABASE kelvane_check"));
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
  EXPECT_EQ(plain.err.find_first_of("\r["), std::string::npos) << plain.err;
}

}  // namespace
}  // namespace kelvane::testing
