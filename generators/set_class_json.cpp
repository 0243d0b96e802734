// The JSON extension subroutines of the set class (扩展_导出Json, 扩展_导入Json), which
// also end the whole set-class text.
#include <cstddef>
#include <string>
#include <string_view>

#include "generators/generators.h"
#include "generators/set_class_names.h"
#include "generators/text_writer.h"

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
    {"Jx", "(GoTmp.取小数值 ())"}, {"Jb", "(GoTmp.取文本值 ())"},
    {"Jl", "(GoTmp.取逻辑值 ())"}, {"Jz", "(GoTmp.取整数值 ())"},
    {"Jw", "(GoTmp.取文本值 ())"}, {"Jr", "(到时间 (GoTmp.取文本值 ()))"},
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
                     std::size_t columnCount, const std::string& key) {
  out.Line(".子程序 扩展_导出Json, 文本型, 公开");
  out.Line(".参数 _id, 整数型, ");
  out.Line(" .局部变量 GoJSON, 彗星JSON");
  out.Line(" .局部变量 GoTmp, 彗星JSON");
  out.Line(" .局部变量 i, 整数型");
  out.Line("        .计次循环首 (取数组成员数 (Jo", tableName, "集), i)");
  out.Line("           .如果真 (Jo", tableName, "集[i].", key, "()=_id)");
  for (std::size_t k = 0; k < columnCount; ++k) {
    const std::string& name = fields[k].columnName;
    out.Line("             GoTmp.置属性 ( “", name, "”,到文本（Jo", tableName, "集[i].", name,
             "()) )");
  }
  out.Line("                GoJSON.加入数组成员 (GoTmp)");
  out.Line("          .如果真结束");
  out.Line();
  out.Line("    .计次循环尾 ()");
  out.Line("    返回 (GoJSON.到格式化文本 ())");
}

// Section 9: appends one record per member of a JSON array; the last line of the text.
void AppendImportSub(TextWriter& out, const std::string& tableName, const FieldTable& fields,
                     std::size_t columnCount) {
  out.Line(".子程序 扩展_导入Json, 逻辑型, 公开");
  out.Line(".参数 _JSON格式化文本, 文本型, 可空");
  out.Line(".参数 _是否清空原有数据, 逻辑型");
  out.Line(" .局部变量 Go", tableName, ",  ", tableName, "类");
  out.Line(" .局部变量 GoJSON, 彗星JSON");
  out.Line(" .局部变量 GoTmp, 彗星JSON");
  out.Line(" .局部变量 GoTmp1, 彗星JSON");
  out.Line(" .局部变量 j, 整数型");
  out.Line(" .局部变量 i, 整数型");
  out.Line(".如果真 (是否为空 (_JSON格式化文本))");
  out.Line("    返回 (假)");
  out.Line(".如果真结束");
  out.Line(".如果真 (取反 (GoJSON.解析 (_JSON格式化文本, )))");
  out.Line("    返回 (假)");
  out.Line(".如果真结束");
  out.Line(".如果真 (_是否清空原有数据)");
  out.Line("        清除数组 (Jo", tableName, "集)");
  out.Line(".如果真结束");
  out.Line(" .计次循环首 (GoJSON.取数组成员数 (), i)");
  out.Line(" GoTmp1 ＝ GoJSON.取数组成员 (i)");
  for (std::size_t k = 0; k < columnCount; ++k) {
    const FieldRecord& column = fields[k];
    out.Line("   GoTmp.解析  (“”)");
    out.Line("   GoTmp ＝ GoTmp1.取属性 (“", column.columnName, "”)");
    out.Line("      Go", tableName, ".", column.columnName, SetterFor(column.prefix));
  }
  out.Line("    加入成员 (Jo", tableName, "集, Go", tableName, ")");
  out.Line(" .计次循环尾 ()");
  // Two left curly quotes in a row (not an empty pair), emitted exactly so.
  out.Line("    GoTmp.解析 (““, )");
  out.Line("返回 (真)");
}

}  // namespace

void AppendJsonSubs(std::string& text, const std::string& tableName, const FieldTable& fields,
                    const TextOptions& options) {
  const std::size_t columnCount = setclass::ColumnRecordCount(fields);
  TextWriter out(text);

  AppendExportSub(out, tableName, fields, columnCount, setclass::KeyColumn(fields, options));
  // No blank line between the two subroutines: 扩展_导入Json follows directly.
  AppendImportSub(out, tableName, fields, columnCount);
}

}  // namespace kelvane
