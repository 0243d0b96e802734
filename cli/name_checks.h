#pragma once
// What a table or column name does to the generated texts. The texts are fixed templates with
// the names put in as they are: a control character (C0, DEL, U+2028, U+2029) would end or
// break a line, so such names are refused; a printable name that is not an identifier (a space,
// a brace, a quote, a C# keyword) yields code that does not compile or that reads as more code,
// so kelvane-gen warns about it and generates the texts unchanged.
#include <string>
#include <string_view>
#include <vector>

#include "schema/field_table.h"

namespace kelvane::cli {

// Empty when the table name is not empty and it and every column name are free of control
// characters (a zero byte included); otherwise the message for the first one, naming the table,
// the column and the code point.
std::string ControlCharacterProblem(const std::string& table, const FieldTable& fields);

// Why `name` is not an identifier in C# or 易语言 ("holds ' ' (U+0020)", "starts with a digit",
// "is a C# keyword"); empty when it is one.
std::string NotAnIdentifier(std::string_view name);

// One warning per name of the table (table name, column names) that is not an identifier.
std::vector<std::string> IdentifierWarnings(const std::string& table, const FieldTable& fields);

}  // namespace kelvane::cli
