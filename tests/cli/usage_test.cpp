// The help text and the MySQL client's password spellings.
#include <gtest/gtest.h>

#include "cli/cli_app.h"
#include "run_gen.h"

namespace kelvane::testing {
namespace {

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
  struct Case {
    Args arguments;
    Args rest;
    bool given, ask;
    std::string password, valueMissing;
  };
  const Case cases[] = {
      {{"-p", "tables"}, {"tables"}, false, true, "", ""},
      {{"--password", "secret"}, {"secret"}, false, true, "", ""},
      {{"-psecret", "tables"}, {"tables"}, true, false, "secret", ""},
      {{"--password=a b"}, {}, true, false, "a b", ""},
      {{"--password="}, {}, true, false, "", ""},
      {{"--password=x", "-p"}, {}, false, true, "", ""},
      {{"-p", "--password=x"}, {}, true, false, "x", ""},
      {{"-P", "3306", "-P3306"}, {"-P", "3306", "-P3306"}, false, false, "", ""},
      {{"-u", "-psecret", "tables"}, {"-u", "tables"}, true, false, "secret", "-u"},
      {{"--", "-pX", "--password"}, {"--", "-pX", "--password"}, false, false, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.arguments));
    const cli::PasswordArguments taken = cli::TakePasswordArguments(c.arguments, {"-u", "-P"});
    EXPECT_EQ(taken.rest, c.rest);
    EXPECT_EQ(taken.given, c.given);
    EXPECT_EQ(taken.ask, c.ask);
    EXPECT_EQ(taken.password, c.password);
    EXPECT_EQ(taken.valueMissing, c.valueMissing);
  }
}

TEST(PasswordArguments, NoMessageShowsAPassword) {
  for (const Args& arguments : {Args{"--password", "S3cret", "tables", "db"}, Args{"-p", "S3cret", "tables", "db"},
                                Args{"-u", "-pS3cret", "tables", "db"}, Args{"--user", "--password=S3cret", "tables"},
                                Args{"--password=S3cret", "tables", "db", "extra"}}) {
    SCOPED_TRACE(::testing::PrintToString(arguments));
    const GenRun run = RunGen(arguments);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err.find("S3cret"), std::string::npos) << run.err;
  }
}

}  // namespace
}  // namespace kelvane::testing
