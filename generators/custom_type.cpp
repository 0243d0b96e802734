// 易语言 custom data type: one member per FieldTable entry, named and typed as the column.
#include "generators/generators.h"

namespace kelvane {

std::string BuildCustomTypeText(const std::string& tableName, const FieldTable& fields) {
  std::string out;
  // Fixed part is about 40 bytes; a member line is about 20 bytes plus name and type.
  std::size_t size = 48 + tableName.size();
  for (const FieldRecord& f : fields) size += 20 + f.columnName.size() + f.eplType.size();
  out.reserve(size);

  out += ".版本 2\r\n";
  out += ".数据类型 ";
  out += tableName;
  out += "\r\n";
  for (const FieldRecord& f : fields) {
    out += "    .成员 ";
    out += f.columnName;
    out += ',';  // bare comma, no space: the member syntax of a data type
    out += f.eplType;
    out += "\r\n";
  }
  return out;
}

}  // namespace kelvane
