// generate: one pane's text for one table on standard output.
#include <string>

#include "cli/commands.h"
#include "cli/failures.h"
#include "cli/messages.h"
#include "cli/name_checks.h"
#include "cli/server_reads.h"
#include "cli/table_export.h"
#include "cli/table_texts.h"

namespace kelvane::cli {

int GenerateCommand(const Settings& settings) {
  FieldTable fields;
  ColumnFactsList facts;
  std::string refused = ControlCharacterProblem(settings.table, {});
  if (!refused.empty()) {
    Error(refused);
    return kExitControlName;
  }
  if (int code = ReadOneTable(settings, fields, facts)) return code;
  if (int code = CheckNames(settings.table, fields, refused, [] {})) {
    Error(refused);
    return code;
  }
  TextOptions options;
  const Pane pane = PaneNames().at(settings.pane);
  if (int code = TextOptionsFor(settings, settings.table, fields, facts, pane == Pane::CSharpEntity, options,
                                refused, [] {})) {
    Error(refused);
    return code;
  }
  const Encoding encoding = ChosenEncoding(settings, Encoding::Utf8);
  if (encoding == Encoding::Gbk) {
    const std::string problem = GbkNameProblem(settings.table, fields);
    if (!problem.empty()) {
      Error(problem);
      return kExitEncoding;
    }
  }
  std::string bytes, problem;
  if (!Encode(BuildPaneText(pane, settings.table, fields, options), encoding,
              bytes, problem)) {
    Error("table " + Quoted(settings.table) + ": " + problem + "; use --encoding utf-8");
    return kExitEncoding;
  }
  return WriteOut(bytes) ? kExitOk : kExitOther;
}

}  // namespace kelvane::cli
