#include "generators/generators.h"

namespace kelvane {

std::string BuildSetClassText(const std::string& tableName, const FieldTable& fields,
                              const TextOptions& options) {
  // Room for the usual whole text up front (about 16 KB of fixed text, then about 1 KB per
  // column with its names); a longer text simply grows.
  std::string out;
  out.reserve(16384 + 1024 * fields.size());
  out += ".版本 2\r\n\r\n";
  AppendSetClassHeader(out, tableName, fields);
  AppendLocalArraySubs(out, tableName, fields, options);
  AppendDbWriteSubs(out, tableName, fields, options);
  AppendDbReadSubs(out, tableName, fields, options);
  AppendControlBindingSubs(out, tableName, fields, options);
  AppendJsonSubs(out, tableName, fields, options);
  return out;
}

}  // namespace kelvane
