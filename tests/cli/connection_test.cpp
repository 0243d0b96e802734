// Where the password comes from: the command line, the prompt, the option files, MYSQL_PWD.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "run_gen.h"
#include "support/server_env.h"

namespace kelvane::testing {
namespace {

namespace fs = std::filesystem;
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
      {"--password= is the empty password, not MYSQL_PWD", "", "", kRight.c_str(), {"--password="}, false},
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

TEST(Prompt, ATypedEmptyPasswordIsTheEmptyPasswordNotMysqlPwd) {
  GenEnvironment environment;
  environment.set["MYSQL_PWD"] = kRight;
  environment.input = "\n";
  const GenRun run = Databases(environment, {"-p"});
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_NE(run.err.find("Access denied"), std::string::npos) << run.err;
}

// Option files as a hostile or careless machine has them.
struct OptionFileCase {
  const char* what;
  mode_t mode;               // of ~/.my.cnf
  std::string included;      // "": no included file; else its text, mode 0666
  bool markerExpected;       // the plugin named in the files was loaded
  bool warningExpected;
};

TEST(OptionFiles, AWorldWritableFileIsIgnoredWithTheClientsWarning) {
  const std::string hostile = std::string("[client]\nplugin-dir=") + KELVANE_MARKER_PLUGIN_DIR +
                              "\ndefault-auth=marker_auth\n";
  const OptionFileCase cases[] = {
      {"a private file is obeyed (the plugin loads)", 0600, "", true, false},
      {"a world-writable file is ignored", 0666, "", false, true},
      {"a world-writable file included from a private one is ignored", 0600, hostile, false, true},
  };
  for (const OptionFileCase& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir temp;
    GenEnvironment environment;
    environment.set["HOME"] = temp.path().string();
    environment.set["KELVANE_MARKER"] = (temp.path() / "loaded").string();
    const fs::path file = temp.path() / ".my.cnf";
    if (c.included.empty()) {
      WriteBytes(file, hostile);
    } else {
      WriteBytes(temp.path() / "hostile.cnf", c.included);
      fs::permissions(temp.path() / "hostile.cnf", static_cast<fs::perms>(0666));
      WriteBytes(file, "!include " + (temp.path() / "hostile.cnf").string() + "\n");
    }
    fs::permissions(file, static_cast<fs::perms>(c.mode));
    const GenRun run = Databases(environment, {"--password=" + kRight});
    EXPECT_EQ(fs::exists(temp.path() / "loaded"), c.markerExpected) << run.err;
    const std::string warned = c.included.empty() ? file.string() : (temp.path() / "hostile.cnf").string();
    EXPECT_EQ(run.err.find("Warning: World-writable config file '" + warned + "' is ignored\n") !=
                  std::string::npos,
              c.warningExpected)
        << run.err;
    if (!c.markerExpected) {
      EXPECT_TRUE(Listed(run)) << run.err;
    }
  }
}

TEST(OptionFiles, NamesStayUtf8WhateverCharacterSetAFileSets) {
  TempDir temp;
  GenEnvironment environment;
  environment.set["HOME"] = temp.path().string();
  WriteBytes(temp.path() / ".my.cnf", "[client]\ndefault-character-set=gbk\n[kelvane-gen]\n"
                                      "default-character-set=latin1\n");
  const auto run = [&](std::vector<std::string> command) {
    command.insert(command.begin(), {"-P", std::to_string(TestPort()), "--password=" + kRight});
    return RunGen(command, environment);
  };
  const GenRun tables = run({"tables", "kelvane_cli"});
  EXPECT_EQ(tables.exitCode, 0) << tables.err;
  EXPECT_NE(tables.out.find("\n用户表\n"), std::string::npos) << tables.out;
  const GenRun columns = run({"columns", "kelvane_cli", "用户表"});
  EXPECT_EQ(columns.exitCode, 0) << columns.err;
  EXPECT_EQ(columns.out.substr(0, columns.out.find('|')), "编号");
}

}  // namespace
}  // namespace kelvane::testing
