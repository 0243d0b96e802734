// The access layer against the real test server.
#include "schema/mysql_access.h"

#include <gtest/gtest.h>

#include "support/server_env.h"

namespace kelvane {
namespace {

using testing::kTestHost;
using testing::kTestPassword;
using testing::kTestUser;
using testing::TestPort;

ConnectionHandle ConnectShop() {
  return mysqlConnect(kTestHost, kTestUser, kTestPassword, "kelvane_shop", TestPort());
}

TEST(MysqlAccess, ConnectGivesPositiveHandlesAndFailuresGiveZero) {
  const ConnectionHandle good = ConnectShop();
  EXPECT_GT(good, 0);
  EXPECT_EQ(mysqlConnect(kTestHost, kTestUser, "wrong", "", TestPort()), 0);
  EXPECT_EQ(mysqlConnect(kTestHost, kTestUser, kTestPassword, "no_such_db", TestPort()), 0);
  // An empty password is passed as "not given": root needs one, so this fails cleanly.
  EXPECT_EQ(mysqlConnect(kTestHost, kTestUser, "", "", TestPort()), 0);
  const std::size_t open = mysqlOpenConnectionCount();
  mysqlClose(good);
  EXPECT_EQ(mysqlOpenConnectionCount(), open - 1);
  mysqlClose(good);  // closing twice is harmless
}

// TLS modes against the plain server (the TLS-only server is met by the window and command-line
// tests): PREFERRED and DISABLED log in unencrypted, REQUIRED refuses before logging in. Also run
// under Wine with the Windows build's own TLS (SChannel).
TEST(MysqlAccess, TlsModesAgainstAServerWithoutTls) {
  for (const SslMode mode : {SslMode::Disabled, SslMode::Preferred, SslMode::Required}) {
    SCOPED_TRACE(static_cast<int>(mode));
    ConnectOptions options;
    options.sslMode = mode;
    bool offered = true;
    options.serverOffersTls = &offered;
    ServerFailure failure;
    options.failure = &failure;
    const std::string& error = failure.text;
    const ConnectionHandle handle =
        mysqlConnect(kTestHost, kTestUser, kTestPassword, "", TestPort(), options);
    EXPECT_FALSE(offered);
    if (mode == SslMode::Required) {
      EXPECT_EQ(handle, 0);
      EXPECT_EQ(failure.kind, FailureKind::TlsNotOffered) << error;
    } else {
      EXPECT_GT(handle, 0) << error;
      EXPECT_FALSE(mysqlTlsState(handle).encrypted);
    }
    mysqlClose(handle);
  }
}

TEST(MysqlAccess, InvalidHandlesGiveFailureResultsWithoutContactingTheServer) {
  std::string text = "unchanged";
  EXPECT_FALSE(mysqlShowDatabases(0));
  EXPECT_FALSE(mysqlShowTables(-3));
  EXPECT_EQ(mysqlStoreResult(0), 0);
  EXPECT_EQ(mysqlRowCount(0), 0u);
  EXPECT_FALSE(mysqlReadText(0, 0, text));
  EXPECT_FALSE(mysqlNextRow(12345));
  EXPECT_EQ(mysqlFieldCount(0), 0u);
  EXPECT_EQ(mysqlFieldTypeCode(0, 0), -1);
  EXPECT_FALSE(mysqlFieldName(0, 0, text));
  EXPECT_FALSE(mysqlTableExists(0, "user"));
  EXPECT_EQ(mysqlSelect(0, "user", "*", "", ""), 0);
  mysqlFreeResult(0);
  mysqlFreeResult(99999);
  EXPECT_EQ(text, "unchanged");
}

TEST(MysqlAccess, CursorReadsThreeRowsInOrderAndReadingNeverMovesIt) {
  const ConnectionHandle conn = ConnectShop();
  const RecordSet rs = mysqlSelect(conn, "three", "*", "", "");
  ASSERT_GT(rs, 0);
  EXPECT_EQ(mysqlRowCount(rs), 3u);
  std::vector<std::string> seen;
  for (int i = 0; i < 3; ++i) {
    std::string value, again;
    EXPECT_TRUE(mysqlReadText(rs, 0, value));
    EXPECT_TRUE(mysqlReadText(rs, 0, again));
    EXPECT_EQ(value, again);
    seen.push_back(value);
    mysqlNextRow(rs);
  }
  EXPECT_EQ(seen, (std::vector<std::string>{"first", "second", "third"}));
  // Past the end the last row is read.
  std::string last;
  EXPECT_TRUE(mysqlReadText(rs, 0, last));
  EXPECT_EQ(last, "third");
  std::string untouched = "keep";
  EXPECT_FALSE(mysqlReadText(rs, 1, untouched));
  EXPECT_FALSE(mysqlReadText(rs, -1, untouched));
  EXPECT_EQ(untouched, "keep");
  mysqlFreeResult(rs);
  EXPECT_EQ(mysqlRowCount(rs), 0u);
  mysqlClose(conn);
}

TEST(MysqlAccess, NullReadsAsEmptyText) {
  const ConnectionHandle conn = ConnectShop();
  const RecordSet rs = mysqlSelect(conn, "user", "created", "id = 2", "");
  ASSERT_GT(rs, 0);
  std::string value = "x";
  EXPECT_TRUE(mysqlReadText(rs, 0, value));
  EXPECT_EQ(value, "");
  mysqlFreeResult(rs);
  mysqlClose(conn);
}

TEST(MysqlAccess, TypeCodesOfRealColumns) {
  const ConnectionHandle conn = ConnectShop();
  const RecordSet rs = mysqlSelect(conn, "all_types", "*", "1=0", "");
  ASSERT_GT(rs, 0);
  const std::vector<ColumnTypeCode> expected{
      101,    // TINYINT
      2,      // SMALLINT
      9,      // MEDIUMINT
      3,      // INT
      8,      // BIGINT
      0,      // DECIMAL
      4,      // FLOAT
      5,      // DOUBLE
      6,      // BIT
      10,     // DATE
      11,     // TIME
      12,     // DATETIME
      7,      // TIMESTAMP
      13,     // YEAR
      25403,  // CHAR
      253,    // VARCHAR
      25403,  // BINARY
      253,    // VARBINARY
      25204,  // TEXT
      25204,  // BLOB
      25403,  // ENUM arrives as STRING
      25403,  // SET arrives as STRING
      25204,  // JSON
  };
  ASSERT_EQ(mysqlFieldCount(rs), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i)
    EXPECT_EQ(mysqlFieldTypeCode(rs, static_cast<int>(i)), expected[i]) << "column " << i;
  EXPECT_EQ(mysqlFieldTypeCode(rs, static_cast<int>(expected.size())), 6);
  EXPECT_EQ(mysqlFieldTypeCode(rs, -1), 6);
  std::string name;
  EXPECT_TRUE(mysqlFieldName(rs, 0, name));
  EXPECT_EQ(name, "c_tinyint");
  EXPECT_FALSE(mysqlFieldName(rs, static_cast<int>(expected.size()), name));
  mysqlFreeResult(rs);
  mysqlClose(conn);
}

TEST(MysqlAccess, TypeCodeTableCoversTheLibraryNumbers) {
  EXPECT_EQ(ColumnTypeCodeFor(0), 0);
  EXPECT_EQ(ColumnTypeCodeFor(246), 0);
  EXPECT_EQ(ColumnTypeCodeFor(247), 25401);
  EXPECT_EQ(ColumnTypeCodeFor(248), 25402);
  EXPECT_EQ(ColumnTypeCodeFor(249), 25201);
  EXPECT_EQ(ColumnTypeCodeFor(250), 25205);
  EXPECT_EQ(ColumnTypeCodeFor(251), 25207);
  for (int other : {6, 14, 15, 16, 255, 17, 1000}) EXPECT_EQ(ColumnTypeCodeFor(other), 6) << other;
}

TEST(MysqlAccess, TableExistsIsExactAndCaseSensitive) {
  const ConnectionHandle conn = ConnectShop();
  EXPECT_TRUE(mysqlTableExists(conn, "Users"));
  EXPECT_FALSE(mysqlTableExists(conn, "users"));
  EXPECT_FALSE(mysqlTableExists(conn, "USER"));
  EXPECT_TRUE(mysqlTableExists(conn, "my table"));
  EXPECT_TRUE(mysqlTableExists(conn, "用户表"));
  EXPECT_FALSE(mysqlTableExists(conn, "user "));
  mysqlClose(conn);
  // No database chosen: show tables fails, so nothing exists.
  const ConnectionHandle bare = mysqlConnect(kTestHost, kTestUser, kTestPassword, "", TestPort());
  EXPECT_FALSE(mysqlTableExists(bare, "user"));
  mysqlClose(bare);
}

TEST(MysqlAccess, SelectInsertsPiecesUnquoted) {
  const ConnectionHandle conn = ConnectShop();
  EXPECT_EQ(mysqlSelect(conn, "my table", "*", "", ""), 0);
  EXPECT_EQ(mysqlSelect(conn, "order", "*", "", ""), 0);
  const RecordSet quoted = mysqlSelect(conn, "`my table`", "*", "", "");
  EXPECT_GT(quoted, 0);
  mysqlFreeResult(quoted);
  const RecordSet ordered = mysqlSelect(conn, "three", "v", "v <> 'second'", "v desc");
  ASSERT_GT(ordered, 0);
  std::string first;
  mysqlReadText(ordered, 0, first);
  EXPECT_EQ(first, "third");
  EXPECT_EQ(mysqlRowCount(ordered), 2u);
  mysqlFreeResult(ordered);
  mysqlClose(conn);
}

TEST(MysqlAccess, ClosingAConnectionFreesItsRecordSets) {
  const ConnectionHandle conn = ConnectShop();
  ASSERT_TRUE(mysqlShowTables(conn));
  const RecordSet rs = mysqlStoreResult(conn);
  ASSERT_GT(rs, 0);
  mysqlClose(conn);
  EXPECT_EQ(mysqlRowCount(rs), 0u);
  EXPECT_EQ(mysqlFieldCount(rs), 0u);
}

}  // namespace
}  // namespace kelvane
