// 易语言 class module: one module variable and one read/set accessor per FieldTable entry.
// The last entry (by position) is the state flag and its accessor carries the comments that
// explain the state codes.
#include "generators/generators.h"

namespace kelvane {

namespace {

constexpr std::string_view kLastSubComment = ", 公开,本子程序仅为系统内部使用，请不要随意使用\r\n";
constexpr std::string_view kLastParamComment =
    ", 可空,0-正常（与数据库一至），1-增加（数据库未增），2-更改（数据库未改），3-删除（数据库未删）\r\n";

}  // namespace

std::string BuildClassModuleText(const std::string& tableName, const FieldTable& fields) {
  std::string out;
  // Header and fixed subroutines take about 260 bytes; one variable line plus one accessor
  // block take about 150 bytes plus the names; the last block's comments add about 250.
  std::size_t size = 640 + tableName.size();
  for (const FieldRecord& f : fields) {
    size += 160 + 7 * f.columnName.size() + 4 * f.eplType.size() + 3 * f.prefix.size();
  }
  out.reserve(size);

  out += ".版本 2\r\n";
  out += "\r\n";
  out += ".类程序集 ";
  out += tableName;
  out += "类, ,公开\r\n";
  for (const FieldRecord& f : fields) {
    out += ".程序集变量 ";
    out += f.prefix;
    out += f.columnName;
    out += ',';
    out += f.eplType;
    out += "\r\n";
  }
  out += "\r\n";
  out += ".子程序 _初始化, , , 当基于本类的对象被创建后，此方法会被自动调用\r\n";
  out += ".子程序 _销毁, , , 当基于本类的对象被销毁前，此方法会被自动调用\r\n";
  out += "\r\n";

  const std::size_t count = fields.size();
  for (std::size_t i = 0; i < count; ++i) {
    const FieldRecord& f = fields[i];
    // Chosen by position: a column of the table that is also named X is not the last one.
    const bool last = (i + 1 == count);

    out += ".子程序 ";
    out += f.columnName;
    out += ", ";
    out += f.eplType;
    if (last) {
      out += kLastSubComment;
    } else {
      out += ", 公开\r\n";
    }

    out += ".参数 _";
    out += f.columnName;
    out += ", ";
    out += f.eplType;
    if (last) {
      out += kLastParamComment;
    } else {
      out += ", 可空\r\n";
    }

    out += ".如果真 (取反 (是否为空 (_";
    out += f.columnName;
    out += ")))\r\n";

    out += "     ";
    out += f.prefix;
    out += f.columnName;
    out += "=_";
    out += f.columnName;
    out += "\r\n";

    out += ".如果真结束\r\n";

    out += "返回(";
    out += f.prefix;
    out += f.columnName;
    out += ")\r\n";

    out += "\r\n";
  }
  return out;
}

}  // namespace kelvane
