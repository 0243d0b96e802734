// Trimming, line ends and GBK conversion.
#include "text/text.h"

#include <gtest/gtest.h>

namespace kelvane {
namespace {

TEST(Trim, RemovesAsciiAndFullWidthSpacesAtBothEndsOnly) {
  EXPECT_EQ(Trim("  root  "), "root");
  EXPECT_EQ(Trim("　root　"), "root");
  EXPECT_EQ(Trim(" 　 ro ot　 "), "ro ot");
  EXPECT_EQ(Trim("　　"), "");
  EXPECT_EQ(Trim(""), "");
  // Tabs and line breaks are not spaces here.
  EXPECT_EQ(Trim("\troot\n"), "\troot\n");
  // A character that merely starts with the same lead byte as U+3000 is kept whole.
  EXPECT_EQ(Trim("〇"), "〇");  // U+3007: E3 80 87
  EXPECT_EQ(Trim("\xE3\x80"), "\xE3\x80");
}

TEST(ToCrlf, EveryKindOfLineBreakBecomesCrLf) {
  EXPECT_EQ(ToCrlf("a\nb\r\nc\rd"), "a\r\nb\r\nc\r\nd");
  EXPECT_EQ(ToCrlf("\r\n\r\n"), "\r\n\r\n");
  EXPECT_EQ(ToCrlf("\n\r"), "\r\n\r\n");
  EXPECT_EQ(ToCrlf(""), "");
  EXPECT_EQ(CountCrlfLines("a\r\nb\r\n\r\n"), 3u);
  EXPECT_EQ(CountCrlfLines("a\nb"), 0u);
}

TEST(Gbk, ChineseAndFullWidthPunctuationRoundTrip) {
  const std::string text = ".版本 2\r\n“一至”（）＝＋，≠ 整数型 库_增 ““";
  const GbkConversion gbk = Utf8ToGbk(text);
  ASSERT_TRUE(gbk.ok);
  EXPECT_EQ(gbk.bytes.substr(0, 9), ".\xB0\xE6\xB1\xBE 2\r\n");  // 版本 in code page 936
  std::string back;
  ASSERT_TRUE(GbkToUtf8(gbk.bytes, back));
  EXPECT_EQ(back, text);
  EXPECT_TRUE(Utf8ToGbk("").ok);
}

TEST(Gbk, ReportsTheFirstCharacterItCannotHold) {
  const GbkConversion korean = Utf8ToGbk("name_가나");
  EXPECT_FALSE(korean.ok);
  EXPECT_EQ(korean.badOffset, 5u);
  EXPECT_EQ(korean.badCharacter, "가");
  EXPECT_EQ(korean.badCodePoint, "U+AC00");
  EXPECT_TRUE(korean.bytes.empty());

  const GbkConversion emoji = Utf8ToGbk("ok😀");
  EXPECT_FALSE(emoji.ok);
  EXPECT_EQ(emoji.badCodePoint, "U+1F600");

  // iconv silently skips the tag characters; they must still be reported as lost.
  const GbkConversion tag = Utf8ToGbk("name\xF3\xA0\x80\x81x");
  EXPECT_FALSE(tag.ok);
  EXPECT_EQ(tag.badOffset, 4u);
  EXPECT_EQ(tag.badCodePoint, "U+E0001");
  // Also when a character iconv does refuse comes after it: the first loss is reported.
  const GbkConversion both = Utf8ToGbk("a\xF3\xA0\x80\x81" "b가");
  EXPECT_FALSE(both.ok);
  EXPECT_EQ(both.badOffset, 1u);

  const GbkConversion broken = Utf8ToGbk("ab\xFF\x41");
  EXPECT_FALSE(broken.ok);
  EXPECT_EQ(broken.badOffset, 2u);
  EXPECT_EQ(broken.badCharacter, "\xFF");
  const GbkConversion cut = Utf8ToGbk("a\xE4\xB8");
  EXPECT_FALSE(cut.ok);
  EXPECT_EQ(cut.badOffset, 1u);
  // Surrogates, overlong forms, code points past U+10FFFF and cut-short sequences are invalid
  // UTF-8 as well: the bytes are reported (the longest start that could still have been valid),
  // with no code point.
  const std::pair<const char*, const char*> invalid[] = {
      {"\xED\xA0\x80", "\xED"}, {"\xED\xBF\xBF", "\xED"}, {"\xE0\x80\x80", "\xE0"},
      {"\xC0\x80", "\xC0"}, {"\xC1\xBF", "\xC1"}, {"\xF0\x80\x80\x80", "\xF0"},
      {"\xF4\x90\x80\x80", "\xF4"}, {"\xF5\x80\x80\x80", "\xF5"}, {"\xF0\x9F\x98", "\xF0\x9F\x98"},
      {"\xE4\xB8", "\xE4\xB8"}, {"\x80", "\x80"}};
  for (const auto& [bad, reported] : invalid) {
    const GbkConversion conversion = Utf8ToGbk(std::string("a") + bad + "b");
    EXPECT_FALSE(conversion.ok) << bad;
    EXPECT_EQ(conversion.badOffset, 1u) << bad;
    EXPECT_EQ(conversion.badCharacter, reported) << bad;
    EXPECT_EQ(conversion.badCodePoint, "") << bad;
  }
}

TEST(Gbk, LongTextsConvertWhole) {
  std::string text;
  for (int i = 0; i < 20000; ++i) text += "集类";
  const GbkConversion gbk = Utf8ToGbk(text);
  ASSERT_TRUE(gbk.ok);
  EXPECT_EQ(gbk.bytes.size(), 80000u);
  std::string bad;
  EXPECT_FALSE(GbkToUtf8("\x81", bad));
}

}  // namespace
}  // namespace kelvane
