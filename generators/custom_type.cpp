// 易语言 custom data type: one member per FieldTable entry, named and typed as the column.
#include "generators/generators.h"
#include "generators/text_writer.h"
#include "generators/remarks.h"

namespace kelvane {

std::string BuildCustomTypeText(const std::string& tableName, const FieldTable& fields,
                                const TextOptions& options) {
  // Fixed part is about 40 bytes; a member line is about 20 bytes plus name and type.
  std::size_t size = 48 + tableName.size();
  for (const FieldRecord& f : fields) size += 20 + f.columnName.size() + f.eplType.size();
  for (const std::string& comment : options.comments) size += 4 + comment.size();
  TextWriter out(size);

  out.Put(".版本 2\r\n");
  out.Put(".数据类型 ", tableName, "\r\n");
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const FieldRecord& f = fields[i];
    // bare comma, no space: the member syntax of a data type
    out.Put("    .成员 ", f.columnName, ',', f.eplType);
    // The remark is the fifth field, after the empty 传址 and 数组 fields.
    const std::string remark = RemarkAt(options, i);
    if (!remark.empty()) out.Put(",,,", remark);
    out.Put("\r\n");
  }
  return out.Take();
}

}  // namespace kelvane
