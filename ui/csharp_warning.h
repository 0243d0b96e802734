#pragma once
// The window's short Chinese form of the reasons a table's C# entity text will not compile
// (schema/csharp_check.h) and of the names that are no identifiers (schema/identifier_check.h),
// shown with the key warning on page "生成操作".
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "schema/csharp_check.h"
#include "schema/field_table.h"

namespace kelvane {

// One line per reason, then one per name (table, then columns) that is no identifier; empty
// when the text compiles. `listKey` as for CSharpEntityProblems:
// kNoColumn while the key check box is off, else the key column the list class compares.
// `keyBoxCaption` is the caption of that check box, named where checking it fixes a reason.
std::vector<std::string> CSharpWarningLines(const std::string& table, const FieldTable& fields,
                                            const ColumnFactsList& facts, std::size_t listKey,
                                            std::string_view keyBoxCaption);

}  // namespace kelvane
