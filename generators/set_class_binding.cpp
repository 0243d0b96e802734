// The seven control-binding extension subroutines of the set class (扩展_到高表头 to
// 扩展_到超级列表框). Column loops run here and are unrolled into the emitted text; loops
// over the records of the set are emitted as 易语言 loops that run in the generated program.
#include <charconv>
#include <cstddef>
#include <string>
#include <string_view>

#include "generators/generators.h"
#include "generators/set_class_names.h"

namespace kelvane {

namespace {

constexpr std::string_view kCrlf = "\r\n";

void AppendNumber(std::string& out, std::size_t value) {
  char buffer[24];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  out.append(buffer, result.ptr);
}

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
    if (prefix == entry.prefix) return entry.form;
  }
  return CellForm::ToText;
}

// Sections 1 and 2: the advanced grid (header row, then one row per record).
void AppendGridSubs(std::string& out, const std::string& tableName, const FieldTable& fields,
                    std::size_t columnCount) {
  out += ".子程序 扩展_到高表头,, 公开\r\n";
  out += ".参数 _高级表格,高级表格\r\n";
  out += " _高级表格.表头行数 ＝ 0\r\n";
  out += " _高级表格.表头列数 ＝ 0\r\n";
  out += " _高级表格.行数 ＝ 1\r\n";
  out += " _高级表格.列数 ＝ 1\r\n";
  out += " _高级表格.表头行数 ＝ 1\r\n";
  out += " _高级表格.列数 ＝";
  AppendNumber(out, columnCount);
  out += kCrlf;
  for (std::size_t k = 0; k < columnCount; ++k) {
    out += " _高级表格.置数据 (0, ";
    AppendNumber(out, k);
    out += ", #表格常量.文本型,“";
    out += fields[k].columnName;
    out += "”) \r\n";
  }
  for (std::size_t k = 0; k < columnCount; ++k) {
    out += " _高级表格.置列宽 (";
    AppendNumber(out, k);
    out += ",100）\r\n";
  }

  out += ".子程序 扩展_到高级表格,, 公开\r\n";
  out += ".参数 _高级表格,高级表格\r\n";
  out += ".参数 _";
  out += tableName;
  out += "集, ";
  out += tableName;
  out += "类, 参考 可空 数组\r\n";
  out += " .局部变量 i, 整数型\r\n";
  out += " .局部变量 Go";
  out += tableName;
  out += "集, ";
  out += tableName;
  out += "类, , 0\r\n";
  out += " .判断开始 (是否为空 (_";
  out += tableName;
  out += "集))\r\n";
  out += "     复制数组 (Go";
  out += tableName;
  out += "集, Jo";
  out += tableName;
  out += "集)\r\n";
  out += " .默认\r\n";
  out += "     复制数组 (Go";
  out += tableName;
  out += "集, _";
  out += tableName;
  out += "集)\r\n";
  out += " .判断结束\r\n";
  out += " _高级表格.行数 ＝ 1\r\n";
  out += " _高级表格.行数 ＝ 取数组成员数 (Go";
  out += tableName;
  out += "集) ＋ 1\r\n";
  out += ".计次循环首 (取数组成员数 (Go";
  out += tableName;
  out += "集), i)\r\n";
  for (std::size_t k = 0; k < columnCount; ++k) {
    const FieldRecord& column = fields[k];
    // Only date-time columns are formatted; every other type goes through 到文本.
    const bool dateTime = column.prefix == "Jr";
    out += " _高级表格.置数据 (i, ";
    AppendNumber(out, k);
    out += dateTime ? ", #表格常量.文本型,时间_格式化EX(Go" : ", #表格常量.文本型,到文本（Go";
    out += tableName;
    out += "集[i].";
    out += column.columnName;
    out += dateTime ? "(), , , 3)) \r\n" : "())） \r\n";
  }
  out += ".计次循环尾 ()\r\n";
}

// The 加入项目 line shared by the combo box and list box subroutines: the second column is
// the item text, the key column the item number.
void AppendAddItem(std::string& out, std::string_view indentAndControl,
                   const std::string& tableName, const std::string& keyColumn,
                   const std::string& secondColumn) {
  out += indentAndControl;
  out += ".加入项目 (Jo";
  out += tableName;
  out += "集[i].";
  out += secondColumn;
  out += "()，Jo";
  out += tableName;
  out += "集[i].";
  out += keyColumn;
  out += "())\r\n";
}

