#include "generators/generators.h"

namespace kelvane {

std::string BuildSetClassText(const std::string& tableName, const FieldTable& fields) {
  std::string out;
  out.reserve(16384 + fields.size() * 1024);
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
