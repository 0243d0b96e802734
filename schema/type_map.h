#pragma once
// TypeMap: ColumnTypeCode -> (易语言 type, variable prefix, C# type).
#include <string_view>

#include "schema/mysql_access.h"

namespace kelvane {

struct TypeMapEntry {
  std::string_view eplType;
  std::string_view prefix;
  std::string_view csharpType;
};

// The fixed mapping; codes not in the table take the text row (文本型 / Jw / String).
const TypeMapEntry& TypeMapLookup(ColumnTypeCode code);

// The logical row, used only when a front end asks for TINYINT(1) / BIT(1) as booleans.
inline constexpr TypeMapEntry kLogicalEntry{"逻辑型", "Jl", "bool"};

}  // namespace kelvane
