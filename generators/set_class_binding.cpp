// The seven control-binding extension subroutines of the set class (扩展_到高表头 to
// 扩展_到超级列表框). Column loops run here and are unrolled into the emitted text; loops
// over the records of the set are emitted as 易语言 loops that run in the generated program.
#include <cstddef>
#include <string>
#include <string_view>

#include "generators/generators.h"
#include "generators/set_class_names.h"
#include "generators/text_writer.h"

namespace kelvane {

namespace {

// How the super list box shows a column's value in its cell.
enum class CellForm { ToText, Bare, DateTime };

struct CellFormByPrefix {
  std::string_view prefix;
  CellForm form;
};

// Checked in this order, whole text, first match wins. A prefix outside the table gets the
// to-text form, like every column that is neither text nor date-time.
constexpr CellFormByPrefix kCellForms[] = {
    {"Jx", CellForm::ToText}, {"Jb", CellForm::ToText}, {"Jl", CellForm::ToText},
    {"Jz", CellForm::ToText}, {"Jw", CellForm::Bare},   {"Jr", CellForm::DateTime},
    {"Jj", CellForm::ToText},
};

CellForm CellFormFor(const std::string& prefix) {
  for (const auto& entry : kCellForms) {
    if (setclass::SamePrefix(prefix, entry.prefix)) return entry.form;
  }
  return CellForm::ToText;
}

// Sections 1 and 2: the advanced grid (header row, then one row per record).
void AppendGridSubs(TextWriter& out, const std::string& tableName, const FieldTable& fields,
                    std::size_t columnCount) {
  out.Line(".子程序 扩展_到高表头,, 公开");
  out.Line(".参数 _高级表格,高级表格");
  out.Line(" _高级表格.表头行数 ＝ 0");
  out.Line(" _高级表格.表头列数 ＝ 0");
  out.Line(" _高级表格.行数 ＝ 1");
  out.Line(" _高级表格.列数 ＝ 1");
  out.Line(" _高级表格.表头行数 ＝ 1");
  out.Line(" _高级表格.列数 ＝", Decimal(columnCount));
  for (std::size_t k = 0; k < columnCount; ++k) {
    out.Line(" _高级表格.置数据 (0, ", Decimal(k), ", #表格常量.文本型,“", fields[k].columnName,
             "”) ");
  }
  for (std::size_t k = 0; k < columnCount; ++k) {
    out.Line(" _高级表格.置列宽 (", Decimal(k), ",100）");
  }

  out.Line(".子程序 扩展_到高级表格,, 公开");
  out.Line(".参数 _高级表格,高级表格");
  out.Line(".参数 _", tableName, "集, ", tableName, "类, 参考 可空 数组");
  out.Line(" .局部变量 i, 整数型");
  out.Line(" .局部变量 Go", tableName, "集, ", tableName, "类, , 0");
  out.Line(" .判断开始 (是否为空 (_", tableName, "集))");
  out.Line("     复制数组 (Go", tableName, "集, Jo", tableName, "集)");
  out.Line(" .默认");
  out.Line("     复制数组 (Go", tableName, "集, _", tableName, "集)");
  out.Line(" .判断结束");
  out.Line(" _高级表格.行数 ＝ 1");
  out.Line(" _高级表格.行数 ＝ 取数组成员数 (Go", tableName, "集) ＋ 1");
  out.Line(".计次循环首 (取数组成员数 (Go", tableName, "集), i)");
  for (std::size_t k = 0; k < columnCount; ++k) {
    const FieldRecord& column = fields[k];
    // Only date-time columns are formatted; every other type goes through 到文本.
    const bool dateTime = setclass::SamePrefix(column.prefix, "Jr");
    const std::string_view open =
        dateTime ? ", #表格常量.文本型,时间_格式化EX(Go" : ", #表格常量.文本型,到文本（Go";
    const std::string_view close = dateTime ? "(), , , 3)) " : "())） ";
    out.Line(" _高级表格.置数据 (i, ", Decimal(k), open, tableName, "集[i].", column.columnName,
             close);
  }
  out.Line(".计次循环尾 ()");
}

// The 加入项目 line shared by the combo box and list box subroutines: the second column is
// the item text, the key column the item number.
void AppendAddItem(TextWriter& out, std::string_view indent, std::string_view boxed,
                   const std::string& tableName, const std::string& keyColumn,
                   const std::string& secondColumn) {
  out.Line(indent, boxed, ".加入项目 (Jo", tableName, "集[i].", secondColumn, "()，Jo", tableName,
           "集[i].", keyColumn, "())");
}

// Sections 3 to 6: combo box and list box, each with all records and with the records whose
// key equals _id. `control` is "组合框" or "列表框".
void AppendItemListSubs(TextWriter& out, std::string_view control, const std::string& tableName,
                        const std::string& keyColumn, const std::string& secondColumn) {
  // Built forwards: "_" + std::string(control) makes GCC 12 at -O3 raise a false -Wrestrict
  // inside std::string.
  std::string boxed = "_";
  boxed += control;

  out.Line(".子程序 扩展_到", control, ",, 公开");
  out.Line(".参数 ", boxed, ",", control, ",");
  out.Line(" .局部变量 i, 整数型");
  out.Line(" ", boxed, ".清空 ()");
  out.Line(".计次循环首 (取数组成员数 (Jo", tableName, "集), i)");
  AppendAddItem(out, "    ", boxed, tableName, keyColumn, secondColumn);
  out.Line(".计次循环尾 ()");

  out.Line(".子程序 扩展_到", control, "ex,, 公开");
  out.Line(".参数 ", boxed, ",", control, ",");
  out.Line(".参数 _id,整数型,");
  out.Line(" .局部变量 i, 整数型");
  out.Line(" ", boxed, ".清空 ()");
  out.Line(".计次循环首 (取数组成员数 (Jo", tableName, "集), i)");
  out.Line("     .如果真 (Jo", tableName, "集[i].", keyColumn, "()=_id)");
  AppendAddItem(out, "           ", boxed, tableName, keyColumn, secondColumn);
  out.Line("     .如果真结束");
  out.Line(".计次循环尾 ()");
}

// Section 7: the super list box in report view, one column per table column.
void AppendSuperListSub(TextWriter& out, const std::string& tableName, const FieldTable& fields,
                        std::size_t columnCount) {
  out.Line(".子程序 扩展_到超级列表框,, 公开");
  out.Line(".参数 _超级列表框,超级列表框");
  out.Line(" .局部变量 GzTmp, 整数型");
  out.Line(" .局部变量 i, 整数型");
  out.Line(" _超级列表框.类型 ＝ 3 '报表型");
  out.Line(" _超级列表框.全部删除 ()");
  for (std::size_t k = 0; k < columnCount; ++k) {
    out.Line(" _超级列表框.插入列 (-1, “", fields[k].columnName, "”，取文本长度 (“",
             fields[k].columnName, "”)  ，#中间对齐，-1） ");
  }
  out.Line(".计次循环首 (取数组成员数 (Jo", tableName, "集), i)");
  out.Line(" GzTmp=_超级列表框.插入表项  (,,,,,)");
  for (std::size_t k = 0; k < columnCount; ++k) {
    const FieldRecord& column = fields[k];
    // The cell value is wrapped as its form asks: 到文本(…), 时间_格式化EX(…, , , 3) or bare.
    std::string_view open;
    std::string_view close;
    switch (CellFormFor(column.prefix)) {
      case CellForm::ToText:
        open = "到文本(";
        close = ")";
        break;
      case CellForm::DateTime:
        open = "时间_格式化EX(";
        close = ", , , 3)";
        break;
      case CellForm::Bare:
        break;
    }
    out.Line(" _超级列表框.置标题  (GzTmp,", Decimal(k + 1), ", ", open, "Jo", tableName, "集[i].",
             column.columnName, "()", close, ")");
  }
  out.Line(".计次循环尾 ()");
  out.Line();
}

}  // namespace

void AppendControlBindingSubs(std::string& text, const std::string& tableName,
                              const FieldTable& fields, const TextOptions& options) {
  const std::size_t columnCount = setclass::ColumnRecordCount(fields);
  const std::string& keyColumn = setclass::KeyColumn(fields, options);
  const std::string& secondColumn = setclass::SecondColumn(fields);
  TextWriter out(text);

  AppendGridSubs(out, tableName, fields, columnCount);
  AppendItemListSubs(out, "组合框", tableName, keyColumn, secondColumn);
  AppendItemListSubs(out, "列表框", tableName, keyColumn, secondColumn);
  AppendSuperListSub(out, tableName, fields, columnCount);
}

}  // namespace kelvane
