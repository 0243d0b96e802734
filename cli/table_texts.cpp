#include "cli/table_texts.h"

#include <vector>

#include "cli/failures.h"
#include "cli/messages.h"
#include "cli/name_checks.h"
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

int TextOptionsFor(const Settings& settings, const std::string& table, const FieldTable& fields,
                   const ColumnFactsList& facts, TextOptions& options, std::string& message,
                   const BeforeWarning& beforeWarning) {
  options = TextOptions{};
  if (!settings.key.empty()) {
    const KeyChoice choice = ChooseKeyColumn(settings.key, fields, facts, PrintableName);
    if (!choice.problem.empty()) {
      message = "table " + Quoted(table) + ": " + choice.problem;
      return kExitUsage;
    }
    options.keyPosition = choice.position;
  }
  if (settings.comments) options.comments = CommentsOf(facts);
  std::string warning =
      KeyWarningText(table, fields, facts, options.keyPosition, PrintableName);
  if (warning.empty()) return kExitOk;
  if (settings.key.empty() && FindTableKey(fields, facts).primary.size() == 1)
    warning += "; --key auto makes it the key column";
  beforeWarning();
  Error("warning: " + warning);
  return kExitOk;
}

}  // namespace kelvane::cli
