// Connect, list and choose against the real test server.
#include "schema/schema_commands.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "generators/generators.h"
#include "schema/table_key.h"
#include "schema/type_map.h"
#include "text/text.h"
#include "support/server_env.h"
#include "ui/window_wording.h"

namespace kelvane {
namespace {

using testing::AdminQuery;
using testing::TestPort;

ConnectInput DefaultInput() { return {testing::kTestHost, testing::kTestUser, testing::kTestPassword}; }

std::vector<std::string> ServerDatabases() { return AdminQuery("show databases"); }

TEST(ConnectServer, DefaultBoxesConnectAndListEveryDatabaseInServerOrder) {
  SchemaSession session;
  const ConnectServerResult result = ConnectServer(session, DefaultInput(), TestPort());
  EXPECT_TRUE(result.connected);
  EXPECT_TRUE(result.showTablesPage);
  EXPECT_GT(session.handle(), 0);
  EXPECT_EQ(result.databases, ServerDatabases());
  for (const char* system : {"information_schema", "mysql", "performance_schema"})
    EXPECT_NE(std::find(result.databases.begin(), result.databases.end(), system),
              result.databases.end())
        << system;
}

TEST(ConnectServer, WrongPasswordOrUnreachableServerFails) {
  SchemaSession session;
  ConnectInput input = DefaultInput();
  input.password = "nope";
  ConnectServerResult result = ConnectServer(session, input, TestPort());
  EXPECT_FALSE(result.connected);
  EXPECT_TRUE(result.databases.empty());
  EXPECT_FALSE(result.showTablesPage);
  EXPECT_EQ(session.handle(), 0);

  // A closed loopback port fails at once.
  result = ConnectServer(session, DefaultInput(), 1);
  EXPECT_FALSE(result.connected);
}

TEST(ConnectServer, UserAndPasswordAreTrimmedOfAsciiAndFullWidthSpaces) {
  SchemaSession session;
  ConnectInput input{testing::kTestHost, "　 root　", "  271828　　"};
  EXPECT_TRUE(ConnectServer(session, input, TestPort()).connected);
  // A tab is not a space: it stays and the login fails.
  input.user = "root\t";
  EXPECT_FALSE(ConnectServer(session, input, TestPort()).connected);
}

TEST(ConnectServer, ReplacingTheSessionClosesTheOldConnection) {
  SchemaSession session;
  const std::size_t before = mysqlOpenConnectionCount();
  for (int i = 0; i < 20; ++i) {
    ConnectServer(session, DefaultInput(), TestPort());
    ChooseDatabase(session, DefaultInput(), "kelvane_shop", TestPort());
  }
  EXPECT_EQ(mysqlOpenConnectionCount(), before + 1);
  ChooseDatabase(session, DefaultInput(), "no_such_database", TestPort());
  EXPECT_EQ(session.handle(), 0);
  EXPECT_EQ(mysqlOpenConnectionCount(), before);
}

TEST(ChooseDatabase, ListsTheTablesOfTheChosenDatabaseOnly) {
  SchemaSession session;
  ChooseDatabaseResult result = ChooseDatabase(session, DefaultInput(), "kelvane_blog", TestPort());
  EXPECT_TRUE(result.connected);
  EXPECT_EQ(result.tables, AdminQuery("show tables", "kelvane_blog"));

  result = ChooseDatabase(session, DefaultInput(), "kelvane_shop", TestPort());
  EXPECT_TRUE(result.connected);
  EXPECT_EQ(result.tables, AdminQuery("show tables", "kelvane_shop"));
  EXPECT_EQ(std::count(result.tables.begin(), result.tables.end(), "post"), 0);

  result = ChooseDatabase(session, DefaultInput(), "kelvane_empty", TestPort());
  EXPECT_TRUE(result.connected);
  EXPECT_TRUE(result.tables.empty());
}

TEST(ChooseDatabase, FailureGivesTheFailedStatusAndNoTables) {
  SchemaSession session;
  ConnectInput input = DefaultInput();
  input.password = "bad";
  ChooseDatabaseResult result = ChooseDatabase(session, input, "kelvane_shop", TestPort());
  EXPECT_FALSE(result.connected);
  EXPECT_TRUE(result.tables.empty());
  // No database name: connected without a default database, and show tables fails.
  result = ChooseDatabase(session, DefaultInput(), "", TestPort());
  EXPECT_TRUE(result.connected);
  EXPECT_TRUE(result.tables.empty());
}

struct ShopSession {
  SchemaSession session;
  ShopSession() { ChooseDatabase(session, DefaultInput(), "kelvane_shop", TestPort()); }
};

TEST(ChooseTable, ExampleTableGivesItsColumnsThenTheStateRecord) {
  ShopSession shop;
  FieldTable fields;
  const auto lines = ChooseTable(shop.session, "user", fields);
  EXPECT_EQ(lines, (std::vector<std::string>{"id|整数型", "name|文本型", "price|小数型",
                                             "created|日期时间型", "flag|字节型", "X|整数型"}));
  const FieldTable expected{{"id", "整数型", "Jz", "int"},
                            {"name", "文本型", "Jw", "String"},
                            {"price", "小数型", "Jx", "float"},
                            {"created", "日期时间型", "Jr", "DateTime"},
                            {"flag", "字节型", "Jb", "byte"},
                            {"X", "整数型", "Jz", "int"}};
  EXPECT_EQ(fields, expected);
  // Choosing the same table again rebuilds, never doubles.
  ChooseTable(shop.session, "user", fields);
  EXPECT_EQ(fields, expected);
}

// The key flags come with the column read; the comments only from the extra statement. The
// window's warning is empty exactly when the first column tells the rows apart.
TEST(ChooseTable, KeyFlagsBesideEveryRecordAndTheWindowsWarning) {
  SchemaSession session;
  ChooseDatabase(session, DefaultInput(), "kelvane_cli_keys", TestPort());
  FieldTable fields;
  ColumnFactsList facts;
  const auto facts_of = [&](const char* table) {
    ChooseTable(session, table, fields, facts);
    std::string flags;
    for (const ColumnFacts& f : facts)
      flags += std::string(f.primaryKey ? "P" : "") + (f.uniqueKey ? "U" : "") + (f.notNull ? "N" : "") +
               (f.autoIncrement ? "A" : "") + (f.comment.empty() ? "" : "c") + ",";
    return flags + ui::KeyWarningWindowText(fields, facts);
  };
  EXPECT_EQ(facts_of("user"), ",PN,,注意：首列“id”不是主键（主键为“name”），库_删/库_改/库_查按首列找记录。");
  EXPECT_EQ(facts_of("two_keys"), "PN,PN,,,注意：主键有多列（“a”、“b”），库_删/库_改/库_查按首列“a”找记录。");
  EXPECT_EQ(facts_of("no_key"), ",,,注意：本表没有主键，库_删/库_改/库_查按首列“name”找记录。");
  EXPECT_EQ(facts_of("unique_first"), "UN,PN,,");
  EXPECT_EQ(facts_of("commented"), "PN,,,,,,,");
  ShopSession shop;
  ChooseTable(shop.session, "user", fields, facts);
  EXPECT_EQ(facts.size(), fields.size());
  EXPECT_EQ(ui::KeyWarningWindowText(fields, facts), "");

  ChooseTable(session, "commented", fields, facts);
  ASSERT_TRUE(ReadColumnComments(session.handle(), "commented", fields, facts));
  std::vector<std::string> comments = CommentsOf(facts);
  ASSERT_EQ(comments.size(), 7u);
  EXPECT_EQ(comments[0], "编号");
  EXPECT_EQ(comments[1], "");
  EXPECT_EQ(comments[2], "第一行\r\n第二行\t完\n");
  EXPECT_EQ(comments[3].size(), 3000u);  // 1000 characters (a column comment holds up to 1024)
  EXPECT_EQ(comments[6], "");            // the state record has none
  EXPECT_FALSE(ReadColumnComments(session.handle(), "gone", fields, facts));
  EXPECT_EQ(CommentsOf(facts), std::vector<std::string>(7));
}

TEST(ChooseTable, TypeMapOfTheOtherCommonTypes) {
  ShopSession shop;
  FieldTable fields;
  ChooseTable(shop.session, "all_types", fields);
  auto find = [&](const std::string& name) {
    auto it = std::find_if(fields.begin(), fields.end(),
                           [&](const FieldRecord& f) { return f.columnName == name; });
    return it == fields.end() ? FieldRecord{} : *it;
  };
  EXPECT_EQ(find("c_bigint"), (FieldRecord{"c_bigint", "长整数型", "Jz", "long"}));
  EXPECT_EQ(find("c_mediumint"), (FieldRecord{"c_mediumint", "长整数型", "Jz", "int"}));
  EXPECT_EQ(find("c_timestamp"), (FieldRecord{"c_timestamp", "文本型", "Jw", "int"}));
  EXPECT_EQ(find("c_text"), (FieldRecord{"c_text", "文本型", "Jw", "String"}));
  EXPECT_EQ(find("c_blob"), (FieldRecord{"c_blob", "文本型", "Jw", "String"}));
  EXPECT_EQ(find("c_float"), (FieldRecord{"c_float", "小数型", "Jx", "float"}));
  EXPECT_EQ(find("c_double"), (FieldRecord{"c_double", "小数型", "Jx", "float"}));
  EXPECT_EQ(find("c_date"), (FieldRecord{"c_date", "文本型", "Jw", "DateTime"}));
  EXPECT_EQ(find("c_year"), (FieldRecord{"c_year", "文本型", "Jw", "String"}));
  EXPECT_EQ(find("c_bit"), (FieldRecord{"c_bit", "文本型", "Jw", "String"}));
  EXPECT_EQ(fields.size(), 24u);
  EXPECT_EQ(fields.back(), StateRecord());
  // No row of the default map yields 逻辑型 or 字节集.
  for (const FieldRecord& f : fields) {
    EXPECT_NE(f.eplType, "逻辑型");
    EXPECT_NE(f.eplType, "字节集");
  }
}

TEST(ChooseTable, BooleanOptionMapsOnlyOneWideTinyintAndBit) {
  ShopSession shop;
  FieldTable fields;
  ChooseTable(shop.session, "user", fields, ColumnReadOptions{true});
  EXPECT_EQ(fields[4], (FieldRecord{"flag", "逻辑型", "Jl", "bool"}));
  EXPECT_EQ(fields[0], (FieldRecord{"id", "整数型", "Jz", "int"}));
  ChooseTable(shop.session, "all_types", fields, ColumnReadOptions{true});
  EXPECT_EQ(fields[0].eplType, "字节型");  // plain TINYINT stays a byte
  EXPECT_EQ(fields[8], (FieldRecord{"c_bit", "逻辑型", "Jl", "bool"}));
}

TEST(ChooseTable, NamesThatNeedQuotingGiveTheirRealColumns) {
  ShopSession shop;
  FieldTable fields;
  EXPECT_EQ(ChooseTable(shop.session, "order", fields),
            (std::vector<std::string>{"id|整数型", "total|小数型", "placed|文本型", "X|整数型"}));
  EXPECT_EQ(ChooseTable(shop.session, "my table", fields),
            (std::vector<std::string>{"my id|整数型", "the name|文本型", "X|整数型"}));
  EXPECT_EQ(ChooseTable(shop.session, "we`ird", fields),
            (std::vector<std::string>{"a`b|整数型", "it's|文本型", "say \"hi\"|文本型", "X|整数型"}));
  EXPECT_EQ(ChooseTable(shop.session, "select", fields),
            (std::vector<std::string>{"from|整数型", "where|文本型", "X|整数型"}));
  EXPECT_EQ(ChooseTable(shop.session, "用户表", fields),
            (std::vector<std::string>{"编号|整数型", "名称|文本型", "注册时间|日期时间型", "X|整数型"}));
  // A table with its own column X still gets the state record.
  EXPECT_EQ(ChooseTable(shop.session, "flags", fields),
            (std::vector<std::string>{"id|整数型", "X|文本型", "X|整数型"}));
}

TEST(ChooseTable, MissingTableWrongCaseOrNoConnectionEmptiesEverything) {
  ShopSession shop;
  FieldTable fields{StateRecord()};
  EXPECT_TRUE(ChooseTable(shop.session, "users", fields).empty());
  EXPECT_TRUE(fields.empty());
  fields = {StateRecord()};
  EXPECT_TRUE(ChooseTable(shop.session, "", fields).empty());
  EXPECT_TRUE(fields.empty());
  SchemaSession none;
  fields = {StateRecord()};
  EXPECT_TRUE(ChooseTable(none, "user", fields).empty());
  EXPECT_TRUE(fields.empty());
  // After a new connection without a default database, the old table is not found.
  ChooseTable(shop.session, "user", fields);
  ASSERT_EQ(fields.size(), 6u);
  ConnectServer(shop.session, DefaultInput(), TestPort());
  EXPECT_TRUE(ChooseTable(shop.session, "user", fields).empty());
  EXPECT_TRUE(fields.empty());
}

unsigned long long ServerBytesSent() {
  const auto rows = AdminQuery(
      "select variable_value from information_schema.global_status where variable_name = "
      "'BYTES_SENT'");
  return rows.empty() ? 0 : std::strtoull(rows[0].c_str(), nullptr, 10);
}

TEST(ChooseTable, ReadingColumnsNeverPullsTheRows) {
  SchemaSession session;
  ChooseDatabase(session, DefaultInput(), "kelvane_big", TestPort());
  FieldTable fields;
  const unsigned long long before = ServerBytesSent();
  const auto lines = ChooseTable(session, "big", fields);
  const unsigned long long after = ServerBytesSent();
  EXPECT_EQ(lines, (std::vector<std::string>{"id|整数型", "payload|文本型", "amount|小数型", "X|整数型"}));
  // 100,000 rows of about 100 bytes would be ~10 MB; metadata and the admin queries are a
  // few KB.
  EXPECT_LT(after - before, 16u * 1024u) << "bytes sent by the server during the column read";
}

TEST(FixtureTables, EveryTextOfEveryTableEncodesToGbk) {
  SchemaSession session;
  std::size_t checked = 0;
  for (const char* db : {"kelvane_shop", "kelvane_blog"}) {
    const auto chosen = ChooseDatabase(session, DefaultInput(), db, TestPort());
    for (const std::string& table : chosen.tables) {
      FieldTable fields;
      ChooseTable(session, table, fields);
      for (Pane pane : kAllPanes) {
        const GbkConversion gbk = Utf8ToGbk(BuildPaneText(pane, table, fields));
        EXPECT_TRUE(gbk.ok) << db << "." << table << ": " << gbk.badCodePoint;
        ++checked;
      }
    }
  }
  EXPECT_GE(checked, 60u);
}

}  // namespace
}  // namespace kelvane
