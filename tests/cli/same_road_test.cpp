// generate, export and the window's road (its own commands and BuildPaneText) give the golden
// texts for the fixture tables shaped like the generator samples.
#include <gtest/gtest.h>

#include "cli/safe_names.h"
#include "cli/table_export.h"
#include "generators/generators.h"
#include "run_gen.h"
#include "schema/schema_commands.h"
#include "support/golden.h"
#include "support/server_env.h"

namespace kelvane::testing {
namespace {

const char* const kPaneNames[] = {"custom-type", "class-module", "set-class", "csharp-entity",
                                  "csharp-operation"};

// The fixture tables of kelvane_cli shaped like the hand-built generator samples, with the
// sample whose goldens hold their texts. A table without a set class golden has "" there.
struct GoldenTable {
  const char* table;
  const char* sample;
  const char* setClassSample;
};
const GoldenTable kGoldenTables[] = {
    {"user", "user_id_name", "user_id_name"},
    {"用户表", "chinese", "chinese"},
    {"flags", "own_column_x", ""},
};

// The expected text of one pane, UTF-8, from the generator goldens; "" when there is none.
std::string GoldenPane(Pane pane, const GoldenTable& entry) {
  const std::string sample = entry.sample;
  switch (pane) {
    case Pane::CustomType:
      return ReadGolden("custom_type/" + sample + ".txt");
    case Pane::ClassModule:
      return ReadGolden("class_module/" + sample + ".txt");
    case Pane::SetClass: {
      if (*entry.setClassSample == 0) return {};
      std::string text;
      for (const char* part : {"header_local", "db_write", "db_read", "control_binding", "json"})
        text += ReadGolden("set_class/" + std::string(entry.setClassSample) + "/" + part + ".txt");
      return text;
    }
    case Pane::CSharpEntity:
      return ReadGolden("csharp_entity/" + sample + ".txt");
    case Pane::CSharpOperation:
      return ReadGolden("csharp_operation/fixed.txt");
  }
  return {};
}

// The same in GBK: bytes written down once with iconv (gbk/ and the GBK export case's files).
std::string GoldenPaneGbk(Pane pane, const GoldenTable& entry) {
  const std::string file = cli::PaneFileName(pane, entry.table);
  if (std::string(entry.sample) == "chinese")
    return ReadGolden("cli/cases/export_chinese_gbk_bytes_fixed/files/用户表/" + file);
  switch (pane) {
    case Pane::CustomType:
      return ReadGolden("gbk/custom_type/" + std::string(entry.sample) + ".txt");
    case Pane::ClassModule:
      return ReadGolden("gbk/class_module/" + std::string(entry.sample) + ".txt");
    case Pane::SetClass:
      if (*entry.setClassSample == 0) return {};
      return ReadGolden("gbk/set_class/" + std::string(entry.setClassSample) + ".txt");
    case Pane::CSharpEntity:
      return ReadGolden("gbk/csharp_entity/" + std::string(entry.sample) + ".txt");
    case Pane::CSharpOperation:
      return ReadGolden("cli/cases/export_chinese_gbk_bytes_fixed/files/用户表/Star.cs");
  }
  return {};
}

// The columns as the window reads them after choosing the database and the table.
FieldTable WindowColumns(const std::string& db, const std::string& table) {
  SchemaSession session;
  ChooseDatabase(session, {kTestHost, kTestUser, kTestPassword}, db, TestPort());
  FieldTable fields;
  ChooseTable(session, table, fields);
  EXPECT_FALSE(fields.empty()) << db << "." << table;
  return fields;
}

std::vector<std::string> With(std::vector<std::string> arguments, std::vector<std::string> more) {
  std::vector<std::string> all = ServerArguments();
  all.insert(all.end(), arguments.begin(), arguments.end());
  all.insert(all.end(), more.begin(), more.end());
  return all;
}

// The window's road (its commands and BuildPaneText) and kelvane-gen's both give the goldens.
TEST(SameRoad, GenerateAndTheWindowGiveTheGoldenTextOfEveryPane) {
  for (const GoldenTable& entry : kGoldenTables) {
    const FieldTable fields = WindowColumns("kelvane_cli", entry.table);
    for (std::size_t i = 0; i < std::size(kPaneNames); ++i) {
      const std::string expected = GoldenPane(kAllPanes[i], entry);
      if (expected.empty()) continue;
      SCOPED_TRACE(std::string(entry.table) + " " + kPaneNames[i]);
      const GenRun run = RunGen(With({"generate", "kelvane_cli", entry.table, "--pane", kPaneNames[i]}, {}));
      EXPECT_EQ(run.exitCode, 0) << run.err;
      EXPECT_TRUE(BytesEqual(expected, run.out));
      EXPECT_TRUE(BytesEqual(expected, BuildPaneText(kAllPanes[i], entry.table, fields)));
    }
  }
}

// Every golden table's files of a whole-database export, in both encodings.
void ExpectExportOfCli(cli::Encoding encoding) {
  TempDir temp;
  const bool gbk = encoding == cli::Encoding::Gbk;
  const GenRun run = RunGen(With({"export", "kelvane_cli", "--out", temp.path().string(),
                                  "--encoding", gbk ? "gbk" : "utf-8"}, {}));
  ASSERT_EQ(run.exitCode, 0) << run.err;
  for (const GoldenTable& entry : kGoldenTables) {
    for (Pane pane : kAllPanes) {
      const std::string file = cli::PaneFileName(pane, entry.table);
      const std::string expected = gbk ? GoldenPaneGbk(pane, entry) : GoldenPane(pane, entry);
      if (expected.empty()) continue;
      SCOPED_TRACE(std::string(entry.table) + "/" + file);
      EXPECT_TRUE(BytesEqual(expected, ReadBytes(temp.path() / entry.table / file)));
    }
  }
}

TEST(SameRoad, ExportInUtf8WritesTheGoldenTexts) { ExpectExportOfCli(cli::Encoding::Utf8); }
TEST(SameRoad, ExportInGbkWritesTheGoldenBytes) { ExpectExportOfCli(cli::Encoding::Gbk); }

// --bool-tinyint1 reaches the export as it reaches generate (whose golden case fixes the text).
TEST(SameRoad, ExportWithBoolTinyint1) {
  TempDir temp;
  const GenRun run = RunGen(With({"--bool-tinyint1", "export", "kelvane_cli", "switches", "--out",
                                  temp.path().string(), "--encoding", "utf-8"}, {}));
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(BytesEqual(ReadGolden("cli/cases/generate_bool_tinyint1/stdout"),
                         ReadBytes(temp.path() / "switches" / "custom_type.txt")));
}

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
