#include "schema/csharp_check.h"

#include <algorithm>
#include <array>

namespace kelvane {

namespace {

constexpr std::array<std::string_view, 77> kCSharpKeywords = {
    "abstract", "as", "base", "bool", "break", "byte", "case", "catch", "char", "checked",
    "class", "const", "continue", "decimal", "default", "delegate", "do", "double", "else",
    "enum", "event", "explicit", "extern", "false", "finally", "fixed", "float", "for",
    "foreach", "goto", "if", "implicit", "in", "int", "interface", "internal", "is", "lock",
    "long", "namespace", "new", "null", "object", "operator", "out", "override", "params",
    "private", "protected", "public", "readonly", "ref", "return", "sbyte", "sealed", "short",
    "sizeof", "stackalloc", "static", "string", "struct", "switch", "this", "throw", "true",
    "try", "typeof", "uint", "ulong", "unchecked", "unsafe", "ushort", "using", "virtual",
    "void", "volatile", "while"};

// Numeric types an int converts to or from for ==; ulong == int is ambiguous.
constexpr std::array<std::string_view, 11> kIntComparable = {
    "byte", "sbyte", "short", "ushort", "int", "uint", "long", "float", "double", "decimal", "char"};

// The fix for a list class that cannot compare id: the table's own key, when it has one
// column that tells the rows apart.
void AddKeyFix(CSharpReason& reason, const FieldTable& fields, const ColumnFactsList& facts) {
  if (facts.size() != fields.size()) return;
  const TableKey key = FindTableKey(fields, facts);
  if (key.primary.size() == 1) {
    reason.fix = CSharpFix::KeyAuto;
    reason.fixColumn = key.primary.front();
  } else if (key.uniqueNotNull != kNoColumn) {
    reason.fix = CSharpFix::KeyColumn;
    reason.fixColumn = key.uniqueNotNull;
  }
}

}  // namespace

bool IsCSharpKeyword(std::string_view name) {
  return std::find(kCSharpKeywords.begin(), kCSharpKeywords.end(), name) != kCSharpKeywords.end();
}

bool ComparesWithInt(std::string_view csharpType) {
  return std::find(kIntComparable.begin(), kIntComparable.end(), csharpType) != kIntComparable.end();
}

std::vector<CSharpReason> CSharpEntityProblems(const std::string& table, const FieldTable& fields,
                                               const ColumnFactsList& facts, std::size_t listKey) {
  std::vector<CSharpReason> reasons;
  // With a key column the list class compares a property with an argument of the property's
  // own type, which always compiles; without one it needs a property id comparable with int.
  if (listKey == kNoColumn || fields.empty()) {
    const auto id = std::find_if(fields.begin(), fields.end(),
                                 [](const FieldRecord& f) { return f.columnName == "id"; });
    if (id == fields.end() || !ComparesWithInt(id->csharpType)) {
      CSharpReason reason{id == fields.end() ? CSharpProblem::NoIdColumn : CSharpProblem::IdNotComparable,
                          id == fields.end() ? kNoColumn : static_cast<std::size_t>(id - fields.begin())};
      AddKeyFix(reason, fields, facts);
      reasons.push_back(reason);
    }
  }
  if (IsCSharpKeyword(table)) reasons.push_back({CSharpProblem::Keyword});
  const bool stateX = !fields.empty() && fields.back().columnName == "X";
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const std::string& name = fields[i].columnName;
    if (stateX && i + 1 < fields.size() && name == "X") reasons.push_back({CSharpProblem::SecondX, i});
    if (name == table) reasons.push_back({CSharpProblem::NamedLikeClass, i});
    if (IsCSharpKeyword(name)) reasons.push_back({CSharpProblem::Keyword, i});
  }
  return reasons;
}

}  // namespace kelvane
