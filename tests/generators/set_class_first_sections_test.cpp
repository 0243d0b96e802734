// The first sections of the set class: header, local-array subroutines, database writes and
// database reads. Byte-exact against hand-written expected files, plus the properties that
// must hold for any FieldTable.
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

std::string HeaderLocal(const std::string& table, const FieldTable& fields) {
  std::string out = ".版本 2\r\n\r\n";
  AppendSetClassHeader(out, table, fields);
  AppendLocalArraySubs(out, table, fields);
  return out;
}

std::string DbWrite(const std::string& table, const FieldTable& fields) {
  std::string out;
  AppendDbWriteSubs(out, table, fields);
  return out;
}

std::string DbRead(const std::string& table, const FieldTable& fields) {
  std::string out;
  AppendDbReadSubs(out, table, fields);
  return out;
}

bool StartsWith(const std::string& text, const std::string& start) {
  return text.compare(0, start.size(), start) == 0;
}

// Line n (1-based) of a section text, without its CR LF; "<missing>" past the end.
std::string LineAt(const std::string& text, std::size_t n) {
  std::size_t start = 0;
  for (; n > 1 && start != std::string::npos; --n) {
    start = text.find("\r\n", start);
    if (start != std::string::npos) start += 2;
  }
  if (start == std::string::npos || start >= text.size()) return "<missing>";
  return text.substr(start, text.find("\r\n", start) - start);
}

// ---------------------------------------------------------------------------------------------
// Expected texts

TEST(SetClassFirstGolden, AllCasesMatchByteForByte) {
  for (const SampleTable& sample : testing::SetClassGoldenCases()) {
    SCOPED_TRACE(sample.caseName);
    const std::string dir = "set_class/" + sample.caseName + "/";
    EXPECT_GOLDEN(dir + "header_local.txt", HeaderLocal(sample.tableName, sample.fields));
    EXPECT_GOLDEN(dir + "db_write.txt", DbWrite(sample.tableName, sample.fields));
    EXPECT_GOLDEN(dir + "db_read.txt", DbRead(sample.tableName, sample.fields));
  }
}

// ---------------------------------------------------------------------------------------------
// Line counts

TEST(SetClassFirstLineCounts, EmptyAndStateOnlyTables) {
  const FieldTable empty;
  EXPECT_EQ(CountCrlfLines(HeaderLocal("t", empty)), 74u);
  EXPECT_EQ(CountCrlfLines(DbWrite("t", empty)), 68u);
  EXPECT_EQ(CountCrlfLines(DbRead("t", empty)), 72u);  // no entry, not even the "( 0 )" line

  const FieldTable onlyX{StateRecord()};
  EXPECT_EQ(CountCrlfLines(HeaderLocal("t", onlyX)), 74u);
  EXPECT_EQ(CountCrlfLines(DbWrite("t", onlyX)), 68u);
  EXPECT_EQ(CountCrlfLines(DbRead("t", onlyX)), 73u);
}

TEST(SetClassFirstLineCounts, OneToFortyMixedColumns) {
  for (std::size_t n = 1; n <= 40; ++n) {
    SCOPED_TRACE("columns: " + std::to_string(n));
    const FieldTable fields = testing::MixedTable(n);
    const std::string headerLocal = HeaderLocal("tbl", fields);
    const std::string write = DbWrite("tbl", fields);
    const std::string read = DbRead("tbl", fields);
    EXPECT_EQ(CountCrlfLines(headerLocal), 74u);
    EXPECT_EQ(CountCrlfLines(write), 68u);
    EXPECT_EQ(CountCrlfLines(read), 72u + (n + 1) + 2 * n);
  }
}

// ---------------------------------------------------------------------------------------------
// Which names the key, flag and per-column lines use

