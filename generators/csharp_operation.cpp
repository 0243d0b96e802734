// Fixed C# text that holds a MySQL connection and a sample connection string. It depends on
// nothing the user chose. The shape (no class line, an unclosed block after 连接数据mysql库)
// is the established output and is kept as it is.
#include "generators/generators.h"

#include <string_view>

namespace kelvane {

namespace {

constexpr std::string_view kOperationText =
    "using System;\r\n"
    "using System.Linq;\r\n"
    "using System.Text;\r\n"
    "using System.Net;\r\n"
    "using System.Collections.Generic;\r\n"
    "using MySql.Data.MySqlClient;\r\n"
    "\r\n"
    "namespace  np.Star\r\n"
    "\r\n"
    "{\r\n"
    "        public   MySqlConnection conn;\r\n"
    "        public   String connStr;\r\n"
    "\r\n"
    "        public 连接数据mysql库 ()\r\n"
    "        {\r\n"
    "        public MySqlConnection 取连接 ()\r\n"
    "        {\r\n"
    "        }\r\n"
    "\r\n"
    "        public string  取连接文本 ()\r\n"
    "        {\r\n"
    "            connStr= server=127.0.0.1;port=3306;user=root;password=p4ss;database=minecraftdb;\r\n"
    "            return connStr;\r\n"
    "        }\r\n"
    "\r\n"
    "  }\r\n"
    "}\r\n";

}  // namespace

std::string BuildCSharpOperationText() { return std::string(kOperationText); }

}  // namespace kelvane
