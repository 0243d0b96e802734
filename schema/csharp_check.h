#pragma once
// Why a table's C# entity text will not compile as it is generated, beside the key facts it
// draws on: the list class compares the property id with an int argument (or, when asked, the
// key column with an argument of its type), the entity class declares one property per
// FieldTable entry (the state column X among them), and the names go in unchanged. Reasons
// come back as data; each front end words them. Names that are not identifiers by their
// characters are looked at in schema/identifier_check.h.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "schema/field_table.h"
#include "schema/table_key.h"

namespace kelvane {

enum class CSharpProblem {
  NoIdColumn,         // the list class compares id and the table has no column id
  IdNotComparable,    // id's C# type (String, DateTime, bool ...) cannot be == an int
  SecondX,            // a column X besides the state column X: the property is declared twice
  NamedLikeClass,     // a column (or the state column) named like the table, its class
  Keyword,            // the table's or a column's name is a C# keyword
};

enum class CSharpFix {
  None,
  KeyAuto,    // the table's one-column primary key, used as the list class's key, fixes it
  KeyColumn,  // that column (a not-null column with a unique key) as the key fixes it
};

struct CSharpReason {
  CSharpProblem problem;
  std::size_t column = kNoColumn;  // FieldTable position of the column; kNoColumn: the table name
  CSharpFix fix = CSharpFix::None;
  std::size_t fixColumn = kNoColumn;  // the column of KeyAuto or KeyColumn

  friend bool operator==(const CSharpReason&, const CSharpReason&) = default;
};

// The reasons, in FieldTable order: those of the list class's key first, then per name.
// `listKey`: kNoColumn when the list class compares id (the default text); otherwise the key
// column it compares instead (a position past the table's columns counts as the first entry).
// `facts` may be empty (then no fix is offered).
std::vector<CSharpReason> CSharpEntityProblems(const std::string& table, const FieldTable& fields,
                                               const ColumnFactsList& facts,
                                               std::size_t listKey = kNoColumn);

// The C# keywords that cannot name a type or property without an @.
bool IsCSharpKeyword(std::string_view name);

// Whether a property of this C# type can stand beside == with an int.
bool ComparesWithInt(std::string_view csharpType);

}  // namespace kelvane
