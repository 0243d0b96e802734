// Where the password comes from: the command line, the prompt, the option files, MYSQL_PWD.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <signal.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "cli/option_files.h"
#include "run_gen.h"
#include "support/server_env.h"
#include "support/silent_listener.h"

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
      {"quotes and a comment after the value", "[client]\npassword = \"" + kRight + "\" # the demo's\n", "",
       nullptr, {}, true},
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

// What option files may and may not do: they never weaken the command line's TLS, never make the
// program run a statement or read another database, and cannot hang it.
// "[client]", then `spellings` includes of ~/.my.cnf by other names of it, then 1 MB of settings
// no program knows.
std::string SelfIncludes(int spellings) {
  std::string text = "[client]\n", dots;
  for (int i = 0; i < spellings; ++i) text += "!include {home}/" + (dots += "./") + ".my.cnf\n";
  while (text.size() < 1000000) text += "loose-kelvane-unknown=" + std::string(1000, 'x') + "\n";
  return text;
}

TEST(OptionFiles, CannotWeakenTlsRunStatementsOrHangTheProgram) {
  const std::string ca = TlsTestFile("ca.pem");
  const struct {
    const char* what;
    std::string homeFile;  // "{home}" stands for the folder of ~/.my.cnf
    std::vector<std::string> arguments;
    bool tlsServer;
    int exitCode;
    std::string inErr;
  } cases[] = {
      {"ssl-enforce=0 does not undo --ssl-mode=REQUIRED", "[client]\nssl-enforce=0\nssl=0\n",
       {"--ssl-mode=REQUIRED"}, false, 2, "no login was sent"},
      {"loose-ssl-mode is read as ssl-mode", "[client]\nloose-ssl-mode=REQUIRED\n", {}, false, 2,
       "does not log in without it"},
      {"ssl-verify-server-cert=0 does not undo VERIFY_IDENTITY", "[client]\nssl-verify-server-cert=0\n",
       {"-h", "127.0.0.2", "--ssl-mode=VERIFY_IDENTITY", "--ssl-ca=" + ca}, true, 2, "to name the host"},
      {"a file's ssl-ca does not replace --ssl-ca", "[client]\nssl-ca=" + TlsTestFile("other-ca.pem") + "\n",
       {"--ssl-ca=" + ca}, true, 0, ""},
      {"a file's ssl-mode does not weaken --ssl-ca", "[client]\nssl-mode=PREFERRED\n",
       {"--ssl-ca=" + TlsTestFile("other-ca.pem")}, true, 2, "does not chain to the CA"},
      {"init-command is not run", "[client]\ninit-command=this is not sql\n", {"--verbose"}, false, 0,
       "init-command in [client] of {home}/.my.cnf is not used"},
      {"database= does not break databases", "[client]\ndatabase=no_such_database\n", {}, false, 0, ""},
      {"a file that includes itself twice", "!include {home}/.my.cnf\n!include {home}/.my.cnf\n", {}, false, 0, ""},
      {"an include of /dev/zero", "!include /dev/zero\n", {}, false, 0,
       "config file '/dev/zero' is not a regular file and is ignored"},
      {"--ssl-ca naming a folder", "", {"--ssl-ca={home}"}, false, 1, "is not a regular file"},
      {"--ssl-ca=/dev/null", "", {"--ssl-ca=/dev/null"}, false, 1, "the --ssl-ca file /dev/null is not a regular file"},
      {"--ssl-ca naming an empty file", "[client]\n", {"--ssl-ca={home}/.my.cnf"}, false, 1, "holds no certificate"},
      {"--ssl-ca naming a key file", "", {"--ssl-ca=" + TlsTestFile("ca-key.pem")}, false, 1,
       "holds a private key, not a certificate"},
      {"--ssl-key naming a certificate", "", {"--ssl-cert=" + ca, "--ssl-key=" + ca}, false, 1,
       "holds no private key"},
      {"default-auth naming the clear-text plugin is the client's choice, not the server's",
       "[client]\ndefault-auth=mysql_clear_password\n", {}, false, 2,
       "default-auth in an option file names a plugin that sends the password in clear text"},
      {"--server-public-key-path naming a certificate", "", {"--server-public-key-path=" + ca}, false, 1,
       "holds no public key"},
      {"a file's server-public-key is checked as the option is", "[client]\nserver-public-key={home}\n", {},
       false, 1, "the --server-public-key-path file {home} is not a regular file"},
      {"a byte-order mark: the file is refused by name, as the client does", "\xEF\xBB\xBF[client]\npassword=x\n",
       {}, false, 1, "the option file {home}/.my.cnf starts with a UTF-8 byte-order mark"},
      {"a 1 MB file that includes itself through 20 spellings is read once", SelfIncludes(20), {}, false, 0, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir temp;
    const auto substitute = [&](std::string text) {
      for (std::size_t at; (at = text.find("{home}")) != std::string::npos;) text.replace(at, 6, temp.path().string());
      return text;
    };
    GenEnvironment environment;
    environment.set["HOME"] = temp.path().string();
    if (!c.homeFile.empty()) WriteBytes(temp.path() / ".my.cnf", substitute(c.homeFile));
    std::vector<std::string> arguments = {"-P", std::to_string(c.tlsServer ? TlsTestPort() : TestPort()),
                                          "--password=" + kRight};
    for (const std::string& argument : c.arguments) arguments.push_back(substitute(argument));
    arguments.push_back("databases");
    const auto started = std::chrono::steady_clock::now();
    const GenRun run = RunGen(arguments, environment);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
    EXPECT_NE(run.err.find(substitute(c.inErr)), std::string::npos) << run.err;
  }
}

// Values as the mysql client reads them (my_print_defaults shows that): '#' outside quotes ends
// the value, one pair of quotes and the surrounding spaces go, the client's escapes apply.
TEST(OptionFiles, ValuesAreReadAsTheMysqlClientReadsThem) {
  const std::vector<std::string> values = {
      R"("a\"b'c\\d#e f")", R"(x\\sy)", R"(\ssp\s)", R"("tab\there")", R"(x\sy)", R"('q"x')",
      R"( " spaced " # c)", R"("unterminated)", "a#b", R"(ends\)", "v ;c", R"('#')", R"(\q\'\")", "\"\"",
      "", "x  # y"};
  std::string file = "[client]\n";
  for (std::size_t i = 0; i < values.size(); ++i) file += "k" + std::to_string(i) + "=" + values[i] + "\n";
  TempDir temp;
  WriteBytes(temp.path() / "my.cnf", file);
  std::string expected;
  const std::string command = "my_print_defaults --defaults-file='" + (temp.path() / "my.cnf").string() + "' client";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  char buffer[4096];
  while (std::size_t n = fread(buffer, 1, sizeof buffer, pipe)) expected.append(buffer, n);
  ASSERT_EQ(pclose(pipe), 0);
  std::vector<cli::OptionEntry> entries;
  cli::ReadOptionText("my.cnf", file, entries, [](const std::string&) {});
  std::string read;
  for (const cli::OptionEntry& entry : entries) read += "--" + entry.key + "=" + entry.value + "\n";
  EXPECT_EQ(read, expected);
}

