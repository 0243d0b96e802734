#pragma once
// The Unicode tables behind caseless.cpp, generated into caseless_tables.cpp by
// scripts/gen-caseless-tables. Every table is sorted by code point.
#include <cstddef>
#include <cstdint>

namespace kelvane::caseless_tables {

struct Decomposition {
  char32_t point;
  std::uint16_t start;   // in kDecompositionPool
  std::uint8_t length;
};
struct CombiningRun {
  char32_t first;
  char32_t last;
  std::uint8_t combiningClass;
};
struct Folding {
  char32_t from;
  char32_t to;
};

extern const Decomposition kDecompositions[];
extern const std::size_t kDecompositionCount;
extern const char32_t kDecompositionPool[];
extern const CombiningRun kCombiningRuns[];
extern const std::size_t kCombiningRunCount;
extern const Folding kFoldings[];
extern const std::size_t kFoldingCount;

}  // namespace kelvane::caseless_tables
