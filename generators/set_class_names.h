#pragma once
// Names with a fixed role in the set-class text. An entry that does not exist (a short or
// empty FieldTable) gives the empty name, so the whole text can always be emitted.
#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

#include "generators/generators.h"
#include "schema/field_table.h"

namespace kelvane::setclass {

// Name of the 1-based entry, or "" when FieldTable has no such entry.
inline const std::string& EntryName(const FieldTable& fields, std::size_t position) {
  static const std::string kEmpty;
  if (position == 0 || position > fields.size()) return kEmpty;
  return fields[position - 1].columnName;
}

// The second entry (used by the control-binding extensions).
inline const std::string& SecondColumn(const FieldTable& fields) { return EntryName(fields, 2); }
// The state flag: the last entry ("X" for every table read from the server).
inline const std::string& StatusColumn(const FieldTable& fields) {
  return EntryName(fields, fields.size());
}

// Whole-text equality of a variable prefix and a table entry, done inline: it is looked up
// for every column, and every prefix the tables know is two bytes.
inline bool SamePrefix(const std::string& prefix, std::string_view entry) {
  if (prefix.size() != entry.size()) return false;
  if (entry.size() == 2) return std::memcmp(prefix.data(), entry.data(), 2) == 0;
  return std::string_view(prefix) == entry;
}

// Column records are entries 1 to count - 1 (all but the state record); none when FieldTable
// holds 0 or 1 entries.
inline std::size_t ColumnRecordCount(const FieldTable& fields) {
  return fields.empty() ? 0 : fields.size() - 1;
}

// The record key: the first entry, or the table column the options chose (any position that is
// no column record, the largest size_t included, counts as the first entry).
inline const std::string& KeyColumn(const FieldTable& fields, const TextOptions& options) {
  if (options.keyPosition < ColumnRecordCount(fields)) return fields[options.keyPosition].columnName;
  return EntryName(fields, 1);
}

}  // namespace kelvane::setclass