TEST(SetClassFirstNames, FirstColumnNotIdIsKeyWhereKeyIsNamed) {
  const SampleTable sample = testing::FirstNotId();  // goods: code, qty, X
  const std::string headerLocal = HeaderLocal(sample.tableName, sample.fields);
  EXPECT_EQ(LineAt(headerLocal, 31), "   .如果真 (Jogoods集[i].code()= _id)");
  EXPECT_EQ(LineAt(headerLocal, 42), "   .如果真 (Jogoods集[i].id()=_goods.id())");
  EXPECT_EQ(LineAt(headerLocal, 55), "   .如果真 (Jogoods集[i].id()=_id)");
  EXPECT_TRUE(StartsWith(LineAt(headerLocal, 43), "         _goods.x (2)  ' 0-正常"));

  const std::string write = DbWrite(sample.tableName, sample.fields);
  EXPECT_EQ(LineAt(write, 112 - 74),
            " GwTmp=JoMySQL网关.删除记录 (Jw成员名, Jw库名, Jw表名,“code=' ”+到文本（Jogoods集[i].code())+“'”)");
  EXPECT_EQ(LineAt(write, 134 - 74),
            "               GwTmp ＝ JoMySQL网关.更新记录 (Jw成员名, Jw库名, Jw表名,GwXps,“code='”+到文本（Jogoods集[i].code()）+“'”)");

  const std::string read = DbRead(sample.tableName, sample.fields);
  EXPECT_NE(read.find("  where `code`='“+到文本（_id）+“'”\r\n"), std::string::npos);
  EXPECT_EQ(read.find("`id`"), std::string::npos);
}

TEST(SetClassFirstNames, StatusFlagIsAlwaysTheLastEntry) {
  // A table with its own column X: the state record is still the one that is named, and the
  // table's X is an ordinary column in every list.
  const SampleTable sample = testing::OwnColumnX();  // flags: id, X (text), X (state)
  const std::string write = DbWrite(sample.tableName, sample.fields);
  EXPECT_EQ(LineAt(write, 17), "              GwXps=“`id`,`X`”");
  EXPECT_EQ(LineAt(write, 16), "        .如果真 (Joflags集[i].X()=1)");

  // The state record named differently shows that the last entry is used, not the word "X".
  FieldTable renamed = sample.fields;
  renamed.back().columnName = "S";
  const std::string headerLocal = HeaderLocal("f", renamed);
  EXPECT_TRUE(StartsWith(LineAt(headerLocal, 23), "_f.S（1)  '"));
  EXPECT_TRUE(StartsWith(LineAt(headerLocal, 32), "            Jof集[i].S(3) '"));
  EXPECT_EQ(LineAt(headerLocal, 66), "   .如果真 (Jof集[i].S()≠ 3)");
  EXPECT_TRUE(StartsWith(LineAt(headerLocal, 43), "         _f.x (2)"));
  const std::string renamedWrite = DbWrite("f", renamed);
  for (std::size_t line : {90u, 100u, 111u, 116u, 129u, 138u}) {
    EXPECT_NE(LineAt(renamedWrite, line - 74).find("集[i].S("), std::string::npos) << line;
  }
  EXPECT_NE(DbRead("f", renamed).find("      Gof.S( 0 )\r\n"), std::string::npos);
}

TEST(SetClassFirstNames, PrefixComparedAsWholeText) {
  // "jr" and "Jr " are not date-time columns and "Jq" is no known kind: all three take the
  // to-text piece in the write lists, and none of them gets a reader line.
  const FieldTable fields{{"a", "", "jr", ""}, {"b", "", "Jr ", ""}, {"odd", "", "Jq", ""},
                          StateRecord()};
  const std::string write = DbWrite("t", fields);
  EXPECT_EQ(LineAt(write, 17), "              GwXps=“`a`,`b`,`odd`”");
  EXPECT_EQ(write.find("时间_格式化EX"), std::string::npos);
  EXPECT_NE(LineAt(write, 18).find("到文本（Jot集[i].odd（)）"), std::string::npos);
  const std::string read = DbRead("t", fields);
  EXPECT_EQ(CountCrlfLines(read), 72u + 1);  // only the state record's "( 0 )" line
  EXPECT_EQ(read.find("读"), std::string::npos);
}

// ---------------------------------------------------------------------------------------------
// Every output must survive the conversion to the GBK code page the users paste into.

TEST(SetClassFirstGbk, AllSampleOutputsAreEncodable) {
  std::vector<SampleTable> samples = testing::SetClassGoldenCases();
  samples.push_back(testing::EveryTypeMapRow());
  samples.push_back(testing::OwnColumnX());
  for (const SampleTable& sample : samples) {
    SCOPED_TRACE(sample.caseName);
    for (const std::string& text :
         {HeaderLocal(sample.tableName, sample.fields), DbWrite(sample.tableName, sample.fields),
          DbRead(sample.tableName, sample.fields)}) {
      const GbkConversion gbk = Utf8ToGbk(text);
      EXPECT_TRUE(gbk.ok) << "offset " << gbk.badOffset << " " << gbk.badCodePoint;
    }
  }
}

}  // namespace
}  // namespace kelvane
