// generate and export give what the window's builders give for the same table: the columns are
// read in-process with the window's own commands and passed to BuildPaneText.
#include <gtest/gtest.h>

#include "cli/safe_names.h"
#include "cli/table_export.h"
#include "generators/generators.h"
#include "run_gen.h"
#include "schema/schema_commands.h"
#include "support/golden.h"
#include "support/server_env.h"
#include "text/text.h"

namespace kelvane::testing {
namespace {

const char* const kPaneNames[] = {"custom-type", "class-module", "set-class", "csharp-entity",
                                  "csharp-operation"};

// The columns as the window reads them after choosing the database and the table.
FieldTable WindowColumns(const std::string& db, const std::string& table) {
  SchemaSession session;
  ChooseDatabase(session, {kTestHost, kTestUser, kTestPassword}, db, TestPort());
  FieldTable fields;
  ChooseTable(session, table, fields);
  EXPECT_FALSE(fields.empty()) << db << "." << table;
  return fields;
}

FieldTable ColumnsWithBool(const std::string& db, const std::string& table) {
  const ConnectionHandle connection = mysqlConnect(kTestHost, kTestUser, kTestPassword, db, TestPort());
  FieldTable fields;
  EXPECT_EQ(ReadColumns(connection, table, fields, {true}), ColumnRead::Ok) << db << "." << table;
  mysqlClose(connection);
  return fields;
}

std::vector<std::string> With(std::vector<std::string> arguments, std::vector<std::string> more) {
  std::vector<std::string> all = ServerArguments();
  all.insert(all.end(), arguments.begin(), arguments.end());
  all.insert(all.end(), more.begin(), more.end());
  return all;
}

TEST(SameRoad, GenerateGivesEveryPaneOfEveryFixtureTableAsTheWindowDoes) {
  for (const char* db : {"kelvane_cli", "kelvane_cli_korean", "kelvane_cli_names", "kelvane_shop"}) {
    for (const std::string& table : AdminQuery("show tables", db)) {
      const FieldTable fields = WindowColumns(db, table);
      for (std::size_t i = 0; i < std::size(kPaneNames); ++i) {
        SCOPED_TRACE(std::string(db) + "." + table + " " + kPaneNames[i]);
        const GenRun run = RunGen(With({"generate", db, table, "--pane", kPaneNames[i]}, {}));
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_TRUE(BytesEqual(BuildPaneText(kAllPanes[i], table, fields), run.out));
      }
    }
  }
}

TEST(SameRoad, BoolTinyint1GivesTheTextsOfTheLogicalColumns) {
  for (const auto& [db, table] : {std::pair{"kelvane_cli", "switches"},
                                  std::pair{"kelvane_shop", "all_types"},
                                  std::pair{"kelvane_shop", "user"}}) {
    const FieldTable fields = ColumnsWithBool(db, table);
    ASSERT_NE(fields, WindowColumns(db, table)) << "the flag should change " << table;
    for (std::size_t i = 0; i < std::size(kPaneNames); ++i) {
      SCOPED_TRACE(std::string(table) + " " + kPaneNames[i]);
      const GenRun run =
          RunGen(With({"--bool-tinyint1", "generate", db, table, "--pane", kPaneNames[i]}, {}));
      EXPECT_EQ(run.exitCode, 0) << run.err;
      EXPECT_TRUE(BytesEqual(BuildPaneText(kAllPanes[i], table, fields), run.out));
    }
  }
}

// Every file of an export of kelvane_cli against the builders, in both encodings.
void ExpectExportOfCli(cli::Encoding encoding, bool boolTinyint1) {
  TempDir temp;
  std::vector<std::string> arguments = {"export", "kelvane_cli", "--out", temp.path().string(),
                                        "--encoding", encoding == cli::Encoding::Gbk ? "gbk" : "utf-8"};
  if (boolTinyint1) arguments.push_back("--bool-tinyint1");
  const GenRun run = RunGen(With(arguments, {}));
  ASSERT_EQ(run.exitCode, 0) << run.err;
  for (const std::string& table : AdminQuery("show tables", "kelvane_cli")) {
    const FieldTable fields =
        boolTinyint1 ? ColumnsWithBool("kelvane_cli", table) : WindowColumns("kelvane_cli", table);
    for (Pane pane : kAllPanes) {
      const std::string file = cli::PaneFileName(pane, table);
      SCOPED_TRACE(table + "/" + file);
      const std::string utf8 = BuildPaneText(pane, table, fields);
      const std::string bytes = ReadBytes(temp.path() / table / file);
      if (encoding == cli::Encoding::Utf8) {
        EXPECT_TRUE(BytesEqual(utf8, bytes));
      } else {
        EXPECT_TRUE(BytesEqual(Utf8ToGbk(utf8).bytes, bytes));
        std::string back;
        EXPECT_TRUE(GbkToUtf8(bytes, back));
        EXPECT_EQ(back, utf8);
      }
    }
  }
}

TEST(SameRoad, ExportInUtf8WritesTheBuildersTexts) { ExpectExportOfCli(cli::Encoding::Utf8, false); }
TEST(SameRoad, ExportInGbkWritesTheBuildersTextsConverted) { ExpectExportOfCli(cli::Encoding::Gbk, false); }
TEST(SameRoad, ExportWithBoolTinyint1) { ExpectExportOfCli(cli::Encoding::Gbk, true); }

TEST(SameRoad, MadeSafeFoldersHoldTheTextsOfTheRealTableName) {
  TempDir temp;
  const GenRun run = RunGen(
      With({"export", "kelvane_cli_names", "--out", temp.path().string(), "--encoding", "utf-8"}, {}));
  ASSERT_EQ(run.exitCode, 0) << run.err;
  for (const cli::FolderName& entry : cli::AssignFolderNames(AdminQuery("show tables", "kelvane_cli_names"))) {
    SCOPED_TRACE(entry.table);
    const FieldTable fields = WindowColumns("kelvane_cli_names", entry.table);
    EXPECT_EQ(ReadBytes(temp.path() / entry.folder / "custom_type.txt"),
              BuildCustomTypeText(entry.table, fields));
    EXPECT_EQ(ReadBytes(temp.path() / entry.folder / cli::EntityFileName(entry.folder)),
              BuildCSharpEntityText(entry.table, fields));
  }
}

}  // namespace
}  // namespace kelvane::testing
