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

struct PasswordSource {
  const char* what;
  std::string homeFile;       // ~/.my.cnf
  std::string mysqlHomeFile;  // $MYSQL_HOME/my.cnf
  const char* mysqlPwd;       // nullptr: unset
  std::vector<std::string> arguments;
  bool connects;
};

TEST(PasswordSources, FollowTheMysqlClientsOrder) {
  const PasswordSource sources[] = {
      {"[client] of ~/.my.cnf", "[client]\npassword=" + kRight + "\n", "", nullptr, {}, true},
      {"own group in $MYSQL_HOME", "", "[kelvane-gen]\npassword=" + kRight + "\n", nullptr, {}, true},
      {"own group after [client]", "[client]\npassword=wrong\n[kelvane-gen]\npassword=" + kRight + "\n",
       "", nullptr, {}, true},
      {"other programs' groups", "[mysql]\npassword=" + kRight + "\n[mysqldump]\npassword=" + kRight + "\n",
       "", nullptr, {}, false},
      {"command line over option file", "[client]\npassword=" + kRight + "\n", "", nullptr,
       {"--password=wrong"}, false},
      {"option file over MYSQL_PWD", "[kelvane-gen]\npassword=" + kRight + "\n", "", "wrong", {}, true},
      {"MYSQL_PWD alone", "", "", kRight.c_str(), {}, true},
      {"wrong MYSQL_PWD", "", "", "wrong", {}, false},
      {"command line over MYSQL_PWD", "", "", "wrong", {"--password=" + kRight}, true},
      {"nothing at all", "", "", nullptr, {}, false},
  };
  for (const PasswordSource& source : sources) {
    SCOPED_TRACE(source.what);
    TempDir temp;
    GenEnvironment environment;
    environment.set["HOME"] = temp.path().string();
    if (!source.homeFile.empty()) WriteBytes(temp.path() / ".my.cnf", source.homeFile);
    if (!source.mysqlHomeFile.empty()) {
      WriteBytes(temp.path() / "etc" / "my.cnf", source.mysqlHomeFile);
      environment.set["MYSQL_HOME"] = (temp.path() / "etc").string();
    }
    if (source.mysqlPwd) environment.set["MYSQL_PWD"] = source.mysqlPwd;
    const GenRun run = Databases(environment, source.arguments);
    if (source.connects) {
      EXPECT_TRUE(Listed(run)) << run.err;
    } else {
      EXPECT_EQ(run.exitCode, 2);
      EXPECT_NE(run.err.find("Access denied"), std::string::npos) << run.err;
    }
  }
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
  GenEnvironment wrong;
  wrong.terminal = true;
  wrong.typeAfterPrompt = "wrong\n";
  EXPECT_EQ(Databases(wrong, {"-p"}).exitCode, 2);
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