// Sections 3 to 6: combo box and list box, each with all records and with the records whose
// key equals _id. `control` is "组合框" or "列表框".
void AppendItemListSubs(std::string& out, std::string_view control, const std::string& tableName,
                        const std::string& keyColumn, const std::string& secondColumn) {
  const std::string boxed = "_" + std::string(control);

  out += ".子程序 扩展_到";
  out += control;
  out += ",, 公开\r\n";
  out += ".参数 ";
  out += boxed;
  out += ",";
  out += control;
  out += ",\r\n";
  out += " .局部变量 i, 整数型\r\n";
  out += " ";
  out += boxed;
  out += ".清空 ()\r\n";
  out += ".计次循环首 (取数组成员数 (Jo";
  out += tableName;
  out += "集), i)\r\n";
  AppendAddItem(out, "    " + boxed, tableName, keyColumn, secondColumn);
  out += ".计次循环尾 ()\r\n";

  out += ".子程序 扩展_到";
  out += control;
  out += "ex,, 公开\r\n";
  out += ".参数 ";
  out += boxed;
  out += ",";
  out += control;
  out += ",\r\n";
  out += ".参数 _id,整数型,\r\n";
  out += " .局部变量 i, 整数型\r\n";
  out += " ";
  out += boxed;
  out += ".清空 ()\r\n";
  out += ".计次循环首 (取数组成员数 (Jo";
  out += tableName;
  out += "集), i)\r\n";
  out += "     .如果真 (Jo";
  out += tableName;
  out += "集[i].";
  out += keyColumn;
  out += "()=_id)\r\n";
  AppendAddItem(out, "           " + boxed, tableName, keyColumn, secondColumn);
  out += "     .如果真结束\r\n";
  out += ".计次循环尾 ()\r\n";
}

// Section 7: the super list box in report view, one column per table column.
void AppendSuperListSub(std::string& out, const std::string& tableName, const FieldTable& fields,
                        std::size_t columnCount) {
  out += ".子程序 扩展_到超级列表框,, 公开\r\n";
  out += ".参数 _超级列表框,超级列表框\r\n";
  out += " .局部变量 GzTmp, 整数型\r\n";
  out += " .局部变量 i, 整数型\r\n";
  out += " _超级列表框.类型 ＝ 3 '报表型\r\n";
  out += " _超级列表框.全部删除 ()\r\n";
  for (std::size_t k = 0; k < columnCount; ++k) {
    out += " _超级列表框.插入列 (-1, “";
    out += fields[k].columnName;
    out += "”，取文本长度 (“";
    out += fields[k].columnName;
    out += "”)  ，#中间对齐，-1） \r\n";
  }
  out += ".计次循环首 (取数组成员数 (Jo";
  out += tableName;
  out += "集), i)\r\n";
  out += " GzTmp=_超级列表框.插入表项  (,,,,,)\r\n";
  for (std::size_t k = 0; k < columnCount; ++k) {
    const FieldRecord& column = fields[k];
    const CellForm form = CellFormFor(column.prefix);
    out += " _超级列表框.置标题  (GzTmp,";
    AppendNumber(out, k + 1);
    out += ", ";
    if (form == CellForm::ToText) out += "到文本(";
    if (form == CellForm::DateTime) out += "时间_格式化EX(";
    out += "Jo";
    out += tableName;
    out += "集[i].";
    out += column.columnName;
    out += "()";
    if (form == CellForm::ToText) out += ")";
    if (form == CellForm::DateTime) out += ", , , 3)";
    out += ")\r\n";
  }
  out += ".计次循环尾 ()\r\n";
  out += kCrlf;
}

}  // namespace

void AppendControlBindingSubs(std::string& out, const std::string& tableName,
                              const FieldTable& fields) {
  const std::size_t columnCount = setclass::ColumnRecordCount(fields);
  const std::string& keyColumn = setclass::KeyColumn(fields);
  const std::string& secondColumn = setclass::SecondColumn(fields);

  // 66 fixed lines and five per column; names are short, so ~96 bytes a line is generous.
  out.reserve(out.size() + (66 + 5 * columnCount) * 96 + 16 * tableName.size());

  AppendGridSubs(out, tableName, fields, columnCount);
  AppendItemListSubs(out, "组合框", tableName, keyColumn, secondColumn);
  AppendItemListSubs(out, "列表框", tableName, keyColumn, secondColumn);
  AppendSuperListSub(out, tableName, fields, columnCount);
}

}  // namespace kelvane
