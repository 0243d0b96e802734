// TextWriter: pieces of every kind land in order, and appending keeps the text before it and
// mixes with plain appends to the same string.
#include "generators/text_writer.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <string_view>

namespace kelvane {
namespace {

TEST(TextWriter, PiecesOfEveryKindInOrder) {
  const std::string name = "名字";
  const std::string_view view = "view";
  TextWriter out(0);
  out.Put("literal ", name, ' ', view, Decimal(1234567));
  out.Line();
  out.Line("a", "", std::string(), 'b');
  EXPECT_EQ(out.Take(), "literal 名字 view1234567\r\nab\r\n");
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

TEST(TextWriter, AppendsAfterTheTextAndMixesWithPlainAppends) {
  std::string text = "before\r\n";
  TextWriter out(text);
  out.Line("after");
  text += "plain\r\n";
  out.Line("last");
  EXPECT_EQ(text, "before\r\nafter\r\nplain\r\nlast\r\n");
}

TEST(TextWriter, DropBackTakesBackTheLastByteOnly) {
  TextWriter out(0);
  out.DropBack();
  out.Put("a,b,");
  out.DropBack();
  EXPECT_EQ(out.Take(), "a,b");
}

}  // namespace
}  // namespace kelvane
