#pragma once
// The table's own key, from the column flags of the metadata, set against the column the set
// class uses as its record key (the first column unless the user chose another): the warning
// both windows and the command line show, and the command line's key choice. No toolkit, no
// statement of its own.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "schema/field_table.h"

namespace kelvane {

inline constexpr std::size_t kNoColumn = static_cast<std::size_t>(-1);

struct TableKey {
  std::vector<std::size_t> primary;      // positions (0-based) of the primary key's columns
  std::size_t uniqueNotNull = kNoColumn;  // first not-null column with a unique key of its own
};
// Looks at the table's columns only (every record but the last, the state record).
TableKey FindTableKey(const FieldTable& fields, const ColumnFactsList& facts);

// True when the column at `position` tells the rows apart: the one column of the primary key,
// or a not-null column with a unique key of its own.
bool IdentifiesRows(const TableKey& key, const ColumnFactsList& facts, std::size_t position);

// True when the set class's key column (`keyPosition`, 0 = the first column) does not tell the
// rows apart; false when it does, when facts were not read, or when there is no column.
bool KeyNeedsWarning(const FieldTable& fields, const ColumnFactsList& facts,
                     std::size_t keyPosition);

// The command line's warning when KeyNeedsWarning: it names the table, the key column and the
// table's real key if it has one, and says that 库_删, 库_改 and 库_查 find rows by that
// column; names between double quotes. Empty otherwise. `showName`, when given, turns each
// name into its printable form.
std::string KeyWarningText(const std::string& table, const FieldTable& fields,
                           const ColumnFactsList& facts, std::size_t keyPosition,
                           std::string (*showName)(std::string_view) = nullptr);

// What --key asks for: a column name, or "auto" for the one-column primary key. `position` is
// the chosen column's; `problem` (then non-empty) says why there is none.
struct KeyChoice {
  std::size_t position = 0;
  std::string problem;
};
inline constexpr std::string_view kKeyAuto = "auto";
KeyChoice ChooseKeyColumn(std::string_view request, const FieldTable& fields,
                          const ColumnFactsList& facts,
                          std::string (*showName)(std::string_view) = nullptr);

}  // namespace kelvane
