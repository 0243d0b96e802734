// The control-binding and JSON sections of the set class: whole-text goldens per sample table,
// line counts, the per-prefix forms and the text's end.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "generators/generators.h"
#include "support/golden.h"
#include "support/sample_tables.h"
#include "text/text.h"

namespace kelvane {
namespace {

using testing::SampleTable;

std::vector<SampleTable> GoldenCases() {
  return {testing::UserIdName(),  testing::UserIdNameCreated(), testing::SevenPrefixes(),
          testing::SingleColumn(), testing::OnlyX(),            testing::Empty(),
          testing::FirstNotId(),   testing::Chinese(),          testing::SpaceInName()};
}

std::string Binding(const std::string& table, const FieldTable& fields) {
  std::string out;
  AppendControlBindingSubs(out, table, fields);
  return out;
}

std::string Json(const std::string& table, const FieldTable& fields) {
  std::string out;
  AppendJsonSubs(out, table, fields);
  return out;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t pos = text.find("\r\n"); pos != std::string::npos;
       pos = text.find("\r\n", start)) {
    lines.push_back(text.substr(start, pos - start));
    start = pos + 2;
  }
  return lines;
}

bool Contains(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// A table of `count` columns cycling through `prefixes`, followed by the state record.
FieldTable MixedTable(std::size_t count, const std::vector<std::string>& prefixes) {
  FieldTable fields;
  for (std::size_t i = 0; i < count; ++i)
    fields.push_back({"c" + std::to_string(i), "类型", prefixes[i % prefixes.size()], "t"});
  fields.push_back(StateRecord());
  return fields;
}

// ---------------------------------------------------------------------------------------------

TEST(SetClassLastGolden, ControlBindingMatchesGoldenForEverySample) {
  for (const SampleTable& t : GoldenCases()) {
    SCOPED_TRACE(t.caseName);
    EXPECT_GOLDEN("set_class/" + t.caseName + "/control_binding.txt",
                  Binding(t.tableName, t.fields));
  }
}

TEST(SetClassLastGolden, JsonMatchesGoldenForEverySample) {
  for (const SampleTable& t : GoldenCases()) {
    SCOPED_TRACE(t.caseName);
    EXPECT_GOLDEN("set_class/" + t.caseName + "/json.txt", Json(t.tableName, t.fields));
  }
}

TEST(SetClassLastGolden, BothSectionsConvertToGbkForEverySample) {
  for (const SampleTable& t : GoldenCases()) {
    SCOPED_TRACE(t.caseName);
    const GbkConversion binding = Utf8ToGbk(Binding(t.tableName, t.fields));
    EXPECT_TRUE(binding.ok) << "not in GBK: " << binding.badCodePoint;
    const GbkConversion json = Utf8ToGbk(Json(t.tableName, t.fields));
    EXPECT_TRUE(json.ok) << "not in GBK: " << json.badCodePoint;
  }
}

// ---------------------------------------------------------------------------------------------

TEST(SetClassLastLineCounts, GrowByFiveAndFourLinesPerColumnForEveryPrefixMix) {
  const std::vector<std::vector<std::string>> mixes = {
      {"Jz"}, {"Jw"}, {"Jr"}, {"Jx", "Jb", "Jl", "Jz", "Jw", "Jr", "Jj"}, {"Jr", "Jw"}, {"??"}};
  for (const auto& mix : mixes) {
    for (std::size_t n : {1u, 2u, 3u, 7u, 12u, 40u}) {
      const FieldTable fields = MixedTable(n, mix);
      const std::string binding = Binding("t", fields);
      const std::string json = Json("t", fields);
      EXPECT_EQ(CountCrlfLines(binding), 66 + 5 * n) << "n=" << n << " first prefix " << mix[0];
      EXPECT_EQ(CountCrlfLines(json), 36 + 4 * n) << "n=" << n << " first prefix " << mix[0];
      // No bare LF or CR anywhere: every line break is a CR LF pair.
      EXPECT_EQ(std::count(binding.begin(), binding.end(), '\n'), 66 + 5 * n);
      EXPECT_EQ(std::count(json.begin(), json.end(), '\r'), 36 + 4 * n);
    }
  }
}

TEST(SetClassLastLineCounts, ShortTablesKeepTheFixedLines) {
  EXPECT_EQ(CountCrlfLines(Binding("user", {StateRecord()})), 66u);
  EXPECT_EQ(CountCrlfLines(Json("user", {StateRecord()})), 36u);
  EXPECT_EQ(CountCrlfLines(Binding("user", {})), 66u);
  EXPECT_EQ(CountCrlfLines(Json("user", {})), 36u);
}

TEST(SetClassLastLineCounts, EachSectionHasItsOneBlankLineOnly) {
  const std::string binding = Binding("user", MixedTable(5, {"Jz", "Jw", "Jr"}));
  const auto bindingLines = Lines(binding);
  EXPECT_EQ(std::count(bindingLines.begin(), bindingLines.end(), ""), 1);
  EXPECT_EQ(bindingLines.back(), "");

  const std::string json = Json("user", MixedTable(5, {"Jz", "Jw", "Jr"}));
  const auto jsonLines = Lines(json);
  EXPECT_EQ(std::count(jsonLines.begin(), jsonLines.end(), ""), 1);
  // The blank line sits inside 扩展_导出Json, before its loop end; the import follows the
  // export's return line directly.
  const auto blank = std::find(jsonLines.begin(), jsonLines.end(), "");
  ASSERT_NE(blank + 1, jsonLines.end());
  EXPECT_EQ(blank[1], "    .计次循环尾 ()");
  EXPECT_EQ(blank[3], ".子程序 扩展_导入Json, 逻辑型, 公开");
}

// ---------------------------------------------------------------------------------------------

TEST(SetClassLastNumbering, GridAndListPositionsForManyColumns) {
  const auto lines = Lines(Binding("t", MixedTable(12, {"Jz"})));
  EXPECT_TRUE(Contains(lines, " _高级表格.列数 ＝12"));
  EXPECT_TRUE(Contains(lines, " _高级表格.置数据 (0, 11, #表格常量.文本型,“c11”) "));
  EXPECT_TRUE(Contains(lines, " _高级表格.置列宽 (11,100）"));
  EXPECT_TRUE(Contains(lines, " _高级表格.置数据 (i, 10, #表格常量.文本型,到文本（Got集[i].c10())） "));
  EXPECT_TRUE(Contains(lines, " _超级列表框.置标题  (GzTmp,12, 到文本(Jot集[i].c11()))"));
  EXPECT_TRUE(Contains(lines, " _超级列表框.置标题  (GzTmp,1, 到文本(Jot集[i].c0()))"));
  EXPECT_FALSE(Contains(lines, " _超级列表框.置标题  (GzTmp,0, 到文本(Jot集[i].c0()))"));
  EXPECT_FALSE(Contains(lines, " _高级表格.置列宽 (12,100）"));
}

TEST(SetClassLastNumbering, StateRecordIsNeverAColumn) {
  const SampleTable t = testing::UserIdName();
  for (const std::string& text : {Binding(t.tableName, t.fields), Json(t.tableName, t.fields)}) {
    EXPECT_EQ(text.find("“X”"), std::string::npos);
    EXPECT_EQ(text.find("].X()"), std::string::npos);
    EXPECT_EQ(text.find("Gouser.X"), std::string::npos);
  }
}

// ---------------------------------------------------------------------------------------------

TEST(SetClassLastPrefixes, PrefixIsComparedAsWholeCaseSensitiveText) {
  // "jr", "Jr " and "Jrx" are not the date-time prefix; "jw" is not the text prefix.
  FieldTable fields = {{"a", "", "jr", ""}, {"b", "", "Jr ", ""}, {"c", "", "Jrx", ""},
                       {"d", "", "jw", ""}, StateRecord()};
  const std::string binding = Binding("t", fields);
  const std::string json = Json("t", fields);
  EXPECT_EQ(binding.find("时间_格式化EX"), std::string::npos);
  EXPECT_EQ(json.find("到时间"), std::string::npos);
  const auto lines = Lines(binding);
  EXPECT_TRUE(Contains(lines, " _超级列表框.置标题  (GzTmp,4, 到文本(Jot集[i].d()))"));
}

TEST(SetClassLastPrefixes, UnknownPrefixGetsTheToTextAndTextGetterForms) {
  FieldTable fields = {{"odd", "", "Qq", ""}, {"none", "", "", ""}, StateRecord()};
  const auto binding = Lines(Binding("t", fields));
  EXPECT_TRUE(Contains(binding, " _高级表格.置数据 (i, 0, #表格常量.文本型,到文本（Got集[i].odd())） "));
  EXPECT_TRUE(Contains(binding, " _超级列表框.置标题  (GzTmp,1, 到文本(Jot集[i].odd()))"));
  EXPECT_TRUE(Contains(binding, " _超级列表框.置标题  (GzTmp,2, 到文本(Jot集[i].none()))"));
  const auto json = Lines(Json("t", fields));
  EXPECT_TRUE(Contains(json, "      Got.odd(GoTmp.取文本值 ())"));
  EXPECT_TRUE(Contains(json, "      Got.none(GoTmp.取文本值 ())"));
}

TEST(SetClassLastPrefixes, ExportIgnoresTheColumnType) {
  const SampleTable t = testing::SevenPrefixes();
  const auto lines = Lines(Json(t.tableName, t.fields));
  const auto setProperty = std::count_if(lines.begin(), lines.end(), [](const std::string& l) {
    return l.rfind("             GoTmp.置属性 ( “", 0) == 0 && l.find(",到文本（Jot7集[i].") != std::string::npos;
  });
  EXPECT_EQ(setProperty, 7);
}

// ---------------------------------------------------------------------------------------------

TEST(SetClassLastAppend, SectionsAppendAfterExistingTextAndEndTheSetClass) {
  const SampleTable t = testing::FirstNotId();
  std::string out = "before\r\n";
  AppendControlBindingSubs(out, t.tableName, t.fields);
  AppendJsonSubs(out, t.tableName, t.fields);
  EXPECT_EQ(out, "before\r\n" + Binding(t.tableName, t.fields) + Json(t.tableName, t.fields));
  const std::string ending = "返回 (真)\r\n";
  ASSERT_GE(out.size(), ending.size());
  EXPECT_EQ(out.substr(out.size() - ending.size()), ending);
  EXPECT_NE(out.substr(out.size() - 4), "\r\n\r\n");
}

TEST(SetClassLastAppend, SameInputGivesSameText) {
  const SampleTable t = testing::Chinese();
  EXPECT_EQ(Binding(t.tableName, t.fields), Binding(t.tableName, t.fields));
  EXPECT_EQ(Json(t.tableName, t.fields), Json(t.tableName, t.fields));
}

}  // namespace
}  // namespace kelvane
