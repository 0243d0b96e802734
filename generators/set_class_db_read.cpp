// Set class: the database read subroutines 库_取 (all rows or one page), 库_查 (one row by key)
// and 库_查所有 (empty the array, then all rows). Each carries one reader line per column.
#include <string_view>

#include "generators/generators.h"
#include "generators/set_class_names.h"
#include "generators/text_writer.h"

namespace kelvane {

namespace {

struct Reader {
  std::string_view prefix;
  std::string_view call;
};

// The record-set reader of each variable prefix, tested in this order; the first whole-text
// match wins.
constexpr Reader kReaders[] = {
    {"Jx", "( Go返回记录集.读小数 (“"},   {"Jb", "( Go返回记录集.读字节 (“"},
    {"Jl", "( Go返回记录集.读逻辑 (“"},   {"Jz", "( Go返回记录集.读整数 (“"},
    {"Jw", "( Go返回记录集.读文本 (“"},   {"Jr", "( Go返回记录集.读时间 (“"},
    {"Jj", "( Go返回记录集.读字节集 (“"},
};

// "      Go<table>.<column>( Go返回记录集.读… (“<column>”) )"; a prefix outside the table gets
// no line at all.
void AppendReaderLine(TextWriter& out, const std::string& tableName, const FieldRecord& field) {
  for (const Reader& reader : kReaders) {
    if (setclass::SamePrefix(field.prefix, reader.prefix)) {
      out.Line("      Go", tableName, ".", field.columnName, reader.call, field.columnName, "”) )");
      return;
    }
  }
}

}  // namespace

void AppendDbReadSubs(std::string& text, const std::string& tableName, const FieldTable& fields,
                      const TextOptions& options) {
  const std::string& t = tableName;
  const std::string& key = setclass::KeyColumn(fields, options);
  const std::size_t columns = setclass::ColumnRecordCount(fields);
  TextWriter out(text);

  // 库_取: all rows, or one page when both page arguments are given; appends to the array.
  out.Line(".子程序 库_取,逻辑型, 公开");
  out.Line();
  out.Line(" .参数 _页码, 整数型, 可空");
  out.Line(" .参数 _页记录条数, 整数型, 可空");
  out.Line(" .局部变量 Go返回记录集, 返回记录集");
  out.Line(" .局部变量 Gz表行数, 整数型");
  out.Line(" .局部变量 Gz表列数, 整数型");
  out.Line(" .局部变量 i, 整数型");
  out.Line(" .局部变量 j, 整数型");
  out.Line(" .局部变量 GwSQL, 文本型");
  out.Line(" .局部变量 GwTmp, 文本型");
  out.Line(" .局部变量 Go", t, ",  ", t, "类");
  out.Line(" .判断开始 (是否为空 (_页码) 或 是否为空 (_页记录条数))");
  out.Line("     GwSQL ＝“SELECT  * FROM `”+ Jw库名+“`.`”+Jw表名+“`”");
  out.Line(".默认");
  out.Line(
      "     GwSQL ＝“SELECT  * FROM `”+Jw库名+“`.`”+ Jw表名+“`  LIMIT ”+  到文本 ((_页码－ 1) × "
      "_页记录条数) +“,”+到文本 ( _页记录条数 )");
  out.Line(".判断结束");
  out.Line(
      "GwTmp ＝ JoMySQL网关.查询返回记录集 (Jw成员名, Jw库名, GwSQL, Go返回记录集, Gz表行数, "
      "Gz表列数)");
  out.Line(".如果真 (取反 (JoMySQL网关.取操作状态 (GwTmp)))");
  out.Line("   返回 (假)");
  out.Line(".如果真结束");
  out.Line("Go返回记录集.到首记录 ()");
  out.Line(".计次循环首 (Gz表行数, i)");
  out.Line("    .计次循环首 (Gz表列数, j)");
  // Every entry including the state record; the state record (always last) is reset to 0
  // instead of being read, whatever its prefix.
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (i + 1 == fields.size()) {
      out.Line("      Go", t, ".", fields[i].columnName, "( 0 )");
    } else {
      AppendReaderLine(out, t, fields[i]);
    }
  }
  out.Line("  .计次循环尾 ()");
  out.Line("       加入成员 (Jo", t, "集,Go", t, ")");
  out.Line("    Go返回记录集.到下一条()");
  out.Line(".计次循环尾 ()");
  out.Line("返回 (真)");

