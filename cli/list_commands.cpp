// databases, tables and columns: listings, one line per name or column.
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/failures.h"
#include "cli/messages.h"
#include "cli/safe_names.h"
#include "cli/server_reads.h"

namespace kelvane::cli {

int ListCommand(const Settings& settings, bool databases) {
  SchemaSession connection;
  if (int code = Connect(settings, databases ? "" : settings.database, connection)) return code;
  std::vector<std::string> names;
  if (int code = List(connection.handle(), settings, databases, names)) return code;
  std::string text;
  for (const std::string& name : names) text += Printable(name) + "\n";
  return WriteOut(text) ? kExitOk : kExitOther;
}

int ColumnsCommand(const Settings& settings) {
  FieldTable fields;
  ColumnFactsList facts;
  if (int code = ReadOneTable(settings, fields, facts)) return code;
  std::string text;
  for (const FieldRecord& field : fields)
    text += Printable(field.columnName, "|") + "|" + field.eplType + "|" + field.prefix + "|" + field.csharpType +
            "\n";
  return WriteOut(text) ? kExitOk : kExitOther;
}

}  // namespace kelvane::cli
