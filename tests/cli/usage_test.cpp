// The help text and the MySQL client's password spellings.
#include <gtest/gtest.h>

#include "cli/cli_app.h"
#include "run_gen.h"

namespace kelvane::testing {
namespace {

using cli::NormalizePasswordArguments;
using Args = std::vector<std::string>;

TEST(Help, DocumentsEveryCommandOptionPaneAndExitCode) {
  const GenRun run = RunGen({"--help"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.err, "");
  for (const char* word :
       {"-h,--host", "-P,--port", "-u,--user", "--password", "-p ", "-pPW", "MYSQL_PWD", "[client]",
        "[kelvane-gen]", "--bool-tinyint1", "--help", "--pane", "--encoding", "--out",
        "databases", "tables DB", "columns DB TABLE", "generate DB TABLE", "export DB [TABLE...]",
        "custom-type", "class-module", "set-class", "csharp-entity", "csharp-operation",
        "0 success", "1 usage error", "2 connection", "3 database or table not found",
        "4 encoding", "5 other"})
    EXPECT_NE(run.out.find(word), std::string::npos) << "help does not mention " << word;
}

TEST(Help, EachCommandHasItsOwn) {
  const GenRun run = RunGen({"export", "--help"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_NE(run.out.find("--out"), std::string::npos);
  EXPECT_EQ(run.out.find("--pane"), std::string::npos);
}

TEST(PasswordArguments, FollowTheMysqlClient) {
  EXPECT_EQ(NormalizePasswordArguments({"-p"}), Args{"-p"});
  EXPECT_EQ(NormalizePasswordArguments({"--password"}), Args{"-p"});
  EXPECT_EQ(NormalizePasswordArguments({"-psecret", "tables"}), (Args{"--password=secret", "tables"}));
  EXPECT_EQ(NormalizePasswordArguments({"--password=", "--password=a b"}), (Args{"--password=", "--password=a b"}));
  EXPECT_EQ(NormalizePasswordArguments({"-P", "3306", "-P3306"}), (Args{"-P", "3306", "-P3306"}));
  EXPECT_EQ(NormalizePasswordArguments({"--", "-pX", "--password"}), (Args{"--", "-pX", "--password"}));
}

}  // namespace
}  // namespace kelvane::testing
