// Set class: the database write subroutines 库_初始化, 库_增, 库_删 and 库_改. The SQL column,
// value and SET lists are unrolled here, one piece per table column (the state record "X" is
// never written to the database).
#include <cstddef>
#include <string>
#include <string_view>

#include "generators/generators.h"
#include "generators/set_class_names.h"
#include "generators/text_writer.h"

namespace kelvane {

namespace {

// Date-time members are formatted by 时间_格式化EX; everything else goes through 到文本.
bool IsDateTime(const FieldRecord& field) { return setclass::SamePrefix(field.prefix, "Jr"); }

// 库_增's column list `a`,`b` (no comma at the end).
void AppendInsertColumns(TextWriter& out, const FieldTable& fields, std::size_t columns) {
  for (std::size_t i = 0; i < columns; ++i) {
    out.Put("`", fields[i].columnName, "`,");
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
      out.Put("'“+时间_格式化EX（Jo", t, "集[i].", field.columnName, "（）, , , 3)+”',");
    } else {
      out.Put("'“+到文本（Jo", t, "集[i].", field.columnName, "（)）+”',");
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
      out.Put("`", field.columnName, "`='”+时间_格式化EX(Jo", t, "集[i].", field.columnName,
              "(), , , 3)+“',");
    } else {
      out.Put("`", field.columnName, "`='”+到文本(Jo", t, "集[i].", field.columnName, "())+“',");
    }
  }
}

}  // namespace

void AppendDbWriteSubs(std::string& text, const std::string& tableName, const FieldTable& fields,
                       const TextOptions& options) {
  const std::string& t = tableName;
  const std::string& key = setclass::KeyColumn(fields, options);
  const std::string& status = setclass::StatusColumn(fields);
  const std::size_t columns = setclass::ColumnRecordCount(fields);
  TextWriter out(text);

  // 库_初始化
  out.Line(" .子程序 库_初始化, , 公开, 进行数据库操作之前，必执行这个函数");
  out.Line(".参数 _指针, 整数型 ");
  out.Line(" .参数 _成员名, 文本型");
  out.Line(" .参数 _库名, 文本型");
  out.Line("网关置指针 (JoMySQL网关, _指针)");
  out.Line();
  out.Line("    Jw库名 ＝ _库名");
  out.Line("    Jw成员名 ＝ _成员名");
  out.Line();

  // 库_增: insert every element flagged 1.
  out.Line(".子程序 库_增,逻辑型, 公开");
  out.Line(" .局部变量 i, 整数型, ");
  out.Line(" .局部变量 GwTmp, 文本型");
  out.Line(" .局部变量 GwXps, 文本型");
  out.Line(" .局部变量 GwXpw, 文本型");
  out.Line(".计次循环首 (取数组成员数 (Jo", t, "集),i）");
  out.Line("        .如果真 (Jo", t, "集[i].", status, "()=1)");
  out.Put("              GwXps=“");
  AppendInsertColumns(out, fields, columns);
  out.Line("”");
  out.Put("              GwXpw=“");
  AppendInsertValues(out, t, fields, columns);
  out.Line("”");
  out.Line("              .如果真 (取文本右边 (GwXps, 1) ＝ “,”)");
  out.Line("                       GwXps= 取文本左边 (GwXps, 取文本长度 (GwXps) － 1)");
  out.Line("              .如果真结束");
  out.Line(
      "                GwTmp ＝ JoMySQL网关.增加记录 (Jw成员名, Jw库名, Jw表名, GwXps , GwXpw )");
  out.Line("               .如果真 (取反(JoMySQL网关.取操作状态 (GwTmp)))");
  out.Line("                         返回 (假)");
  out.Line("               .如果真结束");
  out.Line("                         Jo", t, "集[i].", status, "(0)");
  out.Line("        .如果真结束");
  out.Line(".计次循环尾 ()");
  out.Line("返回 (真)");
  out.Line();
  out.Line();
  out.Line();

  // 库_删: delete the row of every element flagged 3, by key.
  out.Line(".子程序 库_删,逻辑型, 公开");
  out.Line(" .局部变量 GwTmp, 文本型");
  out.Line(" .局部变量 i, 整数型");
  out.Line(".计次循环首 (取数组成员数 (Jo", t, "集),i）");
  out.Line("        .如果真 (Jo", t, "集[i].", status, "()=3)");
  out.Line(" GwTmp=JoMySQL网关.删除记录 (Jw成员名, Jw库名, Jw表名,“", key, "=' ”+到文本（Jo", t,
           "集[i].", key, "())+“'”)");
  out.Line("               .如果真 (取反(JoMySQL网关.取操作状态 (GwTmp)))");
  out.Line("                         返回 (假)");
  out.Line("               .如果真结束");
  out.Line("                         Jo", t, "集[i].", status, "(0)");
  out.Line("        .如果真结束");
  out.Line(".计次循环尾 ()");
  out.Line("返回 (真)");
  out.Line();
  out.Line();
  out.Line();

  // 库_改: update the row of every element flagged 2, by key.
  out.Line(".子程序 库_改,逻辑型, 公开");
  out.Line();
  out.Line(" .局部变量 GwTmp, 文本型");
  out.Line(" .局部变量 GwXps, 文本型");
  out.Line(" .局部变量 i, 整数型, ");
  out.Line(".计次循环首 (取数组成员数 (Jo", t, "集),i）");
  out.Line("        .如果真 (Jo", t, "集[i].", status, "()=2)");
  out.Put("              GwXps=“");
  AppendUpdateSet(out, t, fields, columns);
  out.Line("”");
  out.Line("              .如果真 (取文本右边 (GwXps, 1) ＝ “,”)");
  out.Line("                       GwXps= 取文本左边 (GwXps, 取文本长度 (GwXps) － 1)");
  out.Line("              .如果真结束");
  out.Line("               GwTmp ＝ JoMySQL网关.更新记录 (Jw成员名, Jw库名, Jw表名,GwXps,“", key,
           "='”+到文本（Jo", t, "集[i].", key, "()）+“'”)");
  out.Line("               .如果真 (取反(JoMySQL网关.取操作状态 (GwTmp)))");
  out.Line("                         返回 (假)");
  out.Line("               .如果真结束");
  out.Line("                         Jo", t, "集[i].", status, "(0)");
  out.Line("        .如果真结束");
  out.Line(".计次循环尾 ()");
  out.Line("返回 (真)");
  out.Line();
}

}  // namespace kelvane
