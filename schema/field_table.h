#pragma once
// FieldRecord / FieldTable: the columns of the chosen table as the generators see them.
#include <string>
#include <vector>

namespace kelvane {

struct FieldRecord {
  std::string columnName;  // the server's name, unchanged
  std::string eplType;     // 易语言 type name from TypeMap
  std::string prefix;      // two-letter variable prefix, e.g. "Jz"
  std::string csharpType;  // C# type name

  friend bool operator==(const FieldRecord&, const FieldRecord&) = default;
};

// Ordered list of records; the generated texts address it from 1 to size().
using FieldTable = std::vector<FieldRecord>;

// The extra record every successful column read ends with: the element's state flag.
inline FieldRecord StateRecord() { return FieldRecord{"X", "整数型", "Jz", "int"}; }

}  // namespace kelvane
