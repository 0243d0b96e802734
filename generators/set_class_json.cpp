// The JSON extension subroutines of the set class (扩展_导出Json, 扩展_导入Json), which
// also end the whole set-class text.
#include <cstddef>
#include <string>
#include <string_view>

#include "generators/generators.h"
#include "generators/set_class_append.h"
#include "generators/set_class_names.h"

namespace kelvane {

namespace {

using setclass::Line;

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
    if (setclass::SamePrefix(prefix, entry.prefix)) return entry.argument;
  }
  return kTextSetter;
}

// Section 8: the records whose key equals _id as a JSON array, one property per column.
void AppendExportSub(TextWriter& out, const std::string& tableName, const FieldTable& fields,
                     std::size_t columnCount) {
  Line(out, ".子程序 扩展_导出Json, 文本型, 公开");
  Line(out, ".参数 _id, 整数型, ");
  Line(out, " .局部变量 GoJSON, 彗星JSON");
  Line(out, " .局部变量 GoTmp, 彗星JSON");
  Line(out, " .局部变量 i, 整数型");
  Line(out, "        .计次循环首 (取数组成员数 (Jo", tableName, "集), i)");
  Line(out, "           .如果真 (Jo", tableName, "集[i].", setclass::KeyColumn(fields), "()=_id)");
  for (std::size_t k = 0; k < columnCount; ++k) {
    const std::string& name = fields[k].columnName;
    Line(out, "             GoTmp.置属性 ( “", name, "”,到文本（Jo", tableName, "集[i].", name,
         "()) )");
  }
  Line(out, "                GoJSON.加入数组成员 (GoTmp)");
  Line(out, "          .如果真结束");
  Line(out);
  Line(out, "    .计次循环尾 ()");
  Line(out, "    返回 (GoJSON.到格式化文本 ())");
}

// Section 9: appends one record per member of a JSON array; the last line of the text.
void AppendImportSub(TextWriter& out, const std::string& tableName, const FieldTable& fields,
                     std::size_t columnCount) {
  Line(out, ".子程序 扩展_导入Json, 逻辑型, 公开");
  Line(out, ".参数 _JSON格式化文本, 文本型, 可空");
  Line(out, ".参数 _是否清空原有数据, 逻辑型");
  Line(out, " .局部变量 Go", tableName, ",  ", tableName, "类");
  Line(out, " .局部变量 GoJSON, 彗星JSON");
  Line(out, " .局部变量 GoTmp, 彗星JSON");
  Line(out, " .局部变量 GoTmp1, 彗星JSON");
  Line(out, " .局部变量 j, 整数型");
  Line(out, " .局部变量 i, 整数型");
  Line(out, ".如果真 (是否为空 (_JSON格式化文本))");
  Line(out, "    返回 (假)");
  Line(out, ".如果真结束");
  Line(out, ".如果真 (取反 (GoJSON.解析 (_JSON格式化文本, )))");
  Line(out, "    返回 (假)");
  Line(out, ".如果真结束");
  Line(out, ".如果真 (_是否清空原有数据)");
  Line(out, "        清除数组 (Jo", tableName, "集)");
  Line(out, ".如果真结束");
  Line(out, " .计次循环首 (GoJSON.取数组成员数 (), i)");
  Line(out, " GoTmp1 ＝ GoJSON.取数组成员 (i)");
  for (std::size_t k = 0; k < columnCount; ++k) {
    const FieldRecord& column = fields[k];
    Line(out, "   GoTmp.解析  (“”)");
    Line(out, "   GoTmp ＝ GoTmp1.取属性 (“", column.columnName, "”)");
    Line(out, "      Go", tableName, ".", column.columnName, SetterFor(column.prefix));
  }
  Line(out, "    加入成员 (Jo", tableName, "集, Go", tableName, ")");
  Line(out, " .计次循环尾 ()");
  // Two left curly quotes in a row (not an empty pair), emitted exactly so.
  Line(out, "    GoTmp.解析 (““, )");
  Line(out, "返回 (真)");
}

}  // namespace

void AppendJsonSubs(std::string& text, const std::string& tableName, const FieldTable& fields) {
  const std::size_t columnCount = setclass::ColumnRecordCount(fields);

  std::size_t nameBytes = 0;
  for (std::size_t k = 0; k < columnCount; ++k) nameBytes += fields[k].columnName.size();
  // 36 fixed lines and four per column, each within 80 bytes apart from the names; a column
  // name appears five times, the table name in two per-column lines and ~8 fixed ones.
  TextWriter out(text, (36 + 4 * columnCount) * 80 + 5 * nameBytes +
                           (8 + 2 * columnCount) * tableName.size() +
                           setclass::KeyColumn(fields).size());

  AppendExportSub(out, tableName, fields, columnCount);
  // No blank line between the two subroutines: 扩展_导入Json follows directly.
  AppendImportSub(out, tableName, fields, columnCount);
}

}  // namespace kelvane
