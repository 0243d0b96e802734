// The control-binding and JSON sections of the set class: goldens per sample table, line
// counts, column positions, the per-prefix forms and the end of the text.
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

// True when `text` holds `line` as one whole CR LF line.
bool HasLine(const std::string& text, const std::string& line) {
  const std::string framed = "\n" + line + "\r\n";
  return text.find(framed) != std::string::npos;
}

TEST(SetClassLastGolden, BothSectionsMatchTheGoldensAndConvertToGbk) {
  for (const SampleTable& t : testing::SetClassGoldenCases()) {
    SCOPED_TRACE(t.caseName);
    const std::string binding = Binding(t.tableName, t.fields);
    const std::string json = Json(t.tableName, t.fields);
    EXPECT_GOLDEN("set_class/" + t.caseName + "/control_binding.txt", binding);
    EXPECT_GOLDEN("set_class/" + t.caseName + "/json.txt", json);
    const GbkConversion gbk = Utf8ToGbk(binding + json);
    EXPECT_TRUE(gbk.ok) << "not in GBK: " << gbk.badCodePoint;
  }
}

TEST(SetClassLastLineCounts, FiveAndFourLinesPerColumnForEveryPrefixMix) {
  const std::vector<std::vector<std::string>> mixes = {
      {"Jz"}, {"Jw"}, {"Jr"}, {"Jx", "Jb", "Jl", "Jz", "Jw", "Jr", "Jj"}, {"??"}};
  for (const auto& mix : mixes) {
    for (std::size_t n : {1u, 2u, 7u, 12u, 40u}) {
      SCOPED_TRACE("n=" + std::to_string(n) + " first prefix " + mix[0]);
      const std::string binding = Binding("t", testing::MixedTable(n, mix));
      const std::string json = Json("t", testing::MixedTable(n, mix));
      EXPECT_EQ(CountCrlfLines(binding), 66 + 5 * n);
      EXPECT_EQ(CountCrlfLines(json), 36 + 4 * n);
      // Every line break is a CR LF pair, and each section has exactly one blank line.
      EXPECT_EQ(std::count(binding.begin(), binding.end(), '\n'), 66 + 5 * n);
      EXPECT_EQ(std::count(json.begin(), json.end(), '\n'), 36 + 4 * n);
      EXPECT_EQ(binding.find("\n\r\n"), binding.size() - 3);
      ASSERT_NE(json.find("\n\r\n"), std::string::npos);
      EXPECT_EQ(json.find("\n\r\n"), json.rfind("\n\r\n"));
    }
  }
  // No column records: only the fixed lines, nothing crashes.
  EXPECT_EQ(CountCrlfLines(Binding("user", {StateRecord()})), 66u);
  EXPECT_EQ(CountCrlfLines(Json("user", {StateRecord()})), 36u);
  EXPECT_EQ(CountCrlfLines(Binding("user", {})), 66u);
  EXPECT_EQ(CountCrlfLines(Json("user", {})), 36u);
}

TEST(SetClassLastNumbering, PositionsRunZeroBasedInTheGridAndOneBasedInTheSuperList) {
  const std::string text = Binding("t", testing::MixedTable(12, {"Jz"}));
  EXPECT_TRUE(HasLine(text, " _高级表格.列数 ＝12"));
  EXPECT_TRUE(HasLine(text, " _高级表格.置数据 (0, 11, #表格常量.文本型,“c11”) "));
  EXPECT_TRUE(HasLine(text, " _高级表格.置列宽 (11,100）"));
  EXPECT_FALSE(HasLine(text, " _高级表格.置列宽 (12,100）"));
  EXPECT_TRUE(HasLine(text, " _高级表格.置数据 (i, 10, #表格常量.文本型,到文本（Got集[i].c10())） "));
  EXPECT_TRUE(HasLine(text, " _超级列表框.置标题  (GzTmp,1, 到文本(Jot集[i].c0()))"));
  EXPECT_TRUE(HasLine(text, " _超级列表框.置标题  (GzTmp,12, 到文本(Jot集[i].c11()))"));
  EXPECT_EQ(text.find("(GzTmp,0,"), std::string::npos);
}

TEST(SetClassLastPrefixes, WholeCaseSensitiveMatchAndFallbackForUnknownPrefixes) {
  // "jr", "Jr " and "Jrx" are not the date-time prefix, "jw" is not the text prefix; unknown
  // prefixes are shown through 到文本 and read back as text.
  const FieldTable fields = {{"a", "", "jr", ""}, {"b", "", "Jr ", ""}, {"c", "", "Jrx", ""},
                             {"d", "", "jw", ""}, {"e", "", "", ""},    StateRecord()};
  const std::string binding = Binding("t", fields);
  const std::string json = Json("t", fields);
  EXPECT_EQ(binding.find("时间_格式化EX"), std::string::npos);
  EXPECT_EQ(json.find("到时间"), std::string::npos);
  EXPECT_TRUE(HasLine(binding, " _高级表格.置数据 (i, 0, #表格常量.文本型,到文本（Got集[i].a())） "));
  EXPECT_TRUE(HasLine(binding, " _超级列表框.置标题  (GzTmp,4, 到文本(Jot集[i].d()))"));
  EXPECT_TRUE(HasLine(binding, " _超级列表框.置标题  (GzTmp,5, 到文本(Jot集[i].e()))"));
  EXPECT_TRUE(HasLine(json, "      Got.d(GoTmp.取文本值 ())"));
  EXPECT_TRUE(HasLine(json, "      Got.e(GoTmp.取文本值 ())"));
}

TEST(SetClassLastAppend, SectionsAppendAfterExistingTextAndEndTheSetClass) {
  const SampleTable t = testing::FirstNotId();
  std::string out = "before\r\n";
  AppendControlBindingSubs(out, t.tableName, t.fields);
  AppendJsonSubs(out, t.tableName, t.fields);
  EXPECT_EQ(out, "before\r\n" + Binding(t.tableName, t.fields) + Json(t.tableName, t.fields));
  const std::string ending = "\r\n返回 (真)\r\n";
  ASSERT_GE(out.size(), ending.size());
  EXPECT_EQ(out.substr(out.size() - ending.size()), ending);
}

}  // namespace
}  // namespace kelvane