TEST(OptionFiles, AFifoAsMyCnfIsIgnored) {
  TempDir temp;
  ASSERT_EQ(mkfifo((temp.path() / ".my.cnf").c_str(), 0600), 0);
  GenEnvironment environment;
  environment.set["HOME"] = temp.path().string();
  const GenRun run = Databases(environment, {"--password=" + kRight});
  EXPECT_TRUE(Listed(run)) << run.err;
  EXPECT_NE(run.err.find("is not a regular file and is ignored"), std::string::npos) << run.err;
}

// A run killed while it waits on a server that never answers leaves its option files' password
// nowhere on disk (the temporary folder, the home folder besides ~/.my.cnf).
TEST(OptionFiles, AKilledRunLeavesNoPasswordOnDisk) {
  const std::string secret = "pw-on-disk-check-3141";
  TempDir temp;
  const fs::path home = temp.path() / "home", tmp = temp.path() / "tmp";
  fs::create_directories(home);
  fs::create_directories(tmp);
  WriteBytes(home / ".my.cnf", "[client]\npassword=" + secret + "\n");
  const SilentListener silent;
  GenEnvironment environment;
  environment.set["HOME"] = home.string();
  environment.set["TMPDIR"] = tmp.string();
  environment.whileRunning = [](pid_t pid) {
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    kill(pid, SIGKILL);
  };
  const GenRun run = RunGen({"-P", std::to_string(silent.port()), "databases"}, environment);
  EXPECT_EQ(run.exitCode, -1) << "not killed: " << run.err;
  for (const auto& entry : fs::recursive_directory_iterator(temp.path())) {
    if (!entry.is_regular_file() || entry.path() == home / ".my.cnf") continue;
    EXPECT_EQ(ReadBytes(entry.path()).find(secret), std::string::npos) << entry.path();
  }
}

}  // namespace
}  // namespace kelvane::testing
