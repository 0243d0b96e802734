// Set class: the class header (class line, class variables, constructor, destructor and the
// gateway pointer accessors) and the six local-array subroutines 组_增 … 组_数量.
#include "generators/generators.h"
#include "generators/set_class_names.h"
#include "generators/text_writer.h"

namespace kelvane {

void AppendSetClassHeader(std::string& text, const std::string& tableName,
                          const FieldTable& /*fields*/) {
  const std::string& t = tableName;
  TextWriter out(text);

  out.Line(".类程序集 ", t, "集类, ,公开,", t, "集类");
  out.Line(".程序集变量 Jo", t, "集,", t, "类,0,0,“1”");
  out.Line(".程序集变量 JoMySQL网关,MySQL网关");
  out.Line(".程序集变量 Jw成员名,文本型");
  out.Line(".程序集变量 Jw库名,文本型");
  out.Line(".程序集变量 Jw表名,文本型");
  out.Line();
  out.Line(".子程序 _初始化, , , 当基于本类的对象被创建后，此方法会被自动调用");
  out.Line("Jw表名=“", t, "”");
  out.Line(".子程序 _销毁, , , 当基于本类的对象被销毁前，此方法会被自动调用");
  out.Line();
  // The two pointer subroutines keep the trailing space of their lines.
  out.Line(".子程序 取指针, 整数型, 公开 ");
  out.Line("返回 (网关取指针 (JoMySQL网关)) ");
  out.Line();
  out.Line(".子程序 置指针, , 公开 ");
  out.Line(".参数 指针, 整数型 ");
  out.Line("网关置指针 (JoMySQL网关, 指针)");
  out.Line();
}

void AppendLocalArraySubs(std::string& text, const std::string& tableName,
                          const FieldTable& fields, const TextOptions& options) {
  const std::string& t = tableName;
  // Where the emitted code names the key and the flag through the table's own entries;
  // 组_改 and 组_取 below use the fixed members "id" and "x" instead.
  const std::string& key = setclass::KeyColumn(fields, options);
  const std::string& status = setclass::StatusColumn(fields);
  TextWriter out(text);

  static constexpr char kFlagComment[] =
      "' 0-正常（与数据库一至），1-增加（数据库未增），2-更改（数据库未改），3-删除（数据库未删）";

  // 组_增: append, flag as added, return the new position.
  out.Line(".子程序 组_增,整数型, 公开,返回数组中的位置");
  out.Line(".参数 _", t, " ,", t, "类");
  out.Line("_", t, ".", status, "（1)  ", kFlagComment);
  out.Line("加入成员 (Jo", t, "集,_", t, ")");
  out.Line("返回 (取数组成员数 (Jo", t, "集))");
  out.Line();

  // 组_删: only marks the element as deleted.
  out.Line(".子程序 组_删,逻辑型, 公开,虚删，做标记。如要实删，就执行同步（）");
  out.Line(".参数 _id,整数型");
  out.Line(" .局部变量 i, 整数型");
  out.Line(".计次循环首 (取数组成员数 (Jo", t, "集),i）");
  out.Line("   .如果真 (Jo", t, "集[i].", key, "()= _id)");
  out.Line("            Jo", t, "集[i].", status, "(3) ", kFlagComment);
  out.Line("           返回( 真 )");
  out.Line("   .如果真结束");
  out.Line(".计次循环尾 ()");
  out.Line(" 返回 (假)");
  out.Line();

  // 组_改: flag as changed and store over the element with the same id.
  out.Line(".子程序 组_改,逻辑型, 公开");
  out.Line(".参数 _", t, ",", t, "类");
  out.Line(" .局部变量 i, 整数型");
  out.Line(".计次循环首 (取数组成员数 (Jo", t, "集),i）");
  out.Line("   .如果真 (Jo", t, "集[i].id()=_", t, ".id())");
  out.Line("         _", t, ".x (2)  ", kFlagComment);
  out.Line("        Jo", t, "集[i]= _", t);
  out.Line("        返回 (真）");
  out.Line("   .如果真结束");
  out.Line(".计次循环尾 ()");
  out.Line("返回 (假)");
  out.Line();

  // 组_取: copy the element with the given id out.
  out.Line(".子程序 组_取,逻辑型, 公开");
  out.Line(".参数 _", t, ",", t, "类,参考");
  out.Line(".参数 _id,整数型");
  out.Line(" .局部变量 i, 整数型");
  out.Line(".计次循环首 (取数组成员数 (Jo", t, "集),i）");
  out.Line("   .如果真 (Jo", t, "集[i].id()=_id)");
  out.Line("         _", t, "=Jo", t, "集[i]");
  out.Line("        返回 (真）");
  out.Line("   .如果真结束");
  out.Line(".计次循环尾 ()");
  out.Line("返回 (假)");
  out.Line();

  // 组_实数: elements not marked deleted.
  out.Line(".子程序 组_实数, 整数型, 公开, 不含虚删");
  out.Line(" .局部变量 i, 整数型");
  out.Line(" .局部变量 GzTmp, 整数型");
  out.Line(".计次循环首 (取数组成员数 (Jo", t, "集),i）");
  out.Line("   .如果真 (Jo", t, "集[i].", status, "()≠ 3)");
  out.Line("        GzTmp ＝ GzTmp ＋ 1");
  out.Line("   .如果真结束");
  out.Line(".计次循环尾 ()");
  out.Line("返回 (GzTmp)");
  out.Line();

  // 组_数量: the array size, deleted elements included.
  out.Line(".子程序 组_数量, 整数型, 公开, 含虚删");
  out.Line(" 返回(取数组成员数 (Jo", t, "集))");
  out.Line();
}

}  // namespace kelvane
