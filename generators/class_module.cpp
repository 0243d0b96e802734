// 易语言 class module: one module variable and one read/set accessor per FieldTable entry.
// The last entry (by position) is the state flag and its accessor carries the comments that
// explain the state codes.
#include "generators/generators.h"
#include "generators/text_writer.h"
#include "generators/remarks.h"

namespace kelvane {

namespace {

constexpr std::string_view kLastSubComment = ", 公开,本子程序仅为系统内部使用，请不要随意使用\r\n";
constexpr std::string_view kLastParamComment =
    ", 可空,0-正常（与数据库一至），1-增加（数据库未增），2-更改（数据库未改），3-删除（数据库未删）\r\n";

}  // namespace

std::string BuildClassModuleText(const std::string& tableName, const FieldTable& fields,
                                 const TextOptions& options) {
  // Header and fixed subroutines take about 260 bytes; one variable line plus one accessor
  // block take about 150 bytes plus the names; the last block's comments add about 250.
  std::size_t size = 640 + tableName.size();
  for (const FieldRecord& f : fields) {
    size += 160 + 7 * f.columnName.size() + 4 * f.eplType.size() + 3 * f.prefix.size();
  }
  for (const std::string& comment : options.comments) size += 8 + 2 * comment.size();
  TextWriter out(size);

  out.Put(".版本 2\r\n");
  out.Put("\r\n");
  out.Put(".类程序集 ", tableName, "类, ,公开\r\n");
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const FieldRecord& f = fields[i];
    out.Put(".程序集变量 ", f.prefix, f.columnName, ',', f.eplType);
    // The remark is the fifth field, after the empty 静态 and 数组 fields.
    const std::string remark = RemarkAt(options, i);
    if (!remark.empty()) out.Put(",,,", remark);
    out.Put("\r\n");
  }
  out.Put("\r\n");
  out.Put(".子程序 _初始化, , , 当基于本类的对象被创建后，此方法会被自动调用\r\n");
  out.Put(".子程序 _销毁, , , 当基于本类的对象被销毁前，此方法会被自动调用\r\n");
  out.Put("\r\n");

  const std::size_t count = fields.size();
  for (std::size_t i = 0; i < count; ++i) {
    const FieldRecord& f = fields[i];
    // Chosen by position: a column of the table that is also named X is not the last one.
    const bool last = (i + 1 == count);

    if (last) {
      out.Put(".子程序 ", f.columnName, ", ", f.eplType, kLastSubComment);
    } else {
      // The remark is the fourth field, after the last comma without a space, as the last
      // block's comment stands.
      const std::string remark = RemarkAt(options, i);
      out.Put(".子程序 ", f.columnName, ", ", f.eplType, ", 公开");
      if (!remark.empty()) out.Put(',', remark);
      out.Put("\r\n");
    }

    if (last) {
      out.Put(".参数 _", f.columnName, ", ", f.eplType, kLastParamComment);
    } else {
      out.Put(".参数 _", f.columnName, ", ", f.eplType, ", 可空\r\n");
    }

    out.Put(".如果真 (取反 (是否为空 (_", f.columnName, ")))\r\n");
    out.Put("     ", f.prefix, f.columnName, "=_", f.columnName, "\r\n");
    out.Put(".如果真结束\r\n");
    out.Put("返回(", f.prefix, f.columnName, ")\r\n");
    out.Put("\r\n");
  }
  return out.Take();
}

}  // namespace kelvane
