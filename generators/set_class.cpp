#include "generators/generators.h"

namespace kelvane {

std::string BuildSetClassText(const std::string& tableName, const FieldTable& fields) {
  // Room for the whole text up front, so that no section moves it: about 1 KB of fixed text
  // per column plus the names, which each column line repeats (the table name nine times per
  // column, a column name up to 20 times in all).
  std::size_t nameBytes = 0;
  for (const FieldRecord& f : fields) nameBytes += f.columnName.size();
  std::string out;
  out.reserve(16384 + fields.size() * (1024 + 9 * tableName.size()) + 24 * nameBytes);
  out += ".版本 2\r\n\r\n";
  AppendSetClassHeader(out, tableName, fields);
  AppendLocalArraySubs(out, tableName, fields);
  AppendDbWriteSubs(out, tableName, fields);
  AppendDbReadSubs(out, tableName, fields);
  AppendControlBindingSubs(out, tableName, fields);
  AppendJsonSubs(out, tableName, fields);
  return out;
}

}  // namespace kelvane
