// C# entity class with one auto-property per FieldTable entry, and a list class that keeps
// entities in memory. Apart from the property lines the text depends on the table name only.
#include "generators/generators.h"
#include "generators/text_writer.h"
#include "generators/remarks.h"

#include <array>
#include <cstddef>
#include <string_view>

namespace kelvane {

namespace {

// In the templates below this byte stands for the table name.
constexpr char kTableMark = '\x01';

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
    "        public bool 删除 (int _id)\r\n"
    "        {\r\n"
    "            for (int i = 0; i < \x01s.Count; i++)\r\n"
    "            {\r\n"
    "                if (\x01s[i].id == _id)\r\n"
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
    "                if (\x01s[i].id == _\x01.id)\r\n"
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
    "        public bool 提取 (int _id,\x01 _\x01)\r\n"
    "        {\r\n"
    "            for (int i = 0; i < \x01s.Count; i++)\r\n"
    "            {\r\n"
    "                if (\x01s[i].id == _id)\r\n"
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
  for (char c : text) n += (c == kTableMark) ? 1 : 0;
  return n;
}

constexpr std::size_t kHeadMarks = CountMarks(kHead);
constexpr std::size_t kTailMarks = CountMarks(kTail);

// A template cut at its marks, at compile time: the table name goes between the parts.
template <std::size_t Marks>
constexpr std::array<std::string_view, Marks + 1> CutAtMarks(std::string_view text) {
  std::array<std::string_view, Marks + 1> parts{};
  for (std::size_t i = 0; i < Marks; ++i) {
    const std::size_t at = text.find(kTableMark);
    parts[i] = text.substr(0, at);
    text.remove_prefix(at + 1);
  }
  parts[Marks] = text;
  return parts;
}

constexpr auto kHeadParts = CutAtMarks<kHeadMarks>(kHead);
constexpr auto kTailParts = CutAtMarks<kTailMarks>(kTail);

// Appends a template, putting the table name where the mark stood.
template <std::size_t Parts>
void AppendWithTable(TextWriter& out, const std::array<std::string_view, Parts>& parts,
                     const std::string& tableName) {
  out.Put(parts[0]);
  for (std::size_t i = 1; i < Parts; ++i) out.Put(tableName, parts[i]);
}

}  // namespace

std::string BuildCSharpEntityText(const std::string& tableName, const FieldTable& fields,
                                  const TextOptions& options) {
  std::size_t size = kHead.size() + kTail.size() + (kHeadMarks + kTailMarks) * tableName.size();
  for (const FieldRecord& f : fields) size += 28 + f.csharpType.size() + f.columnName.size();
  for (const std::string& comment : options.comments) size += 48 + 2 * comment.size();
  TextWriter out(size);

  AppendWithTable(out, kHeadParts, tableName);
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
  AppendWithTable(out, kTailParts, tableName);
  return out.Take();
}

}  // namespace kelvane
