// The JSON extension subroutines of the set class (扩展_导出Json, 扩展_导入Json), which
// also end the whole set-class text.
#include <cstddef>
#include <string>
#include <string_view>

#include "generators/generators.h"
#include "generators/set_class_names.h"

namespace kelvane {

namespace {

struct SetterByPrefix {
  std::string_view prefix;
  std::string_view argument;
};

// The argument of the member setter that reads a column's property back, checked in this
// order, whole text, first match wins. The export side writes every value with 到文本, so a
// prefix outside the table is read back as text.
constexpr SetterByPrefix kSetters[] = {
    {"Jx", "(GoTmp.取小数值 ())"},
    {"Jb", "(GoTmp.取文本值 ())"},
    {"Jl", "(GoTmp.取逻辑值 ())"},
    {"Jz", "(GoTmp.取整数值 ())"},
    {"Jw", "(GoTmp.取文本值 ())"},
    {"Jr", "(到时间 (GoTmp.取文本值 ()))"},
    {"Jj", "(GoTmp.取文本值 ())"},
};
constexpr std::string_view kTextSetter = "(GoTmp.取文本值 ())";

std::string_view SetterFor(const std::string& prefix) {
  for (const auto& entry : kSetters) {
    if (prefix == entry.prefix) return entry.argument;
  }
  return kTextSetter;
}

// Section 8: the records whose key equals _id as a JSON array, one property per column.
void AppendExportSub(std::string& out, const std::string& tableName, const FieldTable& fields,
                     std::size_t columnCount) {
  out += ".子程序 扩展_导出Json, 文本型, 公开\r\n";
  out += ".参数 _id, 整数型, \r\n";
  out += " .局部变量 GoJSON, 彗星JSON\r\n";
  out += " .局部变量 GoTmp, 彗星JSON\r\n";
  out += " .局部变量 i, 整数型\r\n";
  out += "        .计次循环首 (取数组成员数 (Jo";
  out += tableName;
  out += "集), i)\r\n";
  out += "           .如果真 (Jo";
  out += tableName;
  out += "集[i].";
  out += setclass::KeyColumn(fields);
  out += "()=_id)\r\n";
  for (std::size_t k = 0; k < columnCount; ++k) {
    const std::string& name = fields[k].columnName;
    out += "             GoTmp.置属性 ( “";
    out += name;
    out += "”,到文本（Jo";
    out += tableName;
    out += "集[i].";
    out += name;
    out += "()) )\r\n";
  }
  out += "                GoJSON.加入数组成员 (GoTmp)\r\n";
  out += "          .如果真结束\r\n";
  out += "\r\n";
  out += "    .计次循环尾 ()\r\n";
  out += "    返回 (GoJSON.到格式化文本 ())\r\n";
}

// Section 9: appends one record per member of a JSON array; the last line of the text.
void AppendImportSub(std::string& out, const std::string& tableName, const FieldTable& fields,
                     std::size_t columnCount) {
  out += ".子程序 扩展_导入Json, 逻辑型, 公开\r\n";
  out += ".参数 _JSON格式化文本, 文本型, 可空\r\n";
  out += ".参数 _是否清空原有数据, 逻辑型\r\n";
  out += " .局部变量 Go";
  out += tableName;
  out += ",  ";
  out += tableName;
  out += "类\r\n";
  out += " .局部变量 GoJSON, 彗星JSON\r\n";
  out += " .局部变量 GoTmp, 彗星JSON\r\n";
  out += " .局部变量 GoTmp1, 彗星JSON\r\n";
  out += " .局部变量 j, 整数型\r\n";
  out += " .局部变量 i, 整数型\r\n";
  out += ".如果真 (是否为空 (_JSON格式化文本))\r\n";
  out += "    返回 (假)\r\n";
  out += ".如果真结束\r\n";
  out += ".如果真 (取反 (GoJSON.解析 (_JSON格式化文本, )))\r\n";
  out += "    返回 (假)\r\n";
  out += ".如果真结束\r\n";
  out += ".如果真 (_是否清空原有数据)\r\n";
  out += "        清除数组 (Jo";
  out += tableName;
  out += "集)\r\n";
  out += ".如果真结束\r\n";
  out += " .计次循环首 (GoJSON.取数组成员数 (), i)\r\n";
  out += " GoTmp1 ＝ GoJSON.取数组成员 (i)\r\n";
  for (std::size_t k = 0; k < columnCount; ++k) {
    const FieldRecord& column = fields[k];
    out += "   GoTmp.解析  (“”)\r\n";
    out += "   GoTmp ＝ GoTmp1.取属性 (“";
    out += column.columnName;
    out += "”)\r\n";
    out += "      Go";
    out += tableName;
    out += ".";
    out += column.columnName;
    out += SetterFor(column.prefix);
    out += "\r\n";
  }
  out += "    加入成员 (Jo";
  out += tableName;
  out += "集, Go";
  out += tableName;
  out += ")\r\n";
  out += " .计次循环尾 ()\r\n";
  // Two left curly quotes in a row (not an empty pair), emitted exactly so.
  out += "    GoTmp.解析 (““, )\r\n";
  out += "返回 (真)\r\n";
}

}  // namespace

void AppendJsonSubs(std::string& out, const std::string& tableName, const FieldTable& fields) {
  const std::size_t columnCount = setclass::ColumnRecordCount(fields);

  // 36 fixed lines and four per column; ~80 bytes a line is generous for ordinary names.
  out.reserve(out.size() + (36 + 4 * columnCount) * 80 + 8 * tableName.size());

  AppendExportSub(out, tableName, fields, columnCount);
  // No blank line between the two subroutines: 扩展_导入Json follows directly.
  AppendImportSub(out, tableName, fields, columnCount);
}

}  // namespace kelvane
