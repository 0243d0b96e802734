// The whole set-class text: its sections joined in order, its length, its end.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "generators/generators.h"
#include "support/golden.h"
#include "support/sample_tables.h"
#include "text/text.h"

namespace kelvane {
namespace {

using testing::SampleTable;

TEST(SetClassWhole, EqualsTheSectionGoldensJoinedInOrder) {
  const char* const kSections[] = {"header_local.txt", "db_write.txt", "db_read.txt",
                                   "control_binding.txt", "json.txt"};
  for (const SampleTable& t : testing::SetClassGoldenCases()) {
    SCOPED_TRACE(t.caseName);
    std::string expected;
    for (const char* section : kSections)
      expected += testing::ReadGolden("set_class/" + t.caseName + "/" + section);
    EXPECT_TRUE(testing::BytesEqual(expected, BuildSetClassText(t.tableName, t.fields)));
  }
}

TEST(SetClassWhole, GrowsByTwelveLinesPerColumnForEveryPrefixMix) {
  const std::vector<std::vector<std::string>> mixes = {
      {"Jz"}, {"Jw"}, {"Jr"}, {"Jx", "Jb", "Jl", "Jz", "Jw", "Jr", "Jj"}, {"Jj", "Jr", "Jl"}};
  for (const auto& mix : mixes) {
    for (std::size_t n : {1u, 2u, 5u, 9u, 30u}) {
      EXPECT_EQ(CountCrlfLines(BuildSetClassText("t", testing::MixedTable(n, mix))), 317 + 12 * n)
          << "n=" << n << " first prefix " << mix[0];
    }
  }
}

TEST(SetClassWhole, StateOnlyAndEmptyTablesStillGiveTheWholeText) {
  EXPECT_EQ(CountCrlfLines(BuildSetClassText("user", {StateRecord()})), 317u);
  EXPECT_EQ(CountCrlfLines(BuildSetClassText("user", {})), 316u);
}

TEST(SetClassWhole, StartsWithVersionAndEndsWithTheImportReturnLine) {
  for (const SampleTable& t : testing::SetClassGoldenCases()) {
    SCOPED_TRACE(t.caseName);
    const std::string text = BuildSetClassText(t.tableName, t.fields);
    EXPECT_EQ(text.rfind(".版本 2\r\n\r\n", 0), 0u);
    const std::string ending = "\r\n返回 (真)\r\n";
    ASSERT_GE(text.size(), ending.size());
    EXPECT_EQ(text.substr(text.size() - ending.size()), ending);
    EXPECT_NE(text.substr(text.size() - 4), "\r\n\r\n");
  }
}

TEST(SetClassWhole, GeneratingTwiceGivesTheSameText) {
  for (const SampleTable& t : testing::SetClassGoldenCases()) {
    SCOPED_TRACE(t.caseName);
    EXPECT_EQ(BuildSetClassText(t.tableName, t.fields), BuildSetClassText(t.tableName, t.fields));
  }
}

TEST(SetClassWhole, WholeTextConvertsToGbk) {
  for (const SampleTable& t : testing::SetClassGoldenCases()) {
    SCOPED_TRACE(t.caseName);
    const GbkConversion gbk = Utf8ToGbk(BuildSetClassText(t.tableName, t.fields));
    EXPECT_TRUE(gbk.ok) << "not in GBK: " << gbk.badCodePoint;
  }
}

}  // namespace
}  // namespace kelvane
