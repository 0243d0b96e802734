#pragma once
// What the window says in its own words: the status line of the connect steps, the key warning
// below the column list and the note when comments could not be read. The command line has
// its own English wording; the data behind both comes from schema/.
#include <cstddef>
#include <string>
#include <string_view>

#include "schema/field_table.h"

namespace kelvane::ui {

// 标签4 after the connect steps.
inline constexpr std::string_view kStatusConnected = "已连接Mysql数据库";
inline constexpr std::string_view kStatusConnectedTo = "已连接Mysql数据库:";  // + the database
inline constexpr std::string_view kStatusFailed = "连接失败";

// Added to the key warning when 选择框_注释 is checked and the comments cannot be read; the
// texts are then generated without them.
inline constexpr std::string_view kCommentsUnread = "未能读取字段注释，生成的文本不带注释。";

// When 选择框_主键 is checked and the table has no primary key of one column: the texts keep the
// first column as their record key.
inline constexpr std::string_view kNoSingleColumnKey = "注意：本表没有单列主键，仍按首列生成。";

// A table or column name between curly quotes, as the window's notes name it; a control
// character in it (it would break the note's lines) shows as its code point.
std::string QuotedName(std::string_view name);

// 标签_主键提示: short and Chinese, names between curly quotes. Says that 库_删, 库_改 and
// 库_查 find rows by the key column (`keyPosition`, 0 = the first column) when that column does
// not tell the rows apart, and names the table's real key if it has one. Empty otherwise.
std::string KeyWarningWindowText(const FieldTable& fields, const ColumnFactsList& facts,
                                 std::size_t keyPosition = 0);

}  // namespace kelvane::ui
