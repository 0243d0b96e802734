#include "generators/generators.h"

namespace kelvane {

std::string BuildSetClassText(const std::string& tableName, const FieldTable& fields) {
  // Room for the usual whole text up front (about 16 KB of fixed text, then about 1 KB per
  // column with its names); a longer text simply grows.
  std::string out;
  out.reserve(16384 + 1024 * fields.size());
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
