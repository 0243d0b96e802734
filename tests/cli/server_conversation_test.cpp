// What the program says to the server: the database list as the server orders it, and no
// statement other than the window's three.
#include <gtest/gtest.h>

#include "cli/failures.h"
#include "run_gen.h"
#include "support/server_env.h"

namespace kelvane::testing {
namespace {

TEST(Databases, OneNamePerLineInServerOrder) {
  std::vector<std::string> arguments = ServerArguments();
  arguments.push_back("databases");
  const GenRun run = RunGen(arguments);
  EXPECT_EQ(run.exitCode, 0) << run.err;
  std::string expected;
  // Backslashes doubled: every escape in a listing starts with one.
  for (std::string name : AdminQuery("show databases")) {
    for (std::size_t at = 0; (at = name.find('\\', at)) != std::string::npos; at += 2) name.insert(at, 1, '\\');
    expected += name + "\n";
  }
  EXPECT_EQ(run.out, expected);
}

// An answer of unexpected shape to "show full columns" concerns that table only: the connection
// did not break off, so an export goes on with the next table.
TEST(ServerAnswers, OnlyALostConnectionStopsTheTablesAfterIt) {
  const struct {
    ColumnRead read;
    FailureKind kind;
    int code;
    bool gone;
  } cases[] = {
      {ColumnRead::Ok, FailureKind::None, cli::kExitOther, false},  // comments of odd shape
      {ColumnRead::Ok, FailureKind::Connection, cli::kExitConnection, true},
      {ColumnRead::Ok, FailureKind::Refused, cli::kExitOther, false},
      {ColumnRead::SelectFailed, FailureKind::Connection, cli::kExitConnection, true},
      {ColumnRead::SelectFailed, FailureKind::TableMissing, cli::kExitNotFound, false},
  };
  for (const auto& c : cases) {
    bool gone = !c.gone;
    const cli::Failure failed = cli::ReadFailed(c.read, {c.kind, 0, ""}, "t", "d", gone);
    EXPECT_EQ(failed.code, c.code) << failed.message;
    EXPECT_EQ(gone, c.gone) << failed.message;
  }
}

class WatchedUser : public ::testing::Test {
 protected:
  static constexpr const char* kUser = "kelvane_cli_watch";
  void SetUp() override {
    ASSERT_TRUE(AdminExec(std::string("drop user if exists ") + kUser + "@'127.0.0.1'; create user " +
                          kUser + "@'127.0.0.1' identified by 'w'; grant select on *.* to " + kUser +
                          "@'127.0.0.1'"));
  }
  void TearDown() override {
    AdminExec("set global general_log = 0");
    AdminExec(std::string("drop user if exists ") + kUser + "@'127.0.0.1'");
  }
  GenRun Run(std::vector<std::string> arguments) {
    std::vector<std::string> all = {"-P", std::to_string(TestPort()), "-u", kUser, "--password=w"};
    all.insert(all.end(), arguments.begin(), arguments.end());
    return RunGen(all);
  }
};

TEST_F(WatchedUser, EveryCommandSendsOnlyTheWindowsStatements) {
  ASSERT_TRUE(AdminExec("set global log_output = 'TABLE'; truncate table mysql.general_log; "
                        "set global general_log = 1"));
  TempDir temp;
  const std::vector<std::vector<std::string>> commands = {
      {"databases"},
      {"tables", "kelvane_cli_names"},
      {"columns", "kelvane_cli", "switches", "--bool-tinyint1"},
      {"generate", "kelvane_cli", "用户表", "--pane", "set-class", "--encoding", "gbk"},
      {"generate", "kelvane_cli", "missing", "--pane", "set-class"},
      {"export", "kelvane_cli_names", "--out", temp.path().string()},
      {"export", "kelvane_cli_korean", "good", "t_ko", "--out", temp.path().string()},
  };
  for (const auto& command : commands) Run(command);
  AdminExec("set global general_log = 0");

  const auto statements = AdminQuery(
      std::string("select convert(argument using utf8mb4) from mysql.general_log where "
                  "command_type = 'Query' and user_host like '") + kUser + "%'");
  ASSERT_FALSE(statements.empty());
  for (const std::string& sql : statements)
    EXPECT_TRUE(IsAllowedStatement(sql)) << "unexpected statement: " << sql;
}

// --comments adds one statement per table, and only it.
TEST_F(WatchedUser, CommentsAddOneShowColumnsPerTable) {
  ASSERT_TRUE(AdminExec("set global log_output = 'TABLE'; truncate table mysql.general_log; "
                        "set global general_log = 1"));
  TempDir temp;
  EXPECT_EQ(Run({"export", "kelvane_cli", "--comments", "--out", temp.path().string()}).exitCode, 0);
  EXPECT_EQ(Run({"generate", "kelvane_cli_keys", "commented", "--pane", "csharp-entity", "--comments"}).exitCode, 0);
  AdminExec("set global general_log = 0");
  const auto statements = AdminQuery(
      std::string("select convert(argument using utf8mb4) from mysql.general_log where "
                  "command_type = 'Query' and user_host like '") + kUser + "%'");
  std::size_t showColumns = 0;
  for (const std::string& sql : statements) {
    EXPECT_TRUE(IsAllowedStatement(sql, true)) << "unexpected statement: " << sql;
    showColumns += sql.starts_with("show full columns") ? 1 : 0;
  }
  EXPECT_EQ(showColumns, 5u);  // the four tables of kelvane_cli, then commented
}

TEST_F(WatchedUser, ExportListsTheTablesOnceWhateverTheirNumber) {
  ASSERT_TRUE(AdminExec("set global log_output = 'TABLE'; truncate table mysql.general_log; "
                        "set global general_log = 1"));
  TempDir temp;
  EXPECT_EQ(Run({"export", "kelvane_cli_names", "--out", temp.path().string()}).exitCode, 0);
  AdminExec("set global general_log = 0");
  const auto count = [](const std::string& condition) {
    return AdminQuery(std::string("select count(*) from mysql.general_log where command_type = "
                                  "'Query' and user_host like '") + kUser + "%' and " + condition);
  };
  EXPECT_EQ(count("argument = 'show tables'"), std::vector<std::string>{"1"});
  EXPECT_EQ(count("argument like 'select %'"), std::vector<std::string>{"8"});
}

}  // namespace
}  // namespace kelvane::testing
