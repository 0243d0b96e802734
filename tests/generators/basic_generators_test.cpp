// Tests of the custom data type, class module, C# entity and C# operation builders.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "generators/generators.h"
#include "support/golden.h"
#include "support/sample_tables.h"
#include "text/text.h"

namespace kelvane {
namespace {

using testing::Lines;
using testing::SampleTable;

// The cases that have hand-written expected files in every generator folder.
std::vector<SampleTable> GoldenCases() {
  return {testing::UserIdName(), testing::EveryTypeMapRow(), testing::OnlyX(),
          testing::Empty(),      testing::Chinese(),         testing::OwnColumnX()};
}

// Every sample table the tests know, for the properties that hold for all of them.
std::vector<SampleTable> AllSamples() {
  return {testing::UserIdName(),  testing::UserIdNameCreated(), testing::SevenPrefixes(),
          testing::EveryTypeMapRow(), testing::SingleColumn(),  testing::OnlyX(),
          testing::Empty(),       testing::FirstNotId(),        testing::Chinese(),
          testing::SpaceInName(), testing::OwnColumnX()};
}

// A table of n integer columns c1..cn followed by the state record, as a column read gives.
FieldTable Columns(std::size_t n) {
  FieldTable fields;
  for (std::size_t i = 1; i <= n; ++i) fields.push_back(testing::IntColumn("c" + std::to_string(i)));
  fields.push_back(StateRecord());
  return fields;
}

// ---------------------------------------------------------------------------------------------
// Byte-exact comparison with the expected files.

TEST(GoldenText, CustomType) {
  for (const SampleTable& s : GoldenCases()) {
    SCOPED_TRACE(s.caseName);
    EXPECT_GOLDEN("custom_type/" + s.caseName + ".txt", BuildCustomTypeText(s.tableName, s.fields));
  }
}

TEST(GoldenText, ClassModule) {
  for (const SampleTable& s : GoldenCases()) {
    SCOPED_TRACE(s.caseName);
    EXPECT_GOLDEN("class_module/" + s.caseName + ".txt", BuildClassModuleText(s.tableName, s.fields));
  }
}

TEST(GoldenText, CSharpEntity) {
  for (const SampleTable& s : GoldenCases()) {
    SCOPED_TRACE(s.caseName);
    EXPECT_GOLDEN("csharp_entity/" + s.caseName + ".txt", BuildCSharpEntityText(s.tableName, s.fields));
  }
}

// With the key for the list class, 删除, 修改 and 提取 compare the key column (here the second
// one, a String) instead of id; without it the text is the one above.
TEST(GoldenText, CSharpEntityListClassComparesTheKeyColumn) {
  const SampleTable s = testing::UserIdName();
  TextOptions options;
  options.keyPosition = 1;
  options.keyInCSharpList = true;
  EXPECT_GOLDEN("csharp_entity/user_key_name.txt", BuildCSharpEntityText(s.tableName, s.fields, options));
  options.keyInCSharpList = false;
  EXPECT_GOLDEN("csharp_entity/user_id_name.txt", BuildCSharpEntityText(s.tableName, s.fields, options));
}

TEST(GoldenText, CSharpOperation) {
  EXPECT_GOLDEN("csharp_operation/fixed.txt", BuildCSharpOperationText());
}

// ---------------------------------------------------------------------------------------------
// Line counts: N table columns give N+1 FieldTable entries.

TEST(LineCounts, GrowWithColumns) {
  for (std::size_t n = 1; n <= 50; ++n) {
    SCOPED_TRACE("columns: " + std::to_string(n));
    const FieldTable fields = Columns(n);
    EXPECT_EQ(CountCrlfLines(BuildCustomTypeText("t", fields)), n + 3);
    EXPECT_EQ(CountCrlfLines(BuildClassModuleText("t", fields)), 8 * n + 15);
    EXPECT_EQ(CountCrlfLines(BuildCSharpEntityText("t", fields)), n + 116);
  }
}

TEST(LineCounts, OnlyStateRecord) {
  const FieldTable fields = Columns(0);
  EXPECT_EQ(CountCrlfLines(BuildCustomTypeText("user", fields)), 3u);
  EXPECT_EQ(CountCrlfLines(BuildClassModuleText("user", fields)), 15u);
  EXPECT_EQ(CountCrlfLines(BuildCSharpEntityText("user", fields)), 116u);
}

TEST(LineCounts, EmptyTable) {
  EXPECT_EQ(BuildCustomTypeText("user", {}), ".版本 2\r\n.数据类型 user\r\n");
  EXPECT_EQ(CountCrlfLines(BuildClassModuleText("user", {})), 7u);
  EXPECT_EQ(CountCrlfLines(BuildCSharpEntityText("user", {})), 115u);
}

TEST(LineCounts, OperationIsFixed) {
  EXPECT_EQ(CountCrlfLines(BuildCSharpOperationText()), 27u);
}

// ---------------------------------------------------------------------------------------------
// Properties every output has.

TEST(EveryOutput, EndsWithCrlfAndHasNoBareLineBreak) {
  auto check = [](const std::string& text) {
    ASSERT_GE(text.size(), 2u);
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
    // Every CR and every LF belongs to a CR LF pair.
    const std::size_t pairs = CountCrlfLines(text);
    EXPECT_EQ(static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')), pairs);
    EXPECT_EQ(static_cast<std::size_t>(std::count(text.begin(), text.end(), '\r')), pairs);
  };
  for (const SampleTable& s : AllSamples()) {
    SCOPED_TRACE(s.caseName);
    check(BuildCustomTypeText(s.tableName, s.fields));
    check(BuildClassModuleText(s.tableName, s.fields));
    check(BuildCSharpEntityText(s.tableName, s.fields));
  }
  check(BuildCSharpOperationText());
}

TEST(EveryOutput, ConvertsToGbkWithoutLoss) {
  auto check = [](const std::string& text) {
    const GbkConversion gbk = Utf8ToGbk(text);
    ASSERT_TRUE(gbk.ok) << "cannot hold " << gbk.badCodePoint << " at " << gbk.badOffset;
    std::string back;
    ASSERT_TRUE(GbkToUtf8(gbk.bytes, back));
    EXPECT_EQ(back, text);
  };
  for (const SampleTable& s : AllSamples()) {
    SCOPED_TRACE(s.caseName);
    check(BuildCustomTypeText(s.tableName, s.fields));
    check(BuildClassModuleText(s.tableName, s.fields));
    check(BuildCSharpEntityText(s.tableName, s.fields));
  }
  check(BuildCSharpOperationText());
}

TEST(EveryOutput, SameInputGivesSameText) {
  for (const SampleTable& s : AllSamples()) {
    SCOPED_TRACE(s.caseName);
    EXPECT_EQ(BuildCustomTypeText(s.tableName, s.fields), BuildCustomTypeText(s.tableName, s.fields));
    EXPECT_EQ(BuildClassModuleText(s.tableName, s.fields), BuildClassModuleText(s.tableName, s.fields));
    EXPECT_EQ(BuildCSharpEntityText(s.tableName, s.fields),
              BuildCSharpEntityText(s.tableName, s.fields));
  }
  EXPECT_EQ(BuildCSharpOperationText(), BuildCSharpOperationText());
}

// Comments that are empty (or blank once on one line) and a key position past the columns leave
// every text as the window writes it.
TEST(EveryOutput, EmptyCommentsAndAnUnusableKeyChangeNothing) {
  for (const SampleTable& s : AllSamples()) {
    SCOPED_TRACE(s.caseName);
    // Past the columns, at the state record, and the "no column" value, which must not wrap.
    for (std::size_t key : {s.fields.size(), s.fields.size() - 1, SIZE_MAX}) {
      TextOptions options;
      options.keyPosition = key;
      options.comments.assign(s.fields.size(), " \r\n\t ");
      for (Pane pane : kAllPanes)
        EXPECT_EQ(BuildPaneText(pane, s.tableName, s.fields, options), BuildPaneText(pane, s.tableName, s.fields))
            << key;
    }
  }
}

TEST(OneLineRemark, ControlCharactersBecomeOneSpaceAndTheEndsAreTrimmed) {
  const std::pair<std::string, std::string> cases[] = {
      {"编号", "编号"},
      {"", ""},
      {"  ", ""},
      {"第一行\r\n第二行\t完\n", "第一行 第二行 完"},
      {"a\x1b[31mb\x7f", "a [31mb"},
      {"c1\xc2\x85nel", "c1 nel"},                         // U+0085, a C# line break
      {"ls\xe2\x80\xa8ps\xe2\x80\xa9" "end", "ls ps end"},  // U+2028, U+2029
      {"a  b", "a  b"},                                     // spaces of the comment stay
      {"\xe2\x80\xa6 \xc2\xa0", "\xe2\x80\xa6 \xc2\xa0"},       // … and NBSP are no controls
  };
  for (const auto& [comment, remark] : cases) EXPECT_EQ(OneLineRemark(comment), remark) << comment;
}

TEST(EveryOutput, NamesPassThroughUnchanged) {
  const SampleTable s = testing::SpaceInName();
  EXPECT_NE(BuildCustomTypeText(s.tableName, s.fields).find(".数据类型 my table\r\n"), std::string::npos);
  EXPECT_NE(BuildClassModuleText(s.tableName, s.fields).find(".类程序集 my table类, ,公开\r\n"),
            std::string::npos);
  EXPECT_NE(BuildCSharpEntityText(s.tableName, s.fields).find("namespace  np.my table\r\n"),
            std::string::npos);
}

// ---------------------------------------------------------------------------------------------
// The class module's last block carries the state comments, chosen by position.

constexpr const char* kLastSubLine =
    ".子程序 X, 整数型, 公开,本子程序仅为系统内部使用，请不要随意使用";
constexpr const char* kLastParamLine =
    ".参数 _X, 整数型, 可空,0-正常（与数据库一至），1-增加（数据库未增），2-更改（数据库未改），3-删除（数据库未删）";

TEST(ClassModuleLastBlock, OnlyTheLastBlockHasComments) {
  const FieldTable fields = Columns(5);
  const std::vector<std::string> lines = Lines(BuildClassModuleText("t", fields));
  const std::size_t firstBlock = 7 + fields.size();
  for (std::size_t b = 0; b < fields.size(); ++b) {
    const std::string& sub = lines[firstBlock + 7 * b];
    const std::string& param = lines[firstBlock + 7 * b + 1];
    if (b + 1 == fields.size()) {
      EXPECT_EQ(sub, kLastSubLine);
      EXPECT_EQ(param, kLastParamLine);
    } else {
      EXPECT_EQ(sub, ".子程序 " + fields[b].columnName + ", 整数型, 公开");
      EXPECT_EQ(param, ".参数 _" + fields[b].columnName + ", 整数型, 可空");
    }
  }
  EXPECT_EQ(lines.back(), "");
}

TEST(ClassModuleLastBlock, OwnColumnXEarlierGetsNoComments) {
  const SampleTable s = testing::OwnColumnX();
  const std::string text = BuildClassModuleText(s.tableName, s.fields);
  EXPECT_NE(text.find(".子程序 X, 文本型, 公开\r\n.参数 _X, 文本型, 可空\r\n"), std::string::npos);
  // The comments appear exactly once, at the state record's block.
  const std::string comment = "本子程序仅为系统内部使用";
  const std::size_t at = text.find(comment);
  ASSERT_NE(at, std::string::npos);
  EXPECT_EQ(text.find(comment, at + 1), std::string::npos);
  EXPECT_GT(at, text.find(".子程序 X, 文本型"));
}

TEST(ClassModuleLastBlock, LastEntryNotNamedXStillGetsComments) {
  // Position decides, not the name: a table read some other way that ends in another column.
  const FieldTable fields = {testing::IntColumn("id"), testing::TextColumn("name")};
  const std::vector<std::string> lines = Lines(BuildClassModuleText("t", fields));
  const std::size_t lastBlock = 7 + fields.size() + 7;
  EXPECT_EQ(lines[lastBlock], ".子程序 name, 文本型, 公开,本子程序仅为系统内部使用，请不要随意使用");
  EXPECT_EQ(lines[lastBlock - 7], ".子程序 id, 整数型, 公开");
}

}  // namespace
}  // namespace kelvane
