#include "schema/type_map.h"

#include <array>
#include <utility>

namespace kelvane {

namespace {

// Tested in this order; the first equal code wins.
constexpr std::array<std::pair<ColumnTypeCode, TypeMapEntry>, 15> kRows{{
    {0, {"小数型", "Jx", "float"}},
    {101, {"字节型", "Jb", "byte"}},
    {2, {"整数型", "Jz", "int"}},
    {3, {"整数型", "Jz", "int"}},
    {4, {"小数型", "Jx", "float"}},
    {5, {"小数型", "Jx", "float"}},
    {7, {"文本型", "Jw", "int"}},
    {8, {"长整数型", "Jz", "long"}},
    {9, {"长整数型", "Jz", "int"}},
    {10, {"文本型", "Jw", "DateTime"}},
    {11, {"文本型", "Jw", "DateTime"}},
    {12, {"日期时间型", "Jr", "DateTime"}},
    {13, {"文本型", "Jw", "String"}},
    {253, {"文本型", "Jw", "String"}},
    {25403, {"文本型", "Jw", "String"}},
}};

constexpr TypeMapEntry kOtherRow{"文本型", "Jw", "String"};

}  // namespace

const TypeMapEntry& TypeMapLookup(ColumnTypeCode code) {
  for (const auto& [rowCode, entry] : kRows)
    if (rowCode == code) return entry;
  return kOtherRow;
}

}  // namespace kelvane
