#include "ui/window_wording.h"

#include "schema/table_key.h"

namespace kelvane::ui {

namespace {

std::string Quoted(std::string_view name) {
  std::string text = "“";
  text += name;
  text += "”";
  return text;
}

}  // namespace

std::string KeyWarningWindowText(const FieldTable& fields, const ColumnFactsList& facts,
                                 std::size_t keyPosition) {
  if (!KeyNeedsWarning(fields, facts, keyPosition)) return {};
  const TableKey key = FindTableKey(fields, facts);
  const std::string column = Quoted(fields[keyPosition].columnName);
  const std::string which = keyPosition == 0 ? "首列" : "键列";
  const std::string subs = "库_删/库_改/库_查按" + which;
  if (key.primary.size() > 1) {
    std::string parts;
    for (std::size_t i : key.primary) {
      if (!parts.empty()) parts += "、";
      parts += Quoted(fields[i].columnName);
    }
    return "注意：主键有多列（" + parts + "），" + subs + column + "找记录。";
  }
  if (key.primary.size() == 1)
    return "注意：" + which + column + "不是主键（主键为" +
           Quoted(fields[key.primary.front()].columnName) + "），" + subs + "找记录。";
  if (key.uniqueNotNull != kNoColumn)
    return "注意：" + which + column + "不是主键（非空唯一列为" +
           Quoted(fields[key.uniqueNotNull].columnName) + "），" + subs + "找记录。";
  return "注意：本表没有主键，" + subs + column + "找记录。";
}

}  // namespace kelvane::ui
