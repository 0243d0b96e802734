// C# entity class with one auto-property per FieldTable entry, and a list class that keeps
// entities in memory. Apart from the property lines the text depends on the table name only.
#include "generators/generators.h"
#include "generators/text_writer.h"
#include "generators/remarks.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <string_view>

namespace kelvane {

namespace {

// In the templates below these bytes stand for the table name, the property the list class
// compares ("id") and the C# type of the argument it compares it with ("int").
constexpr char kTableMark = '\x01';
constexpr char kKeyMark = '\x02';
constexpr char kKeyTypeMark = '\x03';

constexpr bool IsMark(char c) { return c == kTableMark || c == kKeyMark || c == kKeyTypeMark; }

constexpr std::string_view kHead =
    "using System;\r\n"
    "using System.Linq;\r\n"
    "using System.Text;\r\n"
    "using System.Net;\r\n"
    "using System.Collections.Generic;\r\n"
    "using MySql.Data.MySqlClient;\r\n"
    "\r\n"
    "namespace  np.\x01\r\n"
    "\r\n"
    "{\r\n"
    "  public class \x01{\r\n";

// Everything after the property lines. Indentation varies from method to method; it is part
// of the output users already paste and is kept exactly.
constexpr std::string_view kTail =
    "  }\r\n"
    "\r\n"
    // List class and 增加.
    "  public class \x01Operation {\r\n"
    "          List<\x01> \x01s = new List<\x01>();\r\n"
    "        public void 增加 ( \x01 _\x01)\r\n"
    "        {\r\n"
    "            \x01s.Add(_\x01);\r\n"
    "        }\r\n"
    "\r\n"
    // 删除: remove the first entity with a matching id.
    "        public bool 删除 (\x03 _id)\r\n"
    "        {\r\n"
    "            for (int i = 0; i < \x01s.Count; i++)\r\n"
    "            {\r\n"
    "                if (\x01s[i].\x02 == _id)\r\n"
    "                {\r\n"
    "                     \x01s.RemoveAt(i);\r\n"
    "                     return true;\r\n"
    "                }\r\n"
    "            }\r\n"
    "             return false;\r\n"
    "        }\r\n"
    "\r\n"
    // 修改: replace the first entity whose id equals the argument's.
    "        public bool 修改 ( \x01 _\x01)\r\n"
    "        {\r\n"
    "            for (int i = 0; i < \x01s.Count; i++)\r\n"
    "            {\r\n"
    "                if (\x01s[i].\x02 == _\x01.\x02)\r\n"
    "                {\r\n"
    "                     \x01s[i]=_\x01;\r\n"
    "                     return true;\r\n"
    "                }\r\n"
    "            }\r\n"
    "             return false;\r\n"
    "        }\r\n"
    "\r\n"
    // 实数: count of entities whose state X is 0.
    "        public int 实数 ()\r\n"
    "        {\r\n"
    "             int n=0;\r\n"
    "             for ( int i=0; i < \x01s.Count; i++)\r\n"
    "             {\r\n"
    "             if (\x01s[i].X==0)\r\n"
    "                 {\r\n"
    "                      n++;\r\n"
    "                 }\r\n"
    "              }\r\n"
    "             return n;\r\n"
    "        }\r\n"
    "\r\n"
    // 总数: count of all entities.
    "        public int 总数 ()\r\n"
    "        {\r\n"
    "             return \x01s.Count;\r\n"
    "        }\r\n"
    "\r\n"
    // 提取: fetch by id.
    "        public bool 提取 (\x03 _id,\x01 _\x01)\r\n"
    "        {\r\n"
    "            for (int i = 0; i < \x01s.Count; i++)\r\n"
    "            {\r\n"
    "                if (\x01s[i].\x02 == _id)\r\n"
    "                {\r\n"
    "                     _\x01= \x01s[i];\r\n"
    "                     return true; \r\n"
    "                }\r\n"
    "            }\r\n"
    "             return false;\r\n"
    "        }\r\n"
    "\r\n"
    // Empty stubs for the user to fill.
    "        public void 分类提取(string _分类)\r\n"
    "        {\r\n"
    "        }\r\n"
    "\r\n"
    "        public void 全部提取()\r\n"
    "        {\r\n"
    "        }\r\n"
    "\r\n"
    "        public void 连接数据mysql库 ()\r\n"
    "        {\r\n"
    "        }\r\n"
    "\r\n"
    "        public void 库_初始化 ()\r\n"
    "        {\r\n"
    "        }\r\n"
    "\r\n"
    "        public void 库_增加 ()\r\n"
    "        {\r\n"
    "        }\r\n"
    "\r\n"
    "        public void 库_删除 ()\r\n"
    "        {\r\n"
    "        }\r\n"
    "\r\n"
    "        public void 库_修改 ()\r\n"
    "        {\r\n"
    "        }\r\n"
    "\r\n"
    "        public void 库_查询 ()\r\n"
    "        {\r\n"
    "        }\r\n"
    "\r\n"
    "        public void 库_全查 ()\r\n"
    "        {\r\n"
    "        }\r\n"
    "\r\n"
    "  }\r\n"
    "}\r\n";

constexpr std::size_t CountMarks(std::string_view text) {
  std::size_t n = 0;
  for (char c : text) n += IsMark(c) ? 1 : 0;
  return n;
}

constexpr std::size_t kHeadMarks = CountMarks(kHead);
constexpr std::size_t kTailMarks = CountMarks(kTail);

// A template cut at its marks, at compile time: parts[i] comes before marks[i], and the last
// part after the last mark.
template <std::size_t Marks>
struct CutTemplate {
  std::array<std::string_view, Marks + 1> parts{};
  std::array<char, Marks> marks{};
};

template <std::size_t Marks>
constexpr CutTemplate<Marks> CutAtMarks(std::string_view text) {
  CutTemplate<Marks> cut;
  for (std::size_t i = 0; i < Marks; ++i) {
    std::size_t at = 0;
    while (!IsMark(text[at])) ++at;
    cut.parts[i] = text.substr(0, at);
    cut.marks[i] = text[at];
    text.remove_prefix(at + 1);
  }
  cut.parts[Marks] = text;
  return cut;
}

constexpr auto kHeadParts = CutAtMarks<kHeadMarks>(kHead);
constexpr auto kTailParts = CutAtMarks<kTailMarks>(kTail);

// What the marks stand for in one text.
struct MarkTexts {
  std::string_view table;
  std::string_view key = "id";
  std::string_view keyType = "int";

