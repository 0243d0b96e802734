// TextWriter: pieces of every kind and length land in order, appending keeps the text before,
// and writing far past the expected size grows the text without losing a byte.
#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <string_view>

#include "generators/text_writer.h"

namespace kelvane {
namespace {

// Every length from 0 to 80, so each copy path (short, 16, 32, 64 and longer) is taken.
std::string Letters(std::size_t n) {
  std::string s;
  for (std::size_t i = 0; i < n; ++i) s += static_cast<char>('a' + i % 26);
  return s;
}

TEST(TextWriter, PiecesOfEveryKindInOrder) {
  const std::string name = "名字";
  const std::string_view view = "view";
  TextWriter out(0);
  out.Put("literal ", name, ' ', view, Decimal(1234567));
  out.Line();
  out.Line("a", "", std::string(), 'b');
  EXPECT_EQ(out.Take(), "literal 名字 view1234567\r\nab\r\n");
}

TEST(TextWriter, EveryLengthCopiedExactly) {
  std::string expected;
  TextWriter out(8);
  for (std::size_t n = 0; n <= 80; ++n) {
    const std::string piece = Letters(n);
    out.Line("<", piece, ">");
    expected += "<" + piece + ">\r\n";
  }
  EXPECT_EQ(out.Take(), expected);
}

TEST(TextWriter, DecimalsOfEveryWidth) {
  std::string expected;
  TextWriter out(0);
  for (std::size_t value = 1;; value *= 10) {
    out.Put(Decimal(value - 1), ",", Decimal(value), ";");
    expected += std::to_string(value - 1) + "," + std::to_string(value) + ";";
    if (value > static_cast<std::size_t>(-1) / 10) break;
  }
  out.Put(Decimal(static_cast<std::size_t>(-1)));
  expected += std::to_string(static_cast<std::size_t>(-1));
  EXPECT_EQ(out.Take(), expected);
}

TEST(TextWriter, AppendsAfterTheTextAndEndsAtTheLastByte) {
  std::string text = "before\r\n";
  {
    TextWriter out(text, 1 << 20);
    out.Line("after");
  }
  EXPECT_EQ(text, "before\r\nafter\r\n");
}

TEST(TextWriter, GrowsFarPastTheExpectedSize) {
  std::string text = "x";
  std::string expected = "x";
  const std::string long_piece = Letters(100000);
  {
    TextWriter out(text, 1);
    for (int i = 0; i < 3; ++i) {
      out.Put(long_piece, "-");
      expected += long_piece + "-";
    }
    for (int i = 0; i < 20000; ++i) {
      out.Line("line ", Decimal(static_cast<std::size_t>(i)));
      expected += "line " + std::to_string(i) + "\r\n";
    }
  }
  EXPECT_EQ(text, expected);
}

TEST(TextWriter, DropBackTakesBackTheLastByteOnly) {
  TextWriter out(0);
  out.DropBack();
  out.Put("a,b,");
  out.DropBack();
  EXPECT_EQ(out.Take(), "a,b");
}

TEST(TextWriter, FinishThenGoOnWriting) {
  std::string text;
  TextWriter out(text, 64);
  out.Put("one");
  out.Finish();
  EXPECT_EQ(text, "one");
  out.Put("two");
  out.Finish();
  EXPECT_EQ(text, "onetwo");
}

}  // namespace
}  // namespace kelvane