  // 库_查: the row whose key equals _id, into the reference parameter.
  out.Line(".子程序 库_查,逻辑型, 公开");
  out.Line();
  out.Line(" .参数 _id, 整数型, ");
  out.Line(" .参数 _", t, "类, ", t, "类,参考");
  out.Line(" .局部变量 Go返回记录集, 返回记录集");
  out.Line(" .局部变量 Gz表行数, 整数型");
  out.Line(" .局部变量 Gz表列数, 整数型");
  out.Line(" .局部变量 GwSQL, 文本型");
  out.Line(" .局部变量 GwTmp, 文本型");
  out.Line(" .局部变量 Go", t, ",  ", t, "类");
  out.Line(".如果真 (_id ＜ 1 或 _id ＞ 取数组成员数 (Jo", t, "集))");
  out.Line("       返回 (假)");
  out.Line(".如果真结束");
  out.Line("     GwSQL ＝“SELECT  * FROM `”+ Jw库名+“`.`”+Jw表名+“`  where `", key,
           "`='“+到文本（_id）+“'”");
  out.Line(
      "GwTmp ＝ JoMySQL网关.查询返回记录集 (Jw成员名, Jw库名, GwSQL, Go返回记录集, Gz表行数, "
      "Gz表列数)");
  out.Line(".如果真 (取反 (JoMySQL网关.取操作状态 (GwTmp)))");
  out.Line("   返回 (假)");
  out.Line(".如果真结束");
  out.Line("Go返回记录集.到首记录 ()");
  for (std::size_t i = 0; i < columns; ++i) AppendReaderLine(out, t, fields[i]);
  out.Line("_", t, "类= Go", t);
  out.Line("返回 (真)");
  out.Line();

  // 库_查所有: empty the array, then one element per row.
  out.Line(".子程序 库_查所有,逻辑型, 公开,数量小于1000条的使用");
  out.Line(" .局部变量 Go返回记录集, 返回记录集");
  out.Line(" .局部变量 Gz表行数, 整数型");
  out.Line(" .局部变量 Gz表列数, 整数型");
  out.Line(" .局部变量 GwSQL, 文本型");
  out.Line(" .局部变量 GwTmp, 文本型");
  out.Line(" .局部变量 Go", t, ",  ", t, "类");
  out.Line(" .局部变量 i, 整数型");
  out.Line("     GwSQL ＝“SELECT  * FROM `”+ Jw库名+“`.`”+Jw表名+“`”");
  out.Line(
      "GwTmp ＝ JoMySQL网关.查询返回记录集 (Jw成员名, Jw库名, GwSQL, Go返回记录集, Gz表行数, "
      "Gz表列数)");
  out.Line(".如果真 (取反 (JoMySQL网关.取操作状态 (GwTmp)))");
  out.Line("   返回 (假)");
  out.Line(".如果真结束");
  out.Line(" 清除数组 (Jo", t, "集)");
  out.Line("Go返回记录集.到首记录 ()");
  out.Line(".计次循环首 (Go返回记录集.取记录数 (), i)");
  for (std::size_t i = 0; i < columns; ++i) AppendReaderLine(out, t, fields[i]);
  out.Line("加入成员 (Jo", t, "集, Go", t, ")");
  out.Line("Go返回记录集.到下一条 ()");
  out.Line(".计次循环尾 ()");
  out.Line("返回 (真)");
  out.Line();
}

}  // namespace kelvane