  std::string_view operator[](char mark) const {
    return mark == kTableMark ? table : mark == kKeyMark ? key : keyType;
  }
};

// The list class compares `id` with an int argument; with keyInCSharpList, the key column's
// property with an argument of its type (the first entry when the position is past the
// table's columns, as the set class does).
MarkTexts MarksFor(const std::string& tableName, const FieldTable& fields, const TextOptions& options) {
  MarkTexts texts{tableName};
  if (!options.keyInCSharpList || fields.empty()) return texts;
  const FieldRecord& key = options.keyPosition < fields.size() - 1 ? fields[options.keyPosition] : fields.front();
  texts.key = key.columnName;
  texts.keyType = key.csharpType;
  return texts;
}

// Appends a template, putting each mark's text where the mark stood.
template <std::size_t Marks>
void AppendWithMarks(TextWriter& out, const CutTemplate<Marks>& cut, const MarkTexts& texts) {
  out.Put(cut.parts[0]);
  for (std::size_t i = 0; i < Marks; ++i) out.Put(texts[cut.marks[i]], cut.parts[i + 1]);
}

}  // namespace

std::string BuildCSharpEntityText(const std::string& tableName, const FieldTable& fields,
                                  const TextOptions& options) {
  const MarkTexts marks = MarksFor(tableName, fields, options);
  const std::size_t longestMark = std::max({marks.table.size(), marks.key.size(), marks.keyType.size()});
  std::size_t size = kHead.size() + kTail.size() + (kHeadMarks + kTailMarks) * longestMark;
  for (const FieldRecord& f : fields) size += 28 + f.csharpType.size() + f.columnName.size();
  for (const std::string& comment : options.comments) size += 48 + 2 * comment.size();
  TextWriter out(size);

  AppendWithMarks(out, kHeadParts, marks);
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const FieldRecord& f = fields[i];
    const std::string remark = RemarkAt(options, i);
    if (!remark.empty()) {
      out.Put("    /// <summary>\r\n");
      out.Put("    /// ", XmlText(remark), "\r\n");
      out.Put("    /// </summary>\r\n");
    }
    out.Put("    public ", f.csharpType, ' ', f.columnName, "{get;set;}\r\n");
  }
  AppendWithMarks(out, kTailParts, marks);
  return out.Take();
}

}  // namespace kelvane
