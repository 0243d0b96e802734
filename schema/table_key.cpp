#include "schema/table_key.h"

namespace kelvane {

namespace {

std::size_t TableColumnCount(const FieldTable& fields, const ColumnFactsList& facts) {
  if (fields.empty() || facts.size() != fields.size()) return 0;
  return fields.size() - 1;
}

std::string Shown(std::string_view name, std::string (*showName)(std::string_view)) {
  return showName ? showName(name) : std::string(name);
}

// The name between two quotes. Built by appending: g++ 12 at -O3 warns (-Wrestrict, a false
// alarm) about a literal + temporary string.
std::string Quote(std::string_view open, std::string_view name, std::string_view close,
                  std::string (*showName)(std::string_view)) {
  std::string text(open);
  text += Shown(name, showName);
  text += close;
  return text;
}

std::string Terminal(std::string_view name, std::string (*showName)(std::string_view)) {
  return Quote("\"", name, "\"", showName);
}

}  // namespace

TableKey FindTableKey(const FieldTable& fields, const ColumnFactsList& facts) {
  TableKey key;
  const std::size_t columns = TableColumnCount(fields, facts);
  for (std::size_t i = 0; i < columns; ++i) {
    if (facts[i].primaryKey) key.primary.push_back(i);
    if (key.uniqueNotNull == kNoColumn && facts[i].uniqueKey && facts[i].notNull)
      key.uniqueNotNull = i;
  }
  return key;
}

bool IdentifiesRows(const TableKey& key, const ColumnFactsList& facts, std::size_t position) {
  if (position >= facts.size()) return false;
  if (key.primary.size() == 1 && key.primary.front() == position) return true;
  return facts[position].uniqueKey && facts[position].notNull;
}

bool KeyNeedsWarning(const FieldTable& fields, const ColumnFactsList& facts,
                     std::size_t keyPosition) {
  if (keyPosition >= TableColumnCount(fields, facts)) return false;
  return !IdentifiesRows(FindTableKey(fields, facts), facts, keyPosition);
}

std::string KeyWarningText(const std::string& table, const FieldTable& fields,
                           const ColumnFactsList& facts, std::size_t keyPosition,
                           std::string (*showName)(std::string_view)) {
  if (!KeyNeedsWarning(fields, facts, keyPosition)) return {};
  const TableKey key = FindTableKey(fields, facts);
  const std::string& column = fields[keyPosition].columnName;
  const bool first = keyPosition == 0;

  std::string text = "table " + Terminal(table, showName) +
                     ": 库_删, 库_改 and 库_查 of the set class find rows by " +
                     (first ? "its first column " : "the column ") + Terminal(column, showName) +
                     ", which is not the table's key; ";
  if (key.primary.size() > 1) {
    text += "the primary key has " + std::to_string(key.primary.size()) + " columns (";
    for (std::size_t n = 0; n < key.primary.size(); ++n)
      text += (n == 0 ? "" : ", ") + Terminal(fields[key.primary[n]].columnName, showName);
    return text + ")";
  }
  if (key.primary.size() == 1)
    return text + "the primary key is " + Terminal(fields[key.primary.front()].columnName, showName);
  if (key.uniqueNotNull != kNoColumn)
    return text + Terminal(fields[key.uniqueNotNull].columnName, showName) +
           " is unique and not null";
  return text + "the table has no primary key and no unique not-null column";
}

KeyChoice ChooseKeyColumn(std::string_view request, const FieldTable& fields,
                          const ColumnFactsList& facts, std::string (*showName)(std::string_view)) {
  KeyChoice choice;
  const std::size_t columns = fields.empty() ? 0 : fields.size() - 1;
  if (request == kKeyAuto) {
    const TableKey key = FindTableKey(fields, facts);
    if (key.primary.size() == 1) {
      choice.position = key.primary.front();
    } else if (key.primary.empty()) {
      choice.problem = "--key auto: the table has no primary key";
    } else {
      choice.problem = "--key auto: the primary key has " + std::to_string(key.primary.size()) +
                       " columns, not one";
    }
    return choice;
  }
  for (std::size_t i = 0; i < columns; ++i)
    if (fields[i].columnName == request) {
      choice.position = i;
      return choice;
    }
  choice.problem = "--key: the table has no column " + Terminal(request, showName);
  return choice;
}

}  // namespace kelvane
