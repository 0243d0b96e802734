#include "cli/table_texts.h"

#include <vector>

#include "cli/failures.h"
#include "cli/messages.h"
#include "cli/name_checks.h"
#include "cli/safe_names.h"
#include "cli/server_reads.h"
#include "schema/table_key.h"

namespace kelvane::cli {

int CheckNames(const std::string& table, const FieldTable& fields, std::string& message,
               const BeforeWarning& beforeWarning) {
  message = ControlCharacterProblem(table, fields);
  if (!message.empty()) return kExitControlName;
  const std::vector<std::string> warnings = IdentifierWarnings(table, fields);
  if (!warnings.empty()) beforeWarning();
  for (const std::string& warning : warnings) Error(warning);
  return kExitOk;
}

std::vector<std::string> CSharpWarnings(const std::string& table, const FieldTable& fields,
                                        const std::vector<CSharpReason>& reasons) {
  const auto column = [&](std::size_t i) { return Quoted(fields[i].columnName); };
  std::vector<std::string> warnings;
  for (const CSharpReason& reason : reasons) {
    std::string why;
    switch (reason.problem) {
      case CSharpProblem::NoIdColumn:
        why = "its list class's 删除, 修改 and 提取 compare the property \"id\", and the table has no column \"id\"";
        break;
      case CSharpProblem::IdNotComparable:
        why = "its list class's 删除, 修改 and 提取 compare column " + column(reason.column) + " (C# " +
              Printable(fields[reason.column].csharpType) + ") with an int";
        break;
      case CSharpProblem::SecondX:
        why = "column " + column(reason.column) + " and the state column X are both declared as property X";
        break;
      case CSharpProblem::NamedLikeClass:
        why = (reason.column + 1 == fields.size() ? "the state column " : "column ") + column(reason.column) +
              " has the name of its class";
        break;
      case CSharpProblem::Keyword:
        continue;
    }
    if (reason.fix == CSharpFix::KeyAuto && reason.fixColumn == reason.column)
      why += "; --key auto compares it with an argument of its own type";
    else if (reason.fix == CSharpFix::KeyAuto)
      why += "; --key auto compares the primary key " + column(reason.fixColumn) + " instead";
    else if (reason.fix == CSharpFix::KeyColumn)
      why += "; --key with the unique not-null column " + column(reason.fixColumn) + " compares it instead";
    warnings.push_back("warning: table " + Quoted(table) + ": the C# entity text will not compile: " + why);
  }
  return warnings;
}

int TextOptionsFor(const Settings& settings, const std::string& table, const FieldTable& fields,
                   const ColumnFactsList& facts, bool csharpEntity, TextOptions& options,
                   std::string& message, const BeforeWarning& beforeWarning) {
  options = TextOptions{};
  if (!settings.key.empty()) {
    const KeyChoice choice = ChooseKeyColumn(settings.key, fields, facts, PrintableName);
    if (!choice.problem.empty()) {
      message = "table " + Quoted(table) + ": " + choice.problem;
      return kExitUsage;
    }
    options.keyPosition = choice.position;
    options.keyInCSharpList = true;
  }
  if (settings.comments) options.comments = CommentsOf(facts);
  std::vector<std::string> warnings;
  std::string keyWarning =
      KeyWarningText(table, fields, facts, options.keyPosition, PrintableName);
  if (!keyWarning.empty()) {
    if (settings.key.empty() && FindTableKey(fields, facts).primary.size() == 1)
      keyWarning += "; --key auto makes it the key column";
    warnings.push_back("warning: " + keyWarning);
  }
  if (csharpEntity) {
    const std::size_t listKey = options.keyInCSharpList ? options.keyPosition : kNoColumn;
    for (std::string& warning : CSharpWarnings(table, fields, CSharpEntityProblems(table, fields, facts, listKey)))
      warnings.push_back(std::move(warning));
  }
  if (!warnings.empty()) beforeWarning();
  for (const std::string& warning : warnings) Error(warning);
  return kExitOk;
}

std::string FolderMapping(const std::vector<FolderName>& folders) {
  std::string mapping;
  for (const FolderName& entry : folders)
    if (entry.changed) mapping += "table " + Quoted(entry.table) + " -> folder " + entry.folder + "\n";
  return mapping;
}

std::string TableCount(std::size_t n) { return std::to_string(n) + (n == 1 ? " table" : " tables"); }

int TableFiles(ConnectionHandle connection, const Settings& settings, const FolderName& entry, Encoding encoding,
               std::vector<OutputFile>& files, std::string& error, bool& serverGone,
               const BeforeWarning& beforeWarning) {
  FieldTable fields;
  ColumnFactsList facts;
  TextOptions options;
  // A name no text can carry is refused before anything is read for it.
  error = ControlCharacterProblem(entry.table, {});
  int code = error.empty() ? kExitOk : kExitControlName;
  if (code == kExitOk) code = ReadTable(connection, settings, entry.table, true, fields, facts, error, serverGone);
  if (code == kExitOk) code = CheckNames(entry.table, fields, error, beforeWarning);
  if (code == kExitOk) code = TextOptionsFor(settings, entry.table, fields, facts, true, options, error, beforeWarning);
  if (code == kExitOk && !BuildTableFiles(entry.table, entry.folder, fields, options, encoding, files, error))
    code = kExitEncoding;
  return code;
}

}  // namespace kelvane::cli
