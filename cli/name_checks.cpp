#include "cli/name_checks.h"

#include <optional>

#include "cli/safe_names.h"
#include "schema/identifier_check.h"
#include "text/text.h"

namespace kelvane::cli {

namespace {

std::string Where(const std::string& table) { return "table \"" + Printable(table) + "\""; }

}  // namespace

std::string ControlCharacterProblem(const std::string& table, const FieldTable& fields) {
  const std::string tail = "; a name with a control character would break the generated lines";
  if (table.empty()) return Where(table) + ": the table name is empty; no text can name such a table";
  if (const std::optional<char32_t> c = FirstControlCharacter(table))
    return Where(table) + ": the table name holds the control character " + CodePointName(*c) + tail;
  for (const FieldRecord& field : fields)
    if (const std::optional<char32_t> c = FirstControlCharacter(field.columnName))
      return Where(table) + ", column \"" + Printable(field.columnName) +
             "\": the column name holds the control character " + CodePointName(*c) + tail;
  return {};
}

std::string NotAnIdentifier(std::string_view name) {
  const NameProblem problem = IdentifierProblem(name);
  const std::string piece = Printable(name.substr(problem.at, problem.length));
  switch (problem.fault) {
    case NameFault::None:
      return {};
    case NameFault::Empty:
      return "is empty";
    case NameFault::Keyword:
      return "is a C# keyword";
    case NameFault::LeadingDigit:
      return "starts with a digit";
    case NameFault::NotUtf8:
      return "holds bytes that are not UTF-8 (" + piece + ")";
    case NameFault::Character:
      return "holds '" + piece + "' (" + CodePointName(problem.codePoint) + ")";
  }
  return {};
}

std::vector<std::string> IdentifierWarnings(const std::string& table, const FieldTable& fields) {
  std::vector<std::string> warnings;
  const auto tail = [](const std::string& why) {
    return " is not an identifier in C# or 易语言 (it " + why + "); the texts carry it unchanged";
  };
  if (const std::string why = NotAnIdentifier(table); !why.empty())
    warnings.push_back("warning: " + Where(table) + ": the table name" + tail(why));
  for (const FieldRecord& field : fields)
    if (const std::string why = NotAnIdentifier(field.columnName); !why.empty())
      warnings.push_back("warning: " + Where(table) + ", column \"" + Printable(field.columnName) +
                         "\": the column name" + tail(why));
  return warnings;
}

}  // namespace kelvane::cli
