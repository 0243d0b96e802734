// Where the password comes from: the command line, the prompt, the option files, MYSQL_PWD.
#include <gtest/gtest.h>

#include "run_gen.h"
#include "support/server_env.h"

namespace kelvane::testing {
namespace {

const std::string kRight = kTestPassword;

// `databases` without a password on the command line, plus `extra` arguments.
GenRun Databases(const GenEnvironment& environment, std::vector<std::string> extra = {}) {
  std::vector<std::string> arguments = {"-P", std::to_string(TestPort())};
  arguments.insert(arguments.end(), extra.begin(), extra.end());
  arguments.push_back("databases");
  return RunGen(arguments, environment);
}

bool Listed(const GenRun& run) {
  return run.exitCode == 0 && run.out.find("kelvane_cli\n") != std::string::npos;
}

class OptionFiles : public ::testing::Test {
 protected:
  // HOME with ~/.my.cnf holding `text`.
  GenEnvironment HomeFile(const std::string& text) {
    WriteBytes(temp.path() / "home" / ".my.cnf", text);
    GenEnvironment environment;
    environment.set["HOME"] = (temp.path() / "home").string();
    return environment;
  }
  TempDir temp;
};

TEST_F(OptionFiles, ClientGroupOfTheHomeFileGivesThePassword) {
  EXPECT_TRUE(Listed(Databases(HomeFile("[client]\npassword=" + kRight + "\n"))));
}

TEST_F(OptionFiles, OwnGroupInMysqlHomeGivesThePassword) {
  WriteBytes(temp.path() / "etc" / "my.cnf", "[kelvane-gen]\npassword=" + kRight + "\n");
  GenEnvironment environment;
  environment.set["MYSQL_HOME"] = (temp.path() / "etc").string();
  EXPECT_TRUE(Listed(Databases(environment)));
}

TEST_F(OptionFiles, OwnGroupOverridesTheClientGroup) {
  EXPECT_TRUE(Listed(Databases(HomeFile("[client]\npassword=wrong\n[kelvane-gen]\npassword=" + kRight + "\n"))));
}

TEST_F(OptionFiles, OtherProgramsGroupsAreNotRead) {
  const GenRun run = Databases(HomeFile("[mysql]\npassword=" + kRight + "\n[mysqldump]\npassword=" + kRight + "\n"));
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_NE(run.err.find("using password: NO"), std::string::npos) << run.err;
}

TEST_F(OptionFiles, TheCommandLineBeatsTheOptionFile) {
  EXPECT_EQ(Databases(HomeFile("[client]\npassword=" + kRight + "\n"), {"--password=wrong"}).exitCode, 2);
}

TEST_F(OptionFiles, TheOptionFileBeatsMysqlPwd) {
  GenEnvironment environment = HomeFile("[kelvane-gen]\npassword=" + kRight + "\n");
  environment.set["MYSQL_PWD"] = "wrong";
  EXPECT_TRUE(Listed(Databases(environment)));
}

TEST(MysqlPwd, IsUsedWhenNothingElseGivesAPassword) {
  GenEnvironment environment;
  environment.set["MYSQL_PWD"] = kRight;
  EXPECT_TRUE(Listed(Databases(environment)));
  environment.set["MYSQL_PWD"] = "wrong";
  EXPECT_EQ(Databases(environment).exitCode, 2);
}

TEST(MysqlPwd, TheCommandLineBeatsIt) {
  GenEnvironment environment;
  environment.set["MYSQL_PWD"] = "wrong";
  EXPECT_TRUE(Listed(Databases(environment, {"--password=" + kRight})));
}

TEST(Prompt, AsksOnTheTerminalWithoutEcho) {
  for (const char* ask : {"-p", "--password"}) {
    SCOPED_TRACE(ask);
    GenEnvironment environment;
    environment.terminal = true;
    environment.typeAfterPrompt = kRight + "\n";
    const GenRun run = Databases(environment, {ask});
    EXPECT_TRUE(Listed(run)) << run.err;
    EXPECT_NE(run.err.find("Enter password: "), std::string::npos);
    EXPECT_EQ(run.err.find(kRight), std::string::npos) << "the password was echoed: " << run.err;
  }
}

TEST(Prompt, AWrongTypedPasswordIsAnAuthenticationFailure) {
  GenEnvironment environment;
  environment.terminal = true;
  environment.typeAfterPrompt = "wrong\n";
  const GenRun run = Databases(environment, {"-p"});
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_NE(run.err.find("Access denied"), std::string::npos) << run.err;
}

TEST(Prompt, WithoutATerminalReadsStandardInput) {
  GenEnvironment environment;
  environment.input = kRight + "\n";
  EXPECT_TRUE(Listed(Databases(environment, {"-p"})));
  environment.input = "";
  EXPECT_EQ(Databases(environment, {"-p"}).exitCode, 1);
}

}  // namespace
}  // namespace kelvane::testing
