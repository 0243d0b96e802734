// 易语言 custom data type: one member per FieldTable entry, named and typed as the column.
#include "generators/generators.h"
#include "generators/text_writer.h"

namespace kelvane {

std::string BuildCustomTypeText(const std::string& tableName, const FieldTable& fields) {
  // Fixed part is about 40 bytes; a member line is about 20 bytes plus name and type.
  std::size_t size = 48 + tableName.size();
  for (const FieldRecord& f : fields) size += 20 + f.columnName.size() + f.eplType.size();
  TextWriter out(size);

  out.Put(".版本 2\r\n");
  out.Put(".数据类型 ", tableName, "\r\n");
  for (const FieldRecord& f : fields) {
    // bare comma, no space: the member syntax of a data type
    out.Put("    .成员 ", f.columnName, ',', f.eplType, "\r\n");
  }
  return out.Take();
}

}  // namespace kelvane
