#pragma once
// Byte-exact comparison against expected files in tests/golden/, with a readable diff.
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kelvane::testing {

// The lines of a text without their line ends (LF or CR LF); a last line without one counts.
std::vector<std::string> Lines(const std::string& text);

// Reads tests/golden/<relativePath> as bytes. A missing file fails the current test.
std::string ReadGolden(const std::string& relativePath);

// Compares byte for byte; on mismatch the message shows the first differing line of each
// side with spaces as '·', CR as '␍' and the bytes in hex, plus the line counts.
::testing::AssertionResult BytesEqual(const std::string& expected, const std::string& actual);

}  // namespace kelvane::testing

#define EXPECT_GOLDEN(relativePath, actual) \
  EXPECT_TRUE(::kelvane::testing::BytesEqual(::kelvane::testing::ReadGolden(relativePath), (actual))) \
      << "golden file: " << (relativePath)
