// Odd names, vanishing tables, dead peers and a killed server: every command gives its
// failure result and nothing crashes; the server only ever sees read statements.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>

#include "generators/generators.h"
#include "schema/greeting.h"
#include "schema/mysql_access.h"
#include "schema/schema_commands.h"
#include "support/server_env.h"
#include "support/silent_listener.h"
#include "text/text.h"

namespace kelvane {
namespace {

constexpr const char* kTestHostForFakes = "127.0.0.1";

using testing::AdminExec;
using testing::AdminQuery;
using testing::ScriptedServer;
using testing::SilentListener;
using testing::TestPort;

const std::string kHostileDb = "kelvane hostile `q' \"%\\ 库";

ConnectInput Root() { return {testing::kTestHost, testing::kTestUser, testing::kTestPassword}; }

// The columns the server reports for a table, in order.
std::vector<std::string> ServerColumns(const std::string& db, const std::string& table) {
  auto quote = [](const std::string& s) {
    std::string q = "'";
    for (char c : s) {
      if (c == '\'' || c == '\\') q += '\\';
      q += c;
    }
    return q + "'";
  };
  return AdminQuery("select column_name from information_schema.columns where table_schema = " +
                    quote(db) + " and table_name = " + quote(table) + " order by ordinal_position");
}

TEST(HostileNames, DatabasesTablesAndColumnsTravelUnchangedIntoTheTexts) {
  SchemaSession session;
  const auto connected = ConnectServer(session, Root(), TestPort());
  ASSERT_NE(std::find(connected.databases.begin(), connected.databases.end(), kHostileDb),
            connected.databases.end());
  const auto chosen = ChooseDatabase(session, Root(), kHostileDb, TestPort());
  EXPECT_TRUE(chosen.connected);
  ASSERT_EQ(chosen.tables.size(), 6u);
  for (const std::string& table : chosen.tables) {
    SCOPED_TRACE(table);
    FieldTable fields;
    const auto lines = ChooseTable(session, table, fields);
    std::vector<std::string> names;
    for (std::size_t i = 0; i + 1 < fields.size(); ++i) names.push_back(fields[i].columnName);
    EXPECT_EQ(names, ServerColumns(kHostileDb, table));
    ASSERT_FALSE(names.empty());
    EXPECT_EQ(lines.size(), fields.size());
    const std::string custom = BuildCustomTypeText(table, fields);
    EXPECT_NE(custom.find(".数据类型 " + table + "\r\n"), std::string::npos);
    for (const std::string& name : names)
      EXPECT_NE(custom.find("    .成员 " + name + ","), std::string::npos) << name;
    for (Pane pane : kAllPanes) {
      const std::string text = BuildPaneText(pane, table, fields);
      EXPECT_TRUE(text.ends_with("\r\n"));
    }
    EXPECT_NE(BuildSetClassText(table, fields).find("Jw表名=“" + table + "”\r\n"),
              std::string::npos);
  }
}

TEST(HostileNames, SixtyFourCharacterNamesAndFourByteCharacters) {
  SchemaSession session;
  const std::string db(std::string("d2345678901234567890123456789012345678901234567890123456789") +
                       "01234");
  ASSERT_EQ(db.size(), 64u);
  const auto chosen = ChooseDatabase(session, Root(), db, TestPort());
  EXPECT_EQ(chosen.tables, std::vector<std::string>{"t"});
  SchemaSession hostile;
  ChooseDatabase(hostile, Root(), kHostileDb, TestPort());
  FieldTable fields;
  const std::string longTable =
      "t" + std::string("234567890123456789012345678901234567890") + "123456789012345678901234";
  ASSERT_EQ(longTable.size(), 64u);
  ChooseTable(hostile, longTable, fields);
  ASSERT_EQ(fields.size(), 2u);
  EXPECT_EQ(fields[0].columnName.size(), 64u);
  // Characters outside the Basic Multilingual Plane never arrive: the server refuses them in
  // identifiers (error 1300), so there is nothing more to carry for them.
}

TEST(ServerFaults, TableDroppedBetweenListingAndChoosingGivesAnEmptyColumnList) {
  ASSERT_TRUE(AdminExec("create table kelvane_shop.soon_gone (a int)"));
  SchemaSession session;
  const auto chosen = ChooseDatabase(session, Root(), "kelvane_shop", TestPort());
  ASSERT_NE(std::find(chosen.tables.begin(), chosen.tables.end(), "soon_gone"),
            chosen.tables.end());
  ASSERT_TRUE(AdminExec("drop table kelvane_shop.soon_gone"));
  FieldTable fields{StateRecord()};
  EXPECT_TRUE(ChooseTable(session, "soon_gone", fields).empty());
  EXPECT_TRUE(fields.empty());
  // The generators still run on what is left.
  EXPECT_EQ(BuildCustomTypeText("soon_gone", fields), ".版本 2\r\n.数据类型 soon_gone\r\n");
}

// A server's greeting packet: protocol byte, version text, thread id, scramble, filler, the
// lower capability flags, then the rest as MariaDB sends it (plugin name last). `length` other
// than 0 overrides the header's payload length.
struct GreetingShape {
  unsigned char protocol = 10;
  bool tls = true;
  std::string plugin = "mysql_native_password";
  bool versionEnds = true;
  std::size_t length = 0;
  unsigned char filler = 0;
  unsigned char sequence = 0;
  bool deprecateEof = true;  // result sets end with OK instead of EOF packets
};
std::string Greeting(const GreetingShape& shape) {
  std::string payload(1, static_cast<char>(shape.protocol));
  payload += shape.versionEnds ? std::string("5.5.5-10.11.19-MariaDB", 23) : std::string("5.5.5-10.11.19-MariaDB");
  payload += std::string("\x07\x00\x00\x00", 4) + "abcdefgh" + std::string(1, static_cast<char>(shape.filler));
  const unsigned lower = 0xA20F | (shape.tls ? 0x800u : 0u);  // 41 protocol, secure connection
  payload += std::string{static_cast<char>(lower & 0xff), static_cast<char>(lower >> 8)};
  payload += std::string("\x2d\x02\x00\xff", 4) + (shape.deprecateEof ? "\x81" : "\x80") + "\x15" +
             std::string(10, '\0') + "ijklmnopqrst" +
             std::string(1, '\0') + shape.plugin + std::string(1, '\0');
  const std::size_t length = shape.length ? shape.length : payload.size();
  return std::string{static_cast<char>(length & 0xff), static_cast<char>(length >> 8 & 0xff),
                     static_cast<char>(length >> 16), static_cast<char>(shape.sequence)} +
         payload;
}

TEST(ServerFaults, SilentPeerFailsWithinTheConnectTimeout) {
  SilentListener silent;
  SchemaSession session;
  const auto start = std::chrono::steady_clock::now();
  const auto result = ConnectServer(session, Root(), silent.port());
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_FALSE(result.connected);
  EXPECT_TRUE(result.databases.empty());
  EXPECT_LE(elapsed, std::chrono::seconds(kConnectTimeoutSeconds + 2));
  // And the next command works normally.
  EXPECT_TRUE(ConnectServer(session, Root(), TestPort()).connected);
}

TEST(ServerFaults, AGreetingSentByteByByteFailsWithinTheConnectTimeout) {
  std::vector<std::string> chunks;
  for (char c : Greeting({})) chunks.emplace_back(1, c);
  ScriptedServer slow(chunks, std::chrono::milliseconds(400), std::chrono::milliseconds(100));
  ConnectOptions options;
  ServerFailure failure;
  options.failure = &failure;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(mysqlConnect("127.0.0.1", "root", "x", "", slow.port(), options), 0);
  EXPECT_LE(std::chrono::steady_clock::now() - start, std::chrono::seconds(kConnectTimeoutSeconds + 2));
  EXPECT_EQ(failure.kind, FailureKind::Timeout) << failure.text;
}

TEST(Greeting, OnlyACompleteWellFormedProtocol10GreetingCounts) {
  const std::string good = Greeting({});
  const std::size_t capsAt = 4 + 1 + 23 + 4 + 8 + 1;  // header, protocol, version, id, scramble, filler
  const struct {
    const char* what;
    std::string bytes;
    GreetingVerdict verdict;
  } cases[] = {
      {"offers TLS", good, GreetingVerdict::OffersTls},
      {"without the TLS bit", Greeting({.tls = false}), GreetingVerdict::NoTls},
      {"bytes after the packet are not looked at", good + "\xff\xff", GreetingVerdict::OffersTls},
      {"nothing yet", "", GreetingVerdict::NeedMore},
      {"the header only", good.substr(0, 4), GreetingVerdict::NeedMore},
      {"cut before the flags", good.substr(0, capsAt), GreetingVerdict::NeedMore},
      {"cut one byte short", good.substr(0, good.size() - 1), GreetingVerdict::NeedMore},
      {"protocol 11", Greeting({.protocol = 11}), GreetingVerdict::Malformed},
      {"an error packet", std::string("\x17\x00\x00\x00\xff\x10\x04Too many connections", 27),
       GreetingVerdict::Malformed},
      {"no zero byte after the version", Greeting({.versionEnds = false}), GreetingVerdict::Malformed},
      {"the packet ends before the flags that follow it",
       Greeting({.length = capsAt - 4}), GreetingVerdict::Malformed},
      {"the packet ends inside the flags", Greeting({.length = capsAt - 4 + 1}), GreetingVerdict::Malformed},
      {"a filler byte that is not zero", Greeting({.filler = 1}), GreetingVerdict::Malformed},
      {"sequence number 1", Greeting({.sequence = 1}), GreetingVerdict::Malformed},
      {"an empty packet", std::string("\0\0\0\0", 4), GreetingVerdict::Malformed},
      {"longer than any greeting", Greeting({.length = kLongestGreeting + 1}), GreetingVerdict::Malformed},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(ReadGreeting(c.bytes), c.verdict);
  }
}

// Crafted greetings from a peer on loopback: with TLS required, none of them gets a login (the
// user name never arrives); the clear-text plugin never gets the password without TLS.
TEST(ServerFaults, CraftedGreetingsNeverGetALoginInPlainText) {
  const std::string user = "kelvane_probe_user", password = "probe-secret-271";
  const auto bytewise = [](const std::string& bytes) {
    std::vector<std::string> chunks;
    for (char c : bytes) chunks.emplace_back(1, c);
    return chunks;
  };
  const std::string good = Greeting({});
  const struct {
    const char* what;
    std::vector<std::string> chunks;
    SslMode mode;
    FailureKind kind;
    std::vector<std::string> replies = {};  // to the client's packets
  } cases[] = {
      {"without the TLS bit, one byte per write", bytewise(Greeting({.tls = false})), SslMode::Required,
       FailureKind::TlsNotOffered},
      {"without the TLS bit, VERIFY_CA", {Greeting({.tls = false})}, SslMode::VerifyCa,
       FailureKind::TlsNotOffered},
      {"protocol 11", {Greeting({.protocol = 11})}, SslMode::Required, FailureKind::TlsNotOffered},
      {"no zero byte after the version", {Greeting({.versionEnds = false, .length = 60})}, SslMode::Required,
       FailureKind::TlsNotOffered},
      {"the packet ends before the flags, TLS bit after it", {Greeting({.length = 37})}, SslMode::Required,
       FailureKind::TlsNotOffered},
      {"truncated", {good.substr(0, 30)}, SslMode::Required, FailureKind::Connection},
      {"offers TLS, one byte per write, then no TLS handshake", bytewise(good), SslMode::Required,
       FailureKind::TlsFailed},
      {"clear-text plugin without TLS", {Greeting({.tls = false, .plugin = "mysql_clear_password"})},
       SslMode::Preferred, FailureKind::ClearTextRefused},
      {"clear-text plugin, TLS disabled", {Greeting({.plugin = "mysql_clear_password"})}, SslMode::Disabled,
       FailureKind::ClearTextRefused},
      // The library's own message would carry bytes of the native password's answer.
      {"switch to the clear-text plugin after the native answer", {Greeting({.tls = false})}, SslMode::Preferred,
       FailureKind::ClearTextRefused,
       {std::string("\x16\x00\x00\x02\xfe" "mysql_clear_password\x00", 26)}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ScriptedServer server(c.chunks, std::chrono::milliseconds(c.chunks.size() > 1 ? 2 : 0),
                          std::chrono::milliseconds(1500), c.replies);
    ConnectOptions options;
    options.sslMode = c.mode;
    options.sslCa = testing::TlsTestFile("ca.pem");
    ServerFailure failure;
    options.failure = &failure;
    EXPECT_EQ(mysqlConnect(kTestHostForFakes, user, password, "", server.port(), options), 0);
    EXPECT_EQ(failure.kind, c.kind) << failure.number << " " << failure.text;
    if (c.kind == FailureKind::ClearTextRefused) {
      EXPECT_EQ(failure.text, "authentication plugin not allowed");
    }
    const std::string& received = server.Finish();
    EXPECT_EQ(received.find(password), std::string::npos) << "the password arrived in clear";
    if (c.mode != SslMode::Preferred && c.mode != SslMode::Disabled) {
      EXPECT_EQ(received.find(user), std::string::npos) << "a login arrived in plain text";
    }
  }
}

// One protocol packet: the payload's length, the sequence number, the payload.
std::string Packet(unsigned char sequence, const std::string& payload) {
  const std::size_t n = payload.size();
  return std::string{static_cast<char>(n & 0xff), static_cast<char>(n >> 8 & 0xff),
                     static_cast<char>(n >> 16 & 0xff), static_cast<char>(sequence)} + payload;
}
std::string LengthCoded(const std::string& text) {
  return text.size() < 251 ? static_cast<char>(text.size()) + text
                           : "\xfc" + std::string{static_cast<char>(text.size() & 0xff),
                                                  static_cast<char>(text.size() >> 8)} + text;
}
const std::string kOkPayload("\x00\x00\x00\x02\x00\x00\x00", 7);

// The test CA's server key, as a PEM public key.
std::string ServerPublicKey() {
  std::string pem;
  const std::string command = "openssl pkey -pubout -in '" + testing::TlsTestFile("server-key.pem") + "'";
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[512];
    while (std::size_t n = fread(buffer, 1, sizeof buffer, pipe)) pem.append(buffer, n);
    pclose(pipe);
  }
  return pem;
}

// A server without TLS whose account needs the password itself: caching_sha2_password's full
// login (01 04) or sha256_password. The password goes out only encrypted with a key the user
// pinned or allowed fetching, in every mode; otherwise the link is shut down first.
TEST(ServerFaults, AFullLoginWithoutTlsNeverSendsThePasswordInClear) {
  const std::string password = "probe-secret-271";
  const std::string key = ServerPublicKey();
  ASSERT_NE(key.find("PUBLIC KEY"), std::string::npos);
  const auto pinned = std::filesystem::temp_directory_path() / ("kelvane-pinned-" + std::to_string(getpid()) + ".pem");
  std::ofstream(pinned) << key;
  const std::string otherKey = "-----BEGIN PUBLIC KEY-----\nMFwwDQYJKoZIhvcNAQEBBQADSwAwSAJBAK\n-----END PUBLIC KEY-----\n";
  const std::string fullLogin = Packet(2, "\x01\x04"), keyAfterRequest = Packet(4, "\x01" + key);
  enum Key { None, Fetch, Pin };
  const struct {
    const char* what;
    std::string plugin;
    SslMode mode;
    Key allowed;
    std::vector<std::string> replies;
    FailureKind kind;  // None: logged in
  } cases[] = {
      {"PREFERRED", "caching_sha2_password", SslMode::Preferred, None, {fullLogin, keyAfterRequest, Packet(6, kOkPayload)},
       FailureKind::FullLoginRefused},
      {"DISABLED", "caching_sha2_password", SslMode::Disabled, None, {fullLogin, keyAfterRequest, Packet(6, kOkPayload)},
       FailureKind::FullLoginRefused},
      {"PREFERRED, key fetched", "caching_sha2_password", SslMode::Preferred, Fetch,
       {fullLogin, keyAfterRequest, Packet(6, kOkPayload)}, FailureKind::None},
      // The library reads the pinned file and asks the server for nothing.
      {"PREFERRED, key pinned", "caching_sha2_password", SslMode::Preferred, Pin,
       {fullLogin, Packet(4, kOkPayload)}, FailureKind::None},
      {"full login before the client answered", "caching_sha2_password", SslMode::Preferred, Fetch, {},
       FailureKind::FullLoginRefused},
      {"sha256_password", "sha256_password", SslMode::Preferred, None, {Packet(2, "\x01" + key), Packet(4, kOkPayload)},
       FailureKind::FullLoginRefused},
      {"sha256_password, another key than the pinned one", "sha256_password", SslMode::Preferred, Pin,
       {Packet(2, "\x01" + otherKey), Packet(4, kOkPayload)}, FailureKind::FullLoginRefused},
      {"sha256_password, key fetched", "sha256_password", SslMode::Disabled, Fetch,
       {Packet(2, "\x01" + key), Packet(4, kOkPayload)}, FailureKind::None},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::string> chunks{Greeting({.tls = false, .plugin = c.plugin})};
    if (c.replies.empty()) chunks[0] += fullLogin;  // in the same write as the greeting
    ScriptedServer server(chunks, {}, std::chrono::milliseconds(1500), c.replies);
    ConnectOptions options;
    options.sslMode = c.mode;
    options.getServerPublicKey = c.allowed == Fetch;
    if (c.allowed == Pin) options.serverPublicKey = pinned.string();
    ServerFailure failure;
    options.failure = &failure;
    const ConnectionHandle handle = mysqlConnect(kTestHostForFakes, "probe", password, "", server.port(), options);
    EXPECT_EQ(failure.kind, c.kind) << failure.number << " " << failure.text;
    EXPECT_EQ(handle > 0, c.kind == FailureKind::None);
    mysqlClose(handle);
    EXPECT_EQ(server.Finish().find(password), std::string::npos) << "the password arrived in clear";
  }
  std::filesystem::remove(pinned);
}

// Names with a zero byte: a table name is carried whole, an empty one is listed; a column name
// the library cut at its zero byte keeps that byte and nothing of the client's memory.
TEST(ServerFaults, NamesWithAZeroByteAreCarriedWithoutTheClientsMemory) {
  const auto columnDefinition = [](unsigned char sequence, const std::string& name) {
    return Packet(sequence, LengthCoded("def") + LengthCoded("d") + LengthCoded("t") + LengthCoded("t") +
                                LengthCoded(name) + LengthCoded("x") +
                                std::string("\x0c\x21\x00\x00\x01\x00\x00\xfd\x00\x00\x00\x00\x00", 13));
  };
  const std::string eof = std::string("\xfe\x00\x00\x02\x00", 5);
  const std::string tables = Packet(1, "\x01") + columnDefinition(2, "Tables_in_d") + Packet(3, eof) +
                             Packet(4, LengthCoded(std::string("a\0b", 3))) + Packet(5, LengthCoded("")) +
                             Packet(6, LengthCoded("t")) + Packet(7, eof);
  const std::string columns = Packet(1, "\x01") + columnDefinition(2, std::string("a\0", 2) + std::string(60000, 'z')) +
                              Packet(3, eof) + Packet(4, eof);
  ScriptedServer server({Greeting({.tls = false, .deprecateEof = false})}, {}, std::chrono::milliseconds(3000),
                        {Packet(2, kOkPayload), tables, columns});
  ConnectOptions options;
  ServerFailure failure;
  options.failure = &failure;
  const ConnectionHandle handle = mysqlConnect(kTestHostForFakes, "probe", "x", "", server.port(), options);
  ASSERT_GT(handle, 0) << failure.text;
  std::vector<std::string> names;
  ASSERT_TRUE(ListNames(handle, false, names));
  EXPECT_EQ(names, (std::vector<std::string>{std::string("a\0b", 3), "", "t"}));
  FieldTable fields;
  ASSERT_EQ(ReadColumns(handle, "t", fields, ColumnReadOptions{false, true}), ColumnRead::Ok);
  ASSERT_EQ(fields.size(), 2u);
  EXPECT_EQ(fields[0].columnName, std::string("a\0", 2));
  mysqlClose(handle);
}

// A loopback port that nothing listens on right now.
unsigned FreeLoopbackPort() {
  const SilentListener probe;
  return probe.port();
}

// Runs a snippet of the scripts' shell library (start_server / stop_server).
int Shell(const std::string& snippet) {
  const std::string command = "bash -c 'source \"" + std::string(KELVANE_SOURCE_DIR) +
                              "/scripts/lib.sh\" && " + snippet + "' >/dev/null 2>&1";
  return std::system(command.c_str());
}

// A private server of its own, stopped and removed in the teardown however the test ends.
class KilledServer : public ::testing::Test {
 protected:
  void SetUp() override {
    char dirTemplate[] = "/tmp/kelvane-killed.XXXXXX";
    ASSERT_NE(mkdtemp(dirTemplate), nullptr);
    dir = dirTemplate;
    port = FreeLoopbackPort();
  }
  void TearDown() override {
    if (!dir.empty()) Shell("stop_server " + dir + "; rm -rf " + dir);
  }
  std::string Start() const {
    return "start_server " + dir + "/data " + dir + " " + std::to_string(port);
  }
  std::string dir;
  unsigned port = 0;
};

TEST_F(KilledServer, GivesFailureResultsAndARestartRecovers) {
  ASSERT_EQ(Shell(Start()), 0);

  SchemaSession session;
  ASSERT_TRUE(ConnectServer(session, Root(), port).connected);
  ChooseDatabase(session, Root(), "mysql", port);
  FieldTable fields;
  ASSERT_FALSE(ChooseTable(session, "db", fields).empty());

  std::ifstream pidFile(dir + "/mysqld.pid");
  int pid = 0;
  pidFile >> pid;
  ASSERT_GT(pid, 0);
  ASSERT_EQ(std::system(("kill -KILL " + std::to_string(pid)).c_str()), 0);
  for (int i = 0; i < 50 && kill(pid, 0) == 0; ++i) usleep(100000);

  // The open session is dead: the table choice fails without a crash.
  EXPECT_TRUE(ChooseTable(session, "db", fields).empty());
  EXPECT_TRUE(fields.empty());
  const auto db = ChooseDatabase(session, Root(), "mysql", port);
  EXPECT_FALSE(db.connected);
  EXPECT_TRUE(db.tables.empty());
  EXPECT_FALSE(ConnectServer(session, Root(), port).connected);

  ASSERT_EQ(Shell(Start()), 0);
  const auto again = ConnectServer(session, Root(), port);
  EXPECT_TRUE(again.connected);
  EXPECT_FALSE(again.databases.empty());
  session.Replace(0);
}

// A read-only account used to watch the program from the server's side.
class WatchedAccount : public ::testing::Test {
 protected:
  static constexpr const char* kUser = "kelvane_watch";
  void SetUp() override {
    for (unsigned port : {TestPort(), testing::TlsTestPort()})
      ASSERT_TRUE(AdminExec(std::string("create or replace user ") + kUser +
                                "@'127.0.0.1' identified by 'w'; grant select on *.* to " + kUser +
                                "@'127.0.0.1'",
                            "", port));
  }
  void TearDown() override {
    for (unsigned port : {TestPort(), testing::TlsTestPort()}) {
      AdminExec("set global general_log = 0", "", port);
      AdminExec(std::string("drop user if exists ") + kUser + "@'127.0.0.1'", "", port);
    }
  }
  ConnectInput Input() const { return {"127.0.0.1", kUser, "w"}; }
};

// On the plain server and on the one that accepts only TLS.
TEST_F(WatchedAccount, FullRoadSendsOnlyTheThreeReadStatements) {
  for (unsigned port : {TestPort(), testing::TlsTestPort()}) {
    SCOPED_TRACE(port == TestPort() ? "plain server" : "TLS-only server");
    ASSERT_TRUE(
        AdminExec("set global log_output = 'TABLE'; truncate table mysql.general_log; "
                  "set global general_log = 1",
                  "", port));
    SchemaSession session;
    const auto connected = ConnectServer(session, Input(), port);
    ASSERT_TRUE(connected.connected);
    std::size_t tablesSeen = 0;
    for (const std::string& db : connected.databases) {
      if (db.rfind("kelvane", 0) != 0) continue;
      if (db == "kelvane_big") continue;  // its one table is covered elsewhere
      const auto chosen = ChooseDatabase(session, Input(), db, port);
      for (const std::string& table : chosen.tables) {
        FieldTable fields;
        ChooseTable(session, table, fields);
        for (Pane pane : kAllPanes) BuildPaneText(pane, table, fields);
        ++tablesSeen;
      }
    }
    session.Replace(0);
    AdminExec("set global general_log = 0", "", port);
    EXPECT_GT(tablesSeen, 15u);
    const auto statements = AdminQuery(
        std::string("select convert(argument using utf8mb4) from mysql.general_log where "
                    "command_type = 'Query' and user_host like '") +
            kUser + "%'",
        "", port);
    ASSERT_FALSE(statements.empty());
    std::size_t selects = 0;
    for (const std::string& sql : statements) {
      EXPECT_TRUE(testing::IsAllowedStatement(sql)) << "unexpected statement: " << sql;
      if (sql.rfind("select", 0) == 0) ++selects;
    }
    EXPECT_EQ(selects, tablesSeen);
  }
}

TEST_F(WatchedAccount, ThreeHundredDatabaseChoicesKeepAtMostTwoConnections) {
  SchemaSession session;
  ConnectServer(session, Input(), TestPort());
  const char* dbs[] = {"kelvane_shop", "kelvane_blog", "kelvane_empty"};
  std::size_t most = 0;
  for (int i = 0; i < 300; ++i) {
    ChooseDatabase(session, Input(), dbs[i % 3], TestPort());
    if (i % 50 == 49) {
      const auto open =
          AdminQuery(std::string("select count(*) from information_schema.processlist "
                                 "where user = '") +
                     kUser + "'");
      most = std::max<std::size_t>(most, std::strtoul(open.at(0).c_str(), nullptr, 10));
    }
  }
  EXPECT_GE(most, 1u);
  EXPECT_LE(most, 2u);
}

}  // namespace
}  // namespace kelvane
