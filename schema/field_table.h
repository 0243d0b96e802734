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

// What the server says about a column besides its name and type. Kept in a list of its own,
// one entry per FieldRecord in the same order (the state record's entry is all false and
// empty), so the records and every text built from them stay as they are.
struct ColumnFacts {
  bool primaryKey = false;     // part of the primary key (of one column or several)
  bool uniqueKey = false;      // the only column of a unique key
  bool notNull = false;
  bool autoIncrement = false;
  std::string comment;         // the column's COMMENT, only when comments were read

  friend bool operator==(const ColumnFacts&, const ColumnFacts&) = default;
};
using ColumnFactsList = std::vector<ColumnFacts>;

// The extra record every successful column read ends with: the element's state flag.
inline FieldRecord StateRecord() { return FieldRecord{"X", "整数型", "Jz", "int"}; }

}  // namespace kelvane
