// Set class: the database write subroutines 库_初始化, 库_增, 库_删 and 库_改. The SQL column,
// value and SET lists are unrolled here, one piece per table column (the state record "X" is
// never written to the database).
#include <cstddef>
#include <string>
#include <string_view>

#include "generators/generators.h"
#include "generators/set_class_append.h"
#include "generators/set_class_names.h"

namespace kelvane {

namespace {

using setclass::Line;
using setclass::Put;

// Date-time members are formatted by 时间_格式化EX; everything else goes through 到文本.
bool IsDateTime(const FieldRecord& field) { return setclass::SamePrefix(field.prefix, "Jr"); }

// 库_增's column list `a`,`b` (no comma at the end).
void AppendInsertColumns(TextWriter& out, const FieldTable& fields, std::size_t columns) {
  for (std::size_t i = 0; i < columns; ++i) {
    Put(out, "`", fields[i].columnName, "`,");
  }
  // Every piece ends with a comma; the list carries none at its end.
  if (columns > 0) out.DropBack();
}

// 库_增's value list, one piece per column of the column list (no comma at the end).
void AppendInsertValues(TextWriter& out, const std::string& t, const FieldTable& fields,
                        std::size_t columns) {
  for (std::size_t i = 0; i < columns; ++i) {
    const FieldRecord& field = fields[i];
    if (IsDateTime(field)) {
      Put(out, "'“+时间_格式化EX（Jo", t, "集[i].", field.columnName, "（）, , , 3)+”',");
    } else {
      Put(out, "'“+到文本（Jo", t, "集[i].", field.columnName, "（)）+”',");
    }
  }
  if (columns > 0) out.DropBack();
}

// 库_改's SET list `a`='…',`b`='…', — the emitted code cuts the final comma itself at run time.
void AppendUpdateSet(TextWriter& out, const std::string& t, const FieldTable& fields,
                     std::size_t columns) {
  for (std::size_t i = 0; i < columns; ++i) {
    const FieldRecord& field = fields[i];
    if (IsDateTime(field)) {
      Put(out, "`", field.columnName, "`='”+时间_格式化EX(Jo", t, "集[i].", field.columnName,
          "(), , , 3)+“',");
    } else {
      Put(out, "`", field.columnName, "`='”+到文本(Jo", t, "集[i].", field.columnName, "())+“',");
    }
  }
}

}  // namespace

void AppendDbWriteSubs(std::string& text, const std::string& tableName, const FieldTable& fields) {
  const std::string& t = tableName;
  const std::string& key = setclass::KeyColumn(fields);
  const std::string& status = setclass::StatusColumn(fields);
  const std::size_t columns = setclass::ColumnRecordCount(fields);

  std::size_t nameBytes = 0;
  for (std::size_t i = 0; i < columns; ++i) nameBytes += fields[i].columnName.size();

  // Fixed text within 4 KB; the three lists take at most 64 bytes a column besides the names
  // (the column list one name, the value list one, the SET list two) and the table name
  // (once in each value piece).
  TextWriter out(text, 4096 + 12 * t.size() + 4 * key.size() + 6 * status.size() +
                           4 * nameBytes + columns * (3 * 64 + 2 * t.size()));

  // 库_初始化
  Line(out, " .子程序 库_初始化, , 公开, 进行数据库操作之前，必执行这个函数");
  Line(out, ".参数 _指针, 整数型 ");
  Line(out, " .参数 _成员名, 文本型");
  Line(out, " .参数 _库名, 文本型");
  Line(out, "网关置指针 (JoMySQL网关, _指针)");
  Line(out);
  Line(out, "    Jw库名 ＝ _库名");
  Line(out, "    Jw成员名 ＝ _成员名");
  Line(out);

  // 库_增: insert every element flagged 1.
  Line(out, ".子程序 库_增,逻辑型, 公开");
  Line(out, " .局部变量 i, 整数型, ");
  Line(out, " .局部变量 GwTmp, 文本型");
  Line(out, " .局部变量 GwXps, 文本型");
  Line(out, " .局部变量 GwXpw, 文本型");
  Line(out, ".计次循环首 (取数组成员数 (Jo", t, "集),i）");
  Line(out, "        .如果真 (Jo", t, "集[i].", status, "()=1)");
  Put(out, "              GwXps=“");
  AppendInsertColumns(out, fields, columns);
  Line(out, "”");
  Put(out, "              GwXpw=“");
  AppendInsertValues(out, t, fields, columns);
  Line(out, "”");
  Line(out, "              .如果真 (取文本右边 (GwXps, 1) ＝ “,”)");
  Line(out, "                       GwXps= 取文本左边 (GwXps, 取文本长度 (GwXps) － 1)");
  Line(out, "              .如果真结束");
  Line(out, "                GwTmp ＝ JoMySQL网关.增加记录 (Jw成员名, Jw库名, Jw表名, GwXps , GwXpw )");
  Line(out, "               .如果真 (取反(JoMySQL网关.取操作状态 (GwTmp)))");
  Line(out, "                         返回 (假)");
  Line(out, "               .如果真结束");
  Line(out, "                         Jo", t, "集[i].", status, "(0)");
  Line(out, "        .如果真结束");
  Line(out, ".计次循环尾 ()");
  Line(out, "返回 (真)");
  Line(out);
  Line(out);
  Line(out);

  // 库_删: delete the row of every element flagged 3, by key.
  Line(out, ".子程序 库_删,逻辑型, 公开");
  Line(out, " .局部变量 GwTmp, 文本型");
  Line(out, " .局部变量 i, 整数型");
  Line(out, ".计次循环首 (取数组成员数 (Jo", t, "集),i）");
  Line(out, "        .如果真 (Jo", t, "集[i].", status, "()=3)");
  Line(out, " GwTmp=JoMySQL网关.删除记录 (Jw成员名, Jw库名, Jw表名,“", key, "=' ”+到文本（Jo", t, "集[i].",
       key, "())+“'”)");
  Line(out, "               .如果真 (取反(JoMySQL网关.取操作状态 (GwTmp)))");
  Line(out, "                         返回 (假)");
  Line(out, "               .如果真结束");
  Line(out, "                         Jo", t, "集[i].", status, "(0)");
  Line(out, "        .如果真结束");
  Line(out, ".计次循环尾 ()");
  Line(out, "返回 (真)");
  Line(out);
  Line(out);
  Line(out);

  // 库_改: update the row of every element flagged 2, by key.
  Line(out, ".子程序 库_改,逻辑型, 公开");
  Line(out);
  Line(out, " .局部变量 GwTmp, 文本型");
  Line(out, " .局部变量 GwXps, 文本型");
  Line(out, " .局部变量 i, 整数型, ");
  Line(out, ".计次循环首 (取数组成员数 (Jo", t, "集),i）");
  Line(out, "        .如果真 (Jo", t, "集[i].", status, "()=2)");
  Put(out, "              GwXps=“");
  AppendUpdateSet(out, t, fields, columns);
  Line(out, "”");
  Line(out, "              .如果真 (取文本右边 (GwXps, 1) ＝ “,”)");
  Line(out, "                       GwXps= 取文本左边 (GwXps, 取文本长度 (GwXps) － 1)");
  Line(out, "              .如果真结束");
  Line(out, "               GwTmp ＝ JoMySQL网关.更新记录 (Jw成员名, Jw库名, Jw表名,GwXps,“", key,
       "='”+到文本（Jo", t, "集[i].", key, "()）+“'”)");
  Line(out, "               .如果真 (取反(JoMySQL网关.取操作状态 (GwTmp)))");
  Line(out, "                         返回 (假)");
  Line(out, "               .如果真结束");
  Line(out, "                         Jo", t, "集[i].", status, "(0)");
  Line(out, "        .如果真结束");
  Line(out, ".计次循环尾 ()");
  Line(out, "返回 (真)");
  Line(out);
}

}  // namespace kelvane
