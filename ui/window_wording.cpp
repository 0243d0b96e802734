#include "ui/window_wording.h"

#include "schema/table_key.h"
#include "text/text.h"

namespace kelvane::ui {

std::string QuotedName(std::string_view name) {
  std::string text = "“";
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) text += CodePointName(byte);
    else text += c;
  }
  return text + "”";
}

std::string KeyWarningWindowText(const FieldTable& fields, const ColumnFactsList& facts,
                                 std::size_t keyPosition) {
  if (!KeyNeedsWarning(fields, facts, keyPosition)) return {};
  const TableKey key = FindTableKey(fields, facts);
  const std::string column = QuotedName(fields[keyPosition].columnName);
  const std::string which = keyPosition == 0 ? "首列" : "键列";
  const std::string subs = "库_删/库_改/库_查按" + which;
  if (key.primary.size() > 1) {
    std::string parts;
    for (std::size_t i : key.primary) {
      if (!parts.empty()) parts += "、";
      parts += QuotedName(fields[i].columnName);
    }
    return "注意：主键有多列（" + parts + "），" + subs + column + "找记录。";
  }
  if (key.primary.size() == 1)
    return "注意：" + which + column + "不是主键（主键为" +
           QuotedName(fields[key.primary.front()].columnName) + "），" + subs + "找记录。";
  if (key.uniqueNotNull != kNoColumn)
    return "注意：" + which + column + "不是主键（非空唯一列为" +
           QuotedName(fields[key.uniqueNotNull].columnName) + "），" + subs + "找记录。";
  return "注意：本表没有主键，" + subs + column + "找记录。";
}

}  // namespace kelvane::ui
